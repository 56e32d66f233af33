// CAboutDlg: the About box (template 100); its OK button closes it.
#ifndef APP_CABOUTDLG_H_
#define APP_CABOUTDLG_H_

#include "app/framework/CDialog.h"

class CAboutDlg : public CDialog {
 public:
  CAboutDlg();
};

#endif  // APP_CABOUTDLG_H_
