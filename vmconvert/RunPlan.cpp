#include "vmconvert/RunPlan.h"

#include "commands/PathNames.h"
#include "convert/JobState.h"
#include "messages/ResourceString.h"
#include "messages/StringIds.h"
#include "vmconvert/Warnings.h"

namespace {

using Warnings::PrintError;

bool Passes(const std::string& error) {
  if (!error.empty()) PrintError(error);
  return error.empty();
}

// A path field made full, as the system resolves it now; refused when the
// full path does not fit its field.
bool Resolved(char* field, size_t size, unsigned tooLong) {
  if (MakeFull(field, size)) return true;
  PrintError(FillPlaceholders(LoadResString(tooLong), field, nullptr));
  return false;
}

}  // namespace

bool TakePaths(const Options& o, const CommandPlan& plan) {
  if (plan.personal()) {
    if (!Passes(TakeSource(plan, o.sourceGiven ? o.source.c_str() : plan.defaultSource))) return false;
  } else if (!Passes(TakeLivePath(o.liveGiven ? o.live.c_str() : nullptr))) {
    return false;
  }
  if (!Passes(TakeTarget(plan, o.targetGiven ? o.target.c_str() : plan.defaultTarget))) return false;
  unsigned sourceTooLong = plan.personal() ? IDS_PATH_TOO_LONG : IDS_LIVE_PATH_TOO_LONG;
  size_t sourceSize = plan.personal() ? sizeof JobState::oldPersonalPath : sizeof JobState::livePath;
  return Resolved(plan.source, sourceSize, sourceTooLong) &&
         Resolved(plan.target, sizeof JobState::bigPath, IDS_PATH_TOO_LONG) && Passes(DirectionRefusal(plan)) &&
         (!o.swap || Passes(plan.Swap().Check()));
}


const CommandPlan& PlanOf(Options::Job job) {
  switch (job) {
    case Options::Job::kSmallToBig: return PlanFor(CommandPlan::kSmallToBig);
    case Options::Job::kBigToSmall: return PlanFor(CommandPlan::kBigToSmall);
    default: return PlanFor(CommandPlan::kOldToNew);
  }
}
