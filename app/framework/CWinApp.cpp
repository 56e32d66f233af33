#include "app/framework/CWinApp.h"

#include <commctrl.h>

namespace {
CWinApp* theApp = nullptr;
}

CWinApp::CWinApp() { theApp = this; }

CWinApp::~CWinApp() {
  if (theApp == this) theApp = nullptr;
}

BOOL CWinApp::InitInstance() { return FALSE; }

CWinApp* AfxGetApp() { return theApp; }

int AfxWinMain() {
  if (!theApp || !theApp->InitInstance()) return 0;
  MSG msg;
  while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
  }
  return int(msg.wParam);
}

void AfxEnableControlContainer() {
  INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_PROGRESS_CLASS | ICC_STANDARD_CLASSES};
  InitCommonControlsEx(&controls);
}

BOOL Enable3dControls() { return TRUE; }
