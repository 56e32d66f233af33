#include "lib/CNamedPipe.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "lib/FlushWatch.h"
#include "lib/ServiceStop.h"

namespace {

const DWORD kBufferSize = 4096;
const DWORD kDefaultTimeout = 1000;
const DWORD kWritePauseMs = 1;
// Retries of a write to a full polled pipe that only yield, before the
// pauses.
const int kWriteYields = 50;
// A reader that takes nothing of a reply for this long has left it.
const DWORD kReaderPatienceMs = 5000;
// A waiting client looks for a free instance this often: a disconnected
// instance that listens again does not wake every platform's wait.
const DWORD kClientWaitSliceMs = 50;
// How long a waiting client waits while the name has no instance at all
// (a server thread between two instances, or not yet started).
const DWORD kAbsentPatienceMs = 2000;
// The drains stop here and leave the rest in the pipe, so that a peer that
// never ends its message cannot grow the buffer without limit.
const int kMaxBuffered = 4 * CNamedPipe::kMaxMessage;

// ERROR_HANDLES_CLOSED, which not every header names: an open met an
// instance as it closed.
const DWORD kErrorHandlesClosed = 676;

// Open errors that mean the name has no instance for the moment.
bool NameAbsent(DWORD error) {
  return error == ERROR_FILE_NOT_FOUND || error == kErrorHandlesClosed || error == ERROR_BAD_PIPE;
}

// A wait for the reader ends: it has taken nothing for kReaderPatienceMs
// after the tick count since, or the calling thread's service is stopping.
bool ReaderGaveUp(DWORD since) { return ServiceStop::Requested() || GetTickCount() - since >= kReaderPatienceMs; }

// Copies name into a 40-byte field when it fits (39 characters at most).
bool CopyName(char (&field)[40], const char* name) {
  size_t n = std::strlen(name);
  if (n >= sizeof field) return false;
  std::memcpy(field, name, n + 1);
  return true;
}

}  // namespace

CNamedPipe::CNamedPipe()
    : role(0), state(0), connectCount(0), isPublic(0), handle(nullptr), rxLength(0), rxBuffer(nullptr),
      readEvent(nullptr), secondEvent(nullptr) {
  serverName[0] = pipeName[0] = '\0';
  std::memset(&readOverlapped, 0, sizeof readOverlapped);
  std::memset(&secondOverlapped, 0, sizeof secondOverlapped);
}

CNamedPipe::CNamedPipe(const CNamedPipe& other) : CNamedPipe() { *this = other; }

CNamedPipe::~CNamedPipe() {
  std::free(rxBuffer);
  if (handle) CloseHandle(handle);
  ReleaseEvents();
}

CNamedPipe& CNamedPipe::operator=(const CNamedPipe& other) {
  if (this == &other) return *this;
  if (handle) CloseInstance();
  std::memcpy(serverName, other.serverName, sizeof serverName);
  std::memcpy(pipeName, other.pipeName, sizeof pipeName);
  role = other.role;
  isPublic = other.isPublic;
  state = 0;
  rxLength = 0;
  if (role != 0 && !readEvent) MakeEvents();
  return *this;
}

void CNamedPipe::MakeEvents() {
  ReleaseEvents();
  readEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  secondEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  readOverlapped.hEvent = readEvent;
  secondOverlapped.hEvent = secondEvent;
}

void CNamedPipe::ReleaseEvents() {
  if (readEvent) CloseHandle(readEvent);
  if (secondEvent) CloseHandle(secondEvent);
  readEvent = secondEvent = nullptr;
  readOverlapped.hEvent = secondOverlapped.hEvent = nullptr;
}

bool CNamedPipe::UsableName(const char* name) {
  return name && *name && std::strlen(name) < sizeof pipeName && !std::strchr(name, '\\');
}

int CNamedPipe::InitServer(const char* name) {
  if (!UsableName(name)) return 0;
  CopyName(pipeName, name);
  role = 1;
  MakeEvents();
  return 1;
}

int CNamedPipe::InitClient(const char* server, const char* name) {
  if (!UsableName(name)) return 0;
  if (server && std::strlen(server) >= sizeof serverName) return 0;
  if (server) CopyName(serverName, server);
  CopyName(pipeName, name);
  role = 2;
  MakeEvents();
  return 1;
}

void CNamedPipe::SetPublic() { isPublic = 1; }

void CNamedPipe::Path(char (&path)[128]) const {
  if (role == 2 && serverName[0])
    std::snprintf(path, sizeof path, "\\\\%s\\PIPE\\%s", serverName, pipeName);
  else
    std::snprintf(path, sizeof path, "\\\\.\\PIPE\\%s", pipeName);
}

int CNamedPipe::Connected() {
  state = 2;
  ++connectCount;
  return 1;
}

HANDLE CNamedPipe::CreateInstance(int maxInstances, bool overlapped) {
  char path[128];
  Path(path);
  SECURITY_ATTRIBUTES sa = {sizeof sa, nullptr, TRUE};
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  if (isPublic && !overlapped) {
    descriptor = LocalAlloc(LMEM_ZEROINIT, SECURITY_DESCRIPTOR_MIN_LENGTH);
    InitializeSecurityDescriptor(descriptor, SECURITY_DESCRIPTOR_REVISION);
    SetSecurityDescriptorDacl(descriptor, TRUE, nullptr, FALSE);
    sa.lpSecurityDescriptor = descriptor;
  }
  DWORD openMode = PIPE_ACCESS_DUPLEX | (overlapped ? FILE_FLAG_OVERLAPPED : 0);
  DWORD pipeMode = PIPE_TYPE_BYTE | PIPE_READMODE_BYTE | (overlapped ? PIPE_WAIT : PIPE_NOWAIT);
  HANDLE h = CreateNamedPipeA(path, openMode, pipeMode, DWORD(maxInstances), kBufferSize, kBufferSize,
                              kDefaultTimeout, descriptor ? &sa : nullptr);
  // The pipe keeps its own copy of the security; the descriptor is ours.
  if (descriptor) LocalFree(descriptor);
  return h == INVALID_HANDLE_VALUE ? nullptr : h;
}

int CNamedPipe::Connect(int maxInstances, int wait) {
  if (role == 1) return ConnectServerPolled(maxInstances, wait);
  if (role == 2) return ConnectClientPolled(wait);
  return 0;
}

// True when the instance held was made by the polled connect: only that
// form leaves it in non-blocking mode.
bool CNamedPipe::PolledInstance() const {
  DWORD mode = 0;
  return GetNamedPipeHandleState(handle, &mode, nullptr, nullptr, nullptr, nullptr, 0) && (mode & PIPE_NOWAIT);
}

int CNamedPipe::ConnectServerPolled(int maxInstances, int wait) {
  if (state == 0) {
    if (handle && !PolledInstance()) CloseInstance();
    if (!handle) handle = CreateInstance(maxInstances, false);
    if (!handle) return 0;
    state = 1;
  }
  if (wait) {
    DWORD mode = PIPE_WAIT;
    SetNamedPipeHandleState(handle, &mode, nullptr, nullptr);
    ConnectNamedPipe(handle, nullptr);
    mode = PIPE_NOWAIT;
    SetNamedPipeHandleState(handle, &mode, nullptr, nullptr);
    return Connected();
  }
  if (ConnectNamedPipe(handle, nullptr)) return Connected();
  // ERROR_NO_DATA: a client came and left between two polls. What it sent
  // is still in the pipe, so it is a connection like any other, whose
  // client has gone.
  DWORD error = GetLastError();
  if (error == ERROR_PIPE_CONNECTED || error == ERROR_NO_DATA) return Connected();
  return 0;
}

HANDLE CNamedPipe::OpenClient(bool overlapped) {
  char path[128];
  Path(path);
  HANDLE h = CreateFileA(path, GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                         overlapped ? FILE_FLAG_OVERLAPPED : 0, nullptr);
  return h == INVALID_HANDLE_VALUE ? nullptr : h;
}

int CNamedPipe::ConnectClientPolled(int wait) {
  if (handle) Disconnect();
  handle = OpenClient(false);
  if (!handle) {
    state = 0;  // 1 once it waits, and after a wait that failed
    if (!wait || !WaitForInstance(false, INFINITE)) return 0;
  }
  DWORD mode = PIPE_READMODE_BYTE | PIPE_NOWAIT;
  SetNamedPipeHandleState(handle, &mode, nullptr, nullptr);
  return Connected();
}

int CNamedPipe::Connect(int maxInstances, char*, int timeout) {
  if (role == 1) return ConnectServerOverlapped(maxInstances, timeout);
  if (role == 2) return ConnectClientOverlapped(timeout);
  return 0;
}

int CNamedPipe::ConnectServerOverlapped(int maxInstances, int timeout) {
  if (state == 0) {
    if (handle && PolledInstance()) CloseInstance();
    if (!handle) handle = CreateInstance(maxInstances, true);
    if (!handle) return 0;
    state = 1;
  }
  // Without limit (-1) the connect still goes through the overlapped
  // record: on an overlapped handle only that form is sure to wait.
  if (ConnectNamedPipe(handle, &readOverlapped)) return Connected();
  DWORD error = GetLastError();
  if (error == ERROR_PIPE_CONNECTED) return Connected();
  DWORD wait = timeout == -1 ? INFINITE : DWORD(timeout) * 100;
  if (error == ERROR_IO_PENDING && WaitForSingleObject(readEvent, wait) == WAIT_OBJECT_0) return Connected();
  if (timeout == -1) return Connected();
  // The connect still pending on it goes with the instance.
  CloseInstance();
  return 0;
}

int CNamedPipe::ConnectClientOverlapped(int timeout) {
  if (handle) Disconnect();
  handle = OpenClient(true);
  if (handle) return Connected();
  if (timeout == 0) return Disconnect(), 0;
  if (WaitForInstance(true, timeout < 0 ? INFINITE : DWORD(timeout) * 100)) return Connected();
  return Disconnect(), 0;
}

// After a first open that failed: waits in short slices for an instance
// to open, while every instance is busy (up to limitMs, INFINITE for
// none) and while the name has no instance at all (up to
// kAbsentPatienceMs of one such stretch). Any other error ends the wait.
// state is 1 while waiting; on success the handle is open.
bool CNamedPipe::WaitForInstance(bool overlapped, DWORD limitMs) {
  DWORD error = GetLastError();
  char path[128];
  Path(path);
  DWORD start = GetTickCount();
  DWORD absentSince = NameAbsent(error) ? start : 0;
  for (;;) {
    if (error == ERROR_PIPE_BUSY) {
      absentSince = 0;
    } else if (!NameAbsent(error) || GetTickCount() - absentSince >= kAbsentPatienceMs) {
      return false;
    }
    if (limitMs != INFINITE && GetTickCount() - start >= limitMs) return false;
    state = 1;
    if (!WaitNamedPipeA(path, kClientWaitSliceMs) && NameAbsent(GetLastError())) Sleep(kClientWaitSliceMs);
    handle = OpenClient(overlapped);
    if (handle) return true;
    error = GetLastError();
    if (NameAbsent(error) && absentSince == 0) absentSince = GetTickCount();
  }
}

int CNamedPipe::Disconnect() {
  if (role == 0) return 0;
  if (role == 1) {
    // The instance stays, so that the name never lacks one; the next
    // Connect listens on it again. What the client sent and nobody took
    // goes with the client.
    if (handle) DisconnectNamedPipe(handle);
    rxLength = 0;
  } else if (handle) {
    CloseHandle(handle);
    handle = nullptr;
  }
  state = 0;
  return 1;
}

void CNamedPipe::CloseInstance() {
  Disconnect();
  if (handle) CloseHandle(handle);
  handle = nullptr;
}

int CNamedPipe::IsConnected() {
  if (state != 2) return 0;
  return PeekNamedPipe(handle, nullptr, 0, nullptr, nullptr, nullptr);
}

char* CNamedPipe::Room(int count) {
  char* grown = static_cast<char*>(std::realloc(rxBuffer, size_t(rxLength) + size_t(count)));
  if (!grown) return nullptr;  // out of memory: nothing is read, nothing overrun
  rxBuffer = grown;
  return rxBuffer + rxLength;
}

int CNamedPipe::TestChar(char c) {
  // An overlapped handle blocks on an empty pipe: drain it the overlapped
  // way, which reads only what has arrived.
  DWORD mode = 0;
  if (handle && GetNamedPipeHandleState(handle, &mode, nullptr, nullptr, nullptr, nullptr, 0) &&
      !(mode & PIPE_NOWAIT))
    return TestCharOvl(c);
  // A non-blocking read takes what has arrived, at most what is asked: one
  // that brings less has emptied the pipe.
  while (handle && RoomToBuffer()) {
    int want = RoomLeft(int(kBufferSize));
    char* into = Room(want);
    DWORD count = 0;
    if (!into || !ReadFile(handle, into, DWORD(want), &count, nullptr)) count = 0;
    rxLength += int(count);
    if (count < DWORD(want)) break;
  }
  return rxLength > 0 && std::memchr(rxBuffer, c, size_t(rxLength)) ? 1 : 0;
}

int CNamedPipe::TestCharOvl(char c) {
  DWORD available = 0;
  if (!PeekNamedPipe(handle, nullptr, 0, nullptr, &available, nullptr)) return 0;
  while (available != 0 && RoomToBuffer()) {
    readOverlapped.Offset = readOverlapped.OffsetHigh = 0;
    int want = RoomLeft(int(available));
    char* into = Room(want);
    if (!into) break;
    DWORD count = 0;
    if (!ReadFile(handle, into, DWORD(want), &count, &readOverlapped)) {
      if (GetLastError() == ERROR_IO_PENDING) {
        GetOverlappedResult(handle, &readOverlapped, &count, TRUE);
        ResetEvent(readEvent);
      } else {
        count = 0;
      }
    }
    if (count == 0) break;
    rxLength += int(count);
    if (!PeekNamedPipe(handle, nullptr, 0, nullptr, &available, nullptr)) return 0;
  }
  return rxLength > 0 && std::memchr(rxBuffer, c, size_t(rxLength)) ? 1 : 0;
}

int CNamedPipe::ReadChar(char* out) {
  if (!handle) return 0;
  TestChar(0);
  if (rxLength == 0) return 0;
  *out = rxBuffer[0];
  std::memmove(rxBuffer, rxBuffer + 1, size_t(rxLength - 1));
  --rxLength;
  return 1;
}

bool CNamedPipe::RoomToBuffer() const { return rxLength < kMaxBuffered; }

int CNamedPipe::RoomLeft(int atMost) const { return kMaxBuffered - rxLength < atMost ? kMaxBuffered - rxLength : atMost; }

bool CNamedPipe::HasMessage() const {
  size_t look = rxLength < kMaxMessage ? size_t(rxLength) : size_t(kMaxMessage);
  return rxBuffer && std::memchr(rxBuffer, 0, look) != nullptr;
}

int CNamedPipe::TakeMessage(char* destination) {
  if (!HasMessage()) {
    if (rxLength >= kMaxMessage) {
      // Longer than any destination may be: refused with its connection.
      rxLength = 0;
      Disconnect();
    }
    return 0;
  }
  int length = int(static_cast<const char*>(std::memchr(rxBuffer, 0, size_t(rxLength))) - rxBuffer) + 1;
  std::memcpy(destination, rxBuffer, size_t(length));
  std::memmove(rxBuffer, rxBuffer + length, size_t(rxLength - length));
  rxLength -= length;
  return 1;
}

bool CNamedPipe::ReadyToTake() const { return HasMessage() || rxLength >= kMaxMessage; }

int CNamedPipe::ReadString(char* destination, int wait) {
  if (!handle) return 0;
  for (;;) {
    if (!ReadyToTake()) TestChar(0);
    if (ReadyToTake()) return TakeMessage(destination);
    if (!wait || NoMessageCanCome()) return 0;
    Sleep(1000);
  }
}

int CNamedPipe::ReadString(char* destination, char*, int timeout) {
  if (!handle) return 0;
  for (int attempt = 0;; ++attempt) {
    if (!ReadyToTake()) TestCharOvl(0);
    if (ReadyToTake()) return TakeMessage(destination);
    if (timeout >= 0 && attempt >= timeout) return 0;
    if (timeout < 0 && NoMessageCanCome()) return 0;
    Sleep(100);
  }
}

// The other end has gone (after what it sent was drained), or this
// thread's service is stopping.
bool CNamedPipe::NoMessageCanCome() { return !handle || !IsConnected() || ServiceStop::Requested(); }

int CNamedPipe::Send(const void* data, unsigned long length, bool flushOnServer) {
  // A write to an end whose peer has gone fails and sends nothing, as the
  // connection check would: only a write of nothing asks first.
  if (!handle || state != 2 || (length == 0 && !IsConnected())) return 0;
  const char* bytes = static_cast<const char*>(data);
  DWORD lastProgress = GetTickCount();
  int fullTries = 0;
  for (unsigned long sent = 0; sent < length;) {
    // A polled pipe may take a write only whole, so none is larger than the
    // pipe's buffer.
    unsigned long piece = length - sent < kBufferSize ? length - sent : kBufferSize;
    DWORD written = 0;
    if (!WriteOnce(bytes + sent, piece, &written)) return 0;
    sent += written;
    if (written != 0) {
      lastProgress = GetTickCount();
      fullTries = 0;
      continue;
    }
    // A polled pipe whose buffer is full takes nothing until the other end
    // reads: a reader at work takes it within a few yields, a slower one
    // is waited for a pause at a time. A reader that takes nothing for
    // long, or a stop, ends it.
    if (ReaderGaveUp(lastProgress)) return 0;
    if (++fullTries < kWriteYields) {
      Sleep(0);
      continue;
    }
    if (!IsConnected()) return 0;
    Sleep(kWritePauseMs);
  }
  if (flushOnServer && role == 1) return BoundedFlush() ? 1 : 0;
  return 1;
}

// The platform's flush returns once the client has read everything; it
// fails when the client left without reading, and is cancelled when the
// reader has taken nothing for kReaderPatienceMs or the service stops.
bool CNamedPipe::BoundedFlush() { return FlushWatch::Flush(handle, ServiceStop::Flag(), kReaderPatienceMs); }

// Writes go through the second record, which nothing else uses, so that a
// write on an overlapped handle has completed when the call returns.
bool CNamedPipe::WriteOnce(const char* bytes, unsigned long length, DWORD* written) {
  secondOverlapped.Offset = secondOverlapped.OffsetHigh = 0;
  BOOL ok = WriteFile(handle, bytes, length, written, &secondOverlapped);
  if (!ok && GetLastError() == ERROR_IO_PENDING) {
    // A blocking pipe's write waits for the reader: no longer than a
    // polled one's full-pipe loop.
    DWORD start = GetTickCount();
    while (WaitForSingleObject(secondEvent, kClientWaitSliceMs) == WAIT_TIMEOUT) {
      if (ReaderGaveUp(start)) {
        CancelIo(handle);
        break;
      }
    }
    ok = GetOverlappedResult(handle, &secondOverlapped, written, TRUE);
    ResetEvent(secondEvent);
  }
  return ok != FALSE;
}

int CNamedPipe::WriteChar(char c) { return Send(&c, 1, false); }

int CNamedPipe::WriteString(char* text) { return Send(text, static_cast<unsigned long>(std::strlen(text) + 1), true); }

int CNamedPipe::WriteBuffer(char* data, unsigned long length) { return Send(data, length, true); }
