#include "app/CHistoryDlg.h"

#include <commctrl.h>

#include <memory>

#include "app/AskYesNo.h"
#include "app/CUndoDlg.h"
#include "app/resource.h"
#include "db/EngineContext.h"
#include "journal/Journal.h"
#include "messages/Printable.h"
#include "messages/ResourceString.h"
#include "messages/ShowError.h"
#include "messages/StringIds.h"
#include "commands/ExitStatus.h"
#include "run/RunFacts.h"
#include "run/UndoCourse.h"

namespace {

// A report of ours is a few kilobytes; more is not shown.
const uint64_t kLargestShown = 64 * 1024;

struct Column {
  const char* title;
  int width;  // pixels
};
const Column kColumns[] = {{"When", 128}, {"Program", 62}, {"User", 80},  {"Job", 76},    {"Source -> target", 250},
                           {"Status", 120}, {"Fields", 60},  {"Swap", 56}, {"Undone", 100}};

std::string Status(const JournalEnd& end) {
  return end.present ? std::to_string(end.status) + " " + StatusWords(int(end.status)) : "killed (no end line)";
}

// The row of e, a text a column, each escaped.
std::vector<std::string> Row(const HistoryEntry& e) {
  if (!e.unreadable.empty())
    return {"", "", "", "", Printable(e.journal), "unreadable: " + Printable(e.unreadable), "", "", ""};
  const JournalRun& r = e.run;
  std::string fields = e.end.present ? std::to_string(e.end.fieldsWritten)
                                     : std::to_string(e.fieldsJournaled) + " journaled";
  std::string undone = e.undoneBy.empty() ? "" : "undone (" + Status(e.undoneEnd) + ")";
  return {Printable(r.startedAt), Printable(r.program), Printable(r.computer + "\\" + r.user), Printable(r.command),
          Printable(r.source + " -> " + r.target), Status(e.end), fields, e.Swap(), undone};
}

void AddLine(std::string& text, const std::string& line) { text += "\n" + PrintableLines(line); }

// What undo would do, from its dry run, as the question shows it.
std::string Question(const HistoryEntry& e, const UndoOutcome& u, int status) {
  std::string text = "Undo the run " + Printable(e.run.command) + " of " + Printable(e.run.startedAt) + " (" +
                     Printable(e.run.program) + ", " + Printable(e.run.computer + "\\" + e.run.user) + ")?\n" +
                     Printable(e.run.target) + "\n";
  size_t keeps = 0;
  for (const UndoStep& s : u.steps) keeps += s.keep;
  AddLine(text, "It would put back " + std::to_string(u.puts.size()) + " fields (" + std::to_string(u.already) +
                    " hold what they held before already).");
  if (!u.steps.empty())
    AddLine(text, "It would copy back " + std::to_string(u.steps.size() - keeps) + " files of the swap, keeping " +
                      std::to_string(keeps) + " it replaces under dated names first.");
  if (!u.changed.empty() || !u.moved.empty())
    AddLine(text, "It would leave as they are " + std::to_string(u.changed.size()) + " fields changed since the run and " +
                      std::to_string(u.moved.size()) + " records changed elsewhere.");
  for (const std::string& left : u.swapLeft) AddLine(text, left);
  for (const std::string& note : u.notes) AddLine(text, note);
  AddLine(text, "It would end with status " + std::to_string(status) + ": " + StatusWords(status) + ".");
  return text;
}

// What undo did, as the box after it shows it.
std::string Result(const UndoCourse& course, int status) {
  const UndoOutcome& u = course.undo().outcome();
  std::string text = "The undo ended with status " + std::to_string(status) + ": " + StatusWords(status) + ".\n";
  if (!course.message().empty()) AddLine(text, course.message());
  AddLine(text, "Put back: " + std::to_string(u.putBack) + " fields.");
  for (const UndoStep& s : u.done)
    AddLine(text, (s.keep ? "Kept " : "Copied ") + Printable(s.from) + (s.keep ? " as " : " to ") + Printable(s.to) + ".");
  for (const auto* list : {&u.swapLeft, &u.changed, &u.moved})
    for (const std::string& left : *list) AddLine(text, left);
  for (const std::string* error : {&u.swapError, &u.writeError})
    if (!error->empty()) AddLine(text, *error);
  if (!course.journalPath().empty()) AddLine(text, "Undo's journal: " + Printable(course.journalPath()));
  return text;
}

void Tell(HWND owner, const std::string& text, bool good) {
  MessageBoxA(owner, text.c_str(), LoadResString(good ? IDS_INFORMATION_CAPTION : IDS_ERROR_CAPTION).c_str(),
              MB_OK | (good ? MB_ICONINFORMATION : MB_ICONEXCLAMATION));
}

}  // namespace

CHistoryDlg::CHistoryDlg(std::vector<std::string> folders) : CDialog(IDD_HISTORY), folders_(std::move(folders)) {}

HWND CHistoryDlg::List() const { return GetDlgItem(m_hWnd, IDC_HISTORY_LIST); }

BOOL CHistoryDlg::OnInitDialog() {
  CDialog::OnInitDialog();
  SendMessageA(List(), LVM_SETEXTENDEDLISTVIEWSTYLE, 0, LVS_EX_FULLROWSELECT);
  for (int i = 0; i < int(sizeof kColumns / sizeof kColumns[0]); ++i) {
    LVCOLUMNA column = {};
    column.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_SUBITEM;
    column.pszText = const_cast<char*>(kColumns[i].title);
    column.cx = kColumns[i].width;
    column.iSubItem = i;
    SendMessageA(List(), LVM_INSERTCOLUMNA, WPARAM(i), reinterpret_cast<LPARAM>(&column));
  }
  Fill();
  return TRUE;
}

void CHistoryDlg::Fill() {
  SendMessageA(List(), LVM_DELETEALLITEMS, 0, 0);
  std::vector<std::string> there;
  for (const std::string& f : folders_)
    if (engineContext.fileSystem()->Exists(f.c_str())) there.push_back(f);
  entries_ = ReadHistories(*engineContext.fileSystem(), there);
  for (size_t i = 0; i < entries_.size(); ++i) {
    std::vector<std::string> row = Row(entries_[i]);
    LVITEMA item = {};
    item.mask = LVIF_TEXT;
    item.iItem = int(i);
    item.pszText = &row[0][0];
    SendMessageA(List(), LVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&item));
    for (size_t c = 1; c < row.size(); ++c) {
      item.iSubItem = int(c);
      item.pszText = &row[c][0];
      SendMessageA(List(), LVM_SETITEMTEXTA, WPARAM(i), reinterpret_cast<LPARAM>(&item));
    }
  }
  if (entries_.empty()) return;
  LVITEMA selected = {};
  selected.stateMask = selected.state = LVIS_SELECTED | LVIS_FOCUSED;
  SendMessageA(List(), LVM_SETITEMSTATE, 0, reinterpret_cast<LPARAM>(&selected));
}

const HistoryEntry* CHistoryDlg::Selected() const {
  LRESULT at = SendMessageA(List(), LVM_GETNEXTITEM, WPARAM(-1), LVNI_SELECTED);
  return at >= 0 && size_t(at) < entries_.size() ? &entries_[size_t(at)] : nullptr;
}

Handled CHistoryDlg::OnMessage(UINT message, WPARAM wparam, LPARAM lparam) {
  static const MessageMapEntry<CHistoryDlg> kMap[] = {
      {WM_COMMAND, IDC_HISTORY_UNDO, &CHistoryDlg::OnUndo},
      {WM_COMMAND, IDC_HISTORY_REPORT, &CHistoryDlg::OnReport},
  };
  return DispatchMessageMap(this, kMap, message, wparam, lparam);
}

// A dry run first, which writes nothing: its refusal, or the question of
// what the undo would do; only Yes writes.
Handled CHistoryDlg::OnUndo(WPARAM, LPARAM) {
  const HistoryEntry* e = Selected();
  if (!e) return Done();
  if (!e->unreadable.empty()) {
    Tell(m_hWnd, "The run cannot be undone, and nothing was written:\n" + Printable(e->unreadable), false);
    return Done();
  }
  UndoSetup setup;
  setup.journal = e->journal;
  setup.program = "converter";
  setup.files = engineContext.fileSystem();
  setup.dryRun = true;
  RunReport report;
  UndoCourse dry(setup, report);
  int status = dry.Prepare();
  if (status == kDone) status = dry.Apply();
  if (status == kRefused || status == kBusy) {
    Tell(m_hWnd, "The run cannot be undone, and nothing was written:\n" + PrintableLines(dry.message()), false);
    return Done();
  }
  if (!AskYesNo(Question(*e, dry.undo().outcome(), status).c_str(), LoadResString(IDS_CONFIRM_CAPTION).c_str(), 0))
    return Done();
  CUndoDlg undo(e->journal);
  undo.DoModal();
  Tell(m_hWnd, Result(undo.course(), undo.status()), undo.status() == kDone);
  Fill();
  return Done();
}

Handled CHistoryDlg::OnReport(WPARAM, LPARAM) {
  const HistoryEntry* e = Selected();
  if (!e) return Done();
  std::string path = Journal::ReportPath(e->journal), text;
  std::unique_ptr<xb::File> file = engineContext.fileSystem()->OpenReadOnly(path.c_str());
  uint64_t size = 0;
  size_t got = 0;
  if (file && file->Size(&size) && size > 0 && size <= kLargestShown) {
    text.assign(size_t(size), '\0');
    if (!file->ReadAt(0, &text[0], text.size(), &got) || got != text.size()) text.clear();
  }
  if (text.empty()) {
    Tell(m_hWnd, "No report is kept beside " + Printable(e->journal) + ".", false);
    return Done();
  }
  MessageBoxA(m_hWnd, PrintableLines(text).c_str(), Printable(path).c_str(), MB_OK);
  return Done();
}
