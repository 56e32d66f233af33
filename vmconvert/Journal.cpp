#include "vmconvert/Journal.h"

#include <windows.h>

#include <cstdio>
#include <vector>

#include "commands/PathNames.h"
#include "engine/dbf_format.h"

namespace {

std::string Number(uint64_t n) { return std::to_string(n); }

std::string Bytes(const uint8_t* bytes, unsigned n) {
  return EncodeBytes(std::string(reinterpret_cast<const char*>(bytes), n));
}

// The keys and raw JSON values as one line.
std::string Object(const std::string& type, const std::map<std::string, std::string>& values) {
  std::string line = "{\"type\":\"" + type + "\"";
  for (const auto& v : values) line += ",\"" + v.first + "\":" + v.second;
  return line + "}\n";
}

// A JSON string at text[*at] (its opening quote), decoded to bytes.
bool ParseString(const std::string& text, size_t* at, std::string* out) {
  out->clear();
  for (size_t i = *at + 1; i < text.size(); ++i) {
    char c = text[i];
    if (c == '"') return *at = i + 1, true;
    if (c != '\\') {
      *out += c;
      continue;
    }
    if (++i >= text.size()) return false;
    switch (text[i]) {
      case '"': case '\\': case '/': *out += text[i]; break;
      case 'n': *out += '\n'; break;
      case 'r': *out += '\r'; break;
      case 't': *out += '\t'; break;
      case 'u': {
        if (i + 4 >= text.size()) return false;
        unsigned long code = std::strtoul(text.substr(i + 1, 4).c_str(), nullptr, 16);
        if (code > 0xFF) return false;  // this journal writes bytes only
        *out += char(code);
        i += 4;
        break;
      }
      default: return false;
    }
  }
  return false;
}

}  // namespace

bool ReadShape(const char* path, TableShape* shape) {
  std::unique_ptr<xb::File> file = xb::FileSystem::Default()->OpenReadOnly(path);
  uint64_t size = 0;
  uint8_t head[xb::dbf::kHeaderSize];
  size_t got = 0;
  if (!file || !file->Size(&size) || !file->ReadAt(0, head, sizeof head, &got) || got != sizeof head) return false;
  xb::dbf::Header h = xb::dbf::ReadHeader(head);
  if (h.headerLength <= xb::dbf::kHeaderSize || h.headerLength > size) return false;
  std::vector<uint8_t> area(h.headerLength - xb::dbf::kHeaderSize);
  std::vector<xb::dbf::Descriptor> fields;
  if (!file->ReadAt(xb::dbf::kHeaderSize, area.data(), area.size(), &got) || got != area.size() ||
      !xb::dbf::ReadDescriptors(area.data(), area.size(), h.recordLength, &fields))
    return false;
  *shape = TableShape();
  shape->bytes = int64_t(size);
  shape->records = h.count;
  shape->headerLength = h.headerLength;
  shape->recordLength = h.recordLength;
  uint32_t offset = 1;
  for (const xb::dbf::Descriptor& f : fields) {
    shape->fields += (shape->fields.empty() ? "" : ",") + std::string(f.name) + ":" + f.type + ":" +
                     std::to_string(offset) + ":" + std::to_string(f.width);
    shape->offsets.push_back(offset);
    shape->names.push_back(f.name);
    offset += f.width;
  }
  return true;
}

void AppendEncoded(std::string& out, const char* bytes, size_t n) {
  static const char kHex[] = "0123456789abcdef";
  out += '"';
  for (size_t i = 0; i < n; ++i) {
    unsigned char c = static_cast<unsigned char>(bytes[i]);
    if (c >= 0x20 && c < 0x7F && c != '"' && c != '\\') {
      out += char(c);
    } else if (c == '"' || c == '\\') {
      out += '\\';
      out += char(c);
    } else {
      const char escaped[6] = {'\\', 'u', '0', '0', kHex[c >> 4], kHex[c & 15]};
      out.append(escaped, sizeof escaped);
    }
  }
  out += '"';
}

std::string EncodeBytes(const std::string& bytes) {
  std::string out;
  AppendEncoded(out, bytes.data(), bytes.size());
  return out;
}

bool ParseLine(const std::string& line, std::map<std::string, std::string>* values) {
  values->clear();
  size_t at = line.find('{');
  if (at == std::string::npos) return false;
  for (++at;;) {
    while (at < line.size() && (line[at] == ' ' || line[at] == ',')) ++at;
    if (at >= line.size()) return false;
    if (line[at] == '}') return true;
    std::string key, value;
    if (line[at] != '"' || !ParseString(line, &at, &key) || at >= line.size() || line[at] != ':') return false;
    ++at;
    if (at < line.size() && line[at] == '"') {
      if (!ParseString(line, &at, &value)) return false;
    } else {
      size_t end = line.find_first_of(",}", at);
      if (end == std::string::npos) return false;
      value = line.substr(at, end - at);
      at = end;
    }
    (*values)[key] = value;
  }
}

bool ReadRunLine(const std::string& path, std::map<std::string, std::string>* values) {
  std::unique_ptr<xb::File> file = xb::FileSystem::Default()->OpenReadOnly(path.c_str());
  std::string head(64 * 1024, '\0');  // a run line is far shorter
  size_t got = 0;
  if (!file || !file->ReadAt(0, &head[0], head.size(), &got)) return false;
  size_t end = head.find('\n');
  return end < got && ParseLine(head.substr(0, end), values) && (*values)["type"] == "run";
}

std::string Journal::DefaultPath(const std::string& target, const std::string& command) {
  size_t slash = target.find_last_of("\\/");
  std::string folder = (slash == std::string::npos ? std::string(".") : target.substr(0, slash)) +
                       "\\vmconvert-journal";
  const std::string stamp = LocalStamp();
  std::string path = folder + "\\" + stamp + "-" + command + ".jsonl";
  for (int n = 2; GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; ++n)
    path = folder + "\\" + stamp + "-" + command + "-" + std::to_string(n) + ".jsonl";
  return path;
}

bool Journal::Begin(const std::string& path, const std::map<std::string, std::string>& run,
                    const TableShape& target) {
  size_t slash = path.find_last_of("\\/");
  if (slash != std::string::npos) CreateDirectoryA(path.substr(0, slash).c_str(), nullptr);
  file_ = xb::FileSystem::Default()->Create(path.c_str());
  if (!file_) return false;
  shape_ = target;
  std::map<std::string, std::string> values = run;
  values["format"] = "1";
  values["target_bytes"] = Number(uint64_t(target.bytes));
  values["records"] = Number(target.records);
  values["header_length"] = Number(target.headerLength);
  values["record_length"] = Number(target.recordLength);
  values["fields"] = EncodeBytes(target.fields);
  return Line("run", values);
}

bool Journal::Write(const std::string& line) {
  if (failed_ || !file_ || !file_->WriteAt(end_, line.data(), line.size())) return !(failed_ = true);
  end_ += line.size();
  return true;
}

bool Journal::Line(const std::string& type, const std::map<std::string, std::string>& values) {
  return Write(Object(type, values));
}

bool Journal::Field(uint32_t record, const std::string& name, uint64_t offset, const std::string& before,
                    const std::string& after) {
  return Line("field", {{"record", Number(record)},
                        {"field", EncodeBytes(name)},
                        {"offset", Number(offset)},
                        {"before", EncodeBytes(before)},
                        {"after", EncodeBytes(after)}});
}

// The line is built in a buffer kept from one change to the next, so that
// a change costs no allocation.
bool Journal::Changed(uint32_t record, unsigned field, const uint8_t* before, const uint8_t* after,
                      unsigned width) {
  if (field < 1 || field > shape_.offsets.size()) return false;
  uint64_t offset = shape_.headerLength + uint64_t(record - 1) * shape_.recordLength + shape_.offsets[field - 1];
  char numbers[64];
  line_.assign("{\"type\":\"field\",\"record\":");
  line_.append(numbers, size_t(std::snprintf(numbers, sizeof numbers, "%u", unsigned(record))));
  line_ += ",\"field\":";
  AppendEncoded(line_, shape_.names[field - 1].data(), shape_.names[field - 1].size());
  line_ += ",\"offset\":";
  line_.append(numbers, size_t(std::snprintf(numbers, sizeof numbers, "%llu", static_cast<unsigned long long>(offset))));
  line_ += ",\"before\":";
  AppendEncoded(line_, reinterpret_cast<const char*>(before), width);
  line_ += ",\"after\":";
  AppendEncoded(line_, reinterpret_cast<const char*>(after), width);
  line_ += "}\n";
  return Write(line_);
}

void Journal::HeaderChanged(uint32_t offset, const uint8_t* before, const uint8_t* after, unsigned n) {
  Line("header", {{"offset", Number(offset)}, {"before", Bytes(before, n)}, {"after", Bytes(after, n)}});
}

bool Journal::End(int status, uint32_t fieldsWritten, bool cancelled) {
  bool wrote = Line("end", {{"status", std::to_string(status)},
                            {"fields_written", Number(fieldsWritten)},
                            {"cancelled", cancelled ? "true" : "false"}});
  return wrote && file_ && file_->Sync();
}
