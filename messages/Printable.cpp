#include "messages/Printable.h"

namespace {

bool IsControl(unsigned char c) { return c < 0x20 || (c >= 0x7F && c <= 0x9F); }

std::string Escaped(const std::string& text, bool keepLineEnds) {
  static const char kHex[] = "0123456789abcdef";
  std::string out;
  out.reserve(text.size());
  for (char ch : text) {
    unsigned char c = static_cast<unsigned char>(ch);
    if (!IsControl(c) || (keepLineEnds && c == '\n')) {
      out += ch;
      continue;
    }
    const char escaped[6] = {'\\', 'u', '0', '0', kHex[c >> 4], kHex[c & 15]};
    out.append(escaped, sizeof escaped);
  }
  return out;
}

}  // namespace

std::string Printable(const std::string& text) { return Escaped(text, false); }

std::string PrintableLines(const std::string& text) { return Escaped(text, true); }
