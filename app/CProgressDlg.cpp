#include "app/CProgressDlg.h"

#include <cstdio>

#include "app/AskYesNo.h"
#include "commands/CommandPlan.h"
#include "messages/ResourceString.h"
#include "app/resource.h"
#include "messages/StringIds.h"
#include "app/WindowRun.h"
#include "convert/JobState.h"
#include "messages/Printable.h"
#include "messages/ShowError.h"

CProgressDlg::CProgressDlg(CDialog* parent) : CDialog(IDD_PROGRESS, parent) {}

CProgressDlg::~CProgressDlg() = default;

const CommandPlan* CProgressDlg::Plan() const {
  if (smallToBigJob == 1) return &PlanFor(CommandPlan::kSmallToBig);
  if (bigToSmallJob == 1) return &PlanFor(CommandPlan::kBigToSmall);
  if (personalJob == 1) return &PlanFor(CommandPlan::kOldToNew);
  return nullptr;
}

void CProgressDlg::DoDataExchange(CDataExchange* pDX) {
  DDX_Control(pDX, IDC_PROGRESS_BAR, progressBar);
  DDX_Text(pDX, IDC_JOB_TEXT, jobText);
  DDX_Text(pDX, IDC_STATUS_TEXT, statusText);
}

BOOL CProgressDlg::OnInitDialog() {
  CDialog::OnInitDialog();
  JobState::progressWindow = m_hWnd;
  JobState::progressCount = 0;
  progressBar.SetPos(0);
  progressBar.SetStep(1);
  SetButtonText(IDS_CANCEL);
  if (const CommandPlan* plan = Plan()) {
    AfxFormatString2(jobText, plan->progressText, plan->source, plan->target);
    if (!run) run = (own_ = std::unique_ptr<WindowRun>(new WindowRun(*plan))).get();
    if (!run->StartJob(m_hWnd))
      ShowError(LoadResString(IDS_NOT_STARTED).c_str(), LoadResString(IDS_ERROR_CAPTION).c_str());
  }
  UpdateData(FALSE);
  return TRUE;
}

Handled CProgressDlg::OnMessage(UINT message, WPARAM wparam, LPARAM lparam) {
  static const MessageMapEntry<CProgressDlg> kMap[] = {
      {WM_JOB_PROGRESS, 0, &CProgressDlg::OnJobProgress},
  };
  return DispatchMessageMap(this, kMap, message, wparam, lparam);
}

Handled CProgressDlg::OnJobProgress(WPARAM wparam, LPARAM) {
  if (wparam == 0) {
    progressBar.StepIt();
    char text[80];
    std::snprintf(text, sizeof text, LoadResString(IDS_PERCENT_CONVERTED).c_str(), int(JobState::progressCount));
    statusText = text;
    ++JobState::progressCount;
  } else {
    ended = true;
    progressBar.SetPos(100);
    SetButtonText(IDS_OK);
    statusText = LoadResString(IDS_CONVERTED);
  }
  UpdateData(FALSE);
  return Done(1);
}

void CProgressDlg::SetButtonText(unsigned id) { SetDlgItemTextA(m_hWnd, IDOK, LoadResString(id).c_str()); }

void CProgressDlg::OnOK() {
  // Decided by the end message, not by running: the job clears running only
  // after the dialog has handled that message.
  if (!ended) {
    if (!AskString(IDS_ASK_CANCEL, nullptr, nullptr)) return;
    // The job may have ended while the question was open: then nothing is
    // cancelled, and the button goes on as after the end.
    if (!ended) {
      JobState::running = 0;
      if (run) run->Cancelled();
      CDialog::OnOK();
      return;
    }
  }
  OfferSwap();
  CDialog::OnOK();
}

void CProgressDlg::OfferSwap() {
  const CommandPlan* plan = Plan();
  if (!plan || !AskString(plan->swapQuestion, plan->target, plan->personal() ? plan->source : nullptr)) return;
  if (run) Swap(*run);
}

// The job's last steps are waited for first, so that the swap follows all
// that the job journaled.
void CProgressDlg::Swap(WindowRun& run) {
  SetCursor(LoadCursor(nullptr, IDC_WAIT));
  run.JobDone();
  bool ok = run.Swap();
  SetCursor(LoadCursor(nullptr, IDC_ARROW));
  if (!ok) {
    ShowError(PrintableLines(run.error()).c_str(), LoadResString(IDS_ERROR_CAPTION).c_str());
    return;
  }
  MessageBoxA(m_hWnd, LoadResString(IDS_COPIED).c_str(), LoadResString(IDS_INFORMATION_CAPTION).c_str(), MB_OK | MB_ICONINFORMATION);
}
