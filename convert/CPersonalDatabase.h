// CPersonalDatabase: a personal table, with the fifteen fields the
// personal job copies looked up once per Open instead of by name for
// every record. Reads and writes behave as CDatabase's by name; its open
// table is closed by the owner with Close before the object is destroyed,
// as for CDatabase.
#ifndef CONVERT_CPERSONALDATABASE_H_
#define CONVERT_CPERSONALDATABASE_H_

#include <cstddef>

#include "db/CDatabase.h"

class CPersonalDatabase final : public CDatabase {
 public:
  // What the job's outcome counts: every change of the open table's fields
  // and whether it reached the file (see CDatabase).
  using CDatabase::ObserveWrites;
  // A record's changes as one group, each field still written apart (see
  // CDatabase): the job holds them while it compares the record.
  using CDatabase::HoldChanges;
  using CDatabase::WriteChanges;
  // Why the last Open of this thread that failed could not open its table.
  using CDatabase::OpenFailure;
  // Its tables are opened through files (not owned; null for the engine's
  // own).
  explicit CPersonalDatabase(xb::FileSystem* files = nullptr) : files_(files) {}
  static constexpr int kFields = 15;
  // The copied fields, in the order each pair handles them; "IDXP" first.
  static const char* const kNames[kFields];
  static constexpr int kIdxp = 0;  // "IDXP": an empty one ends the walk

  // CDatabase::Open's result: 1 open, 0 not.
  int Open(char* path) override;

  // Field k (0 to kFields - 1) of the record in hand as text, trailing
  // blanks dropped, cut to capacity characters (with any blanks the cut
  // leaves at its end) into out, which holds capacity + 1 bytes. 0, with
  // out untouched, when the table has no such field.
  int ReadField(int k, char* out, size_t capacity);
  // The width of field k, 0 where the table has none or none is open.
  unsigned int Width(int k) const;
  // Writes text into field k as CDatabase::Replace does: 0 (nothing
  // written) when the table has no such field, else 1.
  int ReplaceField(int k, const char* text);
  // True when the table stands on a record whose bytes were read (see
  // CDatabase).
  using CDatabase::OnReadRecord;

 private:
  // The entry of field k; null where the table has none or none is open.
  FieldAddr* Entry(int k) const;

  xb::FileSystem* files_;           // where the table is opened; null for the engine's own
  FieldAddr* field_[kFields] = {};  // null where the table has none
};

#endif  // CONVERT_CPERSONALDATABASE_H_
