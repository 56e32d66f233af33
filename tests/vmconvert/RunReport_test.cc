// vmconvert's JSON report, written in-process and read back.
#include "run/RunReport.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <thread>
#include <vector>

#include <nlohmann/json.hpp>

#include "tests/support/fault_file_system.h"
#include "tests/support/temp_dir.h"

namespace {

TEST(RunReportTest, EveryKeyReadsBackWithItsValue) {
  TempDir dir;
  RunReport r;
  r.command = "old-to-new";
  r.source = "C:\\db1\\kxpersonal.dbf";
  r.target = "C:\\db1\\na\xefve \"quoted\".dbf";
  r.compared = 7;
  r.beyondSourceEnd = 1;
  r.beyondTargetEnd = 2;
  r.fieldsWritten = {{"NAME", 3}, {"TT1", 4}};
  r.fieldsFailed = {{"TY1", 2}};
  r.unreadableTarget = 5;
  r.stoppedAfter = 12;
  r.backupsKept = {{"old_old.dbf", "old_old-20261209-031500.dbf"}};
  r.sourceBytesBefore = 100;
  r.reason = "cancelled after record 12 of 40";
  r.warnings = {"Error !: line one\nline two"};
  r.cancelled = true;
  r.swap = "failed";
  r.copies = {{"a.dbf", "b.dbf"}};
  r.swapError = "tab\there";
  r.seconds = 1.25;
  r.status = 4;
  std::string why;
  ASSERT_TRUE(r.Write(dir.File("r.json"), xb::FileSystem::Default(), &why)) << why;
  std::vector<unsigned char> bytes = ReadBytes(dir.File("r.json"));
  nlohmann::json j = nlohmann::json::parse(bytes.begin(), bytes.end(), nullptr, false);
  ASSERT_FALSE(j.is_discarded()) << std::string(bytes.begin(), bytes.end());
  EXPECT_EQ(j["report_format"], 2);
  EXPECT_EQ(j["program"], "vmconvert");
  EXPECT_EQ(j["command"], "old-to-new");
  EXPECT_EQ(j["source"], r.source);
  EXPECT_EQ(j["target"], "C:\\db1\\na\u00efve \"quoted\".dbf") << "a code-page byte comes back as its character";
  EXPECT_EQ(j["dry_run"], false);
  EXPECT_EQ(j["records_compared"], 7);
  EXPECT_EQ(j["records_beyond_source_end"], 1);
  EXPECT_EQ(j["records_beyond_target_end"], 2);
  EXPECT_EQ(j["fields_written"]["TT1"], 4);
  EXPECT_EQ(j["warnings"][0], "Error !: line one\nline two");
  EXPECT_EQ(j["cancelled"], true);
  EXPECT_EQ(j["swap"], "failed");
  EXPECT_EQ(j["swap_copies"][0][1], "b.dbf");
  EXPECT_EQ(j["swap_error"], "tab\there");
  EXPECT_DOUBLE_EQ(j["seconds"].get<double>(), 1.25);
  EXPECT_EQ(j["exit_status"], 4);
  EXPECT_EQ(j["fields_written_total"], 7);
  EXPECT_EQ(j["fields_failed"]["TY1"], 2);
  EXPECT_EQ(j["records_unreadable"]["source"], 0);
  EXPECT_EQ(j["records_unreadable"]["target"], 5);
  EXPECT_EQ(j["stopped_after_record"], 12);
  EXPECT_EQ(j["backups_kept"][0][1], "old_old-20261209-031500.dbf");
  EXPECT_EQ(j["source_bytes_before"], 100);
  EXPECT_TRUE(j["source_bytes_after"].is_null()) << "not known";
  EXPECT_EQ(j["reason"], "cancelled after record 12 of 40");
  for (const char* key : {"started_at", "version", "computer", "user"}) EXPECT_TRUE(j.contains(key)) << key;
}

// Every call is checked, and a report is written whole or not at all: a
// disk that fills up fails the create, the write, the flush or the move
// into place, the report says why it was not written, and the earlier
// report there stays as it was, with nothing left beside it.
TEST(RunReportTest, AReportIsWrittenWholeOrNotAtAll) {
  TempDir dir;
  RunReport r;
  std::string why;
  EXPECT_FALSE(r.Write(dir.path(), xb::FileSystem::Default(), &why)) << "a folder cannot take the report";
  EXPECT_FALSE(r.Write(dir.File("no-such-folder\\r.json"), xb::FileSystem::Default(), &why));
  EXPECT_FALSE(why.empty()) << "no reason given";
  const std::vector<unsigned char> earlier = {'{', '}'};
  const struct {
    const char* what;
    int FaultFileSystem::*countdown;
  } faults[] = {{"the create fails", &FaultFileSystem::createsBeforeFailure},
                {"the write fails", &FaultFileSystem::writesBeforeFailure},
                {"the flush fails", &FaultFileSystem::syncsBeforeFailure},
                {"the move into place fails", &FaultFileSystem::replacesBeforeFailure}};
  for (const auto& f : faults) {
    WriteBytes(dir.File("r.json"), earlier);
    FaultFileSystem fs;
    fs.*f.countdown = 0;
    EXPECT_FALSE(r.Write(dir.File("r.json"), &fs, &why)) << f.what;
    EXPECT_EQ(ReadBytes(dir.File("r.json")), earlier) << f.what << ": the earlier report was touched";
    EXPECT_EQ(GetFileAttributesA(dir.File("r.json.part").c_str()), INVALID_FILE_ATTRIBUTES) << f.what;
  }
  FaultFileSystem fine;
  EXPECT_TRUE(r.Write(dir.File("r.json"), &fine, &why)) << why;
  std::vector<unsigned char> bytes = ReadBytes(dir.File("r.json"));
  nlohmann::json j = nlohmann::json::parse(bytes.begin(), bytes.end(), nullptr, false);
  EXPECT_TRUE(j["exit_status"].is_null()) << "a run that goes on has no status yet";
}

// A script that reads the earlier report holds it open for a moment, as
// a reader on Windows does (sharing no delete): the new report still takes
// its place once the reader has let go.
TEST(RunReportTest, AReportHeldOpenForAMomentIsStillReplaced) {
  TempDir dir;
  std::string path = dir.File("r.json"), why;
  WriteBytes(path, {'{', '}'});
  HANDLE reader = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(reader, INVALID_HANDLE_VALUE);
  std::thread letGo([reader] {
    Sleep(300);
    CloseHandle(reader);
  });
  RunReport r;
  bool written = r.Write(path, xb::FileSystem::Default(), &why);
  letGo.join();
  EXPECT_TRUE(written) << why;
  EXPECT_NE(ReadBytes(path), (std::vector<unsigned char>{'{', '}'})) << "the earlier report is still there";
}

// Keys() is the one list of the keys Json() writes; a file is one of our
// reports only when it carries our mark and report keys alone, or, as an
// earlier version wrote it, every key that version wrote.
TEST(RunReportTest, TheKeysAreOneListAndOnlyOurReportsAreOurs) {
  nlohmann::json j = nlohmann::json::parse(RunReport().Json());
  std::vector<std::string> written;
  for (const auto& item : j.items()) written.push_back(item.key());
  std::vector<std::string> keys = RunReport::Keys();
  std::sort(keys.begin(), keys.end());
  EXPECT_EQ(written, keys) << "Json() and Keys() disagree";
  EXPECT_TRUE(RunReport::IsOurs(RunReport().Json()));
  nlohmann::json unmarked = j, otherProgram = j, olderMark = j, extraKey = j;
  unmarked.erase("report_format");
  unmarked.erase("program");
  otherProgram["program"] = "notepad";
  olderMark["report_format"] = 1;
  extraKey["name"] = 1;
  nlohmann::json lacking = unmarked;
  lacking.erase("warnings");
  const struct {
    std::string text;
    bool ours;
  } files[] = {
      {unmarked.dump(2), true},
      {lacking.dump(), false},
      {otherProgram.dump(), false},
      {olderMark.dump(), false},
      {extraKey.dump(), false},
      {"{}", false},
      {"{\"user\":\"mine\",\"computer\":\"x\"}", false},
      {" {\"exit_status\": 2, \"warnings\": [\"a\", \"b\\\"c\"], \"records_unreadable\": {\"x\": 1}}\n", false},
      {"{\"exit_status\": 2, \"name\": 1}", false},
      {"{\"exit_status\": 2} trailing", false},
      {"{\"exit_status\": 2", false},
      {"[\"exit_status\"]", false},
      {"exit_status", false},
      {std::string("\x03\x7a\x0c\x09", 4) + std::string(28, '\0'), false},  // a table's header
      {"{\"exit_status\": tru}", false},
  };
  for (const auto& f : files) EXPECT_EQ(RunReport::IsOurs(f.text), f.ours) << f.text;
}

}  // namespace
