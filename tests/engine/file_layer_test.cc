// The operating system's file layer, as the engine uses it: every read
// returns what the file holds at that moment, wherever the previous call
// left the handle, and whatever another handle wrote in between.
#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "engine/file_system.h"
#include "tests/support/temp_dir.h"

namespace {

using Bytes = std::vector<unsigned char>;

// The file's contents as both handles' writes leave them; bytes never
// written read as 0.
void Apply(Bytes& model, uint64_t offset, const Bytes& data) {
  if (model.size() < offset + data.size()) model.resize(offset + data.size(), 0);
  std::copy(data.begin(), data.end(), model.begin() + long(offset));
}

Bytes Expected(const Bytes& model, uint64_t offset, size_t n) {
  if (offset >= model.size()) return {};
  size_t end = std::min<size_t>(model.size(), offset + n);
  return Bytes(model.begin() + long(offset), model.begin() + long(end));
}

TEST(FileLayerTest, EveryReadSeesTheFileWhereverThePreviousCallLeftTheHandle) {
  TempDir dir;
  std::string path = dir.File("walk.bin");
  xb::FileSystem* fs = xb::FileSystem::Default();
  std::unique_ptr<xb::File> ours = fs->Create(path.c_str());
  std::unique_ptr<xb::File> other = fs->Open(path.c_str());
  ASSERT_TRUE(ours && other);

  Bytes model;
  std::mt19937 random(20261209);
  // Where our last call started, how much it asked for, and where it ended.
  uint64_t last = 0, asked = 0, next = 0;
  for (int step = 0; step < 4000; ++step) {
    unsigned kind = random() % 8;
    // Most calls start where the last one ended (a walk's next record, a
    // record's next field), where it started (the same record again), or
    // where it would have ended had it got everything; the rest anywhere,
    // past the end included.
    const uint64_t places[] = {next, next, last, last + asked, random() % (model.size() + 64)};
    uint64_t offset = places[random() % 5];
    size_t n = 1 + random() % 40;
    Bytes data(n);
    for (auto& b : data) b = static_cast<unsigned char>(random());
    if (kind < 3) {
      ASSERT_TRUE(ours->WriteAt(offset, data.data(), n));
      Apply(model, offset, data);
      last = offset, asked = n, next = offset + n;
    } else if (kind < 5) {
      // Another writer, at the very place our handle stands now or anywhere.
      uint64_t at = random() % 2 ? next : random() % (model.size() + 16);
      ASSERT_TRUE(other->WriteAt(at, data.data(), n));
      Apply(model, at, data);
    } else {
      Bytes got(n, 0xEE);
      size_t count = 0;
      ASSERT_TRUE(ours->ReadAt(offset, got.data(), n, &count));
      got.resize(count);
      ASSERT_EQ(got, Expected(model, offset, n))
          << "step " << step << ": a read of " << n << " bytes at " << offset << " (the last call ended at " << next
          << ") did not return what the file holds";
      last = offset, asked = n, next = offset + count;
    }
  }
  uint64_t size = 0;
  ASSERT_TRUE(ours->Size(&size));
  EXPECT_EQ(size, model.size());
}

// One file however it is spelled; two files, or a missing one, never.
TEST(FileLayerTest, SameFileKnowsAFileByItsIdentityNotItsName) {
  TempDir dir;
  xb::FileSystem* fs = xb::FileSystem::Default();
  std::string a = dir.File("a.dbf"), b = dir.File("b.dbf");
  ASSERT_TRUE(fs->Create(a.c_str()) && fs->Create(b.c_str()));
  std::string other = dir.File("sub");
  ASSERT_TRUE(std::filesystem::create_directory(other));
  std::string roundabout = (std::filesystem::path(other) / ".." / "a.dbf").string();
  EXPECT_TRUE(fs->SameFile(a.c_str(), a.c_str()));
  EXPECT_TRUE(fs->SameFile(a.c_str(), roundabout.c_str())) << roundabout;
  EXPECT_FALSE(fs->SameFile(a.c_str(), b.c_str()));
  EXPECT_FALSE(fs->SameFile(a.c_str(), dir.File("missing.dbf").c_str()));
  EXPECT_FALSE(fs->SameFile(dir.File("missing.dbf").c_str(), dir.File("missing.dbf").c_str()))
      << "a file that is not there is no file";
  EXPECT_TRUE(fs->Exists(a.c_str()) && fs->Exists(other.c_str())) << "a file and a folder are there";
  EXPECT_FALSE(fs->Exists(dir.File("missing.dbf").c_str()));
}

}  // namespace

// An output is made only where nothing is: CreateNew never touches a file
// or a folder that is there, and two callers never both get one name.
TEST(FileLayerTest, CreateNewTakesANameOnlyWhereNothingIsThere) {
  TempDir dir;
  xb::FileSystem* fs = xb::FileSystem::Default();
  std::string mine = dir.File("mine.json"), folder = dir.File("folder"), fresh = dir.File("fresh.jsonl");
  WriteBytes(mine, {'m', 'i', 'n', 'e'});
  ASSERT_TRUE(fs->MakeFolder(folder.c_str()));
  EXPECT_TRUE(fs->MakeFolder(folder.c_str())) << "a folder already there is there";
  EXPECT_FALSE(fs->MakeFolder(mine.c_str())) << "a file is no folder";
  EXPECT_EQ(fs->CreateNew(mine.c_str()), nullptr);
  EXPECT_EQ(ReadBytes(mine), (Bytes{'m', 'i', 'n', 'e'})) << "CreateNew emptied a file that was there";
  EXPECT_EQ(fs->CreateNew(folder.c_str()), nullptr);
  std::unique_ptr<xb::File> first = fs->CreateNew(fresh.c_str());
  ASSERT_TRUE(first);
  EXPECT_EQ(fs->CreateNew(fresh.c_str()), nullptr) << "a second caller got the name the first holds";
  std::vector<std::string> names;
  ASSERT_TRUE(fs->List(dir.path().c_str(), ".JSONL", &names));
  EXPECT_EQ(names, std::vector<std::string>{"fresh.jsonl"}) << "only files, by their suffix, letter case aside";
  EXPECT_FALSE(fs->List(dir.File("nowhere").c_str(), ".jsonl", &names));
  uint64_t free = 0;
  EXPECT_TRUE(fs->FreeBytes(mine.c_str(), &free) && free > 0) << "the disk's room, asked through a file";
  EXPECT_TRUE(fs->FreeBytes(folder.c_str(), &free) && free > 0) << "and through a folder";
  EXPECT_FALSE(fs->Identity(mine.c_str()).empty());
  EXPECT_EQ(fs->Identity(dir.File("missing").c_str()), "");
  EXPECT_NE(fs->Identity(mine.c_str()), fs->Identity(fresh.c_str()));
}
