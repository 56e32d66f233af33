// The names the swap builds and the copies it makes, on real files.
#include "app/TableSwap.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/PathNames.h"
#include "tests/support/temp_dir.h"

namespace {

using Bytes = std::vector<unsigned char>;
using Copies = std::vector<std::pair<std::string, std::string>>;

TEST(PathNamesTest, TheLivePathFromTheIniValue) {
  char live[80];
  EXPECT_TRUE(LivePathFromIni("\\db1\\", live));
  EXPECT_STREQ(live, "\\db1\\.\\vm001.dbf");
  EXPECT_TRUE(LivePathFromIni("C:\\VM\\VM001.DBF", live));
  EXPECT_STREQ(live, "c:\\vm\\vm001.dbf");
  EXPECT_TRUE(LivePathFromIni("D:\\DATA", live));
  EXPECT_STREQ(live, "d:\\data.\\vm001.dbf");
  EXPECT_TRUE(LivePathFromIni(std::string(68, 'a').c_str(), live)) << "68 + 11 characters fit";
  EXPECT_FALSE(LivePathFromIni(std::string(69, 'a').c_str(), live));
  EXPECT_STREQ(live, "");
  EXPECT_TRUE(LivePathFromIni((std::string(70, 'a') + "vm001.dbf").c_str(), live));
}

TEST(PathNamesTest, BackupAndIndexNames) {
  char backup[128], index[80];
  EXPECT_TRUE(BackupName("\\db1\\.\\vm001.dbf", "_small.dbf", backup));
  EXPECT_STREQ(backup, "\\db1\\.\\vm001_small.dbf");
  EXPECT_FALSE(BackupName("abc", "_old.dbf", backup)) << "nothing to drop";
  EXPECT_TRUE(BackupName(".dbf", "_old.dbf", backup));
  EXPECT_STREQ(backup, "_old.dbf");
  EXPECT_FALSE(BackupName((std::string(120, 'a') + ".dbf").c_str(), "_small.dbf", backup));
  EXPECT_EQ(IndexName("D:\\DBFILES\\BIG.DBF", index), IndexNameResult::kBuilt);
  EXPECT_STREQ(index, "d:\\ndx") << "cut at the first dbf of the whole path";
  EXPECT_EQ(IndexName("\\db1\\vm001_small.dbf", index), IndexNameResult::kBuilt);
  EXPECT_STREQ(index, "\\db1\\vm001_small.ndx");
  EXPECT_EQ(IndexName("\\db1\\table.dat", index), IndexNameResult::kNoDbf);
  EXPECT_EQ(IndexName((std::string(76, 'a') + ".dbf").c_str(), index), IndexNameResult::kTooLong);
  EXPECT_EQ(IndexName((std::string(75, 'a') + ".dbf").c_str(), index), IndexNameResult::kBuilt);
  EXPECT_EQ(std::string(index).size(), 79u);
}

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
  std::string Get(const std::string& name) {
    Bytes b = ReadBytes(F(name));
    return std::string(b.begin(), b.end());
  }
  TempDir dir;
};

TEST_F(TableSwapTest, VoicemailCopiesGoInTheirOrderWithTheIndexes) {
  Put("vm001.dbf", "live");
  Put("vm001.ndx", "live index");
  Put("small.dbf", "converted");
  Put("small.ndx", "converted index");
  TableSwap swap(F("vm001.dbf").c_str(), F("small.dbf").c_str(), "_big.dbf");
  ASSERT_TRUE(swap.Run()) << swap.error();
  EXPECT_EQ(swap.copied(), (Copies{{F("vm001.dbf"), F("vm001_big.dbf")},
                                   {F("small.dbf"), F("vm001.dbf")},
                                   {L("vm001.ndx"), L("vm001_big.ndx")},
                                   {L("small.ndx"), L("vm001.ndx")}}));
  EXPECT_EQ(Get("vm001_big.dbf"), "live");
  EXPECT_EQ(Get("vm001.dbf"), "converted");
  EXPECT_EQ(Get("vm001_big.ndx"), "live index");
  EXPECT_EQ(Get("vm001.ndx"), "converted index");
}

TEST_F(TableSwapTest, MissingIndexesAndPathsWithoutDbfSkipTheirCopies) {
  Put("vm001.dbf", "live");
  Put("big.dat", "converted");
  TableSwap swap(F("vm001.dbf").c_str(), F("big.dat").c_str(), "_small.dbf");
  ASSERT_TRUE(swap.Run()) << swap.error();
  EXPECT_EQ(swap.copied(), (Copies{{F("vm001.dbf"), F("vm001_small.dbf")}, {F("big.dat"), F("vm001.dbf")}}));
}

TEST_F(TableSwapTest, AFailedCopyStopsTheSwapAndSaysWhich) {
  Put("vm001.dbf", "live");
  TableSwap missing(F("vm001.dbf").c_str(), F("gone.dbf").c_str(), "_small.dbf");
  EXPECT_FALSE(missing.Run());
  EXPECT_EQ(missing.error(), "The file " + F("gone.dbf") + " could not be copied to " + F("vm001.dbf") +
                                 " !\nThe files after it were not copied.");
  EXPECT_EQ(Get("vm001.dbf"), "live");
  EXPECT_EQ(Get("vm001_small.dbf"), "live") << "the backup came first";

  Put("old.dbf", "old");
  Put("new.dbf", "new");
  CreateDirectoryA(F("old_old.dbf").c_str(), nullptr);
  TableSwap personal(F("old.dbf").c_str(), F("new.dbf").c_str());
  EXPECT_FALSE(personal.Run());
  EXPECT_TRUE(personal.copied().empty());
  EXPECT_EQ(Get("old.dbf"), "old") << "no backup, so the old table is not replaced";
}

TEST_F(TableSwapTest, NamesThatCannotBeBuiltRefuseEveryCopy) {
  Put("a.db", "x");
  TableSwap shortName("abc", F("a.db").c_str());
  EXPECT_FALSE(shortName.Run());
  EXPECT_EQ(shortName.error(), "No backup name can be made from abc !\nNothing was copied.");
  std::string longLive = F(std::string(60, 'l') + ".dbf");
  TableSwap longIndex(longLive.c_str(), F("a.db").c_str(), "_small.dbf");
  EXPECT_FALSE(longIndex.Run());
  EXPECT_TRUE(longIndex.copied().empty());
  EXPECT_NE(longIndex.error().find("is too long"), std::string::npos) << longIndex.error();
}

TEST_F(TableSwapTest, ThePersonalSwapKeepsTheOldTableFirst) {
  Put("kxpersonal.dbf", "old");
  Put("kxpers_new.dbf", "new");
  Put("kxpersonal.ndx", "untouched");
  TableSwap swap(F("kxpersonal.dbf").c_str(), F("kxpers_new.dbf").c_str());
  ASSERT_TRUE(swap.Run()) << swap.error();
  EXPECT_EQ(Get("kxpersonal_old.dbf"), "old");
  EXPECT_EQ(Get("kxpersonal.dbf"), "new");
  EXPECT_EQ(swap.copied().size(), 2u) << "no index copies for personal tables";
}

}  // namespace
