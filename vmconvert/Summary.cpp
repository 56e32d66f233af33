#include "vmconvert/Summary.h"

#include <cstdio>
#include <cstdlib>

#include "convert/VmFieldNames.h"
#include "messages/Printable.h"

namespace {

// A table's stored text without its padding, escaped (Printable).
std::string Trimmed(const uint8_t* bytes, unsigned width) {
  std::string text(reinterpret_cast<const char*>(bytes), width);
  size_t first = text.find_first_not_of(' ');
  if (first == std::string::npos) return std::string();
  return Printable(text.substr(first, text.find_last_not_of(' ') - first + 1));
}

// "  T05 (status): 3" for each field with a count, under its heading.
void PrintCounts(const JobOutcome& outcome, const char* heading, uint32_t JobOutcome::FieldCount::*count,
                 bool voicemail) {
  uint32_t total = 0;
  for (const JobOutcome::FieldCount& f : outcome.fields) total += f.*count;
  std::printf("%s: %u\n", heading, unsigned(total));
  for (const JobOutcome::FieldCount& f : outcome.fields)
    if (f.*count) std::printf("  %s: %u\n", FieldLabel(f.name, voicemail).c_str(), unsigned(f.*count));
}

}  // namespace

std::string FieldLabel(const std::string& field, bool voicemail) {
  if (!voicemail || field.size() != 3 || field[0] != 'T') return Printable(field);
  int n = std::atoi(field.c_str() + 1);
  return n >= 1 && n <= 99 ? field + " (" + VmFieldNames[n - 1] + ")" : field;
}

bool DryRunListing::Changed(uint32_t record, unsigned field, const uint8_t* before, const uint8_t* after,
                            unsigned width) {
  std::printf("record %u %s: target \"%s\" -> source \"%s\"\n", unsigned(record),
              FieldLabel(outcome_.FieldName(field), voicemail_).c_str(), Trimmed(before, width).c_str(),
              Trimmed(after, width).c_str());
  return true;
}

void PrintSummary(const JobOutcome& o, bool dryRun, bool voicemail, double seconds) {
  uint32_t unread = o.unreadSource + o.unreadTarget;
  std::printf("records compared: %u\n", unsigned(o.compared));
  std::printf("records beyond either table's end: %u\n", unsigned(o.handled - o.compared - unread));
  if (unread)
    std::printf("records that could not be read: %u of the source, %u of the target\n", unsigned(o.unreadSource),
                unsigned(o.unreadTarget));
  PrintCounts(o, dryRun ? "fields that would be written" : "fields written", &JobOutcome::FieldCount::written,
              voicemail);
  if (o.Failed()) PrintCounts(o, "fields that could not be written", &JobOutcome::FieldCount::failed, voicemail);
  std::printf("time: %.2f s\n", seconds);
}
