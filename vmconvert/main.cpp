// vmconvert: the converter's jobs from a script or a scheduled task, with a
// dry run. See Options.cpp for the command line; the run's course is
// run/RunCourse's, this file its console face.
#include <windows.h>

#include <cstdio>
#include <string>

#include "commands/CommandPlan.h"
#include "commands/PathNames.h"
#include "convert/JobState.h"
#include "journal/Journal.h"
#include "messages/Printable.h"
#include "messages/ResourceString.h"
#include "messages/StringIds.h"
#include "run/DryRunFileSystem.h"
#include "commands/ExitStatus.h"
#include "run/RunCourse.h"
#include "run/RunFacts.h"
#include "run/RunReport.h"
#include "run/TestHooks.h"
#include "run/Warnings.h"
#include "vmconvert/CompareCommand.h"
#include "vmconvert/ConsoleEvents.h"
#include "vmconvert/ConsoleProgress.h"
#include "vmconvert/HistoryCommand.h"
#include "vmconvert/Options.h"
#include "vmconvert/Outputs.h"
#include "vmconvert/RunPlan.h"
#include "vmconvert/Summary.h"
#include "vmconvert/UndoCommand.h"
#include "vmconvert/Usage.h"

namespace {

using Warnings::PrintError;

void SayIfAny(const std::string& message) {
  if (!message.empty()) PrintError(message);
}

// Lets the job's messages through until its worker has ended, and
// delivers a test build's console event; false when the job ended without
// its end message (a table it could not open, which it has said).
bool WaitForJob(ConsoleProgress& progress) {
  while (JobState::workerActive) {
    // Once the end message has come, the worker has only its last steps
    // left: look again soon rather than at the next 20 ms.
    MsgWaitForMultipleObjects(0, nullptr, FALSE, progress.ended() ? 1 : 20, QS_ALLINPUT);
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);
    ConsoleEvents::DeliverWhenDue(progress);
  }
  return progress.ended();
}

// Puts the converted table into service, unless the run raised warnings:
// then the operator decides, not a schedule.
int Swap(const CommandPlan& plan, RunCourse& course) {
  RunReport& report = course.report();
  if (!report.warnings.empty()) {
    report.swap = "not made";
    PrintError(FillPlaceholders(LoadResString(IDS_NOT_SWAPPED_AFTER_WARNINGS), Printable(plan.target).c_str(), nullptr));
    return kWarned;
  }
  int status = course.Swap();
  for (const auto& k : report.backupsKept)
    std::printf("kept the older backup %s as %s\n", Printable(k.first).c_str(), Printable(k.second).c_str());
  for (const auto& c : report.copies)
    std::printf("copied %s to %s\n", Printable(c.first).c_str(), Printable(c.second).c_str());
  SayIfAny(course.message());
  if (status == kDone) std::printf("%s\n", LoadResString(IDS_COPIED).c_str());
  return status;
}

// The job and what follows it: its summary, then the swap or the check.
int RunJob(const Options& o, const CommandPlan& plan, RunCourse& course) {
  ConsoleProgress progress(ConsoleProgress::IsConsole(GetStdHandle(STD_ERROR_HANDLE)),
                           o.dryRun ? "compared" : "converted");
  std::printf("%s%s: %s -> %s\n", plan.name, o.check ? " (check)" : o.dryRun ? " (dry run)" : "",
              Printable(plan.source).c_str(), Printable(plan.target).c_str());
  std::fflush(stdout);
  if (!course.StartJob(progress.window())) {
    PrintError(course.message());
    return kNotOpened;
  }
  bool ended = WaitForJob(progress);
  int status = course.JobEnded(ended);
  Warnings::PrintRepeats();
  SayIfAny(course.message());
  if (!ended) return status;
  const JobOutcome& outcome = JobState::outcome;
  PrintSummary(outcome, o.dryRun, !plan.personal(), course.report().seconds);
  if (status == kCancelled) {
    std::printf("%s; the job finished its record and closed its tables\n", course.report().reason.c_str());
    return status;
  }
  if (o.swap && ConsoleEvents::Cancelled()) {
    course.report().swap = "not made";
    course.report().reason = "cancelled before the swap; the job had finished every record";
    std::printf("%s\n", course.report().reason.c_str());
    return kCancelled;
  }
  if (o.swap) return Swap(plan, course);
  if (o.check && outcome.Written() > 0) {
    course.report().reason = "fields differ";
    return kDiffers;
  }
  return status;
}

// A run of a job command; refusal is what TakePaths said of the paths.
int Run(const Options& o, const std::string& refusal, RunReport& report) {
  Warnings::Catch(o.boxes);
  const CommandPlan& plan = PlanOf(o.job);
  report.command = plan.name;
  report.dryRun = o.dryRun;
  if (!refusal.empty()) {
    PrintError(refusal);
    return kRefused;
  }
  DryRunFileSystem dryRun(TestHooks::Files());
  DryRunListing listing(JobState::outcome, !plan.personal());
  RunSetup setup;
  setup.plan = &plan;
  setup.program = "vmconvert";
  setup.files = o.dryRun ? static_cast<xb::FileSystem*>(&dryRun) : TestHooks::Files();
  setup.probe = TestHooks::Probe();
  setup.dryRun = o.dryRun;
  setup.swapAsked = o.swap;
  setup.journal = !o.noJournal;
  setup.journalPath = o.journal.empty() ? std::string() : FullPath(o.journal.c_str());
  setup.listing = o.check ? nullptr : &listing;
  RunCourse course(setup, report);
  std::string direction = DirectionRefusal(plan);
  int status = direction.empty() ? course.Prepare() : course.Refuse(kRefused, direction);
  SayIfAny(course.message());
  if (status != kDone) return status;
  ConsoleEvents::Catch();
  status = RunJob(o, plan, course);
  if (course.journaling()) std::printf("journal: %s\n", Printable(course.journalPath()).c_str());
  status = course.End(status);
  SayIfAny(course.message());
  return status;
}

// The last line of every run's output: its status, as a number and in
// words, for the log a scheduled task keeps.
int Ended(int status) {
  std::printf("status %d: %s\n", status, StatusWords(status));
  std::fflush(stdout);
  return status;
}

}  // namespace

int main(int argc, char** argv) {
  RunReport report;
  StartReport(report);
  Options o;
  std::string error;
  if (!ParseOptions(argc, argv, &o, &error)) return Ended(UsageError(argc, argv, error, report));
  if (o.help || o.version) {
    std::fputs(o.help ? Usage().c_str() : kVersion, stdout);
    return kDone;
  }
  if (o.job == Options::Job::kHistory) return RunHistory(o);
  if (o.job == Options::Job::kCompare) return Ended(RunCompare(o));
  bool undo = o.job == Options::Job::kUndo;
  std::string refusal = undo ? std::string() : TakePaths(o, PlanOf(o.job));
  if (CheckOutputs(o, report) != kDone) return Ended(report.status);
  // The report is made before the run, so that a run whose outcome could
  // not be told never starts.
  if (!o.report.empty() && !WriteReport(o.report, report)) return Ended(kRefused);
  report.status = undo ? RunUndo(o, report) : Run(o, refusal, report);
  if (report.status != kDone && report.reason.empty()) report.reason = Warnings::LastError();
  std::fflush(stdout);
  if (!o.report.empty() && !WriteReport(o.report, report) && report.status == kDone) report.status = kWarned;
  Ended(report.status);
  ConsoleEvents::RunFinished();
  return report.status;
}
