#include "app/framework/CWinApp.h"

#include <commctrl.h>

#include <cstdio>

#include "app/framework/CDialog.h"

namespace {
CWinApp* theApp = nullptr;
}

CWinApp::CWinApp() { theApp = this; }

CWinApp::~CWinApp() {
  if (theApp == this) theApp = nullptr;
}

BOOL CWinApp::InitInstance() { return FALSE; }

void CWinApp::OnHelp() {
  char path[MAX_PATH];
  DWORD length = GetModuleFileNameA(nullptr, path, MAX_PATH);
  if (length < 4 || length >= MAX_PATH) return;
  std::snprintf(path + length - 4, 5, ".hlp");
  if (GetFileAttributesA(path) == INVALID_FILE_ATTRIBUTES) return;
  WinHelpA(m_pMainWnd ? m_pMainWnd->m_hWnd : nullptr, path, HELP_FINDER, 0);
}

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
  INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_PROGRESS_CLASS | ICC_STANDARD_CLASSES | ICC_LISTVIEW_CLASSES};
  InitCommonControlsEx(&controls);
}

BOOL Enable3dControls() { return TRUE; }
