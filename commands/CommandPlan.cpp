#include "commands/CommandPlan.h"

#include <io.h>

#include <cctype>

#include "commands/PathNames.h"
#include "convert/PersonalJob.h"
#include "convert/VmCopyJob.h"
#include "messages/ResourceString.h"
#include "messages/StringIds.h"

namespace {

const CommandPlan kPlans[] = {
    {CommandPlan::kSmallToBig, "small-to-big", SmallToBigJob, JobState::livePath, JobState::bigPath, 0, 0,
     IDS_NO_BIG_PATH, IDS_BIG_NOT_FOUND, IDS_ASK_SMALL_TO_BIG, IDS_CONVERTING_SMALL_TO_BIG,
     IDS_ASK_SWAP_SMALL_TO_BIG, kDefaultBigPath, nullptr, "_small.dbf"},
    {CommandPlan::kBigToSmall, "big-to-small", BigToSmallJob, JobState::livePath, JobState::smallPath, 0, 0,
     IDS_NO_SMALL_PATH, IDS_SMALL_NOT_FOUND, IDS_ASK_BIG_TO_SMALL, IDS_CONVERTING_BIG_TO_SMALL,
     IDS_ASK_SWAP_BIG_TO_SMALL, kDefaultSmallPath, nullptr, "_big.dbf"},
    {CommandPlan::kOldToNew, "old-to-new", PersonalJob, JobState::oldPersonalPath, JobState::newPersonalPath,
     IDS_NO_OLD_PERSONAL, IDS_OLD_PERSONAL_NOT_FOUND, IDS_NO_NEW_PERSONAL, IDS_NEW_PERSONAL_NOT_FOUND,
     IDS_ASK_PERSONAL, IDS_CONVERTING_PERSONAL, IDS_ASK_SWAP_PERSONAL, kDefaultNewPersonal, kDefaultOldPersonal,
     nullptr},
};

// A value that names a table (it ends with ".dbf", any case) is taken as
// named, vm001.dbf or not: a kept copy can be a run's live table.
bool NamesATable(std::string path) {
  for (char& c : path) c = char(std::tolower(static_cast<unsigned char>(c)));
  return path.size() >= 4 && path.compare(path.size() - 4, 4, ".dbf") == 0;
}

}  // namespace

const CommandPlan& PlanFor(CommandPlan::Command command) { return kPlans[command]; }

const CommandPlan* PlanNamed(const std::string& name) {
  for (const CommandPlan& plan : kPlans)
    if (name == plan.name) return &plan;
  return nullptr;
}

TableSwap CommandPlan::Swap() const { return SwapOf(source, target); }

TableSwap CommandPlan::SwapOf(const std::string& sourcePath, const std::string& targetPath) const {
  return swapSuffix ? TableSwap(sourcePath.c_str(), targetPath.c_str(), swapSuffix)
                    : TableSwap(sourcePath.c_str(), targetPath.c_str());
}

std::vector<std::string> CommandPlan::LockedFiles(bool swap) const {
  std::vector<std::string> files = {target};
  if (swap)
    for (const auto& f : Swap().Tables()) files.push_back(f.second);
  return files;
}

std::string TakeTarget(const CommandPlan& plan, const char* typed) {
  return CheckTypedPath(typed, plan.target, sizeof JobState::bigPath, plan.targetEmpty, plan.targetMissing);
}

std::string TakeSource(const CommandPlan& plan, const char* typed) {
  return CheckTypedPath(typed, plan.source, sizeof JobState::oldPersonalPath, plan.sourceEmpty, plan.sourceMissing);
}

std::string TakeLivePath(const char* given) {
  if (!given) return ReadLivePath(JobState::livePath) ? std::string() : LoadResString(IDS_INI_PATH_TOO_LONG);
  bool fits = NamesATable(given) ? CopyPath(JobState::livePath, sizeof JobState::livePath, given)
                                 : LivePathFromIni(given, JobState::livePath);
  return fits ? std::string() : FillPlaceholders(LoadResString(IDS_LIVE_PATH_TOO_LONG), given, nullptr);
}

std::string DirectionRefusal(const CommandPlan& plan) {
  if (plan.personal() || _access(JobState::livePath, 0) != 0) return std::string();
  bool big = LiveTableIsBig(JobState::livePath);
  if (plan.command == CommandPlan::kSmallToBig && big)
    return FillPlaceholders(LoadResString(IDS_ONLY_BIG_TO_SMALL), JobState::livePath, nullptr);
  if (plan.command == CommandPlan::kBigToSmall && !big)
    return FillPlaceholders(LoadResString(IDS_ONLY_SMALL_TO_BIG), JobState::livePath, nullptr);
  return std::string();
}
