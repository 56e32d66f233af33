// TableSwap: puts a converted table into service, keeping a copy of the
// table it replaces. Every name is built before anything is copied; a name
// that cannot be built refuses the swap with nothing copied. The table
// being replaced is copied to its backup name first; a copy that fails (a
// table, or an index file that exists) stops the swap there, so the live
// table is never overwritten without its backup. Index files that do not
// exist, or paths without "dbf" that have none, are skipped silently.
#ifndef APP_TABLESWAP_H_
#define APP_TABLESWAP_H_

#include <string>
#include <utility>
#include <vector>

class TableSwap {
 public:
  // Voicemail: live to backup (live without its last four characters, then
  // suffix), converted to live, live's index to the backup's index, the
  // converted table's index to live's index.
  TableSwap(const char* live, const char* converted, const char* suffix);
  // Personal: old to old without ".dbf" plus "_old.dbf", then new to old.
  TableSwap(const char* oldTable, const char* newTable);

  // Makes the copies in order. True when every copy made succeeded; false
  // with error() saying what failed.
  bool Run();
  const std::string& error() const { return error_; }
  // The copies Run made, as (from, to), in order.
  const std::vector<std::pair<std::string, std::string>>& copied() const { return copied_; }

 private:
  struct Copy {
    std::string from, to;
    bool optional;  // an index file: skipped when it does not exist
  };
  bool Plan(const char* replaced, const char* replacement, const char* suffix, bool indexes);
  bool AddIndexCopy(const std::string& from, const std::string& to);

  std::vector<Copy> plan_;
  std::vector<std::pair<std::string, std::string>> copied_;
  std::string error_;
};

#endif  // APP_TABLESWAP_H_
