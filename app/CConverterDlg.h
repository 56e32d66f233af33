// CConverterDlg: the main window (template 102). At start-up it reads the
// live table's location from kxaconf.ini, fills in the default paths and
// enables only the voicemail conversion that fits the live table's size.
// Its three conversion buttons check their paths, ask for confirmation and
// run the job in a modal CProgressDlg. While a worker left running by the
// progress dialog goes on, the commands are disabled; when no worker runs,
// the live table's size decides the voicemail direction again, since a
// swap may have changed it. A job whose target another job converts into
// (vmconvert's included) is refused.
#ifndef APP_CCONVERTERDLG_H_
#define APP_CCONVERTERDLG_H_

#include <windows.h>

#include <string>

#include <memory>
#include <vector>

#include "app/framework/CDialog.h"

struct CommandPlan;
class WindowRun;

class CConverterDlg : public CDialog {
 public:
  explicit CConverterDlg(CDialog* parent = nullptr);
  ~CConverterDlg() override;

  std::string bigPathText;      // edit 1000
  std::string smallPathText;    // edit 1002
  std::string newPersonalText;  // edit 1009
  std::string oldPersonalText;  // edit 1007
  HICON icon;

 protected:
  void DoDataExchange(CDataExchange* pDX) override;
  BOOL OnInitDialog() override;
  Handled OnMessage(UINT message, WPARAM wparam, LPARAM lparam) override;

 private:
  Handled OnSysCommand(WPARAM id, LPARAM);
  Handled OnPaint(WPARAM, LPARAM);
  Handled OnQueryDragIcon(WPARAM, LPARAM);
  Handled OnSmallToBig(WPARAM, LPARAM);
  Handled OnBigToSmall(WPARAM, LPARAM);
  Handled OnInfo(WPARAM, LPARAM);
  Handled OnOldToNew(WPARAM, LPARAM);
  Handled OnTimer(WPARAM id, LPARAM);

  void ReadLivePath();
  std::vector<std::string> JournalFolders();
  // Enables the voicemail direction that fits the live table's size, and
  // the personal command.
  void ApplySizeRule();
  // A command: its paths into their JobState fields and checked, the
  // question, then the job. typedSource is the personal job's old table,
  // null for the voicemail jobs (their source is the live table).
  void Convert(const CommandPlan& plan, const std::string& typedTarget, const std::string* typedSource);
  // True for a check that passed (""); otherwise shows error and is false.
  bool Passes(const std::string& error);
  void RunJob(const CommandPlan& plan);
  void AfterJob();
  void EndRun();

  bool livePathUsable_ = true;
  // The running job's run: its lock on the tables, held until its worker
  // has ended so that no other job (vmconvert included) converts into
  // them meanwhile, and its journal.
  std::unique_ptr<WindowRun> run_;
};

#endif  // APP_CCONVERTERDLG_H_
