#include "journal/Journal.h"

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <cstring>

#include "commands/PathNames.h"
#include "journal/JournalText.h"

namespace {

// A record line has one width, so that its room can be kept at the front
// of a batch and filled once the batch is complete: the record number is
// padded with blanks, which JSON allows before a value.
const char kRecordLine[] = "{\"type\":\"record\",\"record\":%10u,\"identity\":\"%016llx\"}\n";
const int kRecordLineWidth = 68;

// The room kept on the journal's disk for its end line: more than the end
// line and a cluster it may need.
const uint64_t kEndRoom = 4096;
// Default names tried in one second before giving up.
const int kNamesTried = 1000;

std::string Number(uint64_t n) { return std::to_string(n); }

// Two numbers a field line: to_chars, which the C runtime's printf family
// is many times slower than.
void AppendNumber(std::string& out, uint64_t n) {
  char text[24];
  out.append(text, size_t(std::to_chars(text, text + sizeof text, n).ptr - text));
}

// The keys and raw JSON values as one line.
std::string Object(const std::string& type, const std::map<std::string, std::string>& values) {
  std::string line = "{\"type\":\"" + type + "\"";
  for (const auto& v : values) line += ",\"" + v.first + "\":" + v.second;
  return line + "}\n";
}

std::string Digest(const FileDigest& d) { return "\"" + d.sha256 + "\""; }

}  // namespace

std::string Journal::FolderBeside(const std::string& target) {
  return FolderOf(target) + "\\vmconvert-journal";
}

bool Journal::In(xb::FileSystem& fs, const std::string& folder, std::vector<std::string>* paths) {
  std::vector<std::string> names;
  paths->clear();
  if (!fs.List(folder.c_str(), ".jsonl", &names)) return false;
  for (const std::string& name : names) paths->push_back(FullPath((folder + "\\" + name).c_str()));
  return true;
}

std::string Journal::ReportPath(const std::string& path) {
  const std::string extension = ".jsonl";
  size_t n = extension.size();
  bool lines = path.size() >= n && path.compare(path.size() - n, n, extension) == 0;
  return lines ? path.substr(0, path.size() - 1) : path + ".json";
}

bool Journal::Begin(xb::FileSystem* fs, const std::string& path, const std::map<std::string, std::string>& run,
                    const TableShape& target) {
  fs_ = fs;
  path_ = path;
  failed_ = false;
  error_.clear();
  std::string folder = FolderOf(path);
  if (!fs->Exists(folder.c_str()) && !fs->MakeFolder(folder.c_str()))
    return failed_ = true, error_ = "its folder " + folder + " cannot be made (" + xb::LastFileError() + ")", false;
  file_ = fs->CreateNew(path.c_str());
  if (!file_) {
    error_ = fs->Exists(path.c_str()) ? "a file or folder of that name is there already" : xb::LastFileError();
    return failed_ = true, false;
  }
  end_ = 0;
  copies_ = 0;
  shape_ = target;
  inBatch_.assign(target.names.size() + 1, 0);
  fieldKeys_.clear();
  for (const std::string& name : target.names) fieldKeys_.push_back(",\"field\":" + EncodeBytes(name) + ",\"offset\":");
  befores_.assign(target.recordLength, 0);
  order_.clear();
  std::map<std::string, std::string> values = run;
  values["format"] = Number(kFormat);
  values["target_bytes"] = Number(uint64_t(target.bytes));
  values["records"] = Number(target.records);
  values["header_length"] = Number(target.headerLength);
  values["record_length"] = Number(target.recordLength);
  values["fields"] = EncodeBytes(target.fields);
  if (Line("run", values) && KeepRoom()) return true;
  file_.reset();
  fs->Remove(RoomPath(path).c_str());
  fs->Remove(path.c_str());  // ours, made just now
  return false;
}

bool Journal::BeginDefault(xb::FileSystem* fs, const std::string& target, const std::string& command,
                           const std::map<std::string, std::string>& run, const TableShape& shape) {
  const std::string folder = FolderBeside(target), stamp = LocalStamp();
  if (!fs->Exists(folder.c_str()) && !fs->MakeFolder(folder.c_str())) {
    error_ = "its folder " + folder + " cannot be made (" + xb::LastFileError() + ")";
    return failed_ = true, false;
  }
  for (int n = 1; n <= kNamesTried; ++n) {
    std::string path = folder + "\\" + stamp + "-" + command + (n == 1 ? "" : "-" + std::to_string(n)) + ".jsonl";
    std::string report = ReportPath(path);
    if (!fs->CreateNew(report.c_str())) {
      if (fs->Exists(report.c_str())) continue;
      path_ = path;
      error_ = xb::LastFileError();
      return failed_ = true, false;
    }
    if (Begin(fs, path, run, shape)) return true;
    fs->Remove(report.c_str());  // ours, made just now and empty
    if (!fs->Exists(path.c_str())) return false;
  }
  error_ = "every name of this second is taken";
  return failed_ = true, false;
}

std::string Journal::RoomPath(const std::string& path) { return path + ".room"; }

// The room is a file of its own, of bytes written: space the disk has
// given, which no sparse file or lazy allocation can take back. Its name
// is the journal's own, as a swap's staging copy is the swap's: one a
// killed run left is removed and made anew.
bool Journal::KeepRoom() {
  static const std::string kBlanks(kEndRoom, ' ');
  std::unique_ptr<xb::File> room = fs_->CreateFresh(RoomPath(path_).c_str());
  if (room && room->WriteAt(0, kBlanks.data(), kBlanks.size()) && room->Sync()) return true;
  failed_ = true;
  error_ = xb::LastFileError();
  return false;
}

bool Journal::Write(const char* bytes, size_t n) {
  if (failed_ || !file_) return false;
  if (!file_->WriteAt(end_, bytes, n)) {
    failed_ = true;
    error_ = xb::LastFileError();
    return false;
  }
  end_ += n;
  return true;
}

bool Journal::Line(const std::string& type, const std::map<std::string, std::string>& values) {
  std::string line = Object(type, values);
  return Write(line.data(), line.size());
}

// Only what is needed to compose the lines is kept here; they are built
// once the record is about to be written, from what it will hold.
bool Journal::Changed(uint32_t record, unsigned field, const uint8_t* before, const uint8_t*, unsigned width) {
  // Once the journal has failed, the change is still taken into its batch:
  // Writing refuses the batch whole, and the table counts each change of
  // it as given up.
  if (field < 1 || field > shape_.names.size() || width != shape_.widths[field - 1]) return false;
  if (batchRecord_ != 0 && batchRecord_ != record) return false;  // a record's changes are written before the next's
  batchRecord_ = record;
  if (inBatch_[field]) return true;  // its first before stands
  inBatch_[field] = 1;
  order_.push_back(uint16_t(field));
  std::memcpy(&befores_[shape_.offsets[field - 1]], before, width);
  return true;
}

void Journal::HeaderChanged(uint32_t offset, const uint8_t* before, const uint8_t* after, unsigned n) {
  headerLines_ += "{\"type\":\"header\",\"offset\":";
  AppendNumber(headerLines_, offset);
  headerLines_ += ",\"before\":";
  AppendEncoded(headerLines_, reinterpret_cast<const char*>(before), n);
  headerLines_ += ",\"after\":";
  AppendEncoded(headerLines_, reinterpret_cast<const char*>(after), n);
  headerLines_ += "}\n";
}

bool Journal::ComposeBatch(uint32_t record, const uint8_t* image, size_t length) {
  batch_.clear();
  if (order_.empty()) return true;
  if (record != batchRecord_ || length != shape_.recordLength) return false;
  char line[kRecordLineWidth + 1];
  if (std::snprintf(line, sizeof line, kRecordLine, unsigned(record),
                    static_cast<unsigned long long>(RecordIdentity(image, shape_, inBatch_))) != kRecordLineWidth)
    return false;
  batch_.append(line, kRecordLineWidth);
  std::string number;
  AppendNumber(number, record);
  for (uint16_t field : order_) {
    uint32_t offset = shape_.offsets[field - 1], width = shape_.widths[field - 1];
    batch_ += "{\"type\":\"field\",\"record\":";
    batch_ += number;
    batch_ += fieldKeys_[field - 1];
    AppendNumber(batch_, shape_.FieldOffset(record, field));
    batch_ += ",\"before\":";
    AppendEncoded(batch_, reinterpret_cast<const char*>(&befores_[offset]), width);
    batch_ += ",\"after\":";
    AppendEncoded(batch_, reinterpret_cast<const char*>(image + offset), width);
    batch_ += "}\n";
  }
  return true;
}

void Journal::ClearBatch() {
  for (uint16_t field : order_) inBatch_[field] = 0;
  order_.clear();
  headerLines_.clear();
  batchRecord_ = 0;
}

bool Journal::Writing(uint32_t record, const uint8_t* image, size_t length) {
  if (order_.empty() && headerLines_.empty()) return !failed_;
  bool composed = ComposeBatch(record, image, length);
  batch_ += headerLines_;
  bool wrote = composed && Write(batch_.data(), batch_.size());
  ClearBatch();
  return wrote;
}

bool Journal::Copying(const std::string& from, const std::string& to, const FileDigest& placed) {
  bool wrote = Line("copy", {{"from", EncodeBytes(from)}, {"to", EncodeBytes(to)}, {"bytes", Number(placed.bytes)},
                             {"sha256", Digest(placed)}});
  copies_ += wrote;
  return wrote;
}

bool Journal::Keeping(const std::string& from, const std::string& to, const FileDigest& kept) {
  return Line("kept", {{"from", EncodeBytes(from)}, {"to", EncodeBytes(to)}, {"bytes", Number(kept.bytes)},
                       {"sha256", Digest(kept)}});
}

bool Journal::End(int status, uint32_t fieldsWritten, bool cancelled, const std::string& reason) {
  if (!file_) return false;
  std::string line = Object("end", {{"status", std::to_string(status)},
                                    {"fields_written", Number(fieldsWritten)},
                                    {"cancelled", cancelled ? "true" : "false"},
                                    {"copies", Number(copies_)},
                                    {"reason", EncodeBytes(reason)}});
  // The room kept for it is given back first: even on a full disk the end
  // line then fits. It goes where the last whole line ended, and the file
  // is cut there, so that no part of a write that failed follows it.
  fs_->Remove(RoomPath(path_).c_str());
  if (!file_->WriteAt(end_, line.data(), line.size()) || !file_->Truncate(end_ + line.size())) {
    error_ = xb::LastFileError();
    return false;
  }
  end_ += line.size();
  if (file_->Sync()) return true;
  error_ = xb::LastFileError();
  return false;
}
