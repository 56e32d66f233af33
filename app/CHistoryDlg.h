// CHistoryDlg: the window's run history (template 131), opened from the
// system menu's "Run history…". It lists the runs the journal folders
// beside the window's tables record, the window's and vmconvert's, newest
// first with the newest selected: when, program, user, job, source ->
// target, status, fields written, swap, and the undo that took it back.
// "Undo…" takes the selected run back as `vmconvert undo` does: it first
// shows what undo would do (its dry run, refusals included) and asks; only
// Yes writes, in a progress window, and a box then gives the result, the
// copies kept and the status in words. "Report…" shows the report kept
// beside the run's journal. Every text from a journal or a report is shown
// escaped (Printable).
#ifndef APP_CHISTORYDLG_H_
#define APP_CHISTORYDLG_H_

#include <string>
#include <vector>

#include "app/framework/CDialog.h"
#include "journal/RunHistory.h"

class CHistoryDlg : public CDialog {
 public:
  // folders: the journal folders to list, each once.
  explicit CHistoryDlg(std::vector<std::string> folders);

 protected:
  BOOL OnInitDialog() override;
  Handled OnMessage(UINT message, WPARAM wparam, LPARAM lparam) override;

 private:
  Handled OnUndo(WPARAM, LPARAM);
  Handled OnReport(WPARAM, LPARAM);
  // Reads the folders again and fills the list, the newest run selected.
  void Fill();
  // The selected run; null when none is.
  const HistoryEntry* Selected() const;
  HWND List() const;

  std::vector<std::string> folders_;
  std::vector<HistoryEntry> entries_;  // as listed
};

#endif  // APP_CHISTORYDLG_H_
