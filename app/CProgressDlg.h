// CProgressDlg: the modal window (template 129) that runs one conversion
// job. The command sets exactly one of the three job flags before DoModal.
// OnInitDialog starts the job on its worker thread; each WM_JOB_PROGRESS
// step advances the bar and the percentage line, the end message fills the
// bar and turns the button into "OK". The button asks whether to cancel
// until the end message has arrived, and after it offers to put the
// converted table into service (the run's swap, journaled) before
// closing. A job whose thread cannot be started shows error 133 and leaves
// the dialog stalled.
#ifndef APP_CPROGRESSDLG_H_
#define APP_CPROGRESSDLG_H_

#include <cstdint>
#include <memory>
#include <string>

#include "app/framework/CDialog.h"
#include "app/framework/CProgressCtrl.h"

struct CommandPlan;
class WindowRun;

class CProgressDlg : public CDialog {
 public:
  explicit CProgressDlg(CDialog* parent = nullptr);
  ~CProgressDlg() override;

  int32_t personalJob;
  int32_t bigToSmallJob;
  int32_t smallToBigJob;
  CProgressCtrl progressBar;  // control 1002
  std::string jobText;        // static 1004
  std::string statusText;     // static 1005
  // The run the job belongs to (not owned): its journal, its swap and its
  // end. Null for a dialog shown on its own, whose job keeps no journal.
  WindowRun* run = nullptr;

 protected:
  void DoDataExchange(CDataExchange* pDX) override;
  BOOL OnInitDialog() override;
  void OnOK() override;
  Handled OnMessage(UINT message, WPARAM wparam, LPARAM lparam) override;

 private:
  Handled OnJobProgress(WPARAM wparam, LPARAM lparam);
  void SetButtonText(unsigned id);
  // The command of the flag that is set; null when none is.
  const CommandPlan* Plan() const;
  void OfferSwap();
  void Swap(WindowRun& run);

  bool ended = false;  // the job's end message has arrived
  std::unique_ptr<WindowRun> own_;  // the run of a dialog shown on its own
};

#endif  // APP_CPROGRESSDLG_H_
