#include "app/framework/CDataExchange.h"

#include "app/framework/CProgressCtrl.h"

void DDX_Text(CDataExchange* pDX, int id, std::string& value) {
  HWND control = GetDlgItem(pDX->m_hDlg, id);
  if (!pDX->m_bSaveAndValidate) {
    SetWindowTextA(control, value.c_str());
    return;
  }
  int length = GetWindowTextLengthA(control);
  std::string text(size_t(length) + 1, '\0');
  int got = GetWindowTextA(control, &text[0], length + 1);
  text.resize(size_t(got > 0 ? got : 0));
  value = text;
}

void DDX_Control(CDataExchange* pDX, int id, CProgressCtrl& control) {
  if (!control.m_hWnd) control.m_hWnd = GetDlgItem(pDX->m_hDlg, id);
}
