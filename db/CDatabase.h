// CDatabase: one xBase table, opened or created by path, walked by record
// number, read and written by field name as text or as integers.
//
// Failures come back as results (0, or a record number of 0) and never as
// exceptions; engine failures the operator must know of are shown at once
// in an "Error" box naming the operation ("CDatabase::Go"), after which the
// operation goes on. With flush on (every Open sets it) each change reaches
// the file at once. Text reads drop trailing blanks.
//
// Ownership: the object owns its field array and buffers; Close releases
// them. The destructor does not close: an owner closes before destroying.
// A copy shares the table and the field array with its source, so only one
// of the two may be closed. Used by one thread at a time; the first object
// of the process must be constructed before any other thread makes one.
#ifndef DB_CDATABASE_H_
#define DB_CDATABASE_H_

#include "export/Export.h"
#include <cstdint>

#include "engine/field_info.h"

namespace xb {
class FileSystem;
class Table;
class Field;
class Order;
class WriteObserver;
}  // namespace xb

// One field of the open table, fetched once at Open.
struct FieldAddr {
  xb::Field* field;     // the engine's field; valid while the table is open
  unsigned int length;  // width in characters
  char* buffer;         // length + 1 bytes, reused by every text read
};

class CONVERTER_API CDatabase {
 public:
  CDatabase();
  ~CDatabase();
  CDatabase(const CDatabase& other);
  CDatabase& operator=(const CDatabase& other);

  // 1 when the table at path is open with its fields fetched, else 0 (no
  // box). An open table is closed first. Turns flush on.
  virtual int Open(char* path);
  // Replaces any file at path with an empty table of these fields and opens
  // it; 0 with a "CDatabase::Create" box when the engine cannot create it.
  virtual int Create(char* path, FIELD4INFO* definitions);
  // Releases the fields and closes the table; always 1. A table whose
  // changes did not all reach the disk durably shows "CDatabase::Close".
  virtual int Close();

  virtual void Top();
  virtual void Bottom();
  // An invalid number shows "CDatabase::Go" and stays where it was; a
  // record that cannot be read shows it too, and the table then stands on
  // that record unread: fields read as blanks, and a change to it is not
  // written (its flush fails).
  virtual void Go(unsigned int record);
  // Moves count records (negative: back), stopping at either end; returns RecNo().
  virtual unsigned int Skip(int count);
  virtual unsigned int RecNo();
  virtual unsigned int RecCount();
  virtual void Lock();
  virtual void Unlock();
  virtual void SetFlush(int on);
  // Flushes now, whatever the flush flag says, then releases the locks.
  virtual void Flush();
  virtual int IsField(char* name);
  // Searches forward from the current record for the first record whose
  // field equals key; returns its number and stays there, or 0 (always on
  // an empty table). A record that cannot be read is passed over.
  virtual unsigned int Find(char* name, int key);
  virtual unsigned int Find(char* name, const char* key);
  // 0 (target untouched) when there is no such field.
  virtual int Read(char* name, int* value);
  // REQUIRES: text holds FieldLength(name) + 1 bytes.
  virtual int Read(char* name, char* text);
  // 0 (nothing written) when there is no such field, else 1, even when the
  // flush failed (that shows its box).
  virtual int Replace(char* name, int value);
  virtual int Replace(char* name, char* text);
  // 1 when the engine added the record; never flushes, never shows a box.
  // Refused for a table opened read-only.
  virtual int Append();
  virtual void Blank();
  virtual void Delete();
  virtual void Recall();
  // Removes deleted records; does nothing while another handle has the
  // table open or when it cannot be done without risk to a record.
  virtual void Pack();
  // Copies every field of record from into record to. A from that cannot
  // be read ("CDatabase::Go") copies nothing; an invalid one copies the
  // record the table stays on.
  virtual void CopyRecord(unsigned int from, unsigned int to);

  // The name of field number (1-based), owned by the engine; "" when there
  // is no such field.
  char* Fieldname(unsigned int number);
  // The width of the field, 0 when there is no such field.
  unsigned int FieldLength(char* name);

 protected:
  // Open through files (not owned; null for the engine context's own), so
  // that the caller's run decides where its tables are read and written.
  int OpenThrough(xb::FileSystem* files, char* path);
  // Why this thread's last Open or OpenThrough that failed could not open
  // its table: the system's text (not there, held by another program, no
  // rights) or that the file holds no table; "" when none has failed.
  static const char* OpenFailure();
  // Go, with its box, that also says whether the record was reached and
  // read: 1, or 0 (then nothing may be written there).
  int Position(unsigned int record);
  // Position for a write of single fields: the record already in hand is
  // not read again.
  int PositionToWrite(unsigned int record);
  // The entry of the named field, or null. A class that reads the same
  // fields of every record looks them up once and uses the entries below.
  FieldAddr* Lookup(const char* name);
  // Read and Replace of a field by its entry, with their results and boxes.
  // REQUIRES: entry is one of this object's, fetched since the last Open;
  // text holds entry.length + 1 bytes.
  void ReadEntry(FieldAddr& entry, char* text);
  void ReplaceEntry(FieldAddr& entry, int value);
  void ReplaceEntry(FieldAddr& entry, const char* text);
  // text as an integer by the C library's atoi rule, the rule by which
  // every integer read goes.
  static int32_t AtoiRule(const char* text);
  // The integer of the entry's field in the record in hand, by the C
  // library's atoi rule, as Read(name, int*) reads it.
  static int32_t EntryNumber(const FieldAddr& entry);
  // True when both entries' fields have one width and hold the same bytes
  // in their tables' records in hand (of this table or another).
  static bool SameBytes(const FieldAddr& a, const FieldAddr& b);
  // True when the table stands on a record whose bytes were read: false on
  // a record that could not be read, and when no table is open.
  bool OnReadRecord() const;
  // The changes of one record made as one group: from HoldChanges on,
  // Replace and the like change the record in memory only; WriteChanges
  // then writes them, each field by a write of its own in the order the
  // fields were changed (the observer hearing of them together first),
  // shows box for each field whose write failed or was refused, naming it,
  // and puts back flush, the setting HoldChanges returned.
  int HoldChanges();
  void WriteChanges(const char* box, int flushAfter);
  // Tells observer of every change of the open table's fields and whether
  // it reached the file, until the table is closed (Open and Close end
  // it). REQUIRES: observer outlives the table's Close.
  void ObserveWrites(xb::WriteObserver* observer);

  xb::Table* table;         // the open table, null while closed
  xb::Order* order;         // the order selected at Open; kept, not used
  unsigned int fieldCount;  // fields of the table as of Open
  FieldAddr* fields;        // fieldCount entries in field order; null while closed
  int flush;                // non-zero: every change is flushed at once

 private:
  int GetFieldsAddrs();
  // Shows box under "Error", with the table's path, the record, the field
  // (null: none) and the system's reason for a sink that wants them.
  void Warn(const char* box, unsigned int record, const char* field);
  // Flushes when flush is on (showing box on failure, naming field), then
  // releases the locks.
  void Commit(const char* box, const char* field = nullptr);
};

#endif  // DB_CDATABASE_H_
