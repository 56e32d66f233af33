// CProgressCtrl: a progress bar control of a dialog, attached by
// DDX_Control. Not owned: the dialog destroys the window.
#ifndef APP_FRAMEWORK_CPROGRESSCTRL_H_
#define APP_FRAMEWORK_CPROGRESSCTRL_H_

#include <windows.h>

class CProgressCtrl {
 public:
  int SetPos(int position);
  int SetStep(int step);
  int StepIt();

  HWND m_hWnd = nullptr;
};

#endif  // APP_FRAMEWORK_CPROGRESSCTRL_H_
