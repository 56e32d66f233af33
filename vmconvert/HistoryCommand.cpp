#include "vmconvert/HistoryCommand.h"

#include <cstdio>
#include <string>

#include "commands/PathNames.h"
#include "journal/Journal.h"
#include "journal/JournalText.h"
#include "journal/RunHistory.h"
#include "messages/Printable.h"
#include "commands/ExitStatus.h"
#include "run/TestHooks.h"
#include "run/Warnings.h"

namespace {

std::string Status(const JournalEnd& end) {
  return end.present ? "status " + std::to_string(end.status) : "killed";
}

// Every text of a journal is escaped (Printable): none of it can start a
// line of its own or reach the terminal as a control.
std::string Line(const HistoryEntry& e) {
  if (!e.unreadable.empty()) return "unreadable: " + Printable(e.unreadable) + "  " + Printable(e.journal);
  const JournalRun& r = e.run;
  std::string line = Printable(r.startedAt) + "  " + Printable(r.computer) + "\\" + Printable(r.user) + "  " +
                     Printable(r.program) + "  " + Printable(r.command) + "  " +
                     (e.end.present ? Status(e.end) : "killed (no end line)") + "  ";
  if (e.end.present)
    line += std::to_string(e.end.fieldsWritten) + " fields written";
  else
    line += e.counted ? std::to_string(e.fieldsJournaled) + " fields journaled" : "--count counts its fields";
  line += "  swap " + e.Swap();
  if (e.end.cancelled) line += "  cancelled";
  if (!e.undoneBy.empty()) line += "  undone by " + Printable(e.undoneBy) + " (" + Status(e.undoneEnd) + ")";
  line += "  " + Printable(r.source) + " -> " + Printable(r.target);
  if (e.end.present && e.end.status != 0 && !e.end.reason.empty()) line += "  (" + Printable(e.end.reason) + ")";
  return line + "  " + Printable(e.journal);
}

std::string Json(const HistoryEntry& e) {
  if (!e.unreadable.empty())
    return "{\"journal\":" + EncodeBytes(e.journal) + ",\"unreadable\":" + EncodeBytes(e.unreadable) + "}";
  auto number = [](bool known, int64_t n) { return known ? std::to_string(n) : std::string("null"); };
  return "{\"journal\":" + EncodeBytes(e.journal) + ",\"started_at\":" + EncodeBytes(e.run.startedAt) +
         ",\"computer\":" + EncodeBytes(e.run.computer) + ",\"user\":" + EncodeBytes(e.run.user) +
         ",\"program\":" + EncodeBytes(e.run.program) + ",\"command\":" + EncodeBytes(e.run.command) +
         ",\"source\":" + EncodeBytes(e.run.source) + ",\"target\":" + EncodeBytes(e.run.target) +
         ",\"status\":" + number(e.end.present, e.end.status) +
         ",\"reason\":" + (e.end.present ? EncodeBytes(e.end.reason) : std::string("null")) +
         ",\"fields_written\":" + number(e.end.present, int64_t(e.end.fieldsWritten)) +
         ",\"fields_journaled\":" + number(e.counted, int64_t(e.fieldsJournaled)) + ",\"swap\":" + EncodeBytes(e.Swap()) +
         ",\"cancelled\":" + (e.end.cancelled ? "true" : "false") + ",\"killed\":" + (e.end.present ? "false" : "true") +
         ",\"undone_by\":" + (e.undoneBy.empty() ? "null" : EncodeBytes(e.undoneBy)) +
         ",\"undo_status\":" + number(!e.undoneBy.empty() && e.undoneEnd.present, e.undoneEnd.status) + "}";
}

}  // namespace

int RunHistory(const Options& o) {
  std::string target = o.historyTarget.empty() ? std::string() : FullPath(o.historyTarget.c_str());
  std::string folder = FullPath((o.journalDir.empty() ? Journal::FolderBeside(target.empty() ? kDefaultBigPath : target)
                                                      : o.journalDir).c_str());
  if (!TestHooks::Files()->Exists(folder.c_str())) {
    Warnings::PrintError("the journal folder " + Printable(folder) + " is not there, so no run is recorded in it");
    return kRefused;
  }
  // A killed run's fields are counted, reading its journal whole, only
  // when asked: the first look the morning after reads two lines a run.
  std::vector<HistoryEntry> entries = ReadHistory(*TestHooks::Files(), folder, target, o.count || o.json);
  if (!o.json) std::printf("history: %s, %u run%s, newest first\n", Printable(folder).c_str(), unsigned(entries.size()),
                           entries.size() == 1 ? "" : "s");
  // One write for the whole list: the C runtime writes a line printed at a
  // time to a pipe or a file many times slower.
  std::string out;
  for (const HistoryEntry& e : entries) out += (o.json ? Json(e) : Line(e)) + "\n";
  std::fwrite(out.data(), 1, out.size(), stdout);
  return kDone;
}
