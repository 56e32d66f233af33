#include "vmconvert/TableLayout.h"

#include <cstdio>

namespace {

uint32_t Le(const std::string& b, size_t at, int n) {
  uint32_t v = 0;
  for (int i = n - 1; i >= 0; --i) v = v << 8 | static_cast<unsigned char>(b[at + size_t(i)]);
  return v;
}

}  // namespace

std::string Trimmed(const std::string& text) {
  size_t first = text.find_first_not_of(' ');
  if (first == std::string::npos) return std::string();
  return text.substr(first, text.find_last_not_of(' ') - first + 1);
}

std::string TableLayout::ReadRange(uint64_t offset, size_t n) const {
  std::string out;
  if (!file_ || _fseeki64(file_, int64_t(offset), SEEK_SET) != 0) return out;
  out.resize(n);
  out.resize(std::fread(&out[0], 1, n, file_));
  return out;
}

TableLayout::~TableLayout() {
  if (file_) std::fclose(file_);
}

TableLayout::TableLayout(const std::string& path) : file_(std::fopen(path.c_str(), "rb")) {
  std::string head = ReadRange(0, 32);
  if (head.size() < 32) return;
  headerLength_ = Le(head, 8, 2);
  recordLength_ = Le(head, 10, 2);
  std::string descriptors = ReadRange(32, headerLength_ > 32 ? headerLength_ - 32 : 0);
  uint32_t at = 1;
  for (size_t d = 0; d + 32 <= descriptors.size() && descriptors[d] != '\x0D'; d += 32) {
    std::string name = descriptors.substr(d, 11);
    name.resize(name.find('\0') == std::string::npos ? 11 : name.find('\0'));
    uint32_t width = static_cast<unsigned char>(descriptors[d + 16]);
    fields_.push_back({name, at, width});
    at += width;
  }
  ok_ = recordLength_ > 0 && at == recordLength_;
}

bool TableLayout::Locate(uint64_t offset, uint32_t* record, std::string* field) const {
  if (!ok_ || offset < headerLength_) return false;
  uint64_t inRecords = offset - headerLength_;
  uint32_t within = uint32_t(inRecords % recordLength_);
  for (const Field& f : fields_) {
    if (within < f.offset || within >= f.offset + f.width) continue;
    *record = uint32_t(inRecords / recordLength_ + 1);
    *field = f.name;
    return true;
  }
  return false;
}

std::string TableLayout::StoredText(uint32_t record, const std::string& field) const {
  for (const Field& f : fields_)
    if (f.name == field)
      return Trimmed(ReadRange(headerLength_ + uint64_t(record - 1) * recordLength_ + f.offset, f.width));
  return std::string();
}
