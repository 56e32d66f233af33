// JournalText: how a journal writes its values and reads its lines back.
//
// A journal is JSON Lines: one flat JSON object a line, every value a
// string, a number, true, false or null. Stored bytes, and paths in the
// program's code page, are JSON strings in which every byte stands for the
// code point of its value: printable ASCII as itself ('"' and '\' escaped),
// any other byte as \u00XX. Reading each code point back as a byte gives
// the bytes exactly, whatever the code page.
#ifndef JOURNAL_JOURNALTEXT_H_
#define JOURNAL_JOURNALTEXT_H_

#include <cstddef>
#include <cstdint>
#include <map>
#include <string>

// bytes as a JSON string, with its quotes.
std::string EncodeBytes(const std::string& bytes);
// The same, appended to out.
void AppendEncoded(std::string& out, const char* bytes, size_t n);
// bytes as the journal shows them, without the quotes: what undo lists.
std::string ShownBytes(const std::string& bytes);

// One line of a journal, read back and checked for its form only.
class JournalLine {
 public:
  // False for anything but exactly one flat JSON object, with nothing but
  // blanks around it, whose keys each come once and whose values are
  // strings (of code points up to \u00ff) or JSON numbers or words.
  bool Parse(const std::string& line);
  // The line's "type"; "" when it has none.
  std::string Type() const;
  bool Has(const char* key) const { return values_.count(key) != 0; }
  // The bytes of string value key; false when it is missing or no string.
  bool Text(const char* key, std::string* out) const;
  // The value of key as a whole number: digits only, at most max; false
  // otherwise (a string, a sign, a fraction, too large).
  bool Number(const char* key, uint64_t max, uint64_t* out) const;
  // true or false; false when it is neither.
  bool Flag(const char* key, bool* out) const;

  struct Value {
    bool text;          // a JSON string (its bytes decoded), else a number or word
    std::string value;  // the bytes, or the number or word as text
  };

 private:
  std::map<std::string, Value> values_;
};

#endif  // JOURNAL_JOURNALTEXT_H_
