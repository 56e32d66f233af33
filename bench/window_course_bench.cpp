// The journal's cost to the window: the window's small-to-big run through
// its course (RunCourse as WindowRun sets it up: program "converter", the
// engine context's file layer, the swap's files locked) with its journal,
// against the same run without one, in turn on fresh 12000-record tables,
// once over tables that agree and once where every copied field differs.
// The figure is the job's own time (the course's report.seconds), its
// progress pumped by a hidden window as the progress dialog receives it.
// Prints the medians of RUNS runs of each and their ratio.
// Usage: window_course_bench DIR [RUNS]   (RUNS: 5 unless given)
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "commands/CommandPlan.h"
#include "commands/PathNames.h"
#include "convert/JobState.h"
#include "db/EngineContext.h"
#include "run/RunCourse.h"
#include "run/RunFacts.h"
#include "tools/vmtables.h"

namespace {

using vmtables::Layout;
using vmtables::Variation;

LRESULT CALLBACK Ignore(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
  return message == WM_JOB_PROGRESS ? 1 : DefWindowProcA(hwnd, message, wparam, lparam);
}

HWND ProgressWindow() {
  WNDCLASSA wc = {};
  wc.lpfnWndProc = Ignore;
  wc.hInstance = GetModuleHandleA(nullptr);
  wc.lpszClassName = "window_course_bench";
  RegisterClassA(&wc);
  return CreateWindowA(wc.lpszClassName, "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, wc.hInstance, nullptr);
}

// One run of the job's course; its seconds, or -1 when it failed.
double Run(HWND window, bool journal) {
  const CommandPlan& plan = PlanFor(CommandPlan::kSmallToBig);
  RunSetup setup;
  setup.plan = &plan;
  setup.program = "converter";
  setup.files = engineContext.fileSystem();
  setup.swapMayFollow = true;
  setup.journal = journal;
  RunReport report;
  StartReport(report);
  RunCourse course(setup, report);
  if (course.Prepare() != 0 || !course.StartJob(window)) return -1;
  while (JobState::workerActive) {
    MsgWaitForMultipleObjects(0, nullptr, FALSE, 5, QS_ALLINPUT);
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);
  }
  course.JobEnded(JobState::outcome.opened);
  course.End(0);
  return report.seconds;
}

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v.empty() ? 0 : v[v.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: window_course_bench DIR [RUNS]\n");
    return 2;
  }
  std::string dir = argv[1];
  int runs = argc > 2 ? std::atoi(argv[2]) : 5;
  std::string live = dir + "\\vm001.dbf", big = dir + "\\vm001_big.dbf";
  CopyPath(JobState::livePath, sizeof JobState::livePath, live.c_str());
  CopyPath(JobState::bigPath, sizeof JobState::bigPath, big.c_str());
  HWND window = ProgressWindow();
  for (bool differ : {false, true}) {
    std::vector<double> with, without;
    for (int i = 0; i < runs; ++i)
      for (bool journal : {true, false}) {
        std::string folder = dir + "\\vmconvert-journal";
        std::system(("rmdir /s /q \"" + folder + "\" 2>nul").c_str());
        vmtables::MakeVmTable(live, Layout::kSmall, 12000);
        vmtables::MakeVmTable(big, Layout::kBig, 12000, differ ? Variation{1, 0} : Variation{0, 0});
        double seconds = Run(window, journal);
        if (seconds < 0) return std::fprintf(stderr, "the run could not be made\n"), 1;
        (journal ? with : without).push_back(seconds);
      }
    double a = Median(with), b = Median(without);
    std::printf("%-7s window's course with its journal %.3f s, without %.3f s: the journal costs %.2fx (medians of %d)\n",
                differ ? "differ" : "agree", a, b, a / b, runs);
  }
  return 0;
}
