// Whole-file copies' digests and the dated names files are kept under.
#include "commands/FileCopy.h"

#include <gtest/gtest.h>

#include <string>

#include "commands/Sha256.h"
#include "engine/file_system.h"
#include "tests/support/temp_dir.h"

namespace {

std::string Digest(const std::string& text) {
  Sha256 sha;
  sha.Add(text.data(), text.size());
  return sha.Hex();
}

// The published test vectors, one of them fed in pieces that cross blocks.
TEST(FileCopyTest, Sha256GivesThePublishedDigests) {
  EXPECT_EQ(Digest(""), "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855");
  EXPECT_EQ(Digest("abc"), "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
  std::string two = "abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq";
  EXPECT_EQ(Digest(two), "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1");
  Sha256 pieces;
  std::string a(1001, 'a');
  for (int i = 0; i < 1000; ++i) pieces.Add(a.data(), i % 2 ? 999 : 1001);
  EXPECT_EQ(pieces.Hex(), "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0") << "a million a's";
}

TEST(FileCopyTest, DatedNamesAreUniqueAndKnownForWhatTheyAre) {
  TempDir dir;
  xb::FileSystem* fs = xb::FileSystem::Default();
  std::string table = dir.File("vm001_small.dbf");
  std::string first = DatedName(*fs, table, "-20261209-031500");
  EXPECT_EQ(first, dir.File("vm001_small-20261209-031500.dbf"));
  ASSERT_TRUE(fs->Create(first.c_str()));
  EXPECT_EQ(DatedName(*fs, table, "-20261209-031500"), dir.File("vm001_small-20261209-031500-2.dbf"));
  const struct {
    std::string name;
    bool dated;
  } names[] = {
      {dir.File("vm001_small-20261209-031500.dbf"), true},
      {dir.File("VM001_SMALL-20261209-031500-12.DBF"), true},
      {dir.File("vm001_small.dbf"), false},
      {dir.File("vm001_small-2026129-031500.dbf"), false},
      {dir.File("vm001_small-20261209-031500-.dbf"), false},
      {dir.File("vm001_small-20261209-031500-2-2.dbf"), false},
      {dir.File("vm001-20261209-031500.dbf"), false},
      {dir.File("other\\vm001_small-20261209-031500.dbf"), false},
  };
  for (const auto& n : names) EXPECT_EQ(IsDatedName(n.name, table), n.dated) << n.name;
}

}  // namespace
