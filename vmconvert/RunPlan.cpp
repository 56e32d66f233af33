#include "vmconvert/RunPlan.h"

#include "commands/PathNames.h"
#include "convert/JobState.h"
#include "messages/ResourceString.h"
#include "messages/StringIds.h"
#include "journal/Journal.h"
#include "journal/JournalText.h"
#include "vmconvert/RunReport.h"
#include "vmconvert/TestHooks.h"
#include "vmconvert/Warnings.h"

namespace {

using Warnings::PrintError;

// A path field made full, as the system resolves it now; "" when it fits
// its field, else the message.
std::string Resolved(char* field, size_t size, unsigned tooLong) {
  return MakeFull(field, size) ? std::string() : FillPlaceholders(LoadResString(tooLong), field, nullptr);
}

}  // namespace

std::string TakePaths(const Options& o, const CommandPlan& plan) {
  std::string refusal = plan.personal() ? TakeSource(plan, o.sourceGiven ? o.source.c_str() : plan.defaultSource)
                                        : TakeLivePath(o.liveGiven ? o.live.c_str() : nullptr);
  if (refusal.empty()) refusal = TakeTarget(plan, o.targetGiven ? o.target.c_str() : plan.defaultTarget);
  unsigned sourceTooLong = plan.personal() ? IDS_PATH_TOO_LONG : IDS_LIVE_PATH_TOO_LONG;
  size_t sourceSize = plan.personal() ? sizeof JobState::oldPersonalPath : sizeof JobState::livePath;
  if (refusal.empty()) refusal = Resolved(plan.source, sourceSize, sourceTooLong);
  if (refusal.empty()) refusal = Resolved(plan.target, sizeof JobState::bigPath, IDS_PATH_TOO_LONG);
  return refusal.empty() ? DirectionRefusal(plan) : refusal;
}

const CommandPlan& PlanOf(Options::Job job) {
  switch (job) {
    case Options::Job::kSmallToBig: return PlanFor(CommandPlan::kSmallToBig);
    case Options::Job::kBigToSmall: return PlanFor(CommandPlan::kBigToSmall);
    default: return PlanFor(CommandPlan::kOldToNew);
  }
}

bool StartJournal(const Options& o, const CommandPlan& plan, const RunReport& report, Journal* journal,
                  std::string* path) {
  path->clear();
  TestHooks::Aim(plan.target, std::string());
  if (o.dryRun || o.noJournal) return true;
  std::string where = o.journal.empty() ? Journal::DefaultPath(*TestHooks::Files(), plan.target, plan.name)
                                      : FullPath(o.journal.c_str());
  TestHooks::Aim(plan.target, where);
  TableShape shape;
  std::map<std::string, std::string> run = {
      {"command", EncodeBytes(plan.name)},       {"source", EncodeBytes(plan.source)},
      {"target", EncodeBytes(plan.target)},      {"started_at", EncodeBytes(report.startedAt)},
      {"version", EncodeBytes(report.version)},  {"computer", EncodeBytes(report.computer)},
      {"user", EncodeBytes(report.user)}};
  if (ReadShape(*TestHooks::Files(), plan.target, &shape) && journal->Begin(TestHooks::Files(), where, run, shape)) {
    *path = where;
    return true;
  }
  PrintError("the journal " + where + " cannot be made; nothing was converted");
  return false;
}
