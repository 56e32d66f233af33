// The names the commands build from table paths.
#include "commands/PathNames.h"

#include <gtest/gtest.h>

#include <string>

namespace {

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
  const struct {
    std::string path, suffix;
    bool built;
    std::string name;
  } backups[] = {
      {"\\db1\\.\\vm001.dbf", "_small.dbf", true, "\\db1\\.\\vm001_small.dbf"},
      {"abc", "_old.dbf", false, ""},
      {".dbf", "_old.dbf", true, "_old.dbf"},
      {std::string(120, 'a') + ".dbf", "_small.dbf", true, std::string(120, 'a') + "_small.dbf"},
      {std::string(250, 'a') + ".dbf", "_small.dbf", false, ""},
  };
  for (const auto& b : backups) {
    std::string name;
    EXPECT_EQ(BackupName(b.path.c_str(), b.suffix.c_str(), &name), b.built) << b.path;
    if (b.built) {
      EXPECT_EQ(name, b.name);
    }
  }
  const struct {
    std::string path, index;
  } indexes[] = {
      {"\\db1\\vm001_small.dbf", "\\db1\\vm001_small.ndx"},
      {"D:\\DBFILES\\BIG.DBF", "d:\\dbfiles\\big.ndx"},  // the table's own extension, not the first "dbf"
      {"c:\\dbf\\.\\vm001.dbf", "c:\\dbf\\.\\vm001.ndx"},
      {"\\db1\\table.dat", ""},
      {"c:\\x.dbf\\table", ""},
      {"c:\\x\\vm001.dbfx", ""},
      {std::string(200, 'a') + ".dbf", std::string(200, 'a') + ".ndx"},
  };
  for (const auto& i : indexes) EXPECT_EQ(IndexName(i.path.c_str()), i.index) << i.path;
}

}  // namespace
