#include "journal/JournalText.h"

#include <algorithm>
#include <cctype>

#include <nlohmann/json.hpp>

namespace {

// A string as JSON gives it back (UTF-8) to the bytes it stands for:
// every code point is one byte of the journal's, up to \u00ff. Most are
// plain ASCII, and are taken as they are.
bool ToBytes(std::string& utf8, std::string* out) {
  if (std::all_of(utf8.begin(), utf8.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; })) {
    out->swap(utf8);
    return true;
  }
  out->clear();
  for (size_t i = 0; i < utf8.size(); ++i) {
    unsigned char c = static_cast<unsigned char>(utf8[i]);
    if (c < 0x80) {
      *out += char(c);
    } else if ((c == 0xC2 || c == 0xC3) && i + 1 < utf8.size()) {
      *out += char(((c & 0x03) << 6) | (static_cast<unsigned char>(utf8[++i]) & 0x3F));
    } else {
      return false;  // beyond \u00ff: no byte of a journal's
    }
  }
  return true;
}

// The parser's events into the line's values: one object of flat values,
// each key once; anything else stops the parse.
class FlatObject : public nlohmann::json_sax<nlohmann::json> {
 public:
  explicit FlatObject(std::map<std::string, JournalLine::Value>* values) : values_(values) {}

  bool null() override { return Take(false, "null"); }
  bool boolean(bool b) override { return Take(false, b ? "true" : "false"); }
  // The library calls this for a number with a sign, "-0" included: kept
  // with its sign, it is no whole number of a journal's.
  bool number_integer(number_integer_t n) override { return Take(false, n < 0 ? std::to_string(n) : "-0"); }
  bool number_unsigned(number_unsigned_t n) override { return Take(false, std::to_string(n)); }
  bool number_float(number_float_t, const string_t& text) override { return Take(false, text); }
  bool string(string_t& text) override {
    std::string bytes;
    return ToBytes(text, &bytes) && Take(true, std::move(bytes));
  }
  bool binary(binary_t&) override { return false; }
  bool start_object(std::size_t) override { return depth_++ == 0; }
  bool key(string_t& key) override {
    std::string bytes;
    if (!ToBytes(key, &bytes) || values_->count(bytes)) return false;  // a key given twice
    key_ = bytes;
    return true;
  }
  bool end_object() override { return --depth_ == 0; }
  bool start_array(std::size_t) override { return false; }
  bool end_array() override { return false; }
  bool parse_error(std::size_t, const std::string&, const nlohmann::detail::exception&) override { return false; }

 private:
  bool Take(bool text, std::string value) {
    if (depth_ != 1) return false;
    values_->emplace(std::move(key_), JournalLine::Value{text, std::move(value)});
    return true;
  }

  std::map<std::string, JournalLine::Value>* values_;
  std::string key_;
  int depth_ = 0;
};

}  // namespace

void AppendEncoded(std::string& out, const char* bytes, size_t n) {
  static const char kHex[] = "0123456789abcdef";
  out += '"';
  for (size_t i = 0; i < n; ++i) {
    // Stored texts are mostly printable: each run of such bytes goes in
    // whole.
    size_t plain = i;
    while (plain < n && bytes[plain] >= 0x20 && bytes[plain] < 0x7F && bytes[plain] != '"' && bytes[plain] != '\\')
      ++plain;
    if (plain > i) {
      out.append(bytes + i, plain - i);
      i = plain - 1;
      continue;
    }
    unsigned char c = static_cast<unsigned char>(bytes[i]);
    if (c == '"' || c == '\\') {
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

std::string ShownBytes(const std::string& bytes) {
  std::string out = EncodeBytes(bytes);
  return out.substr(1, out.size() - 2);
}

// The JSON itself is the library's to read; what is the journal's own
// stays here: no raw byte beyond ASCII (a journal writes every one as
// \u00XX), code points up to \u00ff, one flat object of keys given once.
bool JournalLine::Parse(const std::string& line) {
  values_.clear();
  for (char c : line)
    if (static_cast<unsigned char>(c) >= 0x7F) return false;
  FlatObject sax(&values_);
  bool parsed = nlohmann::json::sax_parse(line, &sax, nlohmann::json::input_format_t::json, true);
  if (!parsed) values_.clear();
  return parsed;
}

std::string JournalLine::Type() const {
  std::string type;
  return Text("type", &type) ? type : std::string();
}

bool JournalLine::Text(const char* key, std::string* out) const {
  auto v = values_.find(key);
  if (v == values_.end() || !v->second.text) return false;
  *out = v->second.value;
  return true;
}

bool JournalLine::Number(const char* key, uint64_t max, uint64_t* out) const {
  auto v = values_.find(key);
  if (v == values_.end() || v->second.text || v->second.value.empty() || v->second.value.size() > 20) return false;
  uint64_t n = 0;
  for (char c : v->second.value) {
    if (!std::isdigit(static_cast<unsigned char>(c))) return false;
    uint64_t digit = uint64_t(c - '0');
    if (digit > max || n > (max - digit) / 10) return false;
    n = n * 10 + digit;
  }
  *out = n;
  return true;
}

bool JournalLine::Flag(const char* key, bool* out) const {
  auto v = values_.find(key);
  if (v == values_.end() || v->second.text || (v->second.value != "true" && v->second.value != "false")) return false;
  *out = v->second.value == "true";
  return true;
}
