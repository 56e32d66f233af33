// CPipeService: a named-pipe server of a fixed number of threads. Each pipe
// thread owns one CNamedPipe server endpoint on the same pipe name and runs
// the owner's handler (a function taking the service) again and again until
// Stop. The handler finds its endpoint with Pipe(), waits for a client with
// WaitForConn() and for its departure with WaitForDisconn(). The threads
// report through NewConsoleLine: "boot...", "InitServer OK." or
// "InitServer failed !", and "Exit.".
//
// The owner calls Stop until it reports every thread ended before
// destroying the service. A thread's waits in its endpoint (a reply the
// client does not read, a message that does not come) end when the service
// stops, so a plain Stop ends every thread whose handler returns then. A
// thread closes its endpoint's instance as it ends.
//
// The one virtual operation is NewConsoleLine (vtable slot 0); the
// destructor is not virtual, so a derived service is destroyed through its
// own type. Ownership: the service owns its tables, its endpoints and its
// thread handles (closed once their threads have ended, or by the
// destructor). A copy (constructor or assignment) takes the name, thread
// count, handler, slot count and console only: it has tables of its own,
// no endpoints and no threads, and is started separately. A running
// service is neither assigned to nor started again. A name no pipe can
// have (empty, over 39 characters, or with a backslash) is refused:
// pipeName stays empty and the threads report "InitServer failed !".
#ifndef LIB_CPIPESERVICE_H_
#define LIB_CPIPESERVICE_H_

#include <windows.h>

#include "export/Export.h"
#include "lib/CNamedPipe.h"

class CONVERTER_API CPipeService {
 public:
  CPipeService(const char* name, int threads, void* handler, int slots);
  CPipeService(const CPipeService& other);
  ~CPipeService();
  CPipeService& operator=(const CPipeService& other);

  // Creates the endpoints and starts the threads; always 1. A null handler,
  // or threads of an earlier Start still running, start nothing. A thread
  // that cannot be created counts as ended.
  int Start();
  // Asks the threads to stop; wait / 100 is a number of yields to wait.
  // force non-zero terminates threads still running after that. 1 when
  // every thread has ended, each counted once. A thread terminated while
  // it holds a lock (the heap's, say) leaves that lock taken for the rest
  // of the program: force only threads known to be waiting in a handler.
  int Stop(int wait, int force);
  void SetConsole(void* handle);
  virtual void NewConsoleLine(const char* line);
  // From a pipe thread: 1 once a client is connected, 0 when stopping.
  int WaitForConn();
  // From a pipe thread: returns when the client has gone, when stopping, or
  // after wait ms (cut to a multiple of 100).
  void WaitForDisconn(int wait);
  // Index of the calling pipe thread, -1 for any other thread.
  int GetId();
  // Endpoint of the calling pipe thread, null for any other thread.
  CNamedPipe* Pipe();

  char pipeName[128];
  int threadCount;
  void* handler;
  void** slotData;
  int slotCount;
  int reserved;
  void* console;
  CNamedPipe** pipes;
  volatile LONG stopRequested;
  volatile LONG finishedThreads;
  HANDLE* threadHandles;
  DWORD* threadIds;

 private:
  static DWORD WINAPI PipeThreadProc(void* service);
  void AllocateTables();
  void ReleaseAll();
  void CloseThreadHandles();
  bool AllEnded() const { return finishedThreads == threadCount; }
  // Some thread of the last Start has not ended.
  bool Running() const;
  void TerminateRunning();
};

#endif  // LIB_CPIPESERVICE_H_
