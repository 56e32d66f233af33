// vmconvert: the converter's jobs from a script or a scheduled task, with a
// dry run. See Options.cpp for the command line.
#include <windows.h>

#include <chrono>
#include <cstdio>
#include <string>

#include "commands/CommandPlan.h"
#include "commands/PathNames.h"
#include "commands/TableSwap.h"
#include "commands/TargetLock.h"
#include "convert/JobState.h"
#include "db/EngineContext.h"
#include "journal/Journal.h"
#include "messages/ResourceString.h"
#include "messages/StringIds.h"
#include "vmconvert/ConsoleEvents.h"
#include "vmconvert/ConsoleProgress.h"
#include "vmconvert/DryRunFileSystem.h"
#include "vmconvert/ExitStatus.h"
#include "vmconvert/HistoryCommand.h"
#include "vmconvert/Options.h"
#include "vmconvert/RunPlan.h"
#include "vmconvert/RunFacts.h"
#include "vmconvert/RunReport.h"
#include "vmconvert/OutputFiles.h"
#include "vmconvert/Summary.h"
#include "vmconvert/TestHooks.h"
#include "vmconvert/UndoCommand.h"
#include "vmconvert/Usage.h"
#include "vmconvert/Warnings.h"

namespace {

using Warnings::PrintError;

// Runs the job to its end, lets its messages through and delivers a test
// build's console event; false when the job ended without its end message
// (a table it could not open, which it has said).
bool RunToEnd(const CommandPlan& plan, ConsoleProgress& progress) {
  JobState::progressWindow = progress.window();
  JobState::running = 1;
  if (!JobState::StartJob(plan.routine)) {
    PrintError(LoadResString(IDS_NOT_STARTED));
    return false;
  }
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
// then the operator decides, not a schedule. Each file the swap changes is
// journaled before the change.
int Swap(const CommandPlan& plan, RunReport& report, Journal& journal) {
  if (!report.warnings.empty()) {
    report.swap = "not made";
    PrintError(FillPlaceholders(LoadResString(IDS_NOT_SWAPPED_AFTER_WARNINGS), plan.target, nullptr));
    return kWarned;
  }
  TableSwap swap = plan.Swap();
  if (!report.journal.empty()) swap.SetJournal(&journal);
  engineContext.setFileSystem(TestHooks::Files());
  TestHooks::SwapBegins();
  bool done = swap.Run();
  engineContext.setFileSystem(xb::FileSystem::Default());
  report.copies = swap.copied();
  report.backupsKept = swap.kept();
  for (const auto& k : swap.kept()) std::printf("kept the older backup %s as %s\n", k.first.c_str(), k.second.c_str());
  for (const auto& c : swap.copied()) std::printf("copied %s to %s\n", c.first.c_str(), c.second.c_str());
  if (!done) {
    report.swap = "failed";
    report.swapError = swap.error();
    PrintError(swap.error());
    return kSwapFailed;
  }
  report.swap = "done";
  std::printf("%s\n", LoadResString(IDS_COPIED).c_str());
  return kDone;
}

// A journal that failed part-way refused every change after its failure;
// the run says so, and is not done.
void SayJournalFailed(const Journal& journal, const std::string& path, RunReport& report) {
  if (!journal.failed()) return;
  std::string said = "the journal " + path + " could not be written (" + journal.error() +
                     "): every change it could not record was refused, so the table holds only what it records";
  PrintError(said);
  report.warnings.push_back(said);
}

int RunJob(const Options& o, const CommandPlan& plan, RunReport& report, Journal& journal) {
  DryRunFileSystem dryRun(TestHooks::Files());
  engineContext.setFileSystem(o.dryRun ? static_cast<xb::FileSystem*>(&dryRun) : TestHooks::Files());
  const JobOutcome& outcome = JobState::outcome;
  DryRunListing listing(outcome, !plan.personal());
  JobState::outcome.listener = o.dryRun ? (o.check ? nullptr : static_cast<xb::WriteObserver*>(&listing))
                                        : report.journal.empty() ? nullptr : &journal;
  ConsoleProgress progress(ConsoleProgress::IsConsole(GetStdHandle(STD_ERROR_HANDLE)),
                           o.dryRun ? "compared" : "converted");
  std::printf("%s%s: %s -> %s\n", plan.name, o.check ? " (check)" : o.dryRun ? " (dry run)" : "", plan.source,
              plan.target);
  std::fflush(stdout);

  auto start = std::chrono::steady_clock::now();
  bool ended = RunToEnd(plan, progress);
  report.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  JobState::outcome.listener = nullptr;
  engineContext.setFileSystem(xb::FileSystem::Default());
  report.warnings = Warnings::All();
  Warnings::PrintRepeats();
  SayJournalFailed(journal, report.journal, report);
  if (!ended) return kNotOpened;

  report.TakeOutcome(outcome);
  PrintSummary(outcome, o.dryRun, !plan.personal(), report.seconds);
  if (outcome.cancelled) {
    report.reason = "cancelled after record " + std::to_string(outcome.stoppedAfter) + " of " +
                    std::to_string(outcome.walkLength);
    std::printf("%s; the job finished its record and closed its tables\n", report.reason.c_str());
    return kCancelled;
  }
  if (o.swap && ConsoleEvents::Cancelled()) {
    report.swap = "not made";
    report.reason = "cancelled before the swap; the job had finished every record";
    std::printf("%s\n", report.reason.c_str());
    return kCancelled;
  }
  if (o.swap) return Swap(plan, report, journal);
  if (o.check && outcome.Written() > 0) {
    report.reason = "fields differ";
    return kDiffers;
  }
  return report.warnings.empty() ? kDone : kWarned;
}

// The checks and the job; the status. refusal is what TakePaths said of
// the paths. A target that cannot be written refuses the run before the
// job (a dry run says so and goes on).
int Run(const Options& o, const std::string& refusal, RunReport& report) {
  Warnings::Catch(o.boxes);
  const CommandPlan& plan = PlanOf(o.job);
  report.command = plan.name;
  report.dryRun = o.dryRun;
  std::string refused = refusal.empty() && o.swap ? plan.Swap().Check() : refusal;
  if (!refused.empty()) {
    PrintError(refused);
    return kRefused;
  }
  report.source = plan.source;
  report.target = plan.target;
  report.sourceBytesBefore = FileBytes(plan.source);
  report.targetBytesBefore = FileBytes(plan.target);
  std::string unwritable = WriteRefusal(plan.target);
  if (!unwritable.empty()) {
    PrintError(o.dryRun ? "a real run would be refused: " + unwritable : unwritable);
    if (!o.dryRun) return kNotOpened;
  }
  TargetLock lock;
  if (!o.dryRun && !lock.Acquire(*TestHooks::Files(), plan.LockedFiles(o.swap))) {
    PrintError(FillPlaceholders(LoadResString(IDS_TARGET_BUSY), plan.target, nullptr));
    return kBusy;
  }
  Journal journal;
  if (!StartJournal(o, plan, report, &journal, &report.journal)) return kRefused;
  ConsoleEvents::Catch();
  int status = RunJob(o, plan, report, journal);
  if (!report.journal.empty()) {
    std::printf("journal: %s\n", report.journal.c_str());
    journal.End(status, JobState::outcome.Written(), JobState::outcome.cancelled);
  }
  report.sourceBytesAfter = FileBytes(plan.source);
  report.targetBytesAfter = FileBytes(plan.target);
  return unwritable.empty() ? status : kNotOpened;
}

// The report at path, said on standard error when it cannot be written.
bool WriteReport(const std::string& path, const RunReport& report) {
  if (report.Write(path, xb::FileSystem::Default())) return true;
  PrintError(FillPlaceholders(LoadResString(IDS_REPORT_NOT_WRITTEN), path.c_str(), nullptr));
  return false;
}

void PrintUsageError(const std::string& error) {
  std::fprintf(stderr, "vmconvert: %s\nTry 'vmconvert --help' for the commands and options.\n", error.c_str());
}

// A command line that does not parse: status 1, and its report where one
// may be written.
int UsageError(int argc, char** argv, const std::string& error, RunReport& report) {
  PrintUsageError(error);
  report.status = kBadUsage;
  report.reason = error;
  std::string why, path = UsageReportPath(argc, argv, &why);
  if (!path.empty()) WriteReport(path, report);
  if (!why.empty()) PrintError("no report written: " + why);
  return kBadUsage;
}

// Before anything is created or written: an output that names a file the
// run reads or writes (status 1), a report that would replace a file not
// ours, or a journal that would replace any file (status 6). kDone when
// they pass; a report is written only where it passed.
int CheckOutputs(const Options& o, RunReport& report) {
  OutputClash clash = FindClash(RunFiles(o));
  std::string refusal = clash.message.empty() ? OutputRefusal(o) : std::string();
  if (clash.message.empty() && refusal.empty()) return kDone;
  if (!clash.message.empty()) {
    PrintUsageError(clash.message);
    report.status = kBadUsage;
    report.reason = clash.message;
  } else {
    PrintError(refusal);
    report.status = kRefused;
    report.reason = refusal;
  }
  if (!o.report.empty() && !clash.report && ReportRefusal(o.report).empty()) WriteReport(o.report, report);
  return report.status;
}

}  // namespace

int main(int argc, char** argv) {
  RunReport report;
  StartReport(report);
  Options o;
  std::string error;
  if (!ParseOptions(argc, argv, &o, &error)) return UsageError(argc, argv, error, report);
  if (o.help || o.version) {
    std::fputs(o.help ? Usage().c_str() : kVersion, stdout);
    return kDone;
  }
  if (o.job == Options::Job::kHistory) return RunHistory(o);
  bool undo = o.job == Options::Job::kUndo;
  std::string refusal = undo ? std::string() : TakePaths(o, PlanOf(o.job));
  if (CheckOutputs(o, report) != kDone) return report.status;
  // The report is made before the run, so that a run whose outcome could
  // not be told never starts.
  if (!o.report.empty() && !WriteReport(o.report, report)) return kRefused;
  report.status = undo ? RunUndo(o, report) : Run(o, refusal, report);
  if (report.status != kDone && report.reason.empty()) report.reason = Warnings::LastError();
  std::fflush(stdout);
  // The trail: every run that kept a journal keeps its report beside it.
  if (!report.journal.empty() && !WriteReport(Journal::ReportPath(report.journal), report) && report.status == kDone)
    report.status = kWarned;
  if (!o.report.empty() && !WriteReport(o.report, report) && report.status == kDone) report.status = kWarned;
  ConsoleEvents::RunFinished();
  return report.status;
}
