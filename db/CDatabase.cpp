#include "db/CDatabase.h"

#include <cstdlib>
#include <cstring>
#include <new>
#include <string>
#include <vector>

#include "db/EngineContext.h"
#include "messages/ShowError.h"
#include "engine/field.h"
#include "engine/table.h"

xb::Context engineContext;

namespace {

bool engineReady = false;
const char kCaption[] = "Error";
char noName[] = "";

// Words of the engine context set once per process, as (byte offset, value):
// the settings the table class has always given the engine before its first
// table (the word at 116 on, the others cleared). This engine reads none of
// them; they are kept so that the context holds what callers of the class
// may look at, and Init leaves the file layer where a caller put it.
const struct {
  unsigned offset;
  int value;
} kContextSettings[] = {{116, 1}, {108, 0}, {112, 0}, {120, 0}, {128, 0}, {132, 0},
                        {136, 0}, {140, 0}, {148, 0}, {152, 0}, {164, 0}, {168, 0}};

void TrimRight(char* text) {
  for (size_t n = std::strlen(text); n > 0 && text[n - 1] == ' '; --n) text[n - 1] = '\0';
}

}  // namespace

CDatabase::CDatabase() : table(nullptr), order(nullptr), fieldCount(0), fields(nullptr), flush(0) {
  if (engineReady) return;
  engineContext.Init();
  for (const auto& s : kContextSettings) engineContext.SetSetting(s.offset, s.value);
  engineReady = true;
}

CDatabase::~CDatabase() {}

CDatabase::CDatabase(const CDatabase& other)
    : table(other.table),
      order(other.order),
      fieldCount(other.fieldCount),
      fields(other.fields),
      flush(other.flush) {}

CDatabase& CDatabase::operator=(const CDatabase& other) {
  table = other.table;
  order = other.order;
  fieldCount = other.fieldCount;
  fields = other.fields;
  flush = other.flush;
  return *this;
}

int CDatabase::Open(char* path) { return OpenThrough(nullptr, path); }

namespace {
thread_local std::string openFailure;
}  // namespace

const char* CDatabase::OpenFailure() { return openFailure.c_str(); }

int CDatabase::OpenThrough(xb::FileSystem* files, char* path) {
  if (table) Close();
  table = xb::Table::Open(files ? files : engineContext.fileSystem(), path, &openFailure).release();
  if (!table) return 0;
  if (!GetFieldsAddrs()) {
    Close();
    return 0;
  }
  order = table->DefaultOrder();
  table->SelectOrder(order);
  flush = 1;
  return 1;
}

int CDatabase::Create(char* path, FIELD4INFO* definitions) {
  if (table) Close();
  xb::FileSystem* fs = engineContext.fileSystem();
  fs->Remove(path);
  table = xb::Table::Create(engineContext, path, definitions).release();
  if (!table) {
    ShowError("CDatabase::Create", kCaption);
    return 0;
  }
  return Open(path);
}

int CDatabase::Close() {
  if (fields) {
    for (unsigned int i = 0; i < fieldCount; ++i) delete[] fields[i].buffer;
    delete[] fields;
    fields = nullptr;
  }
  if (table) {
    if (!table->Close()) Warn("CDatabase::Close", 0, nullptr);
    delete table;
  }
  table = nullptr;
  return 1;
}

int CDatabase::GetFieldsAddrs() {
  if (fields) return 0;
  fieldCount = table->FieldCount();
  fields = new (std::nothrow) FieldAddr[fieldCount];
  if (!fields) return 0;
  for (unsigned int n = 1; n <= fieldCount; ++n) {
    FieldAddr& entry = fields[n - 1];
    entry.field = table->FieldAt(int(n));
    entry.length = entry.field->Width();
    entry.buffer = new (std::nothrow) char[entry.length + 1];
    if (!entry.buffer) {
      // Close releases what was built; the entries after this one are unset.
      fieldCount = n - 1;
      return 0;
    }
  }
  return 1;
}

FieldAddr* CDatabase::Lookup(const char* name) {
  if (!table || !fields) return nullptr;
  int number = table->FieldNumber(name);
  if (number < 1 || unsigned(number) > fieldCount) return nullptr;
  return &fields[number - 1];
}

void CDatabase::Warn(const char* box, unsigned int record, const char* field) {
  if (!table) return ShowError(box, kCaption);
  std::string reason = xb::LastFileError();
  ShowErrorAt(box, kCaption, ErrorPlace{table->Path().c_str(), record, field, reason.c_str()});
}

void CDatabase::Commit(const char* box, const char* field) {
  if (flush && (!table || !table->Flush())) Warn(box, table ? table->RecNo() : 0, field);
  if (table) table->Unlock();
}

void CDatabase::Top() {
  if (!table || !table->Top()) ShowError("CDatabase::Top", kCaption);
}

void CDatabase::Bottom() {
  if (!table || !table->Bottom()) ShowError("CDatabase::Bottom", kCaption);
}

void CDatabase::Go(unsigned int record) { Position(record); }

int CDatabase::Position(unsigned int record) {
  if (table && table->Go(record)) return 1;
  Warn("CDatabase::Go", record, nullptr);
  return 0;
}

int CDatabase::PositionToWrite(unsigned int record) {
  if (table && table->GoToWrite(record)) return 1;
  Warn("CDatabase::Go", record, nullptr);
  return 0;
}

unsigned int CDatabase::Skip(int count) {
  if (table) table->Skip(count);  // the skip's own result is not looked at
  return RecNo();
}

unsigned int CDatabase::RecNo() { return table ? table->RecNo() : 0; }

unsigned int CDatabase::RecCount() { return table ? table->RecCount() : 0; }

void CDatabase::Lock() {
  if (table) table->Lock();
}

void CDatabase::Unlock() {
  if (table) table->Unlock();
}

void CDatabase::SetFlush(int on) { flush = on; }

void CDatabase::Flush() {
  if (!table || !table->Flush()) ShowError("CDatabase::Flush", kCaption);
  if (table) table->Unlock();
}

int CDatabase::IsField(char* name) { return Lookup(name) ? 1 : 0; }

unsigned int CDatabase::Find(char* name, int key) {
  if (!Lookup(name) || RecCount() == 0) return 0;
  for (;;) {
    int value = 0;
    Read(name, &value);
    if (value == key && table->OnReadRecord()) return RecNo();
    unsigned int here = RecNo();
    if (Skip(1) == here) return 0;
  }
}

unsigned int CDatabase::Find(char* name, const char* key) {
  if (!Lookup(name) || RecCount() == 0) return 0;
  char* work = new (std::nothrow) char[FieldLength(name) + 1];
  if (!work) return 0;
  unsigned int found = 0;
  for (;;) {
    Read(name, work);
    if (std::strcmp(work, key) == 0 && table->OnReadRecord()) {
      found = RecNo();
      break;
    }
    unsigned int here = RecNo();
    if (Skip(1) == here) break;
  }
  delete[] work;
  return found;
}

int CDatabase::Read(char* name, int* value) {
  FieldAddr* entry = Lookup(name);
  if (!entry) return 0;
  *value = entry->field->AsInt();
  return 1;
}

int CDatabase::Read(char* name, char* text) {
  FieldAddr* entry = Lookup(name);
  if (!entry) return 0;
  ReadEntry(*entry, text);
  return 1;
}

void CDatabase::ReadEntry(FieldAddr& entry, char* text) {
  entry.field->CopyText(entry.buffer, entry.length + 1);
  TrimRight(entry.buffer);
  std::memmove(text, entry.buffer, std::strlen(entry.buffer) + 1);  // text may be the buffer itself
}

int CDatabase::Replace(char* name, int value) {
  FieldAddr* entry = Lookup(name);
  if (!entry) return 0;
  ReplaceEntry(*entry, value);
  return 1;
}

int CDatabase::Replace(char* name, char* text) {
  FieldAddr* entry = Lookup(name);
  if (!entry) return 0;
  ReplaceEntry(*entry, text);
  return 1;
}

void CDatabase::ReplaceEntry(FieldAddr& entry, int value) {
  entry.field->AssignDouble(double(value));
  Commit("CDatabase::Replace", entry.field->Name());
}

void CDatabase::ReplaceEntry(FieldAddr& entry, const char* text) {
  entry.field->AssignText(text);
  Commit("CDatabase::Replace", entry.field->Name());
}

int32_t CDatabase::AtoiRule(const char* text) { return xb::AtoiRule(text, text + std::strlen(text)); }

int32_t CDatabase::EntryNumber(const FieldAddr& entry) { return entry.field->AsInt(); }

bool CDatabase::SameBytes(const FieldAddr& a, const FieldAddr& b) { return a.field->SameBytes(*b.field); }

bool CDatabase::OnReadRecord() const { return table && table->OnReadRecord(); }

int CDatabase::HoldChanges() {
  int was = flush;
  flush = 0;
  return was;
}

void CDatabase::WriteChanges(const char* box, int flushAfter) {
  flush = flushAfter;
  if (!table) return;
  std::vector<unsigned> failed;  // takes room only when a write fails
  if (!table->FlushEach(&failed)) {
    if (failed.empty()) Warn(box, table->RecNo(), nullptr);
    for (unsigned n : failed) Warn(box, table->RecNo(), table->FieldAt(int(n))->Name());
  }
  table->Unlock();
}

void CDatabase::ObserveWrites(xb::WriteObserver* observer) {
  if (table) table->SetObserver(observer);
}

int CDatabase::Append() {
  bool added = table && table->Append();
  if (table) table->Unlock();
  return added ? 1 : 0;
}

void CDatabase::Blank() {
  if (table) table->Blank();
  Commit("CDatabase::Blank");
}

void CDatabase::Delete() {
  if (table) table->Delete();
  Commit("CDatabase::Delete");
}

void CDatabase::Recall() {
  if (table) table->Recall();
  Commit("CDatabase::Recall");
}

void CDatabase::Pack() {
  if (!table) return;
  table->Pack();
  table->Unlock();
}

void CDatabase::CopyRecord(unsigned int from, unsigned int to) {
  Go(from);
  // A record that could not be read has nothing to give: its blanks would
  // wipe record to. (An invalid number leaves the table on a record it
  // read, and the copy goes on from there.)
  bool readable = table && table->OnReadRecord();
  for (unsigned int i = 0; readable && fields && i < fieldCount; ++i)
    fields[i].field->CopyText(fields[i].buffer, fields[i].length + 1);
  Go(to);
  for (unsigned int i = 0; readable && fields && i < fieldCount; ++i) fields[i].field->AssignText(fields[i].buffer);
  Commit("CDatabase::CopyRecord");
}

char* CDatabase::Fieldname(unsigned int number) {
  if (!table || number < 1 || number > table->FieldCount()) return noName;
  return const_cast<char*>(table->FieldAt(int(number))->Name());
}

unsigned int CDatabase::FieldLength(char* name) {
  FieldAddr* entry = Lookup(name);
  return entry ? entry->length : 0;
}
