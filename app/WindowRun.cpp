#include "app/WindowRun.h"

#include "commands/CommandPlan.h"
#include "convert/JobState.h"
#include "db/EngineContext.h"
#include "messages/Printable.h"
#include "messages/ResourceString.h"
#include "messages/ShowError.h"
#include "messages/StringIds.h"
#include "commands/ExitStatus.h"
#include "run/RunFacts.h"
#include "run/TestHooks.h"
#include "run/Warnings.h"

namespace {

RunSetup SetupOf(const CommandPlan& plan) {
  RunSetup setup;
  setup.plan = &plan;
  setup.program = "converter";
  setup.files = engineContext.fileSystem();
  setup.probe = TestHooks::Probe();
  setup.swapMayFollow = true;  // offered after the job
  return setup;
}

RunReport Started() {
  RunReport report;
  StartReport(report);
  report.program = "converter";
  return report;
}

}  // namespace

WindowRun::WindowRun(const CommandPlan& plan) : report_(Started()), course_(SetupOf(plan), report_) {}

void WindowRun::Say(const std::string& text) const {
  if (!text.empty()) ShowError(PrintableLines(text).c_str(), LoadResString(IDS_ERROR_CAPTION).c_str());
}

bool WindowRun::Prepare() {
  // The window's boxes, each kept for the run's report as well.
  Warnings::Catch(true);
  status_ = course_.Prepare();
  Say(course_.message());
  return status_ == kDone;
}

bool WindowRun::StartJob(HWND window) { return course_.StartJob(window); }

void WindowRun::JobDone() {
  if (jobDone_) return;
  JobState::WaitForWorker();
  jobDone_ = true;
  status_ = course_.JobEnded(JobState::outcome.opened);
  if (cancelled_ && status_ == kDone) status_ = kCancelled;
  Say(course_.message());
}

bool WindowRun::Swap() {
  status_ = course_.Swap();
  return status_ == kDone;
}

void WindowRun::Finish() {
  JobDone();
  course_.End(status_);
  Say(course_.message());
}
