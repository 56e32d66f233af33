#include "journal/JournalFile.h"

#include <algorithm>
#include <memory>

#include "commands/CommandPlan.h"
#include "commands/PathNames.h"
#include "engine/file_system.h"
#include "journal/Journal.h"
#include "journal/JournalText.h"
#include "messages/Printable.h"

namespace {

const uint64_t kLargestJournal = 1ull << 30;
const size_t kFirstRead = 4096, kLongestRunLine = 64 * 1024;
const uint64_t kMaxOffset = 1ull << 62;

bool IsHex(const std::string& text, size_t n) {
  if (text.size() != n) return false;
  for (char c : text)
    if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'))) return false;
  return true;
}

}  // namespace

// Takes the journal's lines one by one; each returns "" when the line fits
// and why not otherwise.
class JournalFile::Reader {
 public:
  explicit Reader(JournalFile& journal) : j_(journal) {}

  std::string Take(size_t number, const std::string& text) {
    line_ = number;
    JournalLine l;
    if (!l.Parse(text)) return "is not one flat JSON object on a line of its own";
    std::string type = l.Type();
    if (number == 1) return type == "run" ? TakeRun(l) : "is not the run line a journal begins with";
    if (j_.end.present) return "follows the end line";
    if (type == "record" && j_.run.format >= 2) return TakeRecord(l);
    if (type == "field") return TakeField(l);
    if (type == "header") return TakeHeader(l);
    if (type == "copy" || type == "kept") return TakeStep(l, type == "kept");
    if (type == "end") return TakeEnd(l);
    return "is of a type undo does not know (\"" + Printable(type) + "\")";
  }

 private:
  std::string TakeRun(const JournalLine& l) {
    JournalRun& r = j_.run;
    uint64_t format = 0, bytes = 0, records = 0, header = 0, length = 0;
    if (!l.Number("format", Journal::kFormat, &format) || format < 1) return "is of no journal format undo knows";
    r.format = int(format);
    if (!l.Text("command", &r.command) || !l.Text("source", &r.source) || !l.Text("target", &r.target) ||
        !l.Number("target_bytes", kMaxOffset, &bytes) || !l.Number("records", UINT32_MAX, &records) ||
        !l.Number("header_length", 65535, &header) || !l.Number("record_length", 65535, &length) ||
        !l.Text("fields", &r.fields))
      return "lacks what a run line says of its run and its table";
    l.Text("program", &r.program);
    l.Text("started_at", &r.startedAt);
    l.Text("version", &r.version);
    l.Text("computer", &r.computer);
    l.Text("user", &r.user);
    l.Text("undone_command", &r.undoneCommand);
    l.Text("undone_source", &r.undoneSource);
    r.targetBytes = bytes;
    r.records = uint32_t(records);
    r.headerLength = uint32_t(header);
    r.recordLength = uint32_t(length);
    if (!ParseFields(r.fields, r.recordLength, &j_.shape)) return "describes its table's fields in no form undo knows";
    j_.shape.records = r.records;
    j_.shape.headerLength = r.headerLength;
    j_.shape.bytes = int64_t(bytes);
    NameSwapFiles();
    return std::string();
  }

  // The files a copy or kept line may name: the swap's tables of the run
  // the journal's chain began with.
  void NameSwapFiles() {
    const CommandPlan* plan = PlanNamed(j_.run.SwapCommand());
    if (!plan) return;
    for (const auto& f : plan->SwapOf(j_.run.SwapSource(), j_.run.target).Tables()) swapFiles_.push_back(f.second);
  }

  bool IsSwapFile(const std::string& path) const {
    for (const std::string& f : swapFiles_)
      if (FileIdentity(path.c_str()) == FileIdentity(f.c_str()) || IsDatedName(path, f)) return true;
    return false;
  }

  std::string TakeRecord(const JournalLine& l) {
    uint64_t record = 0;
    std::string identity;
    if (!l.Number("record", j_.run.records, &record) || record < 1) return "names a record the run's table did not have";
    if (!l.Text("identity", &identity) || !IsHex(identity, 16)) return "gives no identity of its record";
    JournalBatch b{line_, uint32_t(record), true, std::stoull(identity, nullptr, 16), {}};
    j_.batches.push_back(b);
    open_ = true;
    return std::string();
  }

  std::string TakeField(const JournalLine& l) {
    uint64_t record = 0, offset = 0;
    std::string name, before, after;
    if (!l.Number("record", j_.run.records, &record) || record < 1) return "names a record the run's table did not have";
    if (!l.Text("field", &name)) return "names no field";
    if (name == "(header)" && j_.run.format == 1) return TakeHeader(l);  // an undo's date, in format 1
    unsigned field = j_.shape.FieldNumber(name);
    if (field == 0) return "names a field the run's table does not have (\"" + Printable(name) + "\")";
    if (!l.Number("offset", kMaxOffset, &offset)) return "gives no offset as a number";
    uint64_t where = j_.shape.FieldOffset(uint32_t(record), field);
    if (offset != where)
      return "gives offset " + std::to_string(offset) + ", but field " + Printable(name) + " of record " + std::to_string(record) +
             " lies at " + std::to_string(where);
    if (!l.Text("before", &before) || !l.Text("after", &after) || before.size() != j_.shape.widths[field - 1] ||
        after.size() != j_.shape.widths[field - 1])
      return "gives bytes that are not the width of field " + Printable(name);
    if (j_.run.format == 1) {
      j_.batches.push_back(JournalBatch{line_, uint32_t(record), false, 0, {}});
    } else if (!open_ || j_.batches.back().record != record) {
      return "is not preceded by its record's record line";
    }
    j_.batches.back().fields.push_back(JournalField{line_, field, before, after});
    return std::string();
  }

  std::string TakeHeader(const JournalLine& l) {
    uint64_t offset = 0;
    std::string before, after;
    if (!l.Number("offset", kMaxOffset, &offset) || offset != 1) return "changes header bytes other than the date";
    if (!l.Text("before", &before) || !l.Text("after", &after) || before.size() != 3 || after.size() != 3)
      return "changes header bytes other than the date";
    j_.headers.push_back(JournalHeader{line_, before, after});
    return std::string();
  }

  std::string TakeStep(const JournalLine& l, bool kept) {
    JournalStep s{line_, kept, std::string(), std::string(), false, FileDigest()};
    if (!l.Text("from", &s.from) || !l.Text("to", &s.to)) return "names no files";
    for (const std::string* file : {&s.from, &s.to})
      if (!IsSwapFile(*file))
        return "names " + Printable(*file) + ", which is none of the swap's files of " + Printable(j_.run.target);
    if (j_.run.format >= 2) {
      if (!l.Number("bytes", kMaxOffset, &s.digest.bytes) || !l.Text("sha256", &s.digest.sha256) ||
          !IsHex(s.digest.sha256, 64))
        return "gives no size and digest of the file";
      s.digested = true;
    }
    j_.steps.push_back(s);
    open_ = false;
    return std::string();
  }

  std::string TakeEnd(const JournalLine& l) {
    std::string problem = TakeEndLine(l, j_.run.format, &j_.end);
    if (problem.empty() && j_.end.counted && j_.end.copies != CopyLines())
      return "gives " + std::to_string(j_.end.copies) + " copies, but the journal holds " +
             std::to_string(CopyLines());
    return problem;
  }

  uint64_t CopyLines() const {
    uint64_t copies = 0;
    for (const JournalStep& s : j_.steps) copies += !s.kept;
    return copies;
  }

  JournalFile& j_;
  size_t line_ = 0;
  bool open_ = false;  // the last record line's batch takes field lines
  std::vector<std::string> swapFiles_;
};

bool StartedLater(const JournalRun& a, const std::string& aPath, const JournalRun& b, const std::string& bPath) {
  if (a.startedAt != b.startedAt) return a.startedAt > b.startedAt;
  return FileIdentity(aPath.c_str()) > FileIdentity(bPath.c_str());
}

std::string TakeEndLine(const JournalLine& l, int format, JournalEnd* end) {
  uint64_t status = 0;
  if (!l.Number("status", 255, &status) || !l.Number("fields_written", UINT32_MAX, &end->fieldsWritten) ||
      !l.Flag("cancelled", &end->cancelled))
    return "is not an end line of this program's";
  if (format >= 3 && (!l.Number("copies", UINT32_MAX, &end->copies) || !l.Text("reason", &end->reason)))
    return "is not an end line of this program's";
  end->counted = format >= 3;
  end->present = true;
  end->status = int64_t(status);
  return std::string();
}

bool JournalFile::Read(xb::FileSystem& fs, const std::string& at, std::string* why) {
  *this = JournalFile();
  path = at;
  std::unique_ptr<xb::File> file = fs.OpenReadOnly(at.c_str());
  uint64_t size = 0;
  size_t got = 0;
  if (!file || !file->Size(&size)) return *why = "it cannot be opened", false;
  if (size > kLargestJournal) return *why = "it is larger than any journal", false;
  std::string text(size, '\0');
  if (size && (!file->ReadAt(0, &text[0], size, &got) || got != size)) return *why = "it cannot be read", false;
  Reader reader(*this);
  size_t number = 0;
  for (size_t from = 0; from < text.size();) {
    size_t end = text.find('\n', from);
    if (end == std::string::npos) break;  // unfinished: the run was stopped while writing it
    std::string problem = reader.Take(++number, text.substr(from, end - from));
    if (!problem.empty()) return *why = "line " + std::to_string(number) + " " + problem, false;
    from = end + 1;
  }
  if (number == 0) return *why = "it holds no run line", false;
  return true;
}

bool JournalFile::ReadRunLine(xb::FileSystem& fs, const std::string& at, std::string* why) {
  *this = JournalFile();
  path = at;
  std::unique_ptr<xb::File> file = fs.OpenReadOnly(at.c_str());
  if (!file) return *why = "it cannot be opened", false;
  // A run line is a few kilobytes; more is read only for a longer one.
  std::string head;
  size_t end = std::string::npos, got = 0;
  for (size_t want = kFirstRead; end == std::string::npos && want <= kLongestRunLine; want *= 16) {
    head.assign(want, '\0');
    if (!file->ReadAt(0, &head[0], head.size(), &got)) return *why = "it cannot be read", false;
    end = head.find('\n');
    if (end >= got) end = std::string::npos;
    if (got < want) break;  // the whole file is in hand
  }
  if (end == std::string::npos) return *why = "it holds no run line", false;
  Reader reader(*this);
  std::string problem = reader.Take(1, head.substr(0, end));
  return problem.empty() || (*why = "line 1 " + problem, false);
}

std::string JournalFile::Fits(const TableShape& now) const {
  if (now.headerLength != run.headerLength || now.recordLength != run.recordLength || now.fields != run.fields)
    return "the table " + Printable(run.target) + " is not the one the journal " + Printable(path) + " describes";
  uint32_t highest = 0;
  for (const JournalBatch& b : batches) highest = std::max(highest, b.record);
  if (highest > now.records)
    return "the table " + Printable(run.target) + " holds " + std::to_string(now.records) +
           " records now, but the run changed record " + std::to_string(highest) + ": it was shortened since the run";
  return std::string();
}
