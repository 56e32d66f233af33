#include "app/framework/CDialog.h"

#include "app/framework/CWinApp.h"

CDialog::CDialog(UINT templateId, CDialog* parent) : templateId_(templateId), parent_(parent) {}

CDialog::~CDialog() {}

INT_PTR CDialog::DoModal() {
  HWND owner = parent_ ? parent_->m_hWnd : nullptr;
  CWinApp* app = AfxGetApp();
  if (!owner && app && app->m_pMainWnd && app->m_pMainWnd != this) owner = app->m_pMainWnd->m_hWnd;
  INT_PTR result = DialogBoxParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(templateId_), owner, DialogProc,
                                   reinterpret_cast<LPARAM>(this));
  m_hWnd = nullptr;
  return result;
}

BOOL CDialog::UpdateData(BOOL save) {
  CDataExchange dx = {save, m_hWnd};
  DoDataExchange(&dx);
  return TRUE;
}

void CDialog::EndDialog(int result) { ::EndDialog(m_hWnd, result); }

void CDialog::DoDataExchange(CDataExchange*) {}

BOOL CDialog::OnInitDialog() {
  UpdateData(FALSE);
  return TRUE;
}

void CDialog::OnOK() {
  UpdateData(TRUE);
  EndDialog(IDOK);
}

void CDialog::OnCancel() { EndDialog(IDCANCEL); }

Handled CDialog::OnMessage(UINT, WPARAM, LPARAM) { return PassOn(); }

INT_PTR CALLBACK CDialog::DialogProc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == WM_INITDIALOG) {
    CDialog* self = reinterpret_cast<CDialog*>(lparam);
    SetWindowLongPtrA(hwnd, DWLP_USER, lparam);
    self->m_hWnd = hwnd;
    return self->OnInitDialog();
  }
  CDialog* self = reinterpret_cast<CDialog*>(GetWindowLongPtrA(hwnd, DWLP_USER));
  return self ? self->Handle(message, wparam, lparam) : FALSE;
}

INT_PTR CDialog::Handle(UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == WM_COMMAND && HIWORD(wparam) == BN_CLICKED && LOWORD(wparam) == IDOK) {
    OnOK();
    return TRUE;
  }
  if (message == WM_COMMAND && HIWORD(wparam) == BN_CLICKED && LOWORD(wparam) == IDCANCEL) {
    OnCancel();
    return TRUE;
  }
  if (message == WM_COMMAND && LOWORD(wparam) == ID_HELP && AfxGetApp()) {
    AfxGetApp()->OnHelp();
    return TRUE;
  }
  Handled answer = OnMessage(message, wparam, lparam);
  if (!answer.handled) return FALSE;
  LRESULT result = answer.result;
  // A dialog procedure hands results back through DWLP_MSGRESULT, except
  // for the few messages that return theirs directly.
  if (message == WM_QUERYDRAGICON || message == WM_CTLCOLORDLG) return INT_PTR(result);
  SetWindowLongPtrA(m_hWnd, DWLP_MSGRESULT, result);
  return TRUE;
}
