#include "app/TableSwap.h"

#include <windows.h>

#include "app/PathNames.h"
#include "app/framework/ResourceString.h"

namespace {

bool Exists(const std::string& path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

}  // namespace

TableSwap::TableSwap(const char* live, const char* converted, const char* suffix) {
  Plan(live, converted, suffix, true);
}

TableSwap::TableSwap(const char* oldTable, const char* newTable) { Plan(oldTable, newTable, "_old.dbf", false); }

bool TableSwap::Plan(const char* replaced, const char* replacement, const char* suffix, bool indexes) {
  char backup[128];
  if (!BackupName(replaced, suffix, backup)) {
    error_ = FillPlaceholders("No backup name can be made from %1 !\nNothing was copied.", replaced, nullptr);
    return false;
  }
  plan_.push_back({replaced, backup, false});
  plan_.push_back({replacement, replaced, false});
  if (!indexes) return true;
  return AddIndexCopy(replaced, backup) && AddIndexCopy(replacement, replaced);
}

// Adds the copy of table from's index to table to's index.
bool TableSwap::AddIndexCopy(const std::string& from, const std::string& to) {
  char fromIndex[80], toIndex[80];
  IndexNameResult a = IndexName(from.c_str(), fromIndex);
  IndexNameResult b = IndexName(to.c_str(), toIndex);
  if (a == IndexNameResult::kTooLong || b == IndexNameResult::kTooLong) {
    const std::string& which = a == IndexNameResult::kTooLong ? from : to;
    error_ = FillPlaceholders("The index file name of %1 is too long !\nNothing was copied.", which.c_str(), nullptr);
    plan_.clear();
    return false;
  }
  if (a == IndexNameResult::kBuilt && b == IndexNameResult::kBuilt) plan_.push_back({fromIndex, toIndex, true});
  return true;
}

bool TableSwap::Run() {
  if (!error_.empty()) return false;
  for (const Copy& c : plan_) {
    if (c.optional && !Exists(c.from)) continue;
    if (!CopyFileA(c.from.c_str(), c.to.c_str(), FALSE)) {
      error_ = FillPlaceholders("The file %1 could not be copied to %2 !\nThe files after it were not copied.",
                                c.from.c_str(), c.to.c_str());
      return false;
    }
    copied_.push_back({c.from, c.to});
  }
  return true;
}
