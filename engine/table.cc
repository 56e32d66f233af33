#include "engine/table.h"

#include <algorithm>
#include <cstring>

namespace xb {

namespace {

constexpr unsigned kLockTries = 200;
constexpr unsigned kLockPauseMs = 10;

char Upper(char c) { return c >= 'a' && c <= 'z' ? char(c - 'a' + 'A') : c; }

// Hash of a field name with letter case ignored; at most 11 characters count.
uint32_t NameHash(const char* name) {
  uint32_t h = 2166136261u;
  for (size_t i = 0; i < dbf::kDescNameSize && name[i]; ++i) h = (h ^ uint8_t(Upper(name[i]))) * 16777619u;
  return h;
}

// REQUIRES: both texts NUL-terminated.
bool SameName(const char* a, const char* b) {
  for (size_t i = 0;; ++i) {
    if (Upper(a[i]) != Upper(b[i])) return false;
    if (a[i] == '\0') return true;
  }
}

bool ValidDefinition(const FIELD4INFO& d) {
  size_t n = d.name ? strnlen(d.name, 11) : 0;
  if (n == 0 || n > 10) return false;
  switch (d.type) {
    case 'C': return d.len >= 1 && d.len <= dbf::kMaxTextWidth;
    case 'N':
    case 'F': return d.len >= 1 && d.len <= 20 && (d.dec == 0 || d.dec + 2u <= d.len);
    case 'D':
    case 'L': return true;
    default: return false;
  }
}

unsigned DefinedWidth(const FIELD4INFO& d) {
  switch (d.type) {
    case 'D': return 8;
    case 'L': return 1;
    default: return d.len;
  }
}

}  // namespace

Table::Table(FileSystem* fs, std::unique_ptr<File> file, const char* path, bool readOnly)
    : fs_(fs), file_(std::move(file)), path_(path), readOnly_(readOnly) {
  std::memset(header_, 0, sizeof header_);
}

Table::~Table() {
  if (!file_) return;
  WritePending();
  DropPending();
}

std::unique_ptr<File> Table::OpenShared(FileSystem* fs, const char* path, bool* readOnly) {
  *readOnly = false;
  std::unique_ptr<File> file = fs->Open(path);
  if (!file) {
    file = fs->OpenReadOnly(path);
    *readOnly = true;
  }
  // Every handle shares the open range; Pack takes it whole to know that
  // no other handle has the table open.
  if (file) file->TryLockShared(kOpenOffset, kLockLength);
  return file;
}

std::unique_ptr<Table> Table::OpenFile(FileSystem* fs, const char* path) {
  bool readOnly = false;
  std::unique_ptr<File> file = OpenShared(fs, path, &readOnly);
  if (!file) return nullptr;
  return std::unique_ptr<Table>(new Table(fs, std::move(file), path, readOnly));
}

std::unique_ptr<Table> Table::Open(Context& context, const char* path) { return Open(context.fileSystem(), path); }

std::unique_ptr<Table> Table::Open(FileSystem* fs, const char* path, std::string* why) {
  std::unique_ptr<Table> table = OpenFile(fs, path);
  if (!table) {
    if (why) *why = LastFileError();
    return nullptr;
  }
  if (!table->ReadStructure()) {
    table->file_.reset();
    if (why) *why = "it holds no table this program can read";
    return nullptr;
  }
  table->Load(table->count_ ? 1 : table->count_ + 1);
  return table;
}

std::unique_ptr<Table> Table::Create(Context& context, const char* path,
                                     const FIELD4INFO* definitions) {
  if (!definitions) return nullptr;
  size_t n = 0;
  uint32_t recordLength = 1;
  for (; definitions[n].name; ++n) {
    if (n >= dbf::kMaxFields || !ValidDefinition(definitions[n])) return nullptr;
    for (size_t k = 0; k < n; ++k)
      if (SameName(definitions[k].name, definitions[n].name)) return nullptr;
    recordLength += DefinedWidth(definitions[n]);
  }
  uint32_t headerLength = uint32_t(dbf::kHeaderSize + n * dbf::kDescriptorSize + 1);
  if (n == 0 || recordLength > 0xFFFF || headerLength > 0xFFFF) return nullptr;

  std::vector<dbf::Descriptor> fields(n);
  for (size_t i = 0; i < n; ++i) {
    const FIELD4INFO& def = definitions[i];
    std::memset(fields[i].name, 0, sizeof fields[i].name);
    std::memcpy(fields[i].name, def.name, strnlen(def.name, dbf::kDescNameSize));
    fields[i].type = char(def.type);
    fields[i].width = DefinedWidth(def);
    fields[i].decimals = def.dec;
  }
  FileSystem* fs = context.fileSystem();
  std::vector<uint8_t> image = dbf::EmptyTable(fields, fs->Today());
  std::unique_ptr<File> file = fs->Create(path);
  if (!file || !file->WriteAt(0, image.data(), image.size()) || !file->Sync()) return nullptr;
  file->TryLockShared(kOpenOffset, kLockLength);
  std::unique_ptr<Table> table(new Table(fs, std::move(file), path, false));
  if (!table->ReadStructure()) return nullptr;
  table->Load(1);
  return table;
}

bool Table::ReadStructure() {
  uint64_t size = 0;
  size_t got = 0;
  if (!file_->Size(&size) || size < dbf::kHeaderSize) return false;
  if (!file_->ReadAt(0, header_, sizeof header_, &got) || got != sizeof header_) return false;
  dbf::Header header = dbf::ReadHeader(header_);
  if (!dbf::IsKnownVersion(header.version)) return false;
  headerLength_ = header.headerLength;
  recordLength_ = header.recordLength;
  if (headerLength_ < dbf::kHeaderSize + dbf::kDescriptorSize + 1 || headerLength_ > size)
    return false;

  std::vector<uint8_t> area(headerLength_ - dbf::kHeaderSize);
  if (!file_->ReadAt(dbf::kHeaderSize, area.data(), area.size(), &got) || got != area.size())
    return false;
  std::vector<dbf::Descriptor> descriptors;
  if (!dbf::ReadDescriptors(area.data(), area.size(), recordLength_, &descriptors,
                            dbf::IsDbase3Only(header.version)))
    return false;
  uint32_t offset = 1;
  for (const dbf::Descriptor& d : descriptors) {
    fields_.emplace_back(this, d.name, d.type, offset, d.width, d.decimals);
    offset += d.width;
  }

  BuildNameIndex();
  record_.assign(recordLength_, ' ');
  dirty_.assign(fields_.size() + 1, 0);
  order_.reserve(dirty_.size());
  writing_.reserve(dirty_.size());
  return RefreshCount();
}

void Table::BuildNameIndex() {
  size_t slots = 16;
  while (slots < fields_.size() * 2) slots *= 2;
  nameIndex_.assign(slots, 0);
  for (size_t i = 0; i < fields_.size(); ++i) {
    if (FieldNumber(fields_[i].Name()) != 0) continue;  // a repeated name keeps its first field
    size_t at = NameHash(fields_[i].Name()) & (slots - 1);
    while (nameIndex_[at]) at = (at + 1) & (slots - 1);
    nameIndex_[at] = uint16_t(i + 1);
  }
}

int Table::FieldNumber(const char* name) const {
  if (!name || nameIndex_.empty()) return 0;
  size_t mask = nameIndex_.size() - 1;
  for (size_t at = NameHash(name) & mask; nameIndex_[at]; at = (at + 1) & mask)
    if (SameName(fields_[nameIndex_[at] - 1].Name(), name)) return nameIndex_[at];
  return 0;
}

Field* Table::FieldAt(int number) {
  if (number < 1 || size_t(number) > fields_.size()) return nullptr;
  return &fields_[size_t(number) - 1];
}

bool Table::RefreshCount() {
  uint64_t size = 0;
  size_t got = 0;
  if (!file_->Size(&size)) return false;
  uint8_t count[4];
  if (!file_->ReadAt(dbf::kRecordCount, count, sizeof count, &got) || got != sizeof count) return false;
  std::memcpy(&header_[dbf::kRecordCount], count, sizeof count);
  uint64_t held = size > headerLength_ ? (size - headerLength_) / recordLength_ : 0;
  count_ = uint32_t(std::min<uint64_t>(dbf::Get32(count), held));
  return true;
}

uint64_t Table::RecordOffset(uint32_t record) const {
  return headerLength_ + uint64_t(record - 1) * recordLength_;
}

void Table::DropPending() {
  if (observer_ && dirtyParts_ != 0)
    for (unsigned part = 0; part < dirty_.size(); ++part)
      if (dirty_[part]) observer_->Settled(recNo_, part, false);
  std::fill(dirty_.begin(), dirty_.end(), uint8_t(0));
  dirtyParts_ = 0;
  order_.clear();
}

void Table::MarkWritten(unsigned first, unsigned last) {
  for (unsigned part = first; part <= last; ++part) {
    dirty_[part] = 0;
    if (observer_) observer_->Settled(recNo_, part, true);
  }
  dirtyParts_ -= last - first + 1;
}

void Table::ForgetWritten() {
  order_.erase(std::remove_if(order_.begin(), order_.end(), [this](uint16_t part) { return !dirty_[part]; }),
               order_.end());
}

bool Table::Load(uint32_t record) {
  WritePending();
  // A change that could not be written is given up here; the next Flush
  // still reports its failure.
  DropPending();
  recNo_ = record;
  if (OnRecord()) return ReadIn();
  loaded_ = false;
  std::fill(record_.begin(), record_.end(), uint8_t(' '));
  return true;
}

bool Table::ReadIn() {
  size_t got = 0;
  loaded_ = file_->ReadAt(RecordOffset(recNo_), record_.data(), record_.size(), &got) && got == record_.size();
  if (!loaded_) std::fill(record_.begin(), record_.end(), uint8_t(' '));
  return loaded_;
}

const uint8_t* Table::FieldBytes(const Field& field) const {
  return OnReadRecord() ? &record_[field.Offset()] : nullptr;
}

uint32_t Table::PartOffset(unsigned part) const { return part == 0 ? 0 : fields_[part - 1].Offset(); }

uint32_t Table::PartWidth(unsigned part) const { return part == 0 ? 1 : fields_[part - 1].Width(); }

void Table::StoreField(const Field& field, const char* cell) {
  Store(unsigned(&field - fields_.data()) + 1, reinterpret_cast<const uint8_t*>(cell));
}

void Table::Store(unsigned part, const uint8_t* bytes) {
  if (!OnRecord()) return;
  if (!loaded_) {
    // The record was never read: nothing may be written over it.
    writeFailed_ = true;
    return;
  }
  uint8_t* at = &record_[PartOffset(part)];
  uint32_t n = PartWidth(part);
  if (std::memcmp(at, bytes, n) == 0) return;
  // The observer hears every change, the deletion flag's and a pending
  // part's again included; a part changed again before its write is still
  // written, and settled, once.
  if (observer_) {
    if (!observer_->Changed(recNo_, part, at, bytes, n)) {
      writeFailed_ = true;
      return;
    }
    told_ = true;
  }
  std::memcpy(at, bytes, n);
  if (!dirty_[part]) {
    dirty_[part] = 1;
    ++dirtyParts_;
    order_.push_back(uint16_t(part));
  }
  TouchDate();
}

void Table::TouchDate() {
  if (dateTouched_) return;
  dateTouched_ = true;
  std::memcpy(dateBefore_, &header_[dbf::kDateYear], sizeof dateBefore_);
  if (!StampDate()) return;
  headerDirty_ = true;
  if (!observer_) return;
  observer_->HeaderChanged(dbf::kDateYear, dateBefore_, &header_[dbf::kDateYear], sizeof dateBefore_);
  told_ = dateTold_ = true;
}

bool Table::Announce() {
  bool dated = dateTold_;
  told_ = dateTold_ = false;
  if (observer_->Writing(recNo_, record_.data(), record_.size())) return true;
  writeFailed_ = true;
  DropPending();
  if (dated) {
    std::memcpy(&header_[dbf::kDateYear], dateBefore_, sizeof dateBefore_);
    headerDirty_ = false;
    dateTouched_ = false;
  }
  ReadIn();
  return false;
}

bool Table::StampDate() { return dbf::StampDate(header_, fs_->Today()); }

// Each run of neighbouring changed parts is one write; a part whose write
// failed stays marked.
void Table::WritePending() {
  if (told_ && !Announce()) return;
  for (unsigned part = 0; dirtyParts_ != 0 && part < dirty_.size(); ++part) {
    if (!dirty_[part]) continue;
    unsigned last = part;
    while (last + 1 < dirty_.size() && dirty_[last + 1]) ++last;
    uint32_t from = PartOffset(part);
    uint32_t to = PartOffset(last) + PartWidth(last);
    if (file_->WriteAt(RecordOffset(recNo_) + from, &record_[from], to - from)) {
      MarkWritten(part, last);
    } else {
      writeFailed_ = true;
    }
    part = last;
  }
  ForgetWritten();
  WriteDirtyDate();
}

void Table::WriteDirtyDate() {
  if (!headerDirty_) return;
  if (WriteDate())
    headerDirty_ = false;
  else
    writeFailed_ = true;
}

// The date alone: the count on disk may be newer than ours (another
// writer's append), and every other header byte stays as found.
bool Table::WriteDate() {
  return file_->WriteAt(dbf::kDateYear, &header_[dbf::kDateYear], dbf::kRecordCount - dbf::kDateYear);
}

// REQUIRES: the table lock is held and count_ was read under it.
bool Table::WriteDateAndCount() {
  return file_->WriteAt(dbf::kDateYear, &header_[dbf::kDateYear],
                        dbf::kRecordCount + 4 - dbf::kDateYear);
}

bool Table::FlushEach(std::vector<unsigned>* failed) {
  if (!file_) return false;
  writing_.assign(order_.begin(), order_.end());
  // A refusal gives up every pending change: each is one that failed.
  bool refused = told_ && !Announce();
  for (uint16_t part : writing_) {
    uint32_t from = PartOffset(part);
    if (!refused && file_->WriteAt(RecordOffset(recNo_) + from, &record_[from], PartWidth(part))) {
      MarkWritten(part, part);
      continue;
    }
    writeFailed_ = true;
    if (failed && part != 0) failed->push_back(part);
  }
  ForgetWritten();
  WriteDirtyDate();
  bool written = !writeFailed_;
  writeFailed_ = false;
  return written;
}

bool Table::Flush() {
  if (!file_) return false;
  WritePending();
  bool failed = writeFailed_ || Pending();
  writeFailed_ = false;
  return !failed;
}

bool Table::Close() {
  if (!file_) return true;
  bool result = Flush();
  DropPending();
  if (!readOnly_ && !file_->Sync()) result = false;
  Unlock();
  file_.reset();
  return result;
}

bool Table::Top() { return file_ && Load(count_ ? 1 : count_ + 1); }

bool Table::Bottom() { return file_ && Load(count_ ? count_ : count_ + 1); }

bool Table::Go(uint32_t record) {
  if (!file_ || record < 1) return false;
  if (record > count_) {
    WritePending();
    if (!RefreshCount() || record > count_) return false;
  }
  return Load(record);
}

bool Table::GoToWrite(uint32_t record) {
  if (file_ && record == recNo_ && OnReadRecord()) return true;
  return Go(record);
}

bool Table::Skip(int32_t count) {
  if (!file_ || count_ == 0) return false;
  int64_t target = int64_t(recNo_) + count;
  int64_t bounded = std::min<int64_t>(std::max<int64_t>(target, 1), count_);
  if (bounded != int64_t(recNo_) && !Load(uint32_t(bounded))) return false;
  return bounded == target;
}

bool Table::Deleted() const { return OnReadRecord() && record_[0] == dbf::kDeletedFlag; }

bool Table::TakeLock() {
  for (unsigned i = 0; i < kLockTries; ++i) {
    if (file_->TryLock(kLockOffset, kLockLength)) return true;
    fs_->Pause(kLockPauseMs);
  }
  return false;
}

bool Table::Lock() {
  if (!file_) return false;
  if (!locked_) locked_ = TakeLock();
  return locked_;
}

bool Table::Unlock() {
  if (!file_ || !locked_) return true;
  locked_ = false;
  return file_->Unlock(kLockOffset, kLockLength);
}

bool Table::Append() {
  if (!file_ || readOnly_) return false;
  WritePending();
  bool tookLock = !locked_;
  if (!Lock()) return false;
  bool result = false;
  if (RefreshCount()) {
    std::vector<uint8_t> blank(recordLength_ + 1, ' ');
    EmptyRecord(blank.data());
    blank[recordLength_] = dbf::kEndMarker;
    uint8_t header[dbf::kHeaderSize];
    std::memcpy(header, header_, sizeof header);
    if (file_->WriteAt(RecordOffset(count_ + 1), blank.data(), blank.size())) {
      ++count_;
      dbf::Put32(&header_[dbf::kRecordCount], count_);
      StampDate();
      if (WriteDateAndCount()) {
        result = true;
        headerDirty_ = false;
        DropPending();
        recNo_ = count_;
        std::copy(blank.begin(), blank.end() - 1, record_.begin());
        loaded_ = true;
      } else {
        --count_;
        std::memcpy(header_, header, sizeof header);
      }
    }
  }
  if (tookLock) Unlock();
  return result;
}

void Table::EmptyRecord(uint8_t* record) const {
  for (const Field& f : fields_)
    std::memset(record + f.Offset(), dbf::IsBinaryType(f.Type(), f.Width()) ? 0 : ' ', f.Width());
}

void Table::Blank() {
  std::vector<uint8_t> empty(recordLength_, ' ');
  EmptyRecord(empty.data());
  for (unsigned part = 1; part <= fields_.size(); ++part) Store(part, &empty[PartOffset(part)]);
}

void Table::Delete() {
  const uint8_t flag = dbf::kDeletedFlag;
  Store(0, &flag);
}

void Table::Recall() {
  const uint8_t flag = dbf::kLiveFlag;
  Store(0, &flag);
}

}  // namespace xb
