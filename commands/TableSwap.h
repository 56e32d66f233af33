// TableSwap: puts a converted table into service, keeping a copy of the
// table it replaces.
//
// The constructor builds every name; error() then says why none could be
// built, and a command checks it before it starts a job. Run refuses, with
// nothing copied, two of the three tables (replaced, replacement, backup)
// being one file, and a voicemail swap whose live table has an index file
// while the converted table has none (the old index would stay beside the
// new table).
//
// The backups come first (the table, then its index), then the converted
// table and its index take their places. A backup already there whose
// bytes differ from the table about to be copied over it (the original of
// an earlier swap) is first moved aside to the backup's name with the
// swap's date and time before its extension ("kxpersonal_old-20261209-
// 031500.dbf"), so that no swap ever destroys a table; kept() names them.
// Each copy is staged, verified and moved into place in one step
// (FileCopy). The first copy that fails stops the swap; error() names it,
// gives the system's reason, and says whether the replaced table was
// changed and where its copy is.
//
// A journal, when set, hears of each file before it is moved aside or a
// copy takes its place, with the size and digest of what it will hold; a
// journal that cannot record it stops the swap there.
//
// Every file call goes through the file layer handed to Check and Run, so
// a test can fail any step of it.
#ifndef COMMANDS_TABLESWAP_H_
#define COMMANDS_TABLESWAP_H_

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "commands/FileCopy.h"

namespace xb {
class FileSystem;
}  // namespace xb

// What a swap tells its journal, each time before the change is made.
class SwapJournal {
 public:
  virtual ~SwapJournal() = default;
  // to is about to take a copy of from, which holds placed; false stops
  // the swap with to as it was.
  virtual bool Copying(const std::string& from, const std::string& to, const FileDigest& placed) = 0;
  // The file at from, which holds kept, is about to be moved to to; false
  // stops the swap with from as it was.
  virtual bool Keeping(const std::string& from, const std::string& to, const FileDigest& kept) = 0;
};

class TableSwap {
 public:
  // Voicemail: live to its backup name (live without its last four
  // characters, then suffix), converted to live, with their index files.
  TableSwap(const char* live, const char* converted, const char* suffix);
  // Personal: old to old without ".dbf" plus "_old.dbf", then new to old;
  // no index files.
  TableSwap(const char* oldTable, const char* newTable);

  // What Run would refuse, known before anything is converted: the names,
  // two names of one file, a live index without a converted one, a backup
  // (table or index) that cannot be written where it goes, or a disk
  // without room for the copies (Run checks that again before its first
  // copy). "" when none; else the message. Writes nothing that stays.
  std::string Check(xb::FileSystem& fs);
  // Tells journal (not owned; null for none) of every change Run makes.
  void SetJournal(SwapJournal* journal) { journal_ = journal; }
  // True when every copy succeeded; false with error() saying what failed.
  // Every file call goes through fs.
  bool Run(xb::FileSystem& fs);
  // Every file the swap may read or write, by role ("the live table", "the
  // swap's backup", ...): the tables, their index files where they have an
  // index name, and the staging copy beside each file it writes.
  std::vector<std::pair<std::string, std::string>> Files() const;
  // The files a swap puts into service or keeps, by role, without the
  // staging copies.
  std::vector<std::pair<std::string, std::string>> Tables() const;
  // The files a swap replaces in service: the table and its index.
  std::vector<std::string> Replaced() const;
  const std::string& error() const { return error_; }
  // The copies Run made, as (from, to), in order.
  const std::vector<std::pair<std::string, std::string>>& copied() const { return copied_; }
  // The older backups Run moved aside, as (backup name, kept name).
  const std::vector<std::pair<std::string, std::string>>& kept() const { return kept_; }

 private:
  struct Copy {
    std::string from, to;
  };
  void Plan(const char* replaced, const char* replacement, const char* suffix, bool indexes);
  bool Exists(const std::string& path) const;
  // "" when the backup to can be written (its folder takes a file, and a
  // file already there is not marked read-only); else the message.
  std::string BackupRefusal(const std::string& to) const;
  bool Refused();
  // The size of the file at path; 0 when it is not there.
  uint64_t Size(const std::string& path) const;
  // The bytes the swap's staged copies take at once.
  uint64_t BytesNeeded() const;
  // "" when the disk of the replaced table has room for BytesNeeded();
  // else the message, naming both.
  std::string RoomRefusal() const;
  // Moves an existing c.to whose bytes differ from c.from to its kept
  // name; false when that fails (nothing else changed).
  bool KeepOlderBackup(const Copy& c, const std::string& stamp);
  // Tells the journal, then moves the staged copy, which holds placed,
  // over c.to; false (the staging copy removed) when either fails.
  bool Place(const Copy& c, const FileDigest& placed);
  // Sets error() for the failed copy c, followed by string after with its
  // placeholders; returns false.
  bool Fail(const Copy& c, unsigned after, const std::string& arg1, const std::string& arg2);

  std::string replaced_, replacement_, backup_;
  bool indexes_ = false;  // a voicemail swap, which copies index files too
  // "" where the table has no index file of its own, and for personal
  // tables.
  std::string replacedIndex_, replacementIndex_, backupIndex_;
  std::vector<std::pair<std::string, std::string>> copied_;
  std::vector<std::pair<std::string, std::string>> kept_;
  std::string error_;
  std::string reason_;  // the system's reason for the copy that failed
  bool journalFailed_ = false;  // the journal refused the change error() names
  xb::FileSystem* fs_ = nullptr;  // not owned: Check's or Run's
  SwapJournal* journal_ = nullptr;  // not owned
};

#endif  // COMMANDS_TABLESWAP_H_
