// CUndoDlg: the window's undo of one run (template 132): the same course
// as `vmconvert undo` (UndoCourse, with undo's own journal), on a worker
// thread of its own while the dialog shows the journal undone and a bar
// of the steps and fields done so far. It closes itself when the undo has
// ended and cannot be closed before; status() and the course then tell
// what was done.
#ifndef APP_CUNDODLG_H_
#define APP_CUNDODLG_H_

#include <atomic>
#include <memory>
#include <string>
#include <thread>

#include "app/framework/CDialog.h"
#include "run/RunReport.h"
#include "run/UndoCourse.h"

class CUndoDlg : public CDialog {
 public:
  explicit CUndoDlg(const std::string& journal);
  ~CUndoDlg() override;

  // The status the undo ended with (see ExitStatus.h).
  int status() const { return status_; }
  const UndoCourse& course() const { return *course_; }

 protected:
  BOOL OnInitDialog() override;
  void OnCancel() override {}  // an undo runs to its end
  Handled OnMessage(UINT message, WPARAM wparam, LPARAM lparam) override;

 private:
  Handled OnTimer(WPARAM, LPARAM);
  void Work();

  std::string journal_;
  RunReport report_;
  std::unique_ptr<UndoCourse> course_;
  std::thread worker_;
  std::atomic<bool> ended_{false};
  int status_ = -1;
};

#endif  // APP_CUNDODLG_H_
