// CDataExchange: one run of a dialog's data exchange, from the controls
// into the members (m_bSaveAndValidate true) or back. DDX_Text moves a
// control's whole text; DDX_Control attaches a control object to its window.
#ifndef APP_FRAMEWORK_CDATAEXCHANGE_H_
#define APP_FRAMEWORK_CDATAEXCHANGE_H_

#include <windows.h>

#include <string>

class CProgressCtrl;

struct CDataExchange {
  BOOL m_bSaveAndValidate;
  HWND m_hDlg;
};

void DDX_Text(CDataExchange* pDX, int id, std::string& value);
void DDX_Control(CDataExchange* pDX, int id, CProgressCtrl& control);

#endif  // APP_FRAMEWORK_CDATAEXCHANGE_H_
