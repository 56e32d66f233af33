#include "lib/CPipeService.h"

#include <cstdlib>
#include <cstring>
#include <new>

#include "lib/ServiceStop.h"

namespace {

const SIZE_T kStackSize = 16384;
const DWORD kTerminateWaitMs = 5000;

// A C-heap table of count null entries of 4 bytes in the 32-bit program.
template <class T>
T* Table(int count) {
  if (count <= 0) return nullptr;
  T* table = static_cast<T*>(std::realloc(nullptr, sizeof(T) * size_t(count)));
  if (table) std::memset(table, 0, sizeof(T) * size_t(count));
  return table;
}

}  // namespace

CPipeService::CPipeService(const char* name, int threads, void* handlerRoutine, int slots)
    : threadCount(threads), handler(handlerRoutine), slotCount(slots), reserved(0), console(nullptr) {
  pipeName[0] = '\0';
  if (CNamedPipe::UsableName(name)) std::strcpy(pipeName, name);
  stopRequested = 0;
  finishedThreads = 0;
  AllocateTables();
}

CPipeService::CPipeService(const CPipeService& other)
    : threadCount(0), handler(nullptr), slotCount(0), reserved(0), console(nullptr) {
  pipeName[0] = '\0';
  stopRequested = finishedThreads = 0;
  AllocateTables();
  *this = other;
}

CPipeService::~CPipeService() { ReleaseAll(); }

CPipeService& CPipeService::operator=(const CPipeService& other) {
  // The threads of a running service use its tables: it is left as it is.
  if (this == &other || Running()) return *this;
  ReleaseAll();
  std::memcpy(pipeName, other.pipeName, sizeof pipeName);
  threadCount = other.threadCount;
  handler = other.handler;
  slotCount = other.slotCount;
  reserved = other.reserved;
  console = other.console;
  stopRequested = finishedThreads = 0;
  AllocateTables();
  return *this;
}

void CPipeService::AllocateTables() {
  pipes = Table<CNamedPipe*>(threadCount);
  slotData = Table<void*>(slotCount);
  threadHandles = Table<HANDLE>(threadCount);
  threadIds = Table<DWORD>(threadCount);
}

void CPipeService::ReleaseAll() {
  for (int i = 0; pipes && i < threadCount; ++i) delete pipes[i];
  std::free(pipes);
  for (int i = 0; slotData && i < slotCount; ++i) std::free(slotData[i]);
  std::free(slotData);
  CloseThreadHandles();
  std::free(threadHandles);
  std::free(threadIds);
  pipes = nullptr;
  slotData = nullptr;
  threadHandles = nullptr;
  threadIds = nullptr;
}

void CPipeService::CloseThreadHandles() {
  for (int i = 0; threadHandles && i < threadCount; ++i) {
    if (threadHandles[i]) CloseHandle(threadHandles[i]);
    threadHandles[i] = nullptr;
  }
}

bool CPipeService::Running() const {
  for (int i = 0; threadHandles && i < threadCount; ++i)
    if (threadHandles[i] && WaitForSingleObject(threadHandles[i], 0) == WAIT_TIMEOUT) return true;
  return false;
}

int CPipeService::Start() {
  if (!handler || Running()) return 1;
  CloseThreadHandles();
  stopRequested = 0;
  finishedThreads = 0;
  if (!pipes || !threadHandles || !threadIds) {
    finishedThreads = threadCount;  // no tables, so no thread was started
    return 1;
  }
  for (int i = 0; i < threadCount; ++i) {
    delete pipes[i];
    pipes[i] = new (std::nothrow) CNamedPipe();
    // Suspended until its identifier is in the table, so that the thread
    // always finds itself.
    threadHandles[i] = CreateThread(nullptr, kStackSize, PipeThreadProc, this, CREATE_SUSPENDED, &threadIds[i]);
    if (threadHandles[i]) ResumeThread(threadHandles[i]);
    else InterlockedIncrement(&finishedThreads);  // a thread never started has ended
  }
  return 1;
}

DWORD WINAPI CPipeService::PipeThreadProc(void* argument) {
  CPipeService* service = static_cast<CPipeService*>(argument);
  ServiceStop::Bind(&service->stopRequested);
  service->NewConsoleLine("boot...");
  CNamedPipe* pipe = service->Pipe();
  if (pipe && pipe->InitServer(service->pipeName)) {
    service->NewConsoleLine("InitServer OK.");
    auto routine = reinterpret_cast<void (*)(CPipeService*)>(service->handler);
    while (!service->stopRequested) routine(service);
    // The name goes with the service.
    pipe->CloseInstance();
  } else {
    service->NewConsoleLine("InitServer failed !");
  }
  service->NewConsoleLine("Exit.");
  InterlockedIncrement(&service->finishedThreads);
  return 0;
}

int CPipeService::Stop(int wait, int force) {
  InterlockedExchange(&stopRequested, 1);
  for (int allowance = wait / 100; !AllEnded() && allowance > 0; --allowance) Sleep(0);
  if (!AllEnded() && force) TerminateRunning();
  if (!AllEnded()) return 0;
  // Every thread has ended (or was ended): its handle is no longer needed.
  CloseThreadHandles();
  return 1;
}

// Ends the threads still running and counts every thread that has ended
// once, by its handle: one that ended on its own may not have counted
// itself yet, and terminating an ended thread succeeds too.
void CPipeService::TerminateRunning() {
  LONG ended = 0;
  for (int i = 0; threadHandles && i < threadCount; ++i) {
    HANDLE thread = threadHandles[i];
    if (!thread) {
      ++ended;
      continue;
    }
    if (WaitForSingleObject(thread, 0) == WAIT_TIMEOUT && TerminateThread(thread, 0))
      WaitForSingleObject(thread, kTerminateWaitMs);
    if (WaitForSingleObject(thread, 0) == WAIT_OBJECT_0) ++ended;
  }
  InterlockedExchange(&finishedThreads, ended);
}

void CPipeService::SetConsole(void* handle) { console = handle; }

void CPipeService::NewConsoleLine(const char*) {}

int CPipeService::WaitForConn() {
  CNamedPipe* pipe = Pipe();
  if (!pipe) return 0;
  if (pipe->Connect(threadCount, 0)) return 1;
  for (;;) {
    if (stopRequested) {
      pipe->Disconnect();
      return 0;
    }
    Sleep(DWORD(threadCount) * 100);
    if (pipe->Connect(threadCount, 0)) return 1;
  }
}

void CPipeService::WaitForDisconn(int wait) {
  CNamedPipe* pipe = Pipe();
  if (!pipe) return;
  for (int allowance = wait / 100; allowance > 0; --allowance) {
    if (!pipe->IsConnected()) return;
    if (stopRequested) {
      pipe->Disconnect();
      return;
    }
    Sleep(100);
  }
}

int CPipeService::GetId() {
  DWORD me = GetCurrentThreadId();
  for (int i = 0; threadIds && i < threadCount; ++i)
    if (threadIds[i] == me) return i;
  return -1;
}

CNamedPipe* CPipeService::Pipe() {
  int id = GetId();
  return id < 0 || !pipes ? nullptr : pipes[id];
}
