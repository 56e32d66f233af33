#include "app/CConverterDlg.h"

#include "app/AskYesNo.h"
#include "app/CAboutDlg.h"
#include "app/CHistoryDlg.h"
#include "app/CProgressDlg.h"
#include "commands/PathNames.h"
#include "commands/CommandPlan.h"
#include "messages/ResourceString.h"
#include "app/resource.h"
#include "messages/StringIds.h"
#include "app/WindowRun.h"
#include "convert/JobState.h"
#include "journal/Journal.h"
#include "messages/ShowError.h"

namespace {

const char kRunHistory[] = "Run history\x85";
const UINT_PTR kWorkerTimer = 1;
const UINT kWorkerPollMs = 100;
const int kCommands[] = {IDC_SMALL_TO_BIG, IDC_BIG_TO_SMALL, IDC_OLD_TO_NEW};

}  // namespace

CConverterDlg::CConverterDlg(CDialog* parent)
    : CDialog(IDD_CONVERTER_DIALOG, parent),
      icon(LoadIconA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDR_MAINFRAME))) {}

CConverterDlg::~CConverterDlg() = default;

void CConverterDlg::DoDataExchange(CDataExchange* pDX) {
  DDX_Text(pDX, IDC_BIG_PATH, bigPathText);
  DDX_Text(pDX, IDC_SMALL_PATH, smallPathText);
  DDX_Text(pDX, IDC_NEW_PERSONAL, newPersonalText);
  DDX_Text(pDX, IDC_OLD_PERSONAL, oldPersonalText);
}

BOOL CConverterDlg::OnInitDialog() {
  CDialog::OnInitDialog();
  HMENU menu = GetSystemMenu(m_hWnd, FALSE);
  std::string about = LoadResString(IDS_ABOUTBOX);
  if (menu && !about.empty()) {
    AppendMenuA(menu, MF_SEPARATOR, 0, nullptr);
    AppendMenuA(menu, MF_STRING, IDM_ABOUTBOX, about.c_str());
  }
  if (menu) AppendMenuA(menu, MF_STRING, IDM_HISTORY, kRunHistory);
  SendMessageA(m_hWnd, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(icon));
  SendMessageA(m_hWnd, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(icon));

  ReadLivePath();
  bigPathText = kDefaultBigPath;
  smallPathText = kDefaultSmallPath;
  ApplySizeRule();
  oldPersonalText = kDefaultOldPersonal;
  newPersonalText = kDefaultNewPersonal;
  UpdateData(FALSE);
  return TRUE;
}

// A live table that cannot be looked at is offered the small-to-big job,
// which then reports that it cannot open it.
void CConverterDlg::ApplySizeRule() {
  bool big = LiveTableIsBig(JobState::livePath);
  for (int id : {IDC_BIG_PATH, IDC_SMALL_TO_BIG}) EnableWindow(GetDlgItem(m_hWnd, id), !big);
  for (int id : {IDC_SMALL_PATH, IDC_BIG_TO_SMALL}) EnableWindow(GetDlgItem(m_hWnd, id), big);
  EnableWindow(GetDlgItem(m_hWnd, IDC_OLD_TO_NEW), TRUE);
}

void CConverterDlg::ReadLivePath() { livePathUsable_ = ::ReadLivePath(JobState::livePath); }

Handled CConverterDlg::OnMessage(UINT message, WPARAM wparam, LPARAM lparam) {
  static const MessageMapEntry<CConverterDlg> kMap[] = {
      {WM_SYSCOMMAND, 0, &CConverterDlg::OnSysCommand},
      {WM_PAINT, 0, &CConverterDlg::OnPaint},
      {WM_QUERYDRAGICON, 0, &CConverterDlg::OnQueryDragIcon},
      {WM_TIMER, 0, &CConverterDlg::OnTimer},
      {WM_COMMAND, IDC_SMALL_TO_BIG, &CConverterDlg::OnSmallToBig},
      {WM_COMMAND, IDC_BIG_TO_SMALL, &CConverterDlg::OnBigToSmall},
      {WM_COMMAND, IDC_INFO, &CConverterDlg::OnInfo},
      {WM_COMMAND, IDC_OLD_TO_NEW, &CConverterDlg::OnOldToNew},
  };
  return DispatchMessageMap(this, kMap, message, wparam, lparam);
}

Handled CConverterDlg::OnSysCommand(WPARAM id, LPARAM) {
  if ((id & 0xFFF0) == IDM_HISTORY) {
    CHistoryDlg history(JournalFolders());
    history.DoModal();
    return Done();
  }
  if ((id & 0xFFF0) != IDM_ABOUTBOX) return PassOn();
  CAboutDlg about;
  about.DoModal();
  return Done();
}

// The journal folders beside the tables the four fields name, each once.
std::vector<std::string> CConverterDlg::JournalFolders() {
  UpdateData(TRUE);
  std::vector<std::string> folders;
  for (const std::string* typed : {&bigPathText, &smallPathText, &oldPersonalText, &newPersonalText}) {
    std::string folder = Journal::FolderBeside(FullPath(typed->c_str()));
    bool known = false;
    for (const std::string& f : folders) known = known || FileIdentity(f.c_str()) == FileIdentity(folder.c_str());
    if (!known) folders.push_back(folder);
  }
  return folders;
}

Handled CConverterDlg::OnPaint(WPARAM, LPARAM) {
  if (!IsIconic(m_hWnd)) return PassOn();
  PAINTSTRUCT ps;
  HDC dc = BeginPaint(m_hWnd, &ps);
  SendMessageA(m_hWnd, WM_ICONERASEBKGND, reinterpret_cast<WPARAM>(dc), 0);
  int cx = GetSystemMetrics(SM_CXICON), cy = GetSystemMetrics(SM_CYICON);
  RECT rect;
  GetClientRect(m_hWnd, &rect);
  int x = (rect.right - rect.left - cx + 1) / 2;
  int y = (rect.bottom - rect.top - cy + 1) / 2;
  DrawIcon(dc, x, y, icon);
  EndPaint(m_hWnd, &ps);
  return Done();
}

Handled CConverterDlg::OnQueryDragIcon(WPARAM, LPARAM) { return Done(reinterpret_cast<LRESULT>(icon)); }

Handled CConverterDlg::OnInfo(WPARAM, LPARAM) {
  CAboutDlg about;
  about.DoModal();
  return Done();
}

Handled CConverterDlg::OnSmallToBig(WPARAM, LPARAM) {
  Convert(PlanFor(CommandPlan::kSmallToBig), bigPathText, nullptr);
  return Done();
}

Handled CConverterDlg::OnBigToSmall(WPARAM, LPARAM) {
  Convert(PlanFor(CommandPlan::kBigToSmall), smallPathText, nullptr);
  return Done();
}

Handled CConverterDlg::OnOldToNew(WPARAM, LPARAM) {
  Convert(PlanFor(CommandPlan::kOldToNew), newPersonalText, &oldPersonalText);
  return Done();
}

// A command's checks in the window's order: the typed paths (the personal
// source first), the target's being writable, the live table's path, the
// swap's names, the question.
void CConverterDlg::Convert(const CommandPlan& plan, const std::string& typedTarget, const std::string* typedSource) {
  if (JobState::workerActive) return;
  UpdateData(TRUE);
  if (typedSource && !Passes(TakeSource(plan, typedSource->c_str()))) return;
  if (!Passes(TakeTarget(plan, typedTarget.c_str()))) return;
  // A table that cannot be written would take a box for every field.
  if (!Passes(WriteRefusal(plan.target))) return;
  if (!plan.personal() && !livePathUsable_) {
    ShowError(LoadResString(IDS_INI_PATH_TOO_LONG).c_str(), LoadResString(IDS_ERROR_CAPTION).c_str());
    return;
  }
  if (!Passes(plan.Swap().error())) return;
  if (!AskString(plan.question, plan.source, plan.target)) return;
  RunJob(plan);
}

bool CConverterDlg::Passes(const std::string& error) {
  if (error.empty()) return true;
  ShowError(error.c_str(), LoadResString(IDS_ERROR_CAPTION).c_str());
  return false;
}

// The run's course refuses what must be refused before any write: another
// job holding one of its tables (the swap offered after the job writes the
// live table and its backup), a journal that cannot be made.
void CConverterDlg::RunJob(const CommandPlan& plan) {
  run_.reset(new WindowRun(plan));
  if (!run_->Prepare()) {
    run_.reset();
    return;
  }
  CProgressDlg* dlg = new CProgressDlg();
  dlg->smallToBigJob = plan.command == CommandPlan::kSmallToBig;
  dlg->bigToSmallJob = plan.command == CommandPlan::kBigToSmall;
  dlg->personalJob = plan.command == CommandPlan::kOldToNew;
  dlg->run = run_.get();
  dlg->DoModal();
  delete dlg;
  AfterJob();
}

// A worker left running by Escape or a confirmed cancel finishes its record
// and closes its tables unseen. Until it has, the commands stay disabled
// and a timer looks for its end; the window answers all the while. A swap
// may have changed the live table, so its size decides the directions
// again.
void CConverterDlg::AfterJob() {
  if (!JobState::workerActive) {
    EndRun();
    return;
  }
  for (int id : kCommands) EnableWindow(GetDlgItem(m_hWnd, id), FALSE);
  SetTimer(m_hWnd, kWorkerTimer, kWorkerPollMs, nullptr);
}

Handled CConverterDlg::OnTimer(WPARAM id, LPARAM) {
  if (id != kWorkerTimer || JobState::workerActive) return Done();
  KillTimer(m_hWnd, kWorkerTimer);
  EndRun();
  return Done();
}

// The worker has ended: the run's end line and report, its tables let go.
void CConverterDlg::EndRun() {
  if (run_) run_->Finish();
  run_.reset();
  ApplySizeRule();
}
