#include "journal/JournalText.h"

#include <cctype>

namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r'; }

void SkipBlanks(const std::string& text, size_t* at) {
  while (*at < text.size() && IsBlank(text[*at])) ++*at;
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// The escape after a backslash at text[*at]; false for one JSON does not
// know or a code point beyond a byte.
bool ParseEscape(const std::string& text, size_t* at, std::string* out) {
  static const char kPlain[] = "\"\\/", kNamed[] = "bfnrt", kBytes[] = "\b\f\n\r\t";
  char c = text[*at];
  for (int i = 0; kPlain[i]; ++i)
    if (c == kPlain[i]) return *out += c, ++*at, true;
  for (int i = 0; kNamed[i]; ++i)
    if (c == kNamed[i]) return *out += kBytes[i], ++*at, true;
  if (c != 'u' || *at + 4 >= text.size()) return false;
  int code = 0;
  for (size_t i = *at + 1; i <= *at + 4; ++i) {
    if (HexDigit(text[i]) < 0) return false;
    code = code * 16 + HexDigit(text[i]);
  }
  if (code > 0xFF) return false;  // a journal keeps bytes only
  *out += char(code);
  *at += 5;
  return true;
}

// A JSON string at text[*at] (its opening quote), decoded to bytes. Raw
// control characters and bytes beyond ASCII are refused: a journal writes
// neither, so a line holding them was written by something else.
bool ParseString(const std::string& text, size_t* at, std::string* out) {
  out->clear();
  for (size_t i = *at + 1; i < text.size();) {
    unsigned char c = static_cast<unsigned char>(text[i]);
    if (c == '"') return *at = i + 1, true;
    if (c < 0x20 || c >= 0x7F) return false;
    if (c != '\\') {
      *out += char(c);
      ++i;
      continue;
    }
    ++i;
    if (i >= text.size() || !ParseEscape(text, &i, out)) return false;
  }
  return false;
}

// A JSON number or one of its words, as written.
bool ParseWord(const std::string& text, size_t* at, std::string* out) {
  size_t end = *at;
  while (end < text.size() && (std::isalnum(static_cast<unsigned char>(text[end])) || text[end] == '-' ||
                               text[end] == '+' || text[end] == '.'))
    ++end;
  *out = text.substr(*at, end - *at);
  *at = end;
  if (*out == "true" || *out == "false" || *out == "null") return true;
  // -?(0|[1-9][0-9]*)(\.[0-9]+)?([eE][+-]?[0-9]+)?
  size_t i = 0;
  const std::string& s = *out;
  auto digits = [&] {
    size_t from = i;
    while (i < s.size() && std::isdigit(static_cast<unsigned char>(s[i]))) ++i;
    return i > from;
  };
  if (i < s.size() && s[i] == '-') ++i;
  if (i < s.size() && s[i] == '0') ++i;
  else if (!digits()) return false;
  if (i < s.size() && s[i] == '.' && (++i, !digits())) return false;
  if (i < s.size() && (s[i] == 'e' || s[i] == 'E')) {
    ++i;
    if (i < s.size() && (s[i] == '+' || s[i] == '-')) ++i;
    if (!digits()) return false;
  }
  return i == s.size();
}

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

bool JournalLine::Parse(const std::string& line) {
  values_.clear();
  size_t at = 0;
  SkipBlanks(line, &at);
  if (at >= line.size() || line[at] != '{') return false;
  ++at;
  SkipBlanks(line, &at);
  if (at < line.size() && line[at] == '}') {
    ++at;
  } else {
    for (;;) {
      std::string key;
      Value value;
      SkipBlanks(line, &at);
      if (at >= line.size() || line[at] != '"' || !ParseString(line, &at, &key)) return false;
      SkipBlanks(line, &at);
      if (at >= line.size() || line[at] != ':') return false;
      ++at;
      SkipBlanks(line, &at);
      if (at >= line.size()) return false;
      value.text = line[at] == '"';
      if (!(value.text ? ParseString(line, &at, &value.value) : ParseWord(line, &at, &value.value))) return false;
      if (!values_.emplace(key, value).second) return false;  // a key given twice
      SkipBlanks(line, &at);
      if (at >= line.size()) return false;
      if (line[at++] == '}') break;
      if (line[at - 1] != ',') return false;
    }
  }
  SkipBlanks(line, &at);
  return at == line.size();
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
