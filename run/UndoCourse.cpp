#include "run/UndoCourse.h"

#include "journal/Journal.h"
#include "journal/JournalText.h"
#include "messages/Printable.h"
#include "commands/ExitStatus.h"
#include "run/RunFacts.h"
#include "run/RunProbe.h"
#include "run/Warnings.h"

namespace {

UndoRequest RequestOf(const UndoSetup& setup, const RunReport& report) {
  UndoRequest request;
  request.journal = setup.journal;
  request.fs = setup.files;
  request.facts = {{"program", EncodeBytes(setup.program)},  {"started_at", EncodeBytes(report.startedAt)},
                   {"version", EncodeBytes(report.version)}, {"computer", EncodeBytes(report.computer)},
                   {"user", EncodeBytes(report.user)}};
  return request;
}

int StatusOf(const UndoOutcome& u) {
  if (!u.swapError.empty()) return kSwapFailed;
  bool left = !u.writeError.empty() || !u.swapLeft.empty() || !u.changed.empty() || !u.moved.empty();
  return left ? kWarned : kDone;
}

}  // namespace

void UndoCourse::Say(const std::string& text) { message_ = said_ = text; }

UndoCourse::UndoCourse(const UndoSetup& setup, RunReport& report)
    : setup_(setup), report_(report), undo_(RequestOf(setup, report)) {}

int UndoCourse::Prepare() {
  message_.clear();
  report_.command = "undo";
  report_.program = setup_.program;
  report_.dryRun = setup_.dryRun;
  report_.source = setup_.journal;
  if (!undo_.Load()) return Say(undo_.outcome().refusal), kRefused;
  const std::string& target = undo_.journal().run.target;
  report_.target = target;
  report_.targetBytesBefore = FileBytes(*setup_.files, target);
  if (!setup_.dryRun && !lock_.Acquire(*setup_.files, undo_.LockedFiles()))
    return Say("the table " + Printable(target) + " is being converted by another job"), kBusy;
  if (setup_.probe) {
    setup_.probe->Aim(target);
    setup_.probe->SwapBegins();
  }
  if (!undo_.Plan()) return Say(undo_.outcome().refusal), kRefused;
  return kDone;
}

int UndoCourse::Apply() {
  message_.clear();
  if (setup_.dryRun) return StatusOf(undo_.outcome());
  if (!undo_.Start(setup_.keepJournal, setup_.journalPath))
    return Say("undo's journal cannot be made (" + undo_.journalError() + "); nothing was undone"), kRefused;
  report_.journal = undo_.journalPath();
  undo_.Apply();
  return StatusOf(undo_.outcome());
}

void UndoCourse::Report() {
  const UndoOutcome& u = undo_.outcome();
  report_.fieldsWritten["put back"] = int(setup_.dryRun ? u.puts.size() : u.putBack);
  for (const auto* list : {&u.swapLeft, &u.changed, &u.moved})
    report_.warnings.insert(report_.warnings.end(), list->begin(), list->end());
  if (!u.writeError.empty()) report_.warnings.push_back(u.writeError);
  for (const UndoStep& s : u.done) (s.keep ? report_.backupsKept : report_.copies).push_back({s.from, s.to});
  report_.swapError = u.swapError;
  if (undo_.journal().steps.empty()) report_.swap = "not asked";
  else if (!u.swapError.empty()) report_.swap = "failed";
  else if (setup_.dryRun || (u.done.empty() && !u.swapLeft.empty())) report_.swap = "not made";
  else report_.swap = "done";
  report_.targetBytesAfter = FileBytes(*setup_.files, undo_.journal().run.target);
}

int UndoCourse::End(int status) {
  message_.clear();
  if (status == kDone || status == kWarned || status == kSwapFailed) Report();
  if (status != kDone && report_.reason.empty()) report_.reason = !said_.empty() ? said_ : Warnings::LastError();
  if (!setup_.dryRun && !undo_.End(status, report_.reason)) {
    message_ = "undo's journal " + Printable(report_.journal) + " could not be ended (" + undo_.journalError() +
               "): it may lack its end line, or not be on the disk whole";
    report_.warnings.push_back(message_);
    if (status == kDone) status = kWarned, report_.reason = message_;
  }
  lock_.Release();
  report_.status = status;
  if (report_.journal.empty()) return status;
  std::string why, kept = Journal::ReportPath(report_.journal);
  if (report_.Write(kept, setup_.files, &why)) return status;
  message_ = "the report " + Printable(kept) + " could not be written (" + why + "); nothing of it was written";
  return status == kDone ? kWarned : status;
}
