#include "vmconvert/RunPlan.h"

#include "commands/PathNames.h"
#include "convert/JobState.h"
#include "messages/ResourceString.h"
#include "messages/StringIds.h"
#include "run/Warnings.h"

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
  return refusal;
}

const CommandPlan& PlanOf(Options::Job job) {
  switch (job) {
    case Options::Job::kSmallToBig: return PlanFor(CommandPlan::kSmallToBig);
    case Options::Job::kBigToSmall: return PlanFor(CommandPlan::kBigToSmall);
    default: return PlanFor(CommandPlan::kOldToNew);
  }
}
