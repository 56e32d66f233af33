// vmconvert: the converter's jobs from a script or a scheduled task, with a
// dry run. See Options.cpp for the command line.
#include <io.h>
#include <windows.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cctype>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "app/PathNames.h"
#include "app/TableSwap.h"
#include "app/TargetLock.h"
#include "app/framework/ResourceString.h"
#include "convert/CPersonalDatabase.h"
#include "convert/JobState.h"
#include "convert/PersonalJob.h"
#include "convert/VmCopyJob.h"
#include "convert/VmFieldNames.h"
#include "db/CDatabase.h"
#include "db/EngineContext.h"
#include "db/ShowError.h"
#include "vmconvert/ConsoleProgress.h"
#include "vmconvert/Options.h"
#include "vmconvert/RunReport.h"
#include "vmconvert/TableLayout.h"
#include "vmconvert/WriteLog.h"

namespace {

// Exit statuses; --help and the README list them.
enum Exit {
  kDone = 0,
  kBadUsage = 1,
  kNotOpened = 2,
  kCancelled = 3,
  kSwapFailed = 4,
  kWarned = 5,
  kCheckFailed = 6,
  kBusy = 7,
};

const unsigned kVoicemailRecords = 12000;
const unsigned kVoicemailInterval = 120;
const unsigned kTargetBusy = 145;
const unsigned kNotSwappedAfterWarnings = 146;
const unsigned kReportNotWritten = 147;
const unsigned kLivePathTooLong = 148;
// How long a closing console, a logoff or a shutdown waits for the job to
// finish its record and the summary to be written; the system allows about
// five seconds.
const DWORD kEndingWaitMs = 4500;

// The job's paths and strings, as the window's command for it has them.
struct JobPlan {
  JobState::Job routine;
  const char* name;
  char* source;  // a JobState field
  char* target;  // a JobState field
  unsigned emptyTarget, missingTarget;
  const char* defaultTarget;
  const char* swapSuffix;  // null for the personal swap
};

volatile LONG cancelled = 0;
HANDLE finished = nullptr;  // set when the run has written everything

// Warnings of the table layer and the job, from whichever thread.
std::mutex warningsMutex;
std::vector<std::string> warnings;

void Remember(const char* text, const char* caption) {
  std::lock_guard<std::mutex> lock(warningsMutex);
  warnings.push_back(std::string(caption) + ": " + text);
}

void PrintWarning(const char* text, const char* caption) {
  Remember(text, caption);
  std::fprintf(stderr, "%s: %s\n", caption, text);
}

void BoxWarning(const char* text, const char* caption) {
  Remember(text, caption);
  MessageBoxA(GetActiveWindow(), text, caption, MB_OK | MB_ICONEXCLAMATION);
}

// Every console event ends the job the way Ctrl+C does: it finishes its
// record and closes its tables. Closing the console, logoff and shutdown
// end the process once the handler returns, so those wait for the run to
// write its summary first.
BOOL WINAPI OnConsoleEvent(DWORD event) {
  JobState::running = 0;
  InterlockedExchange(&cancelled, 1);
  if (event == CTRL_CLOSE_EVENT || event == CTRL_LOGOFF_EVENT || event == CTRL_SHUTDOWN_EVENT)
    WaitForSingleObject(finished, kEndingWaitMs);
  return TRUE;
}

void PrintError(const std::string& text) { std::fprintf(stderr, "vmconvert: %s\n", text.c_str()); }

// Copies path into field and checks it the way the window's commands do.
bool TakePath(const std::string& path, char* field, unsigned empty, unsigned missing) {
  std::string error = CheckTypedPath(path.c_str(), field, sizeof JobState::bigPath, empty, missing);
  if (!error.empty()) PrintError(error);
  return error.empty();
}

bool NamesTheLiveTable(std::string path) {
  for (char& c : path) c = char(std::tolower(static_cast<unsigned char>(c)));
  return path.find("vm001.dbf") != std::string::npos;
}

// --live names the table as typed, or, like the INI value, the place where
// vm001.dbf is.
bool TakeLivePath(const Options& o) {
  if (o.liveGiven) {
    bool fits = NamesTheLiveTable(o.live) ? CopyPath(JobState::livePath, sizeof JobState::livePath, o.live.c_str())
                                          : LivePathFromIni(o.live.c_str(), JobState::livePath);
    if (fits) return true;
    PrintError(FillPlaceholders(LoadResString(kLivePathTooLong), o.live.c_str(), nullptr));
    return false;
  }
  if (ReadLivePath(JobState::livePath)) return true;
  PrintError(LoadResString(141));
  return false;
}

// The window's size rule: only the direction that fits the live table runs,
// so that a second swap never takes the backup name of the original. A live
// table that is not there is left to the job, which says so.
bool DirectionFits(const Options& o) {
  if (_access(JobState::livePath, 0) != 0) return true;
  bool big = LiveTableIsBig(JobState::livePath);
  if (o.job == Options::Job::kSmallToBig && big) {
    PrintError(FillPlaceholders(LoadResString(143), JobState::livePath, nullptr));
    return false;
  }
  if (o.job == Options::Job::kBigToSmall && !big) {
    PrintError(FillPlaceholders(LoadResString(144), JobState::livePath, nullptr));
    return false;
  }
  return true;
}

JobPlan PlanFor(Options::Job job) {
  switch (job) {
    case Options::Job::kSmallToBig:
      return {SmallToBigJob, "small-to-big", JobState::livePath, JobState::bigPath, 103, 104,
              kDefaultBigPath, "_small.dbf"};
    case Options::Job::kBigToSmall:
      return {BigToSmallJob, "big-to-small", JobState::livePath, JobState::smallPath, 114, 115,
              kDefaultSmallPath, "_big.dbf"};
    default:
      return {PersonalJob, "old-to-new", JobState::oldPersonalPath, JobState::newPersonalPath, 129, 125,
              kDefaultNewPersonal, nullptr};
  }
}

bool TakePaths(const Options& o, const JobPlan& plan) {
  if (o.job == Options::Job::kPersonal) {
    std::string old = o.sourceGiven ? o.source : kDefaultOldPersonal;
    if (!TakePath(old, JobState::oldPersonalPath, 124, 128)) return false;
  } else if (!TakeLivePath(o)) {
    return false;
  }
  return TakePath(o.targetGiven ? o.target : plan.defaultTarget, plan.target, plan.emptyTarget,
                  plan.missingTarget) &&
         (o.job == Options::Job::kPersonal || DirectionFits(o));
}

unsigned RecordsOf(char* path) {
  CDatabase table;
  unsigned count = table.Open(path) ? table.RecCount() : 0;
  table.Close();
  return count;
}

// Pairs the personal job walks: up to the first old record with an empty
// "IDXP" (a record that cannot be read is walked past, as the job does).
unsigned PersonalWalk(char* oldPath) {
  CPersonalDatabase table;
  if (!table.Open(oldPath)) return 0;
  unsigned walked = 0, count = table.RecCount();
  table.Top();
  for (; walked < count; ++walked) {
    char idxp[128] = "";  // as the job reads it
    table.ReadField(CPersonalDatabase::kIdxp, idxp, sizeof idxp - 1);
    if (table.OnReadRecord() && idxp[0] == '\0') break;
    table.Skip(1);
  }
  table.Close();
  return walked;
}

// Steps the job sends over its whole run, to turn steps into records.
unsigned RecordsPerStep(const Options& o, unsigned sourceCount) {
  if (o.job != Options::Job::kPersonal) return kVoicemailInterval;
  return sourceCount / 100 ? sourceCount / 100 : 1;
}

std::string FieldLabel(const Options& o, const std::string& field) {
  if (o.job == Options::Job::kPersonal || field.size() != 3 || field[0] != 'T') return field;
  int n = std::atoi(field.c_str() + 1);
  return n >= 1 && n <= 99 ? field + " (" + VmFieldNames[n - 1] + ")" : field;
}

// Lists (dry run) and counts the field writes to the target.
std::map<std::string, int> FieldWrites(const Options& o, WriteLog& log, const std::string& target) {
  TableLayout layout(target);
  std::map<std::string, int> perField;
  for (size_t i = 0; i < log.Count(); ++i) {
    WriteLog::Write w = log.At(i);
    uint32_t record = 0;
    std::string field;
    if (w.path != target || !layout.Locate(w.offset, &record, &field)) continue;
    ++perField[field];
    if (o.dryRun)
      std::printf("record %u %s: target \"%s\" -> source \"%s\"\n", record, FieldLabel(o, field).c_str(),
                  layout.StoredText(record, field).c_str(), Trimmed(std::string(w.bytes)).c_str());
  }
  return perField;
}

void PrintSummary(const Options& o, const std::map<std::string, int>& perField, unsigned compared,
                  unsigned beyond, double seconds) {
  int total = 0;
  for (const auto& f : perField) total += f.second;
  std::printf("records compared: %u\n", compared);
  std::printf("records beyond either table's end: %u\n", beyond);
  std::printf("%s: %d\n", o.dryRun ? "fields that would be written" : "fields written", total);
  for (const auto& f : perField) std::printf("  %s: %d\n", FieldLabel(o, f.first).c_str(), f.second);
  std::printf("time: %.2f s\n", seconds);
}

#ifdef VMCONVERT_TEST_HOOKS
// Only in the test build: VMCONVERT_EVENT_AFTER_STEPS=n[:c|break|close|
// logoff|shutdown] delivers that console event (Ctrl+C when none is named)
// once n step messages have arrived. The handler is called on a thread of
// its own, as the system calls it: a real event would reach every process
// on the console, the test's own included.
DWORD WINAPI DeliverEvent(void* event) { return OnConsoleEvent(DWORD(uintptr_t(event))); }

void DeliverEventWhenDue(const ConsoleProgress& progress) {
  static const char* setting = std::getenv("VMCONVERT_EVENT_AFTER_STEPS");
  static bool delivered = false;
  if (!setting || delivered || progress.steps() < std::atoi(setting)) return;
  delivered = true;
  const char* name = std::strchr(setting, ':');
  static const struct {
    const char* name;
    DWORD event;
  } kEvents[] = {{"break", CTRL_BREAK_EVENT},
                 {"close", CTRL_CLOSE_EVENT},
                 {"logoff", CTRL_LOGOFF_EVENT},
                 {"shutdown", CTRL_SHUTDOWN_EVENT}};
  DWORD event = CTRL_C_EVENT;
  for (const auto& e : kEvents)
    if (name && std::strcmp(name + 1, e.name) == 0) event = e.event;
  CloseHandle(CreateThread(nullptr, 0, DeliverEvent, reinterpret_cast<void*>(uintptr_t(event)), 0, nullptr));
}
#else
void DeliverEventWhenDue(const ConsoleProgress&) {}
#endif

TableSwap SwapFor(const JobPlan& plan) {
  return plan.swapSuffix ? TableSwap(plan.source, plan.target, plan.swapSuffix) : TableSwap(plan.source, plan.target);
}

// Runs the job to its end, lets its messages through and delivers a test
// build's console event; false when the job ended without its end message
// (a table it could not open, which it has said).
bool RunToEnd(const JobPlan& plan, ConsoleProgress& progress) {
  JobState::progressWindow = progress.window();
  JobState::running = 1;
  if (!JobState::StartJob(plan.routine)) {
    PrintError(LoadResString(133));
    return false;
  }
  while (JobState::workerActive) {
    // Once the end message has come, the worker has only its last steps
    // left: look again soon rather than at the next 20 ms.
    MsgWaitForMultipleObjects(0, nullptr, FALSE, progress.ended() ? 1 : 20, QS_ALLINPUT);
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);
    DeliverEventWhenDue(progress);
  }
  return progress.ended();
}

// Puts the converted table into service, unless the run raised warnings:
// then the operator decides, not a schedule.
int Swap(const JobPlan& plan, RunReport& report) {
  if (!report.warnings.empty()) {
    report.swap = "not made";
    PrintError(FillPlaceholders(LoadResString(kNotSwappedAfterWarnings), plan.target, nullptr));
    return kWarned;
  }
  TableSwap swap = SwapFor(plan);
  bool done = swap.Run();
  report.copies = swap.copied();
  for (const auto& c : swap.copied()) std::printf("copied %s to %s\n", c.first.c_str(), c.second.c_str());
  if (!done) {
    report.swap = "failed";
    report.swapError = swap.error();
    PrintError(swap.error());
    return kSwapFailed;
  }
  report.swap = "done";
  std::printf("%s\n", LoadResString(121).c_str());
  return kDone;
}

int RunJob(const Options& o, const JobPlan& plan, RunReport& report) {
  unsigned sourceCount = RecordsOf(plan.source), targetCount = RecordsOf(plan.target);
  WriteLog log(!o.dryRun);
  engineContext.setFileSystem(&log);
  ConsoleProgress progress(ConsoleProgress::IsConsole(GetStdHandle(STD_ERROR_HANDLE)));
  std::printf("%s%s: %s -> %s\n", plan.name, o.dryRun ? " (dry run)" : "", plan.source, plan.target);
  std::fflush(stdout);

  auto start = std::chrono::steady_clock::now();
  bool ended = RunToEnd(plan, progress);
  report.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  engineContext.setFileSystem(xb::FileSystem::Default());
  {
    std::lock_guard<std::mutex> lock(warningsMutex);
    report.warnings = warnings;
  }
  if (!ended) return kNotOpened;

  unsigned walk = o.job == Options::Job::kPersonal ? PersonalWalk(plan.source) : kVoicemailRecords;
  unsigned reachableSource = o.job == Options::Job::kPersonal ? walk : std::min(walk, sourceCount);
  unsigned handled = walk;
  if (cancelled) handled = std::min(walk, unsigned(progress.steps() + 1) * RecordsPerStep(o, sourceCount));
  report.cancelled = cancelled != 0;
  report.compared = std::min(handled, std::min(reachableSource, targetCount));
  report.beyondSourceEnd = handled - std::min(handled, reachableSource);
  report.beyondTargetEnd = handled - std::min(handled, targetCount);
  report.fieldsWritten = FieldWrites(o, log, plan.target);
  PrintSummary(o, report.fieldsWritten, report.compared, handled - report.compared, report.seconds);
  if (cancelled) {
    std::printf("cancelled after about %u of %u records; the job finished its record and closed its tables\n",
                handled, walk);
    return kCancelled;
  }
  if (o.swap) return Swap(plan, report);
  return report.warnings.empty() ? kDone : kWarned;
}

// The checks and the job, with the report's paths filled in; the status.
int Run(const Options& o, RunReport& report) {
  if (o.boxes) SetErrorSink(BoxWarning);
  else SetErrorSink(PrintWarning);
  CDatabase ready;  // sets the table layer up before its file layer is swapped
  JobPlan plan = PlanFor(o.job);
  report.command = plan.name;
  report.dryRun = o.dryRun;
  if (!TakePaths(o, plan)) return kCheckFailed;
  report.source = plan.source;
  report.target = plan.target;
  if (o.swap) {
    std::string refused = SwapFor(plan).error();
    if (!refused.empty()) {
      PrintError(refused);
      return kCheckFailed;
    }
  }
  TargetLock lock;
  if (!o.dryRun && !lock.Acquire(plan.target)) {
    PrintError(FillPlaceholders(LoadResString(kTargetBusy), plan.target, nullptr));
    return kBusy;
  }
  SetConsoleCtrlHandler(OnConsoleEvent, TRUE);
  return RunJob(o, plan, report);
}

}  // namespace

int main(int argc, char** argv) {
  Options o;
  std::string error;
  if (!ParseOptions(argc, argv, &o, &error)) {
    std::fprintf(stderr, "vmconvert: %s\n%s", error.c_str(), kUsage);
    return kBadUsage;
  }
  if (o.help || o.version) {
    std::fputs(o.help ? kUsage : kVersion, stdout);
    return kDone;
  }
  finished = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  RunReport report;
  report.status = Run(o, report);
  std::fflush(stdout);
  if (!o.report.empty() && !report.Write(o.report)) {
    PrintError(FillPlaceholders(LoadResString(kReportNotWritten), o.report.c_str(), nullptr));
    if (report.status == kDone) report.status = kWarned;
  }
  SetEvent(finished);
  return report.status;
}
