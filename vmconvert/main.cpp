// vmconvert: the converter's jobs from a script or a scheduled task, with a
// dry run. See Options.cpp for the command line.
#include <io.h>
#include <windows.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>

#include "app/PathNames.h"
#include "app/TableSwap.h"
#include "app/framework/ResourceString.h"
#include "convert/JobState.h"
#include "convert/PersonalJob.h"
#include "convert/VmCopyJob.h"
#include "convert/VmFieldNames.h"
#include "db/CDatabase.h"
#include "db/EngineContext.h"
#include "db/ShowError.h"
#include "vmconvert/ConsoleProgress.h"
#include "vmconvert/Options.h"
#include "vmconvert/TableLayout.h"
#include "vmconvert/WriteLog.h"

namespace {

enum Exit { kDone = 0, kBadUsage = 1, kNotOpened = 2, kCancelled = 3, kSwapFailed = 4 };

const unsigned kVoicemailRecords = 12000;
const unsigned kVoicemailInterval = 120;

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

BOOL WINAPI OnCtrlC(DWORD event) {
  if (event != CTRL_C_EVENT && event != CTRL_BREAK_EVENT) return FALSE;
  JobState::running = 0;
  InterlockedExchange(&cancelled, 1);
  return TRUE;
}

void PrintWarning(const char* text, const char* caption) { std::fprintf(stderr, "%s: %s\n", caption, text); }

void PrintError(const std::string& text) { std::fprintf(stderr, "vmconvert: %s\n", text.c_str()); }

// Copies path into field and checks it the way the window's commands do.
bool TakePath(const std::string& path, char* field, unsigned empty, unsigned missing) {
  std::string error = CheckTypedPath(path.c_str(), field, sizeof JobState::bigPath, empty, missing);
  if (!error.empty()) PrintError(error);
  return error.empty();
}

bool TakeLivePath(const Options& o) {
  if (o.liveGiven) {
    if (CopyPath(JobState::livePath, sizeof JobState::livePath, o.live.c_str())) return true;
    PrintError("The live table's path " + o.live + " is too long !\nIt may have at most 79 characters.");
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
// "IDXP".
unsigned PersonalWalk(char* oldPath) {
  CDatabase table;
  if (!table.Open(oldPath)) return 0;
  unsigned walked = 0, count = table.RecCount();
  char idxp[256] = "";
  char field[] = "IDXP";
  table.Top();
  for (; walked < count; ++walked) {
    if (table.FieldLength(field) >= sizeof idxp) break;
    idxp[0] = '\0';
    table.Read(field, idxp);
    if (idxp[0] == '\0') break;
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
  for (const WriteLog::Write& w : log.Writes()) {
    uint32_t record = 0;
    std::string field;
    if (w.path != target || !layout.Locate(w.offset, &record, &field)) continue;
    ++perField[field];
    if (o.dryRun)
      std::printf("record %u %s: target \"%s\" -> source \"%s\"\n", record, FieldLabel(o, field).c_str(),
                  layout.StoredText(record, field).c_str(), Trimmed(w.bytes).c_str());
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

// A test hook: VMCONVERT_CTRL_C_AFTER_STEPS=n takes Ctrl+C once n step
// messages have arrived. It calls the handler itself: a real console event
// would reach every process on the console, the test's own included.
void PressCtrlCWhenDue(const ConsoleProgress& progress) {
  static const char* setting = std::getenv("VMCONVERT_CTRL_C_AFTER_STEPS");
  static bool pressed = false;
  if (!setting || pressed || progress.steps() < std::atoi(setting)) return;
  pressed = true;
  OnCtrlC(CTRL_C_EVENT);
}

TableSwap SwapFor(const JobPlan& plan) {
  return plan.swapSuffix ? TableSwap(plan.source, plan.target, plan.swapSuffix) : TableSwap(plan.source, plan.target);
}

int RunJob(const Options& o, const JobPlan& plan) {
  unsigned sourceCount = RecordsOf(plan.source), targetCount = RecordsOf(plan.target);
  WriteLog log(!o.dryRun);
  engineContext.setFileSystem(&log);
  ConsoleProgress progress(_isatty(_fileno(stdout)) != 0);
  JobState::progressWindow = progress.window();
  SetConsoleCtrlHandler(OnCtrlC, TRUE);
  std::printf("%s%s: %s -> %s\n", plan.name, o.dryRun ? " (dry run)" : "", plan.source, plan.target);
  std::fflush(stdout);

  auto start = std::chrono::steady_clock::now();
  JobState::running = 1;
  JobState::StartJob(plan.routine);
  while (JobState::workerActive) {
    MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_ALLINPUT);
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);
    PressCtrlCWhenDue(progress);
  }
  double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  engineContext.setFileSystem(xb::FileSystem::Default());
  if (!progress.ended()) return kNotOpened;  // the job has said which table

  unsigned walk = o.job == Options::Job::kPersonal ? PersonalWalk(plan.source) : kVoicemailRecords;
  unsigned reachable = std::min(walk, std::min(sourceCount, targetCount));
  if (o.job == Options::Job::kPersonal) reachable = std::min(walk, targetCount);
  unsigned handled = walk;
  if (cancelled) handled = std::min(walk, unsigned(progress.steps() + 1) * RecordsPerStep(o, sourceCount));
  unsigned compared = std::min(handled, reachable);
  PrintSummary(o, FieldWrites(o, log, plan.target), compared, handled - compared, seconds);
  if (cancelled) {
    std::printf("cancelled after about %u of %u records; the job finished its record and closed its tables\n",
                handled, walk);
    return kCancelled;
  }
  if (!o.swap) return kDone;
  TableSwap swap = SwapFor(plan);
  if (!swap.Run()) {
    PrintError(swap.error());
    return kSwapFailed;
  }
  for (const auto& c : swap.copied()) std::printf("copied %s to %s\n", c.first.c_str(), c.second.c_str());
  std::printf("%s\n", LoadResString(121).c_str());
  return kDone;
}

}  // namespace

int main(int argc, char** argv) {
  Options o;
  std::string error;
  if (!ParseOptions(argc, argv, &o, &error)) {
    std::fprintf(stderr, "vmconvert: %s\n%s", error.c_str(), kUsage);
    return kBadUsage;
  }
  if (o.help) {
    std::fputs(kUsage, stdout);
    return kDone;
  }
  if (o.quietBoxes) SetErrorSink(PrintWarning);
  CDatabase ready;  // sets the table layer up before its file layer is swapped
  JobPlan plan = PlanFor(o.job);
  if (!TakePaths(o, plan)) return kNotOpened;
  if (o.swap && !SwapFor(plan).error().empty()) {
    PrintError(SwapFor(plan).error());
    return kNotOpened;
  }
  return RunJob(o, plan);
}
