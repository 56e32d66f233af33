#include "app/CConverterApp.h"

#include "app/CConverterDlg.h"
#include "convert/JobState.h"

BOOL CConverterApp::InitInstance() {
  AfxEnableControlContainer();
  Enable3dControls();
  CConverterDlg dlg;
  m_pMainWnd = &dlg;
  dlg.DoModal();
  m_pMainWnd = nullptr;
  // A job left running unseen finishes its record and closes its tables
  // before the program ends.
  if (JobState::workerActive) {
    SetCursor(LoadCursor(nullptr, IDC_WAIT));
    JobState::WaitForWorker();
  }
  return FALSE;
}
