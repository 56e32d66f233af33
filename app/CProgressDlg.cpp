#include "app/CProgressDlg.h"

#include <cstdio>

#include "app/AskYesNo.h"
#include "app/TableSwap.h"
#include "app/framework/ResourceString.h"
#include "app/resource.h"
#include "convert/JobState.h"
#include "convert/PersonalJob.h"
#include "convert/VmCopyJob.h"
#include "db/ShowError.h"

namespace {

const unsigned kErrorCaption = 102;
const unsigned kNotStarted = 133;

}  // namespace

CProgressDlg::CProgressDlg(CDialog* parent) : CDialog(IDD_PROGRESS, parent) {}

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
  SetButtonText(109);
  const struct {
    int32_t flag;
    unsigned text;
    const char* first;
    const char* second;
    JobState::Job job;
  } kJobs[] = {
      {smallToBigJob, 108, JobState::livePath, JobState::bigPath, SmallToBigJob},
      {bigToSmallJob, 117, JobState::livePath, JobState::smallPath, BigToSmallJob},
      {personalJob, 122, JobState::oldPersonalPath, JobState::newPersonalPath, PersonalJob},
  };
  for (const auto& j : kJobs) {
    if (j.flag != 1) continue;
    AfxFormatString2(jobText, j.text, j.first, j.second);
    JobState::running = 1;
    if (!JobState::StartJob(j.job)) ShowError(LoadResString(kNotStarted).c_str(), LoadResString(kErrorCaption).c_str());
  }
  UpdateData(FALSE);
  return TRUE;
}

bool CProgressDlg::OnMessage(UINT message, WPARAM wparam, LPARAM lparam, LRESULT* result) {
  static const MessageMapEntry<CProgressDlg> kMap[] = {
      {WM_JOB_PROGRESS, 0, &CProgressDlg::OnJobProgress},
  };
  return DispatchMessageMap(this, kMap, message, wparam, lparam, result);
}

LRESULT CProgressDlg::OnJobProgress(WPARAM wparam, LPARAM) {
  if (wparam == 0) {
    progressBar.StepIt();
    char text[80];
    std::snprintf(text, sizeof text, LoadResString(111).c_str(), int(JobState::progressCount));
    statusText = text;
    ++JobState::progressCount;
  } else {
    ended = true;
    progressBar.SetPos(100);
    SetButtonText(110);
    statusText = LoadResString(112);
  }
  UpdateData(FALSE);
  return 1;
}

void CProgressDlg::SetButtonText(unsigned id) { SetDlgItemTextA(m_hWnd, IDOK, LoadResString(id).c_str()); }

void CProgressDlg::OnOK() {
  // Decided by the end message, not by running: the job clears running only
  // after the dialog has handled that message.
  if (!ended) {
    if (!AskString(113, nullptr, nullptr)) return;
    JobState::running = 0;
    CDialog::OnOK();
    return;
  }
  OfferSwap();
  CDialog::OnOK();
}

void CProgressDlg::OfferSwap() {
  if (smallToBigJob == 1 && AskString(118, JobState::bigPath, nullptr)) {
    TableSwap swap(JobState::livePath, JobState::bigPath, "_small.dbf");
    Swap(swap);
  }
  if (bigToSmallJob == 1 && AskString(119, JobState::smallPath, nullptr)) {
    TableSwap swap(JobState::livePath, JobState::smallPath, "_big.dbf");
    Swap(swap);
  }
  if (personalJob == 1 && AskString(130, JobState::newPersonalPath, JobState::oldPersonalPath)) {
    TableSwap swap(JobState::oldPersonalPath, JobState::newPersonalPath);
    Swap(swap);
  }
}

void CProgressDlg::Swap(TableSwap& swap) {
  SetCursor(LoadCursor(nullptr, IDC_WAIT));
  bool ok = swap.Run();
  SetCursor(LoadCursor(nullptr, IDC_ARROW));
  if (!ok) {
    ShowError(swap.error().c_str(), LoadResString(kErrorCaption).c_str());
    return;
  }
  MessageBoxA(m_hWnd, LoadResString(121).c_str(), LoadResString(120).c_str(), MB_OK | MB_ICONINFORMATION);
}
