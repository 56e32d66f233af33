// The names the swap builds and the copies it makes, on real files.
#include "commands/TableSwap.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "commands/PathNames.h"
#include "tests/support/fault_file_system.h"
#include "tests/support/temp_dir.h"

namespace {

using Bytes = std::vector<unsigned char>;
using Copies = std::vector<std::pair<std::string, std::string>>;

class TableSwapTest : public ::testing::Test {
 protected:
  std::string F(const std::string& name) { return dir.File(name); }
  // Index names are lower-cased.
  std::string L(const std::string& name) {
    std::string path = F(name);
    for (char& c : path) c = char(tolower(c));
    return path;
  }
  void Put(const std::string& name, const std::string& text) { WriteBytes(F(name), Bytes(text.begin(), text.end())); }
  bool Exists(const std::string& name) { return GetFileAttributesA(F(name).c_str()) != INVALID_FILE_ATTRIBUTES; }
  std::string Get(const std::string& name) {
    Bytes b = ReadBytes(F(name));
    return std::string(b.begin(), b.end());
  }
  TempDir dir;
  xb::FileSystem& sys = *xb::FileSystem::Default();
};

// Also in a folder whose name holds "dbf": only the table's own extension
// becomes "ndx".
TEST_F(TableSwapTest, BackupsComeFirstThenTheConvertedTableAndItsIndex) {
  CreateDirectoryA(F("old.dbf.files").c_str(), nullptr);
  for (std::string folder : {"", "old.dbf.files\\"}) {
    Put(folder + "vm001.dbf", "live");
    Put(folder + "vm001.ndx", "live index");
    Put("small.dbf", "converted");
    Put("small.ndx", "converted index");
    TableSwap swap(F(folder + "vm001.dbf").c_str(), F("small.dbf").c_str(), "_big.dbf");
    ASSERT_TRUE(swap.Run(sys)) << swap.error();
    EXPECT_EQ(swap.copied(), (Copies{{F(folder + "vm001.dbf"), F(folder + "vm001_big.dbf")},
                                     {L(folder + "vm001.ndx"), L(folder + "vm001_big.ndx")},
                                     {F("small.dbf"), F(folder + "vm001.dbf")},
                                     {L("small.ndx"), L(folder + "vm001.ndx")}}));
    EXPECT_EQ(Get(folder + "vm001_big.dbf"), "live");
    EXPECT_EQ(Get(folder + "vm001.dbf"), "converted");
    EXPECT_EQ(Get(folder + "vm001_big.ndx"), "live index");
    EXPECT_EQ(Get(folder + "vm001.ndx"), "converted index");
    EXPECT_FALSE(Exists(folder + "vm001.dbf.swap")) << "no temporary file is left";
  }
}

TEST_F(TableSwapTest, MissingIndexesAndPathsWithoutDbfSkipTheirCopies) {
  Put("vm001.dbf", "live");
  Put("big.dat", "converted");
  TableSwap swap(F("vm001.dbf").c_str(), F("big.dat").c_str(), "_small.dbf");
  ASSERT_TRUE(swap.Run(sys)) << swap.error();
  EXPECT_EQ(swap.copied(), (Copies{{F("vm001.dbf"), F("vm001_small.dbf")}, {F("big.dat"), F("vm001.dbf")}}));
}

TEST_F(TableSwapTest, ALiveIndexWithoutAConvertedOneRefusesTheSwap) {
  Put("vm001.dbf", "live");
  Put("vm001.ndx", "live index");
  Put("big.dbf", "converted");
  TableSwap swap(F("vm001.dbf").c_str(), F("big.dbf").c_str(), "_small.dbf");
  EXPECT_FALSE(swap.Run(sys));
  EXPECT_EQ(swap.error(), "The table " + F("vm001.dbf") + " has an index file, but the converted table " +
                              F("big.dbf") + " has none !\nNothing was copied, so that no index is left beside "
                              "a table it does not fit.");
  EXPECT_EQ(Get("vm001.dbf"), "live");
  EXPECT_FALSE(Exists("vm001_small.dbf"));
}

// Two of the three tables being one file, however spelled, would copy a
// table over itself or over the other's only copy.
TEST_F(TableSwapTest, TwoNamesOfOneFileRefuseTheSwap) {
  Put("vm001.dbf", "live");
  Put("vm001_small.dbf", "converted");
  Put("kxpersonal_old.dbf", "new");
  Put("kxpersonal.dbf", "old");
  ASSERT_TRUE(CreateHardLinkA(F("linked.dbf").c_str(), F("vm001.dbf").c_str(), nullptr));
  const struct {
    std::string replaced, replacement;
    bool personal;
  } cases[] = {
      {F("vm001.dbf"), F("vm001_small.dbf"), false},                    // converted = backup
      {F("vm001.dbf"), dir.path() + "\\.\\VM001.DBF", false},          // converted = live
      {F("vm001.dbf"), F("linked.dbf"), false},                         // converted = live by another name
      {F("kxpersonal.dbf"), F("KXPERSONAL_OLD.dbf"), true},            // new = the old table's backup
  };
  for (const auto& c : cases) {
    TableSwap swap = c.personal ? TableSwap(c.replaced.c_str(), c.replacement.c_str())
                                : TableSwap(c.replaced.c_str(), c.replacement.c_str(), "_small.dbf");
    EXPECT_FALSE(swap.Run(sys)) << c.replacement;
    EXPECT_NE(swap.error().find("are one file !\nNothing was copied."), std::string::npos) << swap.error();
    EXPECT_TRUE(swap.copied().empty());
  }
  EXPECT_EQ(Get("vm001.dbf"), "live");
  EXPECT_EQ(Get("vm001_small.dbf"), "converted");
  EXPECT_EQ(Get("kxpersonal_old.dbf"), "new");
}

// A directory where a copy's temporary file goes makes that copy fail;
// every copy fails in turn. The live table and its index are never left
// half-written or without their copy, and the box says where the copy is.
TEST_F(TableSwapTest, AFailureAtAnyCopyLeavesTheLiveTableAndItsIndexAsTheyWere) {
  const char* temporaries[] = {"vm001_small.dbf.swap", "vm001_small.ndx.swap", "vm001.dbf.swap", "vm001.ndx.swap"};
  for (int k = 0; k < 4; ++k) {
    Put("vm001.dbf", "live");
    Put("vm001.ndx", "live index");
    Put("big.dbf", "converted");
    Put("big.ndx", "converted index");
    for (const char* t : temporaries) RemoveDirectoryA(F(t).c_str());
    ASSERT_TRUE(CreateDirectoryA(F(temporaries[k]).c_str(), nullptr));
    TableSwap swap(F("vm001.dbf").c_str(), F("big.dbf").c_str(), "_small.dbf");
    EXPECT_FALSE(swap.Run(sys)) << temporaries[k];
    EXPECT_EQ(Get("vm001.dbf"), "live") << temporaries[k];
    EXPECT_EQ(Get("vm001.ndx"), "live index") << temporaries[k];
    // The system's reason for the copy that failed, then what is where.
    std::string after = "\n" + SystemReason(ERROR_ACCESS_DENIED) +
                        (k < 2 ? "\nThe table " + F("vm001.dbf") + " was not changed."
                               : "\nThe table " + F("vm001.dbf") + " was not changed; its copy is " +
                                     F("vm001_small.dbf") + ".");
    EXPECT_EQ(swap.error().substr(swap.error().find('\n')), after) << temporaries[k];
    if (k >= 2) {
      EXPECT_EQ(Get("vm001_small.dbf"), "live");
      EXPECT_EQ(Get("vm001_small.ndx"), "live index");
    }
    for (int j = 0; j < 4; ++j)
      EXPECT_TRUE(j == k || !Exists(temporaries[j])) << temporaries[j] << " left after " << temporaries[k];
  }
}

// Every file call of a swap fails in turn, each kind counted from a swap
// that succeeds: each create, write, sync, read (copy and compare) and
// move. After each, the live table and its index are each either as they
// were or the converted ones; once the live table has changed, its backup
// and the backup's index hold the originals; no temporary file is left;
// and the swap says it failed.
TEST_F(TableSwapTest, EveryFailingFileCallLeavesEveryTableWhole) {
  const char* const kNames[] = {"vm001.dbf", "vm001.ndx", "big.dbf", "big.ndx"};
  const char* const kContents[] = {"live", "live index", "converted", "converted index"};
  auto fresh = [&] {
    for (int i = 0; i < 4; ++i) Put(kNames[i], kContents[i]);
    for (const char* n : {"vm001_small.dbf", "vm001_small.ndx"}) DeleteFileA(F(n).c_str());
  };
  FaultFileSystem counter;
  {
    fresh();
    TableSwap swap(F("vm001.dbf").c_str(), F("big.dbf").c_str(), "_small.dbf");
    ASSERT_TRUE(swap.Run(counter)) << swap.error();
  }
  const struct {
    const char* kind;
    int FaultFileSystem::*countdown;
    int calls;
  } kinds[] = {
      {"create", &FaultFileSystem::createsBeforeFailure, counter.creates},
      {"write", &FaultFileSystem::writesBeforeFailure, counter.writes},
      {"sync", &FaultFileSystem::syncsBeforeFailure, counter.syncs},
      {"read", &FaultFileSystem::readsBeforeFailure, counter.reads},
      {"move", &FaultFileSystem::replacesBeforeFailure, counter.replaces},
  };
  for (const auto& k : kinds) {
    ASSERT_GT(k.calls, 0) << k.kind;
    for (int n = 0; n < k.calls; ++n) {
      fresh();
      FaultFileSystem fs;
      fs.*k.countdown = n;
      TableSwap swap(F("vm001.dbf").c_str(), F("big.dbf").c_str(), "_small.dbf");
      std::string at = std::string(k.kind) + " " + std::to_string(n + 1) + " of " + std::to_string(k.calls);
      EXPECT_FALSE(swap.Run(fs)) << at;
      EXPECT_NE(swap.error().find("could not be copied"), std::string::npos) << at << ": " << swap.error();
      std::string live = Get("vm001.dbf"), index = Get("vm001.ndx");
      EXPECT_TRUE(live == "live" || live == "converted") << at << ": " << live;
      EXPECT_TRUE(index == "live index" || index == "converted index") << at << ": " << index;
      if (live != "live" || index != "live index") {
        EXPECT_EQ(Get("vm001_small.dbf"), "live") << at;
        EXPECT_EQ(Get("vm001_small.ndx"), "live index") << at;
      }
      for (const char* t : {"vm001_small.dbf.swap", "vm001_small.ndx.swap", "vm001.dbf.swap", "vm001.ndx.swap"})
        EXPECT_FALSE(Exists(t)) << t << " left after " << at;
    }
  }
}

// A second swap would copy the swapped-in table over the only copy of the
// original. The older backup is kept under its own dated name instead, for
// tables and indexes alike; a backup that already holds the bytes to be
// copied is simply written again.
TEST_F(TableSwapTest, ASecondSwapKeepsTheOlderBackupUnderItsOwnName) {
  Put("kxpersonal.dbf", "original");
  Put("kxpers_new.dbf", "first");
  ASSERT_TRUE(TableSwap(F("kxpersonal.dbf").c_str(), F("kxpers_new.dbf").c_str()).Run(sys));
  Put("kxpers_new.dbf", "second");
  TableSwap again(F("kxpersonal.dbf").c_str(), F("kxpers_new.dbf").c_str());
  ASSERT_TRUE(again.Run(sys)) << again.error();
  ASSERT_EQ(again.kept().size(), 1u);
  EXPECT_EQ(again.kept()[0].first, F("kxpersonal_old.dbf"));
  const std::string& kept = again.kept()[0].second;
  ASSERT_EQ(kept.size(), F("kxpersonal_old-20261209-031500.dbf").size()) << kept;
  EXPECT_EQ(kept.substr(0, F("kxpersonal_old-").size()), F("kxpersonal_old-"));
  EXPECT_EQ(kept.substr(kept.size() - 4), ".dbf");
  Bytes original = ReadBytes(kept);
  EXPECT_EQ(std::string(original.begin(), original.end()), "original") << "the only copy of the original survives";
  EXPECT_EQ(Get("kxpersonal_old.dbf"), "first");
  EXPECT_EQ(Get("kxpersonal.dbf"), "second");

  Put("vm001.dbf", "live");
  Put("vm001.ndx", "live index");
  Put("vm001_small.dbf", "live");          // the same bytes: nothing to keep
  Put("vm001_small.ndx", "older index");   // different: kept
  Put("big.dbf", "converted");
  Put("big.ndx", "converted index");
  TableSwap voicemail(F("vm001.dbf").c_str(), F("big.dbf").c_str(), "_small.dbf");
  ASSERT_TRUE(voicemail.Run(sys)) << voicemail.error();
  ASSERT_EQ(voicemail.kept().size(), 1u);
  EXPECT_EQ(voicemail.kept()[0].first, L("vm001_small.ndx"));
  EXPECT_EQ(voicemail.kept()[0].second.substr(voicemail.kept()[0].second.size() - 4), ".ndx");
  Bytes index = ReadBytes(voicemail.kept()[0].second);
  EXPECT_EQ(std::string(index.begin(), index.end()), "older index");
}

// The older backup cannot be moved aside: the swap stops before it
// changes anything.
TEST_F(TableSwapTest, AnOlderBackupThatCannotBeKeptStopsTheSwap) {
  Put("old.dbf", "old");
  Put("old_old.dbf", "older");
  Put("new.dbf", "new");
  FaultFileSystem fs;
  fs.replacesBeforeFailure = 0;
  TableSwap swap(F("old.dbf").c_str(), F("new.dbf").c_str());
  EXPECT_FALSE(swap.Run(fs));
  EXPECT_EQ(Get("old.dbf"), "old");
  EXPECT_EQ(Get("old_old.dbf"), "older");
  EXPECT_TRUE(swap.kept().empty());
}

TEST_F(TableSwapTest, AFailedBackupStopsTheSwapAndSaysWhich) {
  Put("vm001.dbf", "live");
  TableSwap missing(F("vm001.dbf").c_str(), F("gone.dbf").c_str(), "_small.dbf");
  EXPECT_FALSE(missing.Run(sys));
  EXPECT_EQ(missing.error(), "The file " + F("gone.dbf") + " could not be copied to " + F("vm001.dbf") + " !\n" +
                                 SystemReason(ERROR_FILE_NOT_FOUND) + "\nThe table " + F("vm001.dbf") +
                                 " was not changed; its copy is " + F("vm001_small.dbf") + ".");
  EXPECT_EQ(Get("vm001.dbf"), "live");
  EXPECT_EQ(Get("vm001_small.dbf"), "live") << "the backup came first";

  Put("old.dbf", "old");
  Put("new.dbf", "new");
  CreateDirectoryA(F("old_old.dbf").c_str(), nullptr);
  TableSwap personal(F("old.dbf").c_str(), F("new.dbf").c_str());
  EXPECT_FALSE(personal.Run(sys));
  EXPECT_TRUE(personal.copied().empty());
  EXPECT_EQ(Get("old.dbf"), "old") << "no backup, so the old table is not replaced";
}

TEST_F(TableSwapTest, ANameThatCannotBeBuiltRefusesEveryCopy) {
  Put("a.db", "x");
  TableSwap shortName("abc", F("a.db").c_str());
  EXPECT_EQ(shortName.error(), "No backup name can be made from abc !\nNothing was copied.") << "known before Run";
  EXPECT_FALSE(shortName.Run(sys));
  EXPECT_TRUE(shortName.copied().empty());
  std::string longLive = F(std::string(60, 'l') + ".dbf");
  Put(std::string(60, 'l') + ".dbf", "live");
  TableSwap longIndex(longLive.c_str(), F("a.db").c_str(), "_small.dbf");
  EXPECT_TRUE(longIndex.Run(sys)) << "index names have no fixed limit: " << longIndex.error();
}

TEST_F(TableSwapTest, ThePersonalSwapKeepsTheOldTableFirst) {
  Put("kxpersonal.dbf", "old");
  Put("kxpers_new.dbf", "new");
  Put("kxpersonal.ndx", "untouched");
  TableSwap swap(F("kxpersonal.dbf").c_str(), F("kxpers_new.dbf").c_str());
  ASSERT_TRUE(swap.Run(sys)) << swap.error();
  EXPECT_EQ(Get("kxpersonal_old.dbf"), "old");
  EXPECT_EQ(Get("kxpersonal.dbf"), "new");
  EXPECT_EQ(swap.copied().size(), 2u) << "no index copies for personal tables";
}

// The journal hears of each file before the swap changes it, with the size
// and digest of what it will hold; the n-th line it cannot record stops the
// swap before that change, and what the journal holds is all that was done.
class RecordingJournal : public SwapJournal {
 public:
  bool Copying(const std::string& from, const std::string& to, const FileDigest& placed) override {
    return Take("copy " + from + " " + to + " " + std::to_string(placed.bytes) + " " + placed.sha256);
  }
  bool Keeping(const std::string& from, const std::string& to, const FileDigest& kept) override {
    return Take("kept " + from + " " + to + " " + std::to_string(kept.bytes) + " " + kept.sha256);
  }
  bool Take(const std::string& line) {
    if (linesBeforeFailure == 0) return false;
    --linesBeforeFailure;
    lines.push_back(line);
    return true;
  }
  int linesBeforeFailure = -1;
  std::vector<std::string> lines;
};

TEST_F(TableSwapTest, EachChangeIsJournaledFirstAndALineThatFailsStopsTheSwapThere) {
  const std::string live = "247610f4dedd4ab7247d07dbda19c81ca9817f85820742cad49d407ffae9e4ed";  // sha256sum of "live"
  for (int lines = 0; lines <= 3; ++lines) {
    Put("vm001.dbf", "live");
    Put("vm001_small.dbf", "old");
    Put("big.dbf", "converted");
    TableSwap swap(F("vm001.dbf").c_str(), F("big.dbf").c_str(), "_small.dbf");
    RecordingJournal journal;
    journal.linesBeforeFailure = lines;
    swap.SetJournal(&journal);
    bool done = swap.Run(sys);
    EXPECT_EQ(done, lines == 3) << lines << ": " << swap.error();
    ASSERT_EQ(journal.lines.size(), size_t(lines));
    std::vector<std::string> expected = {"kept " + F("vm001_small.dbf"),
                                         "copy " + F("vm001.dbf") + " " + F("vm001_small.dbf") + " 4 " + live,
                                         "copy " + F("big.dbf") + " " + F("vm001.dbf") + " 9 "};
    for (int i = 0; i < lines; ++i) EXPECT_EQ(journal.lines[i].substr(0, expected[i].size()), expected[i]);
    EXPECT_EQ(Get("vm001.dbf"), lines == 3 ? "converted" : "live") << lines;
    EXPECT_EQ(Get("vm001_small.dbf"), lines >= 2 ? "live" : lines == 1 ? "" : "old") << lines;
    if (!done) {
      EXPECT_NE(swap.error().find("Its journal line could not be written"), std::string::npos) << swap.error();
    }
    EXPECT_FALSE(Exists("vm001_small.dbf.swap") || Exists("vm001.dbf.swap")) << lines << ": a staging copy was left";
    for (const auto& k : swap.kept()) DeleteFileA(k.second.c_str());
  }
}

}  // namespace
