// CVmDatabase: a voicemail table (fields T01 to T99) read a whole record at
// a time into a VmRecord and written one field at a time by logical name.
// Its field names are looked up once per Open, the way CDatabase looks
// them up; its open table is closed by the owner with Close before the
// object is destroyed, as for CDatabase.
#ifndef CONVERT_CVMDATABASE_H_
#define CONVERT_CVMDATABASE_H_

#include "convert/VmRecord.h"
#include "db/CDatabase.h"

class CVmDatabase final : public CDatabase {
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
  // Opens the table at path through files (not owned; null for the
  // engine's own), as every later Open; a caller that needs the result
  // calls Open again.
  explicit CVmDatabase(char* path, xb::FileSystem* files = nullptr);

  // CDatabase::Open's result: 1 open, 0 not.
  int Open(char* path) override;

  // Goes to record and reads every field the table has into image; fields
  // the table lacks leave their members unchanged, texts wider than their
  // member are cut. 1 when read; 0 (image untouched) when no table is open
  // or the record cannot be reached or read (that shows "CDatabase::Go").
  int ReadRecord(unsigned int record, VmRecord* image);

  // Writes value into the field named name (a VmFieldNames entry, exact
  // case) of records first to lastIndex + 1: numeric fields take value's
  // integer by atoi's rule, character fields the text as given; a record
  // that cannot be reached or read ("CDatabase::Go") is left as it is. 1
  // after writing, 0 when no table is open, -1 (nothing written) for an
  // unknown name.
  int ReplaceField(unsigned int first, unsigned int lastIndex, const char* name, const char* value);
  // ReplaceField for field Tnn (1 to 99), whose logical name the caller
  // has already found: -1 for a number outside 1..99.
  int ReplaceField(unsigned int first, unsigned int lastIndex, int n, const char* value);

  // Goes to record and reads it, as ReadRecord does, filling no image: 1,
  // or 0 (with "CDatabase::Go") when it cannot be reached or read.
  int Reach(unsigned int record);
  // Field Tnn of the record in hand by atoi's rule, as ReadRecord reads it;
  // 0 when the table has no such field.
  int32_t Number(int n) const;
  // True when both tables have field Tnn at one width, holding the same
  // bytes in their records in hand.
  bool SameBytes(int n, const CVmDatabase& other) const;
  // The width of field Tnn, 0 when the table has none.
  unsigned int Width(int n) const;
  // Field Tnn of the record in hand, trailing blanks removed, into out,
  // which holds Width(n) + 1 bytes. 0 when the table has no such field.
  int ReadWhole(int n, char* out);

 private:
  void ResolveFields();

  xb::FileSystem* files_;  // where the table is opened; null for the engine's own
  FieldAddr* field_[VmRecord::kFields + 1] = {};  // by number; null where the table has none
};

#endif  // CONVERT_CVMDATABASE_H_
