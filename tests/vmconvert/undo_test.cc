// vmconvert undo: a run taken back from its journal, byte for byte, and
// what undo refuses.
#include <windows.h>

#include <gtest/gtest.h>

#include <functional>
#include <regex>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "db/CDatabase.h"

#include "tests/support/raw_dbf.h"
#include "tests/support/table_edit.h"
#include "tests/support/temp_dir.h"
#include "tests/vmconvert/vmconvert_run.h"
#include "tools/vmtables.h"

namespace {

using vmtables::Layout;
using vmtables::Variation;

class UndoTest : public VmconvertTest {
 protected:
  struct Job {
    const char* name;
    std::string args, target;
  };
  // The three jobs over fresh tables in which every copied field differs.
  std::vector<Job> Jobs() {
    std::string oldTable = dir.File("kxpersonal.dbf"), newTable = dir.File("kxpers_new.dbf");
    std::string small = dir.File("vm001_small.dbf"), bigLive = dir.File("big\\vm001.dbf");
    CreateDirectoryA(dir.File("big").c_str(), nullptr);
    return {{"small-to-big", Paths(), big},
            {"big-to-small", "big-to-small --live \"" + bigLive + "\" --small \"" + small + "\"", small},
            {"old-to-new", "old-to-new --old \"" + oldTable + "\" --new \"" + newTable + "\"", newTable}};
  }
  void Make(const Job& job) {
    if (std::string(job.name) == "small-to-big") {
      ASSERT_TRUE(vmtables::MakeVmTable(live, Layout::kSmall, 300));
      ASSERT_TRUE(vmtables::MakeVmTable(big, Layout::kBig, 300, Variation{1, 0}));
    } else if (std::string(job.name) == "big-to-small") {
      ASSERT_TRUE(vmtables::MakeVmTable(dir.File("big\\vm001.dbf"), Layout::kBig, 3000));
      ASSERT_TRUE(vmtables::MakeVmTable(job.target, Layout::kSmall, 3000, Variation{1, 0}));
    } else {
      ASSERT_TRUE(vmtables::MakePersonalTable(dir.File("kxpersonal.dbf"), 200));
      ASSERT_TRUE(vmtables::MakePersonalTable(job.target, 200, Variation{1, 0}));
    }
    AgeHeader(job.target);
  }
  Result Undo(const std::string& journal, const std::string& more = "") {
    return Vmconvert("undo \"" + journal + "\"" + more);
  }
};

// Each job, undone, leaves its target byte for byte as it
// was, date included; the undo of the undo gives the converted table back.
TEST_F(UndoTest, EachJobUndoneLeavesItsTargetAsItWasAndUndoingTheUndoRedoesIt) {
  for (const Job& job : Jobs()) {
    Make(job);
    std::vector<unsigned char> before = ReadBytes(job.target);
    Result run = Vmconvert(job.args);
    ASSERT_EQ(run.status, 0) << job.name << ": " << run.err;
    std::vector<unsigned char> converted = ReadBytes(job.target);
    ASSERT_NE(converted, before) << job.name;
    std::string journal = JournalOf(run.out);
    ASSERT_FALSE(journal.empty()) << job.name << ": the run named no journal: " << run.out;
    Result undo = Undo(journal);
    EXPECT_EQ(undo.status, 0) << job.name << ": " << undo.out << undo.err;
    EXPECT_EQ(ReadBytes(job.target), before) << job.name << ": not byte for byte as before the run";
    Result redo = Undo(JournalOf(undo.out));
    EXPECT_EQ(redo.status, 0) << job.name << ": " << redo.err;
    EXPECT_EQ(ReadBytes(job.target), converted) << job.name << ": the undo of the undo";
  }
}

// The run is stopped as a kill would stop it, after 0 to many writes;
// its journal takes the target back byte for byte each time. An undo
// stopped the same way completes when it is run again.
TEST_F(UndoTest, ARunKilledAtAnyMomentIsUndoneByteForByte) {
  ASSERT_TRUE(vmtables::MakeVmTable(live, Layout::kSmall, 40));
  for (int writes : {0, 1, 2, 3, 17, 200, 1000}) {
    ASSERT_TRUE(vmtables::MakeVmTable(big, Layout::kBig, 40, Variation{1, 0}));
    AgeHeader(big);
    std::vector<unsigned char> before = ReadBytes(big);
    std::string journal = dir.File("run-" + std::to_string(writes) + ".jsonl");
    SetEnvironmentVariableA("VMCONVERT_KILL_AFTER_WRITES", std::to_string(writes).c_str());
    Result killed = Vmconvert(Paths() + " --journal \"" + journal + "\"", Hooks());
    SetEnvironmentVariableA("VMCONVERT_KILL_AFTER_WRITES", nullptr);
    EXPECT_EQ(killed.status, 9) << writes << " writes: " << killed.err;
    std::string undoJournal = dir.File("undo-" + std::to_string(writes) + ".jsonl");
    SetEnvironmentVariableA("VMCONVERT_KILL_AFTER_WRITES", "5");
    Result stopped = Vmconvert("undo \"" + journal + "\" --journal \"" + undoJournal + "\"", Hooks());
    SetEnvironmentVariableA("VMCONVERT_KILL_AFTER_WRITES", nullptr);
    Result undo = Undo(journal, " --no-journal");
    EXPECT_EQ(undo.status, 0) << writes << " writes: " << undo.out << undo.err;
    EXPECT_EQ(ReadBytes(big), before) << "killed after " << writes << " writes (undo stopped: "
                                      << stopped.status << ")";
  }
}

// A field changed after the run is kept, listed, and the status is 5.
TEST_F(UndoTest, AFieldChangedSinceTheRunIsKeptAndListed) {
  ASSERT_TRUE(vmtables::MakeVmTable(live, Layout::kSmall, 10));
  ASSERT_TRUE(vmtables::MakeVmTable(big, Layout::kBig, 10, Variation{1, 0}));
  Result run = Vmconvert(Paths());
  ASSERT_EQ(run.status, 0) << run.err;
  ASSERT_TRUE(SetField(big, 4, "T05", "77"));
  Result undo = Undo(JournalOf(run.out));
  EXPECT_EQ(undo.status, 5) << undo.out;
  EXPECT_TRUE(Has(undo.out, "changed since the run, left as they are: 1\n  record 4 T05: now \"77\"")) << undo.out;
  EXPECT_EQ(RawDbf(big).Value(4, "T05"), "77");
  EXPECT_EQ(RawDbf(big).Value(5, "T05"), vmtables::VmValue(Layout::kBig, 5, 5, Variation{1, 0}));
}

// A run with --swap, undone: the live table, its index and the target
// byte for byte as before.
TEST_F(UndoTest, ASwapIsUndoneFirst) {
  ASSERT_TRUE(vmtables::MakeVmTable(live, Layout::kSmall, 30));
  ASSERT_TRUE(vmtables::MakeVmTable(big, Layout::kBig, 30, Variation{1, 0}));
  WriteBytes(dir.File("vm001.ndx"), {'l', 'i', 'v', 'e'});
  WriteBytes(dir.File("vm001_big.ndx"), {'b', 'i', 'g'});
  std::vector<unsigned char> liveBefore = ReadBytes(live), bigBefore = ReadBytes(big);
  Result run = Vmconvert(Paths() + " --swap");
  ASSERT_EQ(run.status, 0) << run.err;
  ASSERT_NE(ReadBytes(live), liveBefore);
  Result undo = Undo(JournalOf(run.out));
  EXPECT_EQ(undo.status, 0) << undo.out << undo.err;
  EXPECT_EQ(ReadBytes(live), liveBefore) << "the live table";
  EXPECT_EQ(ReadBytes(dir.File("vm001.ndx")), (std::vector<unsigned char>{'l', 'i', 'v', 'e'})) << "its index";
  EXPECT_EQ(ReadBytes(big), bigBefore) << "the target";
}

// A journal that cannot be made refuses the run before it writes; a dry
// run of undo lists what it would put back and writes nothing.
TEST_F(UndoTest, NoJournalNoRunAndADryRunOfUndoWritesNothing) {
  ASSERT_TRUE(vmtables::MakeVmTable(live, Layout::kSmall, 10));
  ASSERT_TRUE(vmtables::MakeVmTable(big, Layout::kBig, 10, Variation{1, 0}));
  std::vector<unsigned char> before = ReadBytes(big);
  Result refused = Vmconvert(Paths() + " --journal \"" + dir.path() + "\"");
  EXPECT_EQ(refused.status, 6) << refused.err;
  EXPECT_TRUE(Has(refused.err, "is there already; a journal never replaces a file")) << refused.err;
  EXPECT_EQ(ReadBytes(big), before);
  Result run = Vmconvert(Paths());
  ASSERT_EQ(run.status, 0) << run.err;
  std::vector<unsigned char> converted = ReadBytes(big);
  Result dry = Undo(JournalOf(run.out), " --dry-run");
  EXPECT_EQ(dry.status, 0) << dry.err;
  EXPECT_TRUE(Has(dry.out, "to put back: 320\n")) << dry.out;
  EXPECT_TRUE(Has(dry.out, "record 1 T02: ")) << dry.out;
  EXPECT_EQ(ReadBytes(big), converted) << "a dry run wrote";
}

// A journal of another table is refused, with nothing written.
TEST_F(UndoTest, AJournalOfAnotherTableIsRefused) {
  ASSERT_TRUE(vmtables::MakeVmTable(live, Layout::kSmall, 10));
  ASSERT_TRUE(vmtables::MakeVmTable(big, Layout::kBig, 10, Variation{1, 0}));
  Result run = Vmconvert(Paths());
  ASSERT_EQ(run.status, 0) << run.err;
  ASSERT_TRUE(vmtables::MakeVmTable(big, Layout::kSmall, 10, Variation{1, 0}));  // another table in its place
  std::vector<unsigned char> other = ReadBytes(big);
  Result undo = Undo(JournalOf(run.out));
  EXPECT_EQ(undo.status, 6) << undo.out;
  EXPECT_TRUE(Has(undo.err, "is not the one the journal")) << undo.err;
  EXPECT_EQ(ReadBytes(big), other);
}


// The table at path with record 1 removed and the rest moved up, then a
// blank record appended: as many records as before, none where it was.
void PackOutTheFirstRecord(const std::string& path) {
  CDatabase db;
  ASSERT_TRUE(db.Open(const_cast<char*>(path.c_str())));
  uint32_t records = db.RecCount();
  db.Go(1);
  db.Delete();
  db.Pack();
  db.Append();
  ASSERT_EQ(db.RecCount(), records) << "the pack did not take place";
  db.Close();
}

// The table at path cut to records, as another program might leave it.
void Shorten(const std::string& path, uint32_t records) {
  std::vector<unsigned char> bytes = ReadBytes(path);
  uint32_t header = bytes[8] | bytes[9] << 8, length = bytes[10] | bytes[11] << 8;
  for (int i = 0; i < 4; ++i) bytes[4 + i] = static_cast<unsigned char>(records >> (8 * i));
  bytes.resize(header + size_t(records) * length);
  bytes.push_back(0x1A);
  WriteBytes(path, bytes);
}

class UndoRecordsTest : public VmconvertTest {
 protected:
  // A run over 20 records in which every copied field differs; its journal.
  std::string RunOnce() {
    EXPECT_TRUE(vmtables::MakeVmTable(live, Layout::kSmall, 20));
    EXPECT_TRUE(vmtables::MakeVmTable(big, Layout::kBig, 20, Variation{1, 0}));
    Result run = Vmconvert(Paths());
    EXPECT_EQ(run.status, 0) << run.err;
    return JournalOf(run.out);
  }
};

// A record is put back only where it still is the record the run changed:
// a table whose records moved, that was shortened, or that is another
// table of the same layout is refused before any write.
TEST_F(UndoRecordsTest, RecordsThatMovedOrAreGoneOrAreAnotherTablesAreNeverWritten) {
  const struct {
    const char* what;
    std::function<void(const std::string&)> change;
    const char* said;
  } cases[] = {
      {"packed after the run", PackOutTheFirstRecord, "not the records the run changed"},
      {"shortened to 15 records", [](const std::string& p) { Shorten(p, 15); }, "holds 15 records"},
      {"another table of the same layout",
       [](const std::string& p) { vmtables::MakeVmTable(p, Layout::kBig, 20, Variation{3, 1}); },
       "not the records the run changed"},
  };
  for (const auto& c : cases) {
    std::string journal = RunOnce();
    c.change(big);
    std::vector<unsigned char> now = ReadBytes(big);
    Result undo = Vmconvert("undo \"" + journal + "\"");
    EXPECT_EQ(undo.status, 6) << c.what << ": " << undo.out << undo.err;
    EXPECT_TRUE(Has(undo.err, c.said)) << c.what << ": " << undo.err;
    EXPECT_FALSE(Has(undo.err, "failed")) << c.what << ": a read past the end is no failed write: " << undo.err;
    EXPECT_EQ(ReadBytes(big), now) << c.what << ": undo wrote into records the run never changed";
  }
}

// journal relabelled as the first format: "format":1 and no record lines,
// as an edit by hand would leave it.
void RelabelAsFirstFormat(const std::string& journal) {
  std::vector<std::string> kept;
  for (std::string line : Lines(journal)) {
    if (Has(line, "\"type\":\"record\"")) continue;
    size_t at = line.find("\"format\":");
    if (at != std::string::npos) line.replace(at, 10, "\"format\":1");
    kept.push_back(line);
  }
  WriteLines(journal, kept);
}

// A first-format journal names no record's identity: it is undone only
// over a table that shows all its run found and wrote - the same size and
// record count, and every field it names holding what the run wrote or
// what it found. Anything else may be another table, and is refused with
// the way to take the run back by hand.
TEST_F(UndoRecordsTest, AFirstFormatJournalNeverWritesIntoAnotherTable) {
  const struct {
    const char* what;
    std::function<void(const std::string&)> change;
    const char* said;
  } cases[] = {
      {"another table of the same layout and size",
       [](const std::string& p) { vmtables::MakeVmTable(p, Layout::kBig, 20, Variation{3, 1}); },
       "neither what the run found"},
      {"its table with a record more", [](const std::string& p) { vmtables::MakeVmTable(p, Layout::kBig, 21); },
       "and 21 records, where the run found"},
  };
  for (const auto& c : cases) {
    std::string journal = RunOnce();
    RelabelAsFirstFormat(journal);
    c.change(big);
    std::vector<unsigned char> now = ReadBytes(big);
    Result undo = Vmconvert("undo \"" + journal + "\"");
    EXPECT_EQ(undo.status, 6) << c.what << ": " << undo.out << undo.err;
    EXPECT_TRUE(Has(undo.err, c.said)) << c.what << ": " << undo.err;
    EXPECT_TRUE(Has(undo.err, "To take the run back by hand")) << c.what << ": " << undo.err;
    EXPECT_EQ(ReadBytes(big), now) << c.what << ": undo wrote into a table the run may never have changed";
  }
}

// Two records changed since the run outside the fields it wrote are not
// the records it left: they are left and listed; the others come back.
TEST_F(UndoRecordsTest, RecordsChangedElsewhereSinceTheRunAreLeftAndListed) {
  std::string journal = RunOnce();
  ASSERT_TRUE(SetField(big, 3, "T40", "x"));
  ASSERT_TRUE(SetField(big, 7, "T40", "y"));
  Result undo = Vmconvert("undo \"" + journal + "\"");
  EXPECT_EQ(undo.status, 5) << undo.out << undo.err;
  EXPECT_TRUE(Has(undo.out, "records changed elsewhere since the run, left as they are: 2\n  record 3")) << undo.out;
  EXPECT_TRUE(Has(undo.out, "\n  record 7")) << undo.out;
  RawDbf after(big);
  EXPECT_EQ(after.Value(3, "T02"), vmtables::VmValue(Layout::kSmall, 3, 2)) << "record 3 was written";
  EXPECT_EQ(after.Value(4, "T02"), vmtables::VmValue(Layout::kBig, 4, 2, Variation{1, 0})) << "record 4 is back";
}

// A journal line that cannot be written (the test build fails the
// journal's writes after the first n) refuses the change it describes,
// the header's date included: what the journal holds is exactly what
// reached the table, the counts say so, and undo takes it back byte for
// byte. With n = 1 only the run line is written, and nothing changes; with
// n = 2 the first change and the date stamp meet the failure.
TEST_F(UndoRecordsTest, AJournalLineThatCannotBeWrittenRefusesItsChange) {
  for (const char* n : {"1", "2", "4"}) {
    ASSERT_TRUE(vmtables::MakeVmTable(live, Layout::kSmall, 10));
    ASSERT_TRUE(vmtables::MakeVmTable(big, Layout::kBig, 10, Variation{1, 0}));
    AgeHeader(big);
    RawDbf before(big);
    std::vector<unsigned char> original = ReadBytes(big);
    std::string journal = dir.File(std::string("run-") + n + ".jsonl"), report = dir.File("r.json");
    Result run;
    {
      ScopedEnv fail("VMCONVERT_JOURNAL_FAILS_AFTER", n);
      run = Vmconvert(Paths() + " --journal \"" + journal + "\" --report \"" + report + "\"", Hooks());
    }
    EXPECT_EQ(run.status, 5) << n << ": " << run.out << run.err;
    EXPECT_TRUE(Has(run.err, "the journal " + journal + " could not be written")) << n << ": " << run.err;
    nlohmann::json r = ReadJson(report);
    int written = r["fields_written_total"].get<int>(), failed = 0;
    for (const auto& f : r["fields_failed"].items()) failed += f.value().get<int>();
    RawDbf after(big);
    int changed = 0;
    for (uint32_t record = 1; record <= 10; ++record)
      for (int f = 2; f <= 33; ++f) {
        std::string name = "T" + std::string(f < 10 ? "0" : "") + std::to_string(f);
        changed += after.Value(record, name) != before.Value(record, name);
      }
    EXPECT_EQ(changed, written) << n << ": the fields the table holds changed are those counted written";
    EXPECT_EQ(written + failed, 320) << n << ": every change was either written or counted failed";
    if (written == 0) {
      EXPECT_EQ(ReadBytes(big), original) << n << ": the date changed without its line";
    }
    Result undo = Vmconvert("undo \"" + journal + "\"");
    EXPECT_EQ(undo.status, 0) << n << ": " << undo.out << undo.err;
    EXPECT_EQ(ReadBytes(big), original) << n;
  }
}

// A record's journal lines go out in one write ahead of its fields: with
// the journal failing after its run line and n - 1 writes, exactly the
// first n - 1 records were written, every field of each, and nothing else.
TEST_F(UndoRecordsTest, TheJournalTakesOneWritePerChangedRecord) {
  for (int n : {2, 4}) {
    ASSERT_TRUE(vmtables::MakeVmTable(live, Layout::kSmall, 10));
    ASSERT_TRUE(vmtables::MakeVmTable(big, Layout::kBig, 10, Variation{1, 0}));
    AgeHeader(big);
    RawDbf before(big);
    std::string journal = dir.File("run-" + std::to_string(n) + ".jsonl"), report = dir.File("r.json");
    Result run;
    {
      ScopedEnv fail("VMCONVERT_JOURNAL_FAILS_AFTER", std::to_string(n));
      run = Vmconvert(Paths() + " --journal \"" + journal + "\" --report \"" + report + "\"", Hooks());
    }
    EXPECT_EQ(ReadJson(report)["fields_written_total"], (n - 1) * 32) << n << ": " << run.out;
    RawDbf after(big);
    for (uint32_t record = 1; record <= 10; ++record)
      EXPECT_EQ(after.Value(record, "T33") != before.Value(record, "T33"), record < uint32_t(n))
          << n << ": record " << record;
  }
}

// A run that changed nothing keeps its run and end lines only: the record
// that nothing changed, and no write beyond them.
TEST_F(UndoRecordsTest, ARunThatWritesNothingJournalsItsRunAndItsEndOnly) {
  ASSERT_TRUE(vmtables::MakeVmTable(live, Layout::kSmall, 10));
  ASSERT_TRUE(vmtables::MakeVmTable(big, Layout::kBig, 10));
  AgeHeader(big);
  std::vector<unsigned char> before = ReadBytes(big);
  std::string journal = dir.File("run.jsonl");
  ASSERT_EQ(Vmconvert(Paths() + " --journal \"" + journal + "\"").status, 0);
  std::vector<std::string> lines = Lines(journal);
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_TRUE(Has(lines[0], "\"type\":\"run\"")) << lines[0];
  EXPECT_TRUE(Has(lines[1], "\"type\":\"end\"")) << lines[1];
  EXPECT_EQ(ReadBytes(big), before) << "not even the date";
}

// Undo newest first: an older run undone while a newer run has changed the
// same fields leaves them, and names the newer run's journal.
TEST_F(UndoRecordsTest, UndoingAnOlderRunLeavesWhatANewerRunChangedAndNamesIt) {
  std::string older = RunOnce();
  ASSERT_TRUE(SetField(live, 2, "T05", "41"));
  Sleep(1100);  // journals are named by the second
  Result newer = Vmconvert(Paths());
  ASSERT_EQ(newer.status, 0) << newer.err;
  std::string newerJournal = JournalOf(newer.out);
  Result undo = Vmconvert("undo \"" + older + "\"");
  EXPECT_EQ(undo.status, 5) << undo.out << undo.err;
  EXPECT_TRUE(Has(undo.out, "record 2 T05: now \"41\"")) << undo.out;
  EXPECT_TRUE(Has(undo.out, "changed again by the newer run " + newerJournal)) << undo.out;
  EXPECT_EQ(RawDbf(big).Value(2, "T05"), "41");
}

// What a dry run says is what the undo then does, line for line, and its
// status; the kept copies' names differ only by their time.
TEST_F(UndoRecordsTest, ADryRunSaysExactlyWhatTheUndoDoes) {
  ASSERT_TRUE(vmtables::MakeVmTable(live, Layout::kSmall, 20));
  ASSERT_TRUE(vmtables::MakeVmTable(big, Layout::kBig, 20, Variation{1, 0}));
  Result run = Vmconvert(Paths() + " --swap");
  ASSERT_EQ(run.status, 0) << run.err;
  ASSERT_TRUE(SetField(big, 4, "T05", "77"));
  ASSERT_TRUE(SetField(big, 6, "T40", "z"));
  std::string journal = JournalOf(run.out);
  Result dry = Vmconvert("undo \"" + journal + "\" --dry-run");
  Result real = Vmconvert("undo \"" + journal + "\"");
  EXPECT_EQ(dry.status, real.status) << dry.out << real.out;
  // The dry run lists each field it would put back; the real run counts them.
  auto plain = [](std::string text) {
    text = std::regex_replace(text, std::regex("\n(record [0-9]+ [A-Z0-9_]+|the header's date): \"[^\n]*"), "");
    text = std::regex_replace(text, std::regex("-[0-9]{8}-[0-9]{6}(-[0-9]+)?\\."), "-STAMP.");
    text = std::regex_replace(text, std::regex("would keep "), "kept ");
    text = std::regex_replace(text, std::regex("would copy "), "copied ");
    text = std::regex_replace(text, std::regex("to put back: "), "put back: ");
    text = std::regex_replace(text, std::regex("undo \\(dry run\\): "), "undo: ");
    return std::regex_replace(text, std::regex("\njournal: [^\n]*"), "");
  };
  EXPECT_EQ(plain(dry.out), plain(real.out));
  EXPECT_TRUE(Has(dry.out, "\nrecord 1 T02: ")) << "the dry run lists what it would put back";
}

// Journals written before records were recognised (format 1) are still
// undone, with every check that format allows.
TEST_F(UndoRecordsTest, AJournalOfTheFirstFormatIsStillUndone) {
  ASSERT_TRUE(vmtables::MakeVmTable(live, Layout::kSmall, 20));
  ASSERT_TRUE(vmtables::MakeVmTable(big, Layout::kBig, 20, Variation{1, 0}));
  std::vector<unsigned char> before = ReadBytes(big);
  std::string journal = dir.File("run.jsonl");
  ASSERT_EQ(Vmconvert(Paths() + " --journal \"" + journal + "\"").status, 0);
  RelabelAsFirstFormat(journal);
  Result undo = Vmconvert("undo \"" + journal + "\"");
  EXPECT_EQ(undo.status, 0) << undo.out << undo.err;
  EXPECT_EQ(ReadBytes(big), before);
}

}  // namespace
