#include "lib/CCommPort.h"

#include <cstring>

namespace {

const DWORD kOpenFlags = FILE_FLAG_OVERLAPPED | FILE_ATTRIBUTE_NORMAL;  // 0x40000080

// Copies text into field when it fits, else leaves field empty.
void CopyName(char (&field)[40], const char* prefix, const char* name) {
  size_t p = std::strlen(prefix), n = std::strlen(name);
  field[0] = '\0';
  if (p + n >= sizeof field) return;
  std::memcpy(field, prefix, p);
  std::memcpy(field + p, name, n + 1);
}

}  // namespace

CCommPort::CCommPort(const char* name) { Init(name); }

CCommPort::CCommPort(const char* name, int baud, char parityLetter, int dataBits, int stopCount) {
  Init(name);
  parity = NOPARITY;
  stopBits = ONESTOPBIT;
  SetCommParms(baud, parityLetter, dataBits, stopCount);
}

CCommPort::CCommPort(const char* name, char* mode) {
  Init(name);
  SetCommParms(mode);
}

CCommPort::CCommPort(const CCommPort& other) {
  Init(nullptr);
  *this = other;
}

CCommPort::~CCommPort() {
  Close();
  CloseHandle(readEvent);
  CloseHandle(writeEvent);
}

CCommPort& CCommPort::operator=(const CCommPort& other) {
  if (this == &other) return *this;
  Close();
  std::memcpy(deviceName, other.deviceName, sizeof deviceName);
  baudRate = other.baudRate;
  byteSize = other.byteSize;
  parity = other.parity;
  stopBits = other.stopBits;
  return *this;
}

void CCommPort::Init(const char* name) {
  SetName(name);
  baudRate = byteSize = parity = stopBits = 0;
  handle = nullptr;
  std::memset(&readOverlapped, 0, sizeof readOverlapped);
  std::memset(&writeOverlapped, 0, sizeof writeOverlapped);
  readEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  writeEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  readOverlapped.hEvent = readEvent;
  writeOverlapped.hEvent = writeEvent;
}

void CCommPort::SetName(const char* name) {
  deviceName[0] = '\0';
  if (!name) return;
  CopyName(deviceName, _strnicmp(name, "com", 3) == 0 ? "" : "\\\\?\\", name);
}

int CCommPort::Open(int) {
  // A second open of the same device would fail (no sharing) and lose the
  // first handle; close it instead.
  Close();
  HANDLE h = CreateFileA(deviceName, GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, kOpenFlags, nullptr);
  if (h == INVALID_HANDLE_VALUE) return 0;
  handle = h;
  SetCommParms();
  SetTimeOut(500);
  FlushBuffers();
  return 1;
}

int CCommPort::Close() {
  if (!handle) return 1;
  SetEvent(readEvent);
  SetEvent(writeEvent);
  Sleep(10);
  PurgeComm(handle, PURGE_TXABORT | PURGE_RXABORT);
  BOOL closed = CloseHandle(handle);
  handle = nullptr;
  return closed;
}

void CCommPort::SetCommParms(int baud, char parityLetter, int dataBits, int stopCount) {
  baudRate = baud;
  byteSize = dataBits;
  const char* letters = "NOEMS";
  const char* at = parityLetter ? std::strchr(letters, parityLetter) : nullptr;
  if (at) parity = int(at - letters);
  if (stopCount == 1) stopBits = ONESTOPBIT;
  if (stopCount == 2) stopBits = TWOSTOPBITS;
  SetCommParms();
}

void CCommPort::SetCommParms(char* mode) {
  DCB dcb = {};
  dcb.DCBlength = sizeof dcb;
  if (!mode || !BuildCommDCBA(mode, &dcb)) return;
  baudRate = int(dcb.BaudRate);
  byteSize = dcb.ByteSize;
  parity = dcb.Parity;
  stopBits = dcb.StopBits;
  SetCommParms();
}

void CCommPort::SetCommParms() {
  if (!handle || baudRate == 0) return;
  DCB dcb = {};
  dcb.DCBlength = sizeof dcb;
  GetCommState(handle, &dcb);
  dcb.BaudRate = DWORD(baudRate);
  dcb.ByteSize = BYTE(byteSize);
  dcb.Parity = BYTE(parity);
  dcb.StopBits = BYTE(stopBits);
  dcb.fAbortOnError = FALSE;
  SetCommState(handle, &dcb);
}

int CCommPort::Transfer(bool write, void* buffer, int count) {
  if (!handle || count < 0) return -1;
  OVERLAPPED* ov = write ? &writeOverlapped : &readOverlapped;
  DWORD done = 0;
  BOOL ok = write ? WriteFile(handle, buffer, DWORD(count), &done, ov)
                  : ReadFile(handle, buffer, DWORD(count), &done, ov);
  if (ok) return int(done);
  if (GetLastError() != ERROR_IO_PENDING) return -1;
  BOOL finished = GetOverlappedResult(handle, ov, &done, TRUE);
  // A read that ends on its total time-out may be reported as failing with
  // ERROR_TIMEOUT; it is the short count the time-outs promise.
  if (!finished && !write && GetLastError() == ERROR_TIMEOUT) finished = TRUE;
  ResetEvent(write ? writeEvent : readEvent);
  return finished ? int(done) : -1;
}

int CCommPort::Read(char* buffer, int count, int) { return Transfer(false, buffer, count); }

int CCommPort::Read(unsigned char* buffer, int count, int unused) {
  return Read(reinterpret_cast<char*>(buffer), count, unused);
}

int CCommPort::Write(char* buffer, int count, int) { return Transfer(true, buffer, count); }

int CCommPort::Write(unsigned char* buffer, int count, int unused) {
  return Write(reinterpret_cast<char*>(buffer), count, unused);
}

int CCommPort::WriteString(char* text, int unused) { return Write(text, int(std::strlen(text)), unused); }

void CCommPort::SetTimeOut(int timeout) {
  if (!handle) return;
  COMMTIMEOUTS t = {};
  GetCommTimeouts(handle, &t);
  t.ReadIntervalTimeout = t.ReadTotalTimeoutMultiplier = t.ReadTotalTimeoutConstant = DWORD(timeout * 10);
  SetCommTimeouts(handle, &t);
}

void CCommPort::FlushBuffers() {
  if (handle) PurgeComm(handle, PURGE_TXCLEAR | PURGE_RXCLEAR);
}
