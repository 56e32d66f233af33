// CDialog: a modal dialog made from a dialog template of the program's
// resources. DoModal shows it and returns the result given to EndDialog.
// Members are bound to controls by DoDataExchange, run by UpdateData. The
// OK and Cancel buttons (OnOK, OnCancel) and the Help command (the
// application's OnHelp) are handled before the message map; every other
// message goes to the class's message map (OnMessage, usually through
// DispatchMessageMap). Without a parent, a dialog is owned by the
// application's main window, so that window is disabled while it is shown.
#ifndef APP_FRAMEWORK_CDIALOG_H_
#define APP_FRAMEWORK_CDIALOG_H_

#include <windows.h>

#include "app/framework/CDataExchange.h"

// A message handler's answer: the message was handled, with its result, or
// it goes on to the system's default processing.
struct Handled {
  bool handled;
  LRESULT result;
};
constexpr Handled Done(LRESULT result = 0) { return Handled{true, result}; }
constexpr Handled PassOn() { return Handled{false, 0}; }

class CDialog {
 public:
  explicit CDialog(UINT templateId, CDialog* parent = nullptr);
  virtual ~CDialog();
  CDialog(const CDialog&) = delete;
  CDialog& operator=(const CDialog&) = delete;

  INT_PTR DoModal();
  // Runs the data exchange: from the controls into the members when save
  // is true, else from the members into the controls. Always TRUE.
  BOOL UpdateData(BOOL save = TRUE);
  void EndDialog(int result);

  HWND m_hWnd = nullptr;  // the dialog's window while it is shown

 protected:
  virtual void DoDataExchange(CDataExchange* pDX);
  // Fills the controls from the members; TRUE lets the system set the focus.
  virtual BOOL OnInitDialog();
  // The OK command (button 1, Enter): reads the controls, ends with IDOK.
  virtual void OnOK();
  // The cancel command (Escape, the close box): ends with IDCANCEL.
  virtual void OnCancel();
  // The message map: Done(result) for a message it handled, PassOn() for
  // one that goes to the system's default processing.
  virtual Handled OnMessage(UINT message, WPARAM wparam, LPARAM lparam);

 private:
  static INT_PTR CALLBACK DialogProc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam);
  INT_PTR Handle(UINT message, WPARAM wparam, LPARAM lparam);

  UINT templateId_;
  CDialog* parent_;
};

// A message-map entry of class T: the message, for WM_COMMAND the control
// id (a button click), and the handler.
template <class T>
struct MessageMapEntry {
  UINT message;
  UINT id;
  Handled (T::*handler)(WPARAM, LPARAM);
};

// The answer of the handler of the first entry that matches; PassOn() when
// none does.
template <class T, size_t N>
Handled DispatchMessageMap(T* self, const MessageMapEntry<T> (&map)[N], UINT message, WPARAM wparam,
                           LPARAM lparam) {
  for (const MessageMapEntry<T>& e : map) {
    if (e.message != message) continue;
    if (message == WM_COMMAND && (LOWORD(wparam) != e.id || HIWORD(wparam) != BN_CLICKED)) continue;
    return (self->*e.handler)(wparam, lparam);
  }
  return PassOn();
}

#endif  // APP_FRAMEWORK_CDIALOG_H_
