#include "run/RunCourse.h"

#include <map>

#include "commands/CommandPlan.h"
#include "commands/PathNames.h"
#include "commands/TableSwap.h"
#include "convert/JobState.h"
#include "journal/JournalText.h"
#include "journal/TableShape.h"
#include "messages/Printable.h"
#include "messages/ResourceString.h"
#include "messages/StringIds.h"
#include "commands/ExitStatus.h"
#include "run/RunFacts.h"
#include "run/RunProbe.h"
#include "run/Warnings.h"

RunCourse::RunCourse(const RunSetup& setup, RunReport& report) : setup_(setup), report_(report) {}

void RunCourse::Say(const std::string& text) { message_ = said_ = text; }

// The window's paths stand as typed; the trail names them in full.
void RunCourse::Describe() {
  const CommandPlan& plan = *setup_.plan;
  report_.command = plan.name;
  report_.program = setup_.program;
  report_.dryRun = setup_.dryRun;
  report_.source = FullPath(plan.source);
  report_.target = FullPath(plan.target);
  report_.sourceBytesBefore = FileBytes(*setup_.files, plan.source);
  report_.targetBytesBefore = FileBytes(*setup_.files, plan.target);
}

int RunCourse::Prepare() {
  message_.clear();
  const CommandPlan& plan = *setup_.plan;
  xb::FileSystem& fs = *setup_.files;
  Describe();
  if (setup_.probe) setup_.probe->Aim(plan.target);
  if (setup_.swapAsked) {
    std::string refusal = plan.Swap().Check(fs);
    if (!refusal.empty()) return Refuse(kRefused, refusal);
  }
  // A table that cannot be written would take a warning for every field.
  unwritable_ = WriteRefusal(plan.target);
  if (!unwritable_.empty() && !setup_.dryRun) return Refuse(kNotOpened, unwritable_);
  if (!unwritable_.empty()) Say("a real run would be refused: " + unwritable_);
  if (!setup_.dryRun && !lock_.Acquire(fs, plan.LockedFiles(setup_.swapAsked || setup_.swapMayFollow)))
    return Refuse(kBusy, FillPlaceholders(LoadResString(IDS_TARGET_BUSY), Printable(plan.target).c_str(), nullptr));
  return StartJournal() ? kDone : kRefused;
}

// The run refused leaves a journal of its run line and its end line, so
// that history shows it with its status and reason; a dry run, and a run
// that was to keep none, leave nothing.
int RunCourse::Refuse(int status, const std::string& why) {
  Describe();
  report_.reason = why;
  if (!setup_.dryRun && setup_.journal && StartJournal()) status = End(status);
  Say(why);
  return status;
}

bool RunCourse::StartJournal() {
  report_.journal.clear();
  if (setup_.dryRun || !setup_.journal) return true;
  const CommandPlan& plan = *setup_.plan;
  const std::string& target = report_.target;
  std::map<std::string, std::string> run = {
      {"program", EncodeBytes(setup_.program)},     {"command", EncodeBytes(plan.name)},
      {"source", EncodeBytes(report_.source)},       {"target", EncodeBytes(target)},
      {"started_at", EncodeBytes(report_.startedAt)}, {"version", EncodeBytes(report_.version)},
      {"computer", EncodeBytes(report_.computer)},   {"user", EncodeBytes(report_.user)}};
  TableShape shape;
  bool begun = ReadShape(*setup_.files, target, &shape) &&
               (setup_.journalPath.empty() ? journal_.BeginDefault(setup_.files, target, plan.name, run, shape)
                                           : journal_.Begin(setup_.files, setup_.journalPath, run, shape));
  if (begun) {
    report_.journal = journal_.path();
    return true;
  }
  std::string where = journal_.path().empty() ? "beside " + Printable(target) : Printable(journal_.path());
  std::string why = journal_.error().empty() ? "the table cannot be read" : journal_.error();
  Say("the journal " + where + " cannot be made (" + why + "); nothing was converted");
  return false;
}

bool RunCourse::StartJob(HWND window) {
  message_.clear();
  JobState::files = setup_.files;
  JobState::progressWindow = window;
  JobState::outcome.listener = setup_.dryRun ? setup_.listing : journaling() ? &journal_ : nullptr;
  JobState::running = 1;
  started_ = std::chrono::steady_clock::now();
  if (JobState::StartJob(setup_.plan->routine)) return true;
  JobState::files = nullptr;
  JobState::outcome.listener = nullptr;
  Say(LoadResString(IDS_NOT_STARTED));
  return false;
}

int RunCourse::JobEnded(bool ended) {
  message_.clear();
  const JobOutcome& outcome = JobState::outcome;
  report_.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started_).count();
  JobState::outcome.listener = nullptr;
  JobState::files = nullptr;
  report_.warnings = Warnings::All();
  if (journal_.failed()) {
    Say("the journal " + Printable(journal_.path()) + " could not be written (" + journal_.error() + RoomLeft() +
        "): every change it could not record was refused, so the table holds only what it records");
    report_.warnings.push_back(message_);
  }
  if (!ended) return kNotOpened;
  report_.TakeOutcome(outcome);
  if (outcome.cancelled) {
    report_.reason = "cancelled after record " + std::to_string(outcome.stoppedAfter) + " of " +
                     std::to_string(outcome.walkLength);
    return kCancelled;
  }
  return report_.warnings.empty() ? kDone : kWarned;
}

// "; N bytes are free on the disk of FOLDER" for the journal's folder.
std::string RunCourse::RoomLeft() const {
  uint64_t free = 0;
  std::string folder = FolderOf(journal_.path());
  if (!setup_.files->FreeBytes(folder.c_str(), &free)) return std::string();
  return "; " + std::to_string(free) + " bytes are free on the disk of " + Printable(folder);
}

int RunCourse::Swap() {
  message_.clear();
  TableSwap swap = setup_.plan->Swap();
  if (journaling()) swap.SetJournal(&journal_);
  if (setup_.probe) setup_.probe->SwapBegins();
  bool done = swap.Run(*setup_.files);
  report_.copies = swap.copied();
  report_.backupsKept = swap.kept();
  if (!done) {
    report_.swap = "failed";
    report_.swapError = swap.error();
    Say(swap.error());
    return kSwapFailed;
  }
  report_.swap = "done";
  return kDone;
}

// The reason goes into the end line, so that history tells it from the
// journal alone.
int RunCourse::End(int status) {
  message_.clear();
  const JobOutcome& outcome = JobState::outcome;
  if (!unwritable_.empty()) status = kNotOpened;
  if (status != kDone && report_.reason.empty()) report_.reason = !said_.empty() ? said_ : Warnings::LastError();
  if (journaling() && !journal_.End(status, outcome.Written(), outcome.cancelled, report_.reason)) {
    Say("the journal " + Printable(journal_.path()) + " could not be ended (" + journal_.error() +
        "): it may lack its end line, or not be on the disk whole");
    report_.warnings.push_back(message_);
    if (status == kDone) status = kWarned, report_.reason = message_;
  }
  report_.sourceBytesAfter = FileBytes(*setup_.files, setup_.plan->source);
  report_.targetBytesAfter = FileBytes(*setup_.files, setup_.plan->target);
  lock_.Release();
  report_.status = status;
  if (!journaling()) return status;
  std::string why, kept = Journal::ReportPath(journalPath());
  if (report_.Write(kept, setup_.files, &why)) return status;
  Say("the report " + Printable(kept) + " could not be written (" + why + "); nothing of it was written");
  return status == kDone ? kWarned : status;
}
