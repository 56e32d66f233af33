#include "tests/support/raw_dbf.h"

#include "tests/support/temp_dir.h"

namespace {
uint32_t Le(const std::vector<unsigned char>& b, size_t at, int n) {
  uint32_t v = 0;
  for (int i = n - 1; i >= 0; --i) v = v << 8 | b[at + size_t(i)];
  return v;
}
}  // namespace

RawDbf::RawDbf(const std::string& path) : bytes_(ReadBytes(path)) {
  if (bytes_.size() < 32) return;
  records_ = Le(bytes_, 4, 4);
  headerLength_ = Le(bytes_, 8, 2);
  recordLength_ = Le(bytes_, 10, 2);
  uint32_t at = 1;
  for (size_t d = 32; d + 32 <= headerLength_ && d < bytes_.size() && bytes_[d] != 0x0D; d += 32) {
    std::string name(reinterpret_cast<const char*>(&bytes_[d]), 11);
    name.resize(name.find('\0') == std::string::npos ? 11 : name.find('\0'));
    fields_.push_back({name, char(bytes_[d + 11]), at, bytes_[d + 16]});
    at += bytes_[d + 16];
  }
  ok_ = at == recordLength_ && bytes_.size() >= headerLength_ + uint64_t(records_) * recordLength_;
}

std::string RawDbf::Value(uint32_t record, const std::string& name) const {
  if (!ok_ || record < 1 || record > records_) return "?";
  for (const Field& f : fields_) {
    if (f.name != name) continue;
    size_t at = headerLength_ + size_t(record - 1) * recordLength_ + f.offset;
    std::string text(reinterpret_cast<const char*>(&bytes_[at]), f.width);
    while (!text.empty() && text.back() == ' ') text.pop_back();
    if (f.type == 'N' || f.type == 'F') text.erase(0, text.find_first_not_of(' ') == std::string::npos ? text.size() : text.find_first_not_of(' '));
    return text;
  }
  return "?";
}

std::string RawDbf::Where(uint64_t offset) const {
  if (offset < headerLength_) return "header";
  uint64_t inRecords = offset - headerLength_;
  uint64_t record = inRecords / recordLength_ + 1;
  uint32_t within = uint32_t(inRecords % recordLength_);
  if (record > records_) return "end";
  for (const Field& f : fields_)
    if (within >= f.offset && within < f.offset + f.width) return std::to_string(record) + ":" + f.name;
  return "flag";
}
