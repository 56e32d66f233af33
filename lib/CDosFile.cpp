#include "lib/CDosFile.h"

#include <windows.h>

#include <cstdlib>
#include <cstring>

CDosFile::CDosFile(const char* name) : fileName(name ? _strdup(name) : nullptr), handle(0) {}

CDosFile::CDosFile(const CDosFile& other)
    : fileName(other.fileName ? _strdup(other.fileName) : nullptr), handle(0) {}

CDosFile::~CDosFile() {
  if (handle) Close();
  std::free(fileName);
}

CDosFile& CDosFile::operator=(const CDosFile& other) {
  if (this == &other) return *this;
  if (handle) Close();
  char* copy = other.fileName ? _strdup(other.fileName) : nullptr;
  std::free(fileName);
  fileName = copy;
  return *this;
}

int CDosFile::Create(unsigned long mode) {
  if (!fileName) return 0;
  if (handle) Close();
  HFILE created = _lcreat(fileName, 0);
  if (created == HFILE_ERROR) {
    handle = 0;
    return 0;
  }
  _lclose(created);  // the creating handle is never used for data
  return Open(mode);
}

int CDosFile::Open(unsigned long mode) {
  if (!fileName) return 0;
  if (handle) Close();
  HFILE opened = _lopen(fileName, int(mode));
  handle = opened == HFILE_ERROR ? 0 : opened;
  return handle ? 1 : 0;
}

int CDosFile::Close() {
  if (!handle) return 0;
  HFILE closing = handle;
  handle = 0;
  return _lclose(closing) == 0 ? 1 : 0;
}

int CDosFile::Seek(unsigned long offset) {
  if (!handle) return 0;
  return _llseek(handle, LONG(offset), 0) == HFILE_ERROR ? 0 : 1;
}

int CDosFile::SeekEof() {
  if (!handle) return 0;
  return _llseek(handle, 0, 2) == HFILE_ERROR ? 0 : 1;
}

long CDosFile::GetPos() {
  if (!handle) return -1;
  LONG pos = _llseek(handle, 0, 1);
  return pos == HFILE_ERROR ? -1 : pos;
}

int CDosFile::Read(void* buffer, unsigned long count, unsigned long* done) {
  if (!handle) return 0;
  long got = _hread(handle, buffer, long(count));
  *done = got == HFILE_ERROR ? 0 : (unsigned long)got;
  return got == HFILE_ERROR ? 0 : 1;
}

int CDosFile::Read(void* buffer, unsigned long count) {
  unsigned long done = 0;
  return Read(buffer, count, &done);
}

int CDosFile::Write(void* buffer, unsigned long count, unsigned long* done) {
  if (!handle) return 0;
  // The platform takes a write of 0 bytes as "end the file here".
  if (count == 0) {
    *done = 0;
    return 1;
  }
  long put = _hwrite(handle, static_cast<LPCCH>(buffer), long(count));
  *done = put == HFILE_ERROR ? 0 : (unsigned long)put;
  return put == HFILE_ERROR ? 0 : 1;
}

int CDosFile::Write(void* buffer, unsigned long count) {
  unsigned long done = 0;
  return Write(buffer, count, &done);
}

int CDosFile::ReadLine(void* buffer, unsigned long size) {
  if (!handle || size == 0) return 0;
  long start = GetPos();
  char* text = static_cast<char*>(buffer);
  unsigned long n = 0;
  if (!Read(text, size - 1, &n)) return 0;
  unsigned long consumed = n;
  text[n] = '\0';
  for (unsigned long i = 0; i + 1 < n; ++i) {
    if (text[i] == '\r' && text[i + 1] == '\n') {
      text[i] = '\0';
      consumed = i + 2;
      break;
    }
  }
  Seek((unsigned long)start + consumed);
  return 1;
}
