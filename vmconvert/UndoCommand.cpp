#include "vmconvert/UndoCommand.h"

#include <cstdio>
#include <string>
#include <vector>

#include "commands/PathNames.h"
#include "commands/TargetLock.h"
#include "journal/Journal.h"
#include "journal/JournalText.h"
#include "journal/Undo.h"
#include "vmconvert/ExitStatus.h"
#include "vmconvert/RunFacts.h"
#include "vmconvert/TestHooks.h"
#include "vmconvert/Warnings.h"

namespace {

using Warnings::PrintError;

int Refuse(const std::string& why, int status) {
  PrintError(why);
  return status;
}


void PrintList(const char* title, const std::vector<std::string>& items) {
  std::printf("%s: %u\n", title, unsigned(items.size()));
  for (const std::string& item : items) std::printf("  %s\n", item.c_str());
}

// The steps made, or for a dry run those planned, as the swap says its own.
void PrintSteps(const std::vector<UndoStep>& steps, bool dryRun) {
  for (const UndoStep& s : steps) {
    if (s.keep)
      std::printf("%s %s as %s\n", dryRun ? "would keep" : "kept", s.from.c_str(), s.to.c_str());
    else
      std::printf("%s %s to %s\n", dryRun ? "would copy" : "copied", s.from.c_str(), s.to.c_str());
  }
}

void PrintPuts(const Undo& undo) {
  const TableShape& shape = undo.journal().shape;
  for (const UndoPut& p : undo.outcome().puts) {
    std::string where = p.record ? "record " + std::to_string(p.record) + " " + shape.names[p.field - 1]
                                 : std::string("the header's date");
    std::printf("%s: \"%s\" -> \"%s\"\n", where.c_str(), ShownBytes(p.now).c_str(), ShownBytes(p.before).c_str());
  }
}

int StatusOf(const UndoOutcome& u) {
  if (!u.swapError.empty()) return kSwapFailed;
  bool left = !u.writeError.empty() || !u.swapLeft.empty() || !u.changed.empty() || !u.moved.empty();
  return left ? kWarned : kDone;
}

void Report(const Undo& undo, bool dryRun, RunReport& report) {
  const UndoOutcome& u = undo.outcome();
  report.fieldsWritten["put back"] = int(dryRun ? u.puts.size() : u.putBack);
  for (const auto* list : {&u.swapLeft, &u.changed, &u.moved})
    report.warnings.insert(report.warnings.end(), list->begin(), list->end());
  if (!u.writeError.empty()) report.warnings.push_back(u.writeError);
  for (const UndoStep& s : u.done) (s.keep ? report.backupsKept : report.copies).push_back({s.from, s.to});
  report.swapError = u.swapError;
  if (undo.journal().steps.empty()) report.swap = "not asked";
  else if (!u.swapError.empty()) report.swap = "failed";
  else if (dryRun || (u.done.empty() && !u.swapLeft.empty())) report.swap = "not made";
  else report.swap = "done";
  report.targetBytesBefore = undo.targetBytes();
  report.targetBytesAfter = FileBytes(undo.journal().run.target.c_str());
}

}  // namespace

int RunUndo(const Options& o, RunReport& report) {
  Warnings::Catch(o.boxes);
  report.command = "undo";
  report.dryRun = o.dryRun;
  UndoRequest request;
  request.journal = FullPath(o.undoJournal.c_str());
  request.fs = TestHooks::Files();
  request.facts = {{"started_at", EncodeBytes(report.startedAt)}, {"version", EncodeBytes(report.version)},
                   {"computer", EncodeBytes(report.computer)}, {"user", EncodeBytes(report.user)}};
  report.source = request.journal;
  Undo undo(request);
  if (!undo.Load()) return Refuse(undo.outcome().refusal, kRefused);
  const std::string& target = undo.journal().run.target;
  report.target = target;
  TargetLock lock;
  if (!o.dryRun && !lock.Acquire(*request.fs, undo.LockedFiles()))
    return Refuse("the table " + target + " is being converted by another job", kBusy);
  TestHooks::Aim(target);
  TestHooks::SwapBegins();
  if (!undo.Plan()) return Refuse(undo.outcome().refusal, kRefused);
  std::printf("undo%s: %s -> %s\n", o.dryRun ? " (dry run)" : "", request.journal.c_str(), target.c_str());
  if (!o.dryRun && !undo.Start(!o.noJournal, o.journal.empty() ? std::string() : FullPath(o.journal.c_str())))
    return Refuse("undo's journal cannot be made (" + undo.journalError() + "); nothing was undone", kRefused);
  std::string own = undo.journalPath();
  if (!o.dryRun) undo.Apply();
  const UndoOutcome& u = undo.outcome();
  PrintSteps(o.dryRun ? u.steps : u.done, o.dryRun);
  for (const std::string& left : u.swapLeft) PrintError(left);
  for (const std::string& note : u.notes) std::printf("%s\n", note.c_str());
  if (o.dryRun) PrintPuts(undo);
  std::printf("%s: %u\nalready as before: %u\n", o.dryRun ? "to put back" : "put back",
              unsigned(o.dryRun ? u.puts.size() : u.putBack), u.already);
  PrintList("changed since the run, left as they are", u.changed);
  PrintList("records changed elsewhere since the run, left as they are", u.moved);
  if (!u.swapError.empty()) PrintError(u.swapError);
  if (!u.writeError.empty()) PrintError(u.writeError);
  int status = StatusOf(u);
  if (!own.empty()) std::printf("journal: %s\n", own.c_str());
  report.journal = own;
  Report(undo, o.dryRun, report);
  if (!o.dryRun) undo.End(status);
  return status;
}
