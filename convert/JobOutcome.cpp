#include "convert/JobOutcome.h"

#include "db/CDatabase.h"

void JobOutcome::Start(uint32_t length) {
  xb::WriteObserver* keep = listener;
  *this = JobOutcome();
  walkLength = length;
  listener = keep;
}

void JobOutcome::NameFields(CDatabase& target) {
  fields.clear();
  for (unsigned n = 1; *target.Fieldname(n); ++n) {
    fields.emplace_back();
    fields.back().name = target.Fieldname(n);
  }
}

bool JobOutcome::Changed(uint32_t record, unsigned field, const uint8_t* before, const uint8_t* after,
                         unsigned width) {
  return !listener || listener->Changed(record, field, before, after, width);
}

bool JobOutcome::Writing(uint32_t record, const uint8_t* image, size_t length) {
  return !listener || listener->Writing(record, image, length);
}

void JobOutcome::Settled(uint32_t record, unsigned field, bool written) {
  if (listener) listener->Settled(record, field, written);
  if (field < 1 || field > fields.size()) return;
  FieldCount& f = fields[field - 1];
  ++(written ? f.written : f.failed);
}

void JobOutcome::HeaderChanged(uint32_t offset, const uint8_t* before, const uint8_t* after, unsigned n) {
  if (listener) listener->HeaderChanged(offset, before, after, n);
}

const std::string& JobOutcome::FieldName(unsigned field) const {
  static const std::string kNone;
  return field >= 1 && field <= fields.size() ? fields[field - 1].name : kNone;
}

uint32_t JobOutcome::Written() const {
  uint32_t total = 0;
  for (const FieldCount& f : fields) total += f.written;
  return total;
}

uint32_t JobOutcome::Failed() const {
  uint32_t total = 0;
  for (const FieldCount& f : fields) total += f.failed;
  return total;
}
