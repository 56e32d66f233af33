#include "vmconvert/UndoCommand.h"

#include <cstdio>
#include <string>
#include <vector>

#include "commands/PathNames.h"
#include "journal/JournalText.h"
#include "messages/Printable.h"
#include "commands/ExitStatus.h"
#include "run/TestHooks.h"
#include "run/UndoCourse.h"
#include "run/Warnings.h"

namespace {

using Warnings::PrintError;

void PrintList(const char* title, const std::vector<std::string>& items) {
  std::printf("%s: %u\n", title, unsigned(items.size()));
  for (const std::string& item : items) std::printf("  %s\n", PrintableLines(item).c_str());
}

// The steps made, or for a dry run those planned, as the swap says its own.
void PrintSteps(const std::vector<UndoStep>& steps, bool dryRun) {
  for (const UndoStep& s : steps) {
    const char* verb = s.keep ? (dryRun ? "would keep" : "kept") : (dryRun ? "would copy" : "copied");
    std::printf("%s %s %s %s\n", verb, Printable(s.from).c_str(), s.keep ? "as" : "to", Printable(s.to).c_str());
  }
}

void PrintPuts(const Undo& undo) {
  const TableShape& shape = undo.journal().shape;
  for (const UndoPut& p : undo.outcome().puts) {
    std::string where = p.record ? "record " + std::to_string(p.record) + " " + Printable(shape.names[p.field - 1])
                                 : std::string("the header's date");
    std::printf("%s: \"%s\" -> \"%s\"\n", where.c_str(), ShownBytes(p.now).c_str(), ShownBytes(p.before).c_str());
  }
}

void PrintOutcome(const UndoCourse& course, bool dryRun) {
  const UndoOutcome& u = course.undo().outcome();
  PrintSteps(dryRun ? u.steps : u.done, dryRun);
  for (const std::string& left : u.swapLeft) PrintError(left);
  for (const std::string& note : u.notes) std::printf("%s\n", PrintableLines(note).c_str());
  if (dryRun) PrintPuts(course.undo());
  std::printf("%s: %u\nalready as before: %u\n", dryRun ? "to put back" : "put back",
              unsigned(dryRun ? u.puts.size() : u.putBack), u.already);
  PrintList("changed since the run, left as they are", u.changed);
  PrintList("records changed elsewhere since the run, left as they are", u.moved);
  if (!u.swapError.empty()) PrintError(u.swapError);
  if (!u.writeError.empty()) PrintError(u.writeError);
}

}  // namespace

int RunUndo(const Options& o, RunReport& report) {
  Warnings::Catch(o.boxes);
  UndoSetup setup;
  setup.journal = FullPath(o.undoJournal.c_str());
  setup.program = "vmconvert";
  setup.files = TestHooks::Files();
  setup.probe = TestHooks::Probe();
  setup.dryRun = o.dryRun;
  setup.keepJournal = !o.noJournal;
  setup.journalPath = o.journal.empty() ? std::string() : FullPath(o.journal.c_str());
  UndoCourse course(setup, report);
  int status = course.Prepare();
  if (status == kDone) {
    std::printf("undo%s: %s -> %s\n", o.dryRun ? " (dry run)" : "", Printable(setup.journal).c_str(),
                Printable(course.undo().journal().run.target).c_str());
    status = course.Apply();
  }
  if (!course.message().empty()) PrintError(course.message());
  if (status != kRefused && status != kBusy) PrintOutcome(course, o.dryRun);
  if (!course.journalPath().empty()) std::printf("journal: %s\n", Printable(course.journalPath()).c_str());
  status = course.End(status);
  if (!course.message().empty()) PrintError(course.message());
  return status;
}
