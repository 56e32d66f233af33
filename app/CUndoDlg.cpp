#include "app/CUndoDlg.h"

#include <commctrl.h>

#include "app/resource.h"
#include "db/EngineContext.h"
#include "messages/Printable.h"
#include "commands/ExitStatus.h"
#include "run/RunFacts.h"
#include "run/TestHooks.h"

namespace {

const UINT_PTR kBarTimer = 1;
const UINT kBarMs = 50;

UndoSetup SetupOf(const std::string& journal) {
  UndoSetup setup;
  setup.journal = journal;
  setup.program = "converter";
  setup.files = engineContext.fileSystem();
  setup.probe = TestHooks::Probe();
  return setup;
}

}  // namespace

CUndoDlg::CUndoDlg(const std::string& journal) : CDialog(IDD_UNDO), journal_(journal) {
  StartReport(report_);
  report_.program = "converter";
  course_.reset(new UndoCourse(SetupOf(journal), report_));
}

CUndoDlg::~CUndoDlg() {
  if (worker_.joinable()) worker_.join();
}

BOOL CUndoDlg::OnInitDialog() {
  CDialog::OnInitDialog();
  SetDlgItemTextA(m_hWnd, IDC_UNDO_TEXT, Printable(journal_).c_str());
  SendDlgItemMessageA(m_hWnd, IDC_UNDO_BAR, PBM_SETRANGE32, 0, 100);
  SetTimer(m_hWnd, kBarTimer, kBarMs, nullptr);
  worker_ = std::thread(&CUndoDlg::Work, this);
  return TRUE;
}

// The lock is the worker's from Prepare to End: the thread that takes it
// lets it go.
void CUndoDlg::Work() {
  int status = course_->Prepare();
  if (status == kDone) status = course_->Apply();
  status_ = course_->End(status);
  ended_ = true;
}

Handled CUndoDlg::OnMessage(UINT message, WPARAM wparam, LPARAM lparam) {
  static const MessageMapEntry<CUndoDlg> kMap[] = {
      {WM_TIMER, 0, &CUndoDlg::OnTimer},
  };
  return DispatchMessageMap(this, kMap, message, wparam, lparam);
}

Handled CUndoDlg::OnTimer(WPARAM, LPARAM) {
  const Undo& undo = course_->undo();
  size_t planned = undo.Planned(), applied = undo.Applied();
  int percent = planned ? int(applied * 100 / planned) : 0;
  SendDlgItemMessageA(m_hWnd, IDC_UNDO_BAR, PBM_SETPOS, WPARAM(ended_ ? 100 : percent), 0);
  if (!ended_) return Done();
  KillTimer(m_hWnd, kBarTimer);
  worker_.join();
  EndDialog(IDOK);
  return Done();
}
