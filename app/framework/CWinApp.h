// CWinApp: the program's one application object. Its constructor makes it
// the object AfxWinMain runs; InitInstance does the program's start-up and
// returns false to end the program without a message loop of its own.
#ifndef APP_FRAMEWORK_CWINAPP_H_
#define APP_FRAMEWORK_CWINAPP_H_

#include <windows.h>

class CDialog;

// The framework's help command.
constexpr WORD ID_HELP = 57670;

class CWinApp {
 public:
  CWinApp();
  virtual ~CWinApp();
  CWinApp(const CWinApp&) = delete;
  CWinApp& operator=(const CWinApp&) = delete;

  virtual BOOL InitInstance();
  // The framework's help command (ID_HELP), which every dialog routes
  // here: opens the program's help file (its own path with ".hlp") when
  // there is one; does nothing otherwise.
  virtual void OnHelp();

  // The window the program considers its main one; not owned.
  CDialog* m_pMainWnd = nullptr;
};

// The application object constructed last; null when there is none.
CWinApp* AfxGetApp();

// The program's entry: runs InitInstance; a true result runs a message loop
// until WM_QUIT. Returns the exit code.
int AfxWinMain();

// Control containers and the 3-D look: the program asks for them at
// start-up. Registering the common controls (the progress bar) is all the
// platform still needs; the 3-D look is its default.
void AfxEnableControlContainer();
BOOL Enable3dControls();

#endif  // APP_FRAMEWORK_CWINAPP_H_
