#include "engine/field.h"

#include <cmath>
#include <cstdio>
#include <cstring>
#include <vector>

#include "engine/table.h"

namespace xb {

Field::Field(Table* table, const char* name, char type, unsigned offset, unsigned width,
             unsigned decimals)
    : table_(table), type_(type), offset_(offset), width_(width), decimals_(decimals) {
  std::strncpy(name_, name, dbf::kDescNameSize);
  name_[dbf::kDescNameSize] = '\0';
}

void Field::CopyText(char* buffer, size_t size) const {
  if (size == 0) return;
  size_t n = width_ < size - 1 ? width_ : size - 1;
  const uint8_t* bytes = table_->FieldBytes(*this);
  if (bytes)
    std::memcpy(buffer, bytes, n);
  else
    std::memset(buffer, ' ', n);
  buffer[n] = '\0';
}

int32_t AtoiRule(const char* text, const char* end) {
  const char* p = text;
  while (p < end && (*p == ' ' || (*p >= '\t' && *p <= '\r'))) ++p;
  bool negative = false;
  if (p < end && (*p == '-' || *p == '+')) negative = *p++ == '-';
  int64_t value = 0;
  for (; p < end && *p >= '0' && *p <= '9'; ++p) {
    value = value * 10 + (*p - '0');
    if (value > int64_t(INT32_MAX) + 1) value = int64_t(INT32_MAX) + 1;
  }
  if (negative) value = -value;
  if (value > INT32_MAX) value = INT32_MAX;
  return int32_t(value);
}

int32_t Field::AsInt() const {
  const char* p = reinterpret_cast<const char*>(table_->FieldBytes(*this));
  return p ? AtoiRule(p, p + width_) : 0;
}

void Field::AssignText(const char* text) {
  char small[dbf::kMaxWidth];
  std::vector<char> wide;  // only a C field wider than any other takes room of its own
  if (width_ > sizeof small) wide.resize(width_);
  char* cell = wide.empty() ? small : wide.data();
  size_t n = strnlen(text, width_);
  std::memcpy(cell, text, n);
  std::memset(cell + n, ' ', width_ - n);
  table_->StoreField(*this, cell);
}

void Field::AssignDouble(double value) {
  char small[dbf::kMaxWidth];
  std::vector<char> wide;  // a number put into a wide C field
  if (width_ > sizeof small) wide.resize(width_);
  char* cell = wide.empty() ? small : wide.data();
  if (!FormatNumber(value, cell)) std::memset(cell, '*', width_);
  table_->StoreField(*this, cell);
}

bool Field::FormatNumber(double value, char* out) const {
  if (!std::isfinite(value)) return false;
  bool numeric = dbf::IsNumericType(type_);
  int decimals = numeric ? int(decimals_) : 0;
  char text[512];
  int n = std::snprintf(text, sizeof text, "%.*f", decimals, value);
  if (n < 0 || unsigned(n) > width_ || size_t(n) >= sizeof text) return false;
  // "-0" reads oddly in a table; dBASE writes a plain zero.
  if (std::strspn(text, "-0.") == size_t(n) && text[0] == '-') {
    std::memmove(text, text + 1, size_t(n));
    --n;
  }
  size_t pad = width_ - unsigned(n);
  if (numeric) {
    std::memset(out, ' ', pad);
    std::memcpy(out + pad, text, size_t(n));
  } else {
    std::memcpy(out, text, size_t(n));
    std::memset(out + n, ' ', pad);
  }
  return true;
}

bool Field::SameBytes(const Field& other) const {
  const uint8_t* mine = table_->FieldBytes(*this);
  const uint8_t* theirs = other.table_->FieldBytes(other);
  return mine && theirs && width_ == other.width_ && std::memcmp(mine, theirs, width_) == 0;
}

}  // namespace xb
