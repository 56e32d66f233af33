// Table: one open dBASE table file. Records are visited in record-number
// order (there is no index support). The current record is held in memory
// as read when the table moved to it; changes to it reach the file on
// Flush, on moving to another record and on Close, and only the fields
// that changed are written, so another writer's changes to the other
// fields survive. A change whose write failed stays pending and is tried
// again by the next Flush (moving away gives it up; the next Flush still
// reports it). Operations that can fail return true on success and false
// on failure, as the file layer's do. A table is used by one thread at a
// time.
#ifndef ENGINE_TABLE_H_
#define ENGINE_TABLE_H_

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "engine/context.h"
#include "engine/field.h"
#include "engine/field_info.h"
#include "engine/file_system.h"
#include "engine/write_observer.h"

namespace xb {

// The order a table is walked in. Only record-number order exists, and it
// is represented by null.
class Order;

class Table {
 public:
  // Opens an existing table shared for reading and writing, or for reading
  // only when the file may not be written (then every write fails and
  // Flush reports it). Null when the file cannot be opened or does not
  // hold a table this engine can read.
  static std::unique_ptr<Table> Open(Context& context, const char* path);
  // The same through fs (not owned; it outlives the table). why (when not
  // null) receives the reason when it fails: the system's text for a file
  // that cannot be opened (not there, held by another program, no
  // rights), or that the file holds no table this engine can read.
  static std::unique_ptr<Table> Open(FileSystem* fs, const char* path, std::string* why = nullptr);

  // Replaces any file at path with an empty table of the given fields
  // (array ended by a null name). Null when a definition is invalid or the
  // file cannot be written. Memo fields (M) are refused: this engine
  // writes no memo file.
  static std::unique_ptr<Table> Create(Context& context, const char* path,
                                       const FIELD4INFO* definitions);

  // Writes what is pending; does not make it durable (Close does).
  ~Table();
  Table(const Table&) = delete;
  Table& operator=(const Table&) = delete;

  // Writes what is pending, makes the file durable, releases the lock and
  // closes the file. True when everything reached the file. Later calls
  // do nothing and return true.
  bool Close();

  // Positioning. On an empty table Top and Bottom succeed and leave the
  // table on no record (RecNo() is 1, fields read as blanks). A record
  // that cannot be read fails the positioning: the table then stands on
  // it unread, its fields read as blanks and assignments to it are not
  // written (the next Flush reports them).
  bool Top();
  bool Bottom();
  // Fails, staying where it is, unless 1 <= record <= RecCount(). Always
  // reads the record, so that a read sees the file as it is now.
  bool Go(uint32_t record);
  // Go for a change that writes only the bytes it changes: on the record
  // already in hand and read, it reads nothing (a change is written by
  // itself and nothing else of the record is written back; changes
  // pending there wait for their flush); anywhere else it is Go.
  bool GoToWrite(uint32_t record);
  // Moves by count records; stops at the first or last record (then
  // returns false).
  bool Skip(int32_t count);
  // True when the table stands on a record whose bytes were read.
  bool OnReadRecord() const { return OnRecord() && loaded_; }
  bool ReadOnly() const { return readOnly_; }
  const std::string& Path() const { return path_; }  // as opened
  uint32_t RecNo() const { return recNo_; }
  uint32_t RecCount() const { return count_; }
  bool Deleted() const;

  // The table-wide lock: a byte range beyond any record, so it never
  // blocks plain reads and writes. Waits a short while for another holder.
  bool Lock();
  bool Unlock();

  // Writes the current record's changes and the header's date now.
  // False when a write failed since the last Flush, or a change is still
  // pending.
  bool Flush();
  // Flush, with each changed field written by a write call of its own, in
  // the order the fields were changed, then the header's date. failed
  // (when not null) receives the numbers of the fields whose write failed
  // (they stay pending, as with Flush) or that the observer refused.
  bool FlushEach(std::vector<unsigned>* failed);

  unsigned FieldCount() const { return unsigned(fields_.size()); }
  // Field by 1-based number; null outside 1..FieldCount().
  Field* FieldAt(int number);
  // 1-based number of the field of that name (letter case ignored); 0 when none.
  int FieldNumber(const char* name) const;

  // Adds a blank record at the end, writes it, the end marker and the new
  // count (read again under the table lock, so another writer's records
  // stay counted) at once, and moves to it.
  bool Append();
  // Empties every field of the record in hand, each with its type's empty
  // value: blanks, or binary zeros for the binary types (IsBinaryType).
  // Append's new record is filled the same way.
  void Blank();
  void Delete();
  void Recall();
  // Removes deleted records: writes the packed table beside the file,
  // makes it durable and puts it in place in one step, then moves to the
  // first record. Refused (false, file untouched) while another handle
  // has the table open, for a read-only table, while a change is pending,
  // or when any step fails; the file then holds every record as before.
  // Other handles of this engine are seen everywhere (by a shared lock
  // each holds); another program's handle is seen on Windows (an open
  // that shares nothing fails), not on POSIX, where nothing tells of it.
  bool Pack();

  // Tells observer (not owned; null for none) of every field change from
  // now on and how it settled. REQUIRES: observer outlives the table or is
  // replaced first.
  void SetObserver(WriteObserver* observer) { observer_ = observer; }

  Order* DefaultOrder() const { return nullptr; }
  void SelectOrder(Order*) {}

 private:
  friend class Field;

  // The table lock sits far beyond any record so that it never blocks a
  // reader or writer of the records themselves; every open handle shares
  // the open range.
  static constexpr uint64_t kLockOffset = 0x7FFFFFFEull;
  static constexpr uint64_t kOpenOffset = 0x7FFFFFFDull;
  static constexpr uint64_t kLockLength = 1;

  Table(FileSystem* fs, std::unique_ptr<File> file, const char* path, bool readOnly);

  // The file at path, for reading and writing or else for reading only
  // (*readOnly says which), with its share of the open range taken.
  static std::unique_ptr<File> OpenShared(FileSystem* fs, const char* path, bool* readOnly);
  static std::unique_ptr<Table> OpenFile(FileSystem* fs, const char* path);
  bool ReadStructure();
  void BuildNameIndex();
  bool RefreshCount();
  uint64_t RecordOffset(uint32_t record) const;
  // Moves to a record (1..count_) or to no record (count_ + 1); false when
  // the record's bytes could not be read.
  bool Load(uint32_t record);
  // Reads record recNo_ into record_ (blanks when it cannot); loaded_, and
  // the result, say whether it could.
  bool ReadIn();
  // Puts bytes into part of the record: 0 the deletion flag, n field n.
  void Store(unsigned part, const uint8_t* bytes);
  void StoreField(const Field& field, const char* cell);
  const uint8_t* FieldBytes(const Field& field) const;
  bool OnRecord() const { return recNo_ >= 1 && recNo_ <= count_; }
  uint32_t PartOffset(unsigned part) const;
  uint32_t PartWidth(unsigned part) const;
  bool Pending() const { return dirtyParts_ != 0 || headerDirty_; }
  // Fills record (a record image, flag first) with every field's empty value.
  void EmptyRecord(uint8_t* record) const;
  // Forgets the record's unwritten changes (on leaving it, and on closing);
  // the observer hears of each as given up.
  void DropPending();
  // Clears the marks of parts first..last, written; the observer hears of each.
  void MarkWritten(unsigned first, unsigned last);
  // Leaves in order_ only the parts still pending.
  void ForgetWritten();
  void WritePending();
  // Writes the header's date when it is pending; a failure is remembered.
  void WriteDirtyDate();
  bool WriteDate();
  bool WriteDateAndCount();
  // Pack's steps: the packed copy at temp; the table file again after the
  // replace.
  bool WritePacked(const char* temp);
  bool Reopen();
  // Dates the header today once per session, to be written with the next change.
  void TouchDate();
  // Asks the observer (Writing) before the first write of what it was
  // told; false when it refuses: every pending change given up unwritten,
  // the record read again from the file, the date as it was.
  bool Announce();
  // Puts today's date into header_; true when it changed.
  bool StampDate();
  bool TakeLock();

  FileSystem* fs_;
  std::unique_ptr<File> file_;        // null once closed
  std::string path_;                  // as opened
  bool readOnly_;                     // opened for reading only
  uint8_t header_[dbf::kHeaderSize];  // as last read or written
  uint32_t headerLength_ = 0;         // where record 1 starts
  uint32_t recordLength_ = 0;         // flag byte included
  uint32_t count_ = 0;                // records the file really holds
  std::vector<Field> fields_;
  std::vector<uint16_t> nameIndex_;   // open-addressed: field number, 0 empty
  std::vector<uint8_t> record_;       // current record image
  uint32_t recNo_ = 1;
  bool loaded_ = false;               // record_ holds recNo_'s bytes as read
  std::vector<uint8_t> dirty_;        // per part (0 flag, n field n): changed, not yet written
  std::vector<uint16_t> order_;       // the pending parts, in the order they were changed
  std::vector<uint16_t> writing_;     // FlushEach's copy of order_, its room kept
  unsigned dirtyParts_ = 0;           // parts marked in dirty_
  bool headerDirty_ = false;
  bool dateTouched_ = false;          // this session already dated the header
  uint8_t dateBefore_[dbf::kRecordCount - dbf::kDateYear] = {};  // the date before this session's stamp
  bool told_ = false;                 // the observer heard of changes it has not seen written
  bool dateTold_ = false;             // the date stamp is among them
  bool writeFailed_ = false;          // a write failed since the last Flush
  bool locked_ = false;
  WriteObserver* observer_ = nullptr;  // not owned; null for none
};

}  // namespace xb

#endif  // ENGINE_TABLE_H_
