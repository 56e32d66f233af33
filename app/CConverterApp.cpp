#include "app/CConverterApp.h"

#include "app/CConverterDlg.h"

BOOL CConverterApp::InitInstance() {
  AfxEnableControlContainer();
  Enable3dControls();
  CConverterDlg dlg;
  m_pMainWnd = &dlg;
  dlg.DoModal();
  m_pMainWnd = nullptr;
  return FALSE;
}
