#include "journal/Journal.h"

#include <windows.h>

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

std::string Number(uint64_t n) { return std::to_string(n); }

void AppendNumber(std::string& out, uint64_t n) {
  char text[24];
  out.append(text, size_t(std::snprintf(text, sizeof text, "%llu", static_cast<unsigned long long>(n))));
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
  size_t slash = target.find_last_of("\\/");
  return (slash == std::string::npos ? std::string(".") : target.substr(0, slash)) + "\\vmconvert-journal";
}

std::vector<std::string> Journal::In(const std::string& folder) {
  std::vector<std::string> paths;
  WIN32_FIND_DATAA found;
  HANDLE h = FindFirstFileA((folder + "\\*.jsonl").c_str(), &found);
  for (bool more = h != INVALID_HANDLE_VALUE; more; more = FindNextFileA(h, &found) != 0)
    if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
      paths.push_back(FullPath((folder + "\\" + found.cFileName).c_str()));
  if (h != INVALID_HANDLE_VALUE) FindClose(h);
  return paths;
}

std::string Journal::DefaultPath(xb::FileSystem& fs, const std::string& target, const std::string& command) {
  std::string folder = FolderBeside(target);
  const std::string stamp = LocalStamp();
  std::string path = folder + "\\" + stamp + "-" + command + ".jsonl";
  for (int n = 2; fs.OpenReadOnly(path.c_str()) || fs.OpenReadOnly(ReportPath(path).c_str()); ++n)
    path = folder + "\\" + stamp + "-" + command + "-" + std::to_string(n) + ".jsonl";
  return path;
}

std::string Journal::ReportPath(const std::string& path) {
  const std::string extension = ".jsonl";
  size_t n = extension.size();
  bool lines = path.size() >= n && path.compare(path.size() - n, n, extension) == 0;
  return lines ? path.substr(0, path.size() - 1) : path + ".json";
}

bool Journal::Begin(xb::FileSystem* fs, const std::string& path, const std::map<std::string, std::string>& run,
                    const TableShape& target) {
  size_t slash = path.find_last_of("\\/");
  if (slash != std::string::npos) CreateDirectoryA(path.substr(0, slash).c_str(), nullptr);
  file_ = fs->Create(path.c_str());
  if (!file_) return false;
  shape_ = target;
  inBatch_.assign(target.names.size() + 1, 0);
  std::map<std::string, std::string> values = run;
  values["format"] = Number(kFormat);
  values["target_bytes"] = Number(uint64_t(target.bytes));
  values["records"] = Number(target.records);
  values["header_length"] = Number(target.headerLength);
  values["record_length"] = Number(target.recordLength);
  values["fields"] = EncodeBytes(target.fields);
  return Line("run", values);
}

bool Journal::Write(const char* bytes, size_t n) {
  if (failed_ || !file_) return false;
  if (!file_->WriteAt(end_, bytes, n)) {
    failed_ = true;
    error_ = xb::LastFileError();
    return false;
  }
  end_ += n;
  ++writes_;
  return true;
}

bool Journal::Line(const std::string& type, const std::map<std::string, std::string>& values) {
  std::string line = Object(type, values);
  return Write(line.data(), line.size());
}

// The line is built in a buffer kept from one record to the next, so that
// a change costs no allocation.
bool Journal::Changed(uint32_t record, unsigned field, const uint8_t* before, const uint8_t* after,
                      unsigned width) {
  // Once the journal has failed, the change is still taken into its batch:
  // Writing refuses the batch whole, and the table counts each change of
  // it as given up.
  if (field < 1 || field > shape_.names.size() || width != shape_.widths[field - 1]) return false;
  if (batchRecord_ != 0 && batchRecord_ != record) return false;  // a record's changes are written before the next's
  if (batchRecord_ == 0) batch_.insert(0, size_t(kRecordLineWidth), ' ');
  batchRecord_ = record;
  inBatch_[field] = 1;
  batch_ += "{\"type\":\"field\",\"record\":";
  AppendNumber(batch_, record);
  batch_ += ",\"field\":";
  AppendEncoded(batch_, shape_.names[field - 1].data(), shape_.names[field - 1].size());
  batch_ += ",\"offset\":";
  AppendNumber(batch_, shape_.FieldOffset(record, field));
  batch_ += ",\"before\":";
  AppendEncoded(batch_, reinterpret_cast<const char*>(before), width);
  batch_ += ",\"after\":";
  AppendEncoded(batch_, reinterpret_cast<const char*>(after), width);
  batch_ += "}\n";
  return true;
}

void Journal::HeaderChanged(uint32_t offset, const uint8_t* before, const uint8_t* after, unsigned n) {
  batch_ += "{\"type\":\"header\",\"offset\":";
  AppendNumber(batch_, offset);
  batch_ += ",\"before\":";
  AppendEncoded(batch_, reinterpret_cast<const char*>(before), n);
  batch_ += ",\"after\":";
  AppendEncoded(batch_, reinterpret_cast<const char*>(after), n);
  batch_ += "}\n";
}

bool Journal::Writing(uint32_t record, const uint8_t* image, size_t length) {
  if (batch_.empty()) return !failed_;
  if (batchRecord_ != 0) {
    if (record != batchRecord_ || length != shape_.recordLength) return false;
    char line[kRecordLineWidth + 1];
    if (std::snprintf(line, sizeof line, kRecordLine, unsigned(record),
                      static_cast<unsigned long long>(RecordIdentity(image, shape_, inBatch_))) != kRecordLineWidth)
      return false;
    std::memcpy(&batch_[0], line, kRecordLineWidth);
  }
  bool wrote = Write(batch_.data(), batch_.size());
  batch_.clear();
  batchRecord_ = 0;
  std::fill(inBatch_.begin(), inBatch_.end(), uint8_t(0));
  return wrote;
}

bool Journal::Copying(const std::string& from, const std::string& to, const FileDigest& placed) {
  return Line("copy", {{"from", EncodeBytes(from)}, {"to", EncodeBytes(to)}, {"bytes", Number(placed.bytes)},
                       {"sha256", Digest(placed)}});
}

bool Journal::Keeping(const std::string& from, const std::string& to, const FileDigest& kept) {
  return Line("kept", {{"from", EncodeBytes(from)}, {"to", EncodeBytes(to)}, {"bytes", Number(kept.bytes)},
                       {"sha256", Digest(kept)}});
}

bool Journal::End(int status, uint32_t fieldsWritten, bool cancelled) {
  bool wrote = Line("end", {{"status", std::to_string(status)},
                            {"fields_written", Number(fieldsWritten)},
                            {"cancelled", cancelled ? "true" : "false"}});
  return wrote && file_->Sync();
}
