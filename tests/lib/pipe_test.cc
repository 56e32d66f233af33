// Named pipes between threads and between processes of our own, and the
// pipe service with an echo handler. Run with "--client NAME TEXT" the
// program is a client process: it sends TEXT and exits 0 when the answer
// is "echo:TEXT".
#include <windows.h>

#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "lib/CNamedPipe.h"
#include "lib/CPipeService.h"
#include "tests/support/pipe_echo.h"
#include "tests/support/mutable_text.h"
#include "tests/support/process.h"

namespace {


std::string UniqueName(const char* what) {
  static int serial = 0;
  return std::string("cvt_") + what + "_" + std::to_string(GetCurrentProcessId()) + "_" + std::to_string(serial++);
}

// Polls a polled endpoint until a whole message is there (ReadString's own
// wait sleeps a whole second between looks).
std::string Receive(CNamedPipe& pipe, int timeoutMs = 30000) {
  char text[CNamedPipe::kMaxMessage];
  for (int waited = 0; waited < timeoutMs; waited += 5) {
    if (pipe.ReadString(text, 0)) return text;
    Sleep(5);
  }
  return "<nothing>";
}

// The same for an overlapped endpoint.
std::string ReceiveOverlapped(CNamedPipe& pipe) {
  char text[CNamedPipe::kMaxMessage];
  return pipe.ReadString(text, nullptr, 300) ? text : "<nothing>";
}

// Polls condition until it holds or a generous deadline (30 s) passes.
bool Eventually(const std::function<bool()>& condition) {
  for (DWORD start = GetTickCount(); !condition(); Sleep(5))
    if (GetTickCount() - start > 30000) return false;
  return true;
}

// A client process of this program; its exit status.
int RunClient(const std::string& self, const std::string& pipe, const std::string& text) {
  return RunProcess("\"" + self + "\" --client " + pipe + " " + text, false, 30000).status;
}

// Server and client connected by the polled form.
struct PolledPair {
  explicit PolledPair(int instances = 1) : name(UniqueName("polled")) {
    server.InitServer(name.c_str());
    client.InitClient(nullptr, name.c_str());
    firstServerConnect = server.Connect(instances, 0);
    clientConnect = client.Connect(instances, 0);
    serverConnect = server.Connect(instances, 0);
  }
  std::string name;
  CNamedPipe server, client;
  int firstServerConnect, clientConnect, serverConnect;
};

TEST(CNamedPipeTest, APolledServerWaitsForItsClient) {
  PolledPair p;
  EXPECT_EQ(p.firstServerConnect, 0) << "no client yet";
  EXPECT_EQ(p.clientConnect, 1);
  EXPECT_EQ(p.serverConnect, 1);
  EXPECT_EQ(p.server.state, 2);
  EXPECT_EQ(p.server.connectCount, 1);
  EXPECT_EQ(p.client.state, 2);
  EXPECT_EQ(p.server.IsConnected(), 1);
}

TEST(CNamedPipeTest, MessagesThatArriveTogetherOrInPieces) {
  PolledPair p;
  char both[] = "one\0two";
  EXPECT_NE(p.client.WriteBuffer(both, sizeof both), 0);
  EXPECT_EQ(Receive(p.server), "one");
  char text[CNamedPipe::kMaxMessage];
  EXPECT_EQ(p.server.ReadString(text, 0), 1) << "the second was already buffered";
  EXPECT_STREQ(text, "two");
  EXPECT_NE(p.client.WriteBuffer(S("thr"), 3), 0);
  EXPECT_TRUE(Eventually([&] { return p.server.ReadString(text, 0) == 0 && p.server.rxLength == 3; }))
      << "half a message stays buffered; " << p.server.rxLength << " bytes there";
  char rest[] = "ee";
  EXPECT_NE(p.client.WriteBuffer(rest, 3), 0);
  EXPECT_EQ(Receive(p.server), "three");
  EXPECT_NE(p.client.WriteString(S("ab")), 0);
  std::string bytes;
  char c;
  Eventually([&] {
    while (p.server.ReadChar(&c)) bytes += c;
    return bytes.size() >= 3;
  });
  EXPECT_EQ(bytes, std::string("ab\0", 3)) << "ReadChar passes the NUL on";
}

TEST(CNamedPipeTest, AServersWriteReturnsOnceTheClientHasReadIt) {
  PolledPair p;
  std::thread reader([&] { EXPECT_EQ(Receive(p.client), "abc"); });
  EXPECT_NE(p.server.WriteString(S("abc")), 0);
  reader.join();
  EXPECT_NE(p.client.WriteBuffer(S("xyz"), 3), 0);
  EXPECT_TRUE(Eventually([&] { return p.server.TestChar(0) == 0 && p.server.rxLength == 3; }))
      << "a block goes as it is, with no NUL; " << p.server.rxLength << " bytes there";
}

TEST(CNamedPipeTest, OverlappedConnectsWithAndWithoutAClient) {
  std::string name = UniqueName("ovl");
  CNamedPipe server;
  server.InitServer(name.c_str());
  DWORD start = GetTickCount();
  EXPECT_EQ(server.Connect(1, nullptr, 5), 0);
  DWORD waited = GetTickCount() - start;
  EXPECT_GE(waited, 400u);
  EXPECT_LT(waited, 30000u) << "five tenths of a second, not without limit";
  EXPECT_EQ(server.state, 0);
  EXPECT_EQ(server.handle, nullptr) << "the failed connect disconnected";

  CNamedPipe client;
  client.InitClient(nullptr, name.c_str());
  // The client comes late, after the server has begun to wait; should it
  // look before the new instance exists it tries again.
  std::thread late([&] {
    Sleep(300);
    EXPECT_TRUE(Eventually([&] { return client.Connect(1, nullptr, 10) == 1; }));
  });
  EXPECT_EQ(server.Connect(1, nullptr, 600), 1) << "a new instance, and the client came";
  late.join();
  EXPECT_EQ(server.connectCount, 1);

  char text[CNamedPipe::kMaxMessage];
  start = GetTickCount();
  EXPECT_EQ(server.ReadString(text, nullptr, 0), 0);
  // One look at the pipe takes far less than the second a wait of ten
  // attempts would take, however busy the machine.
  EXPECT_LT(GetTickCount() - start, 1000u) << "a time-out of 0 does not sleep";
  start = GetTickCount();
  EXPECT_EQ(server.ReadString(text, nullptr, 3), 0);
  waited = GetTickCount() - start;
  EXPECT_GE(waited, 250u);
  EXPECT_LT(waited, 30000u) << "three attempts, not without limit";
  std::thread writer([&] { EXPECT_NE(client.WriteString(S("late")), 0); });
  EXPECT_EQ(server.ReadString(text, nullptr, 30), 1);
  EXPECT_STREQ(text, "late");
  writer.join();
  char c = 0;
  EXPECT_NE(client.WriteString(S("q")), 0);
  EXPECT_TRUE(Eventually([&] { return server.ReadChar(&c) == 1; }))
      << "a polled read on an overlapped handle does not block";
  EXPECT_EQ(c, 'q');
}

TEST(CNamedPipeTest, EveryInstanceBusy) {
  PolledPair p;  // one instance, taken
  CNamedPipe polled, overlapped;
  polled.InitClient(nullptr, p.name.c_str());
  EXPECT_EQ(polled.Connect(1, 0), 0);
  EXPECT_EQ(polled.state, 0);
  EXPECT_EQ(polled.handle, nullptr);
  overlapped.InitClient(nullptr, p.name.c_str());
  EXPECT_EQ(overlapped.Connect(1, nullptr, 0), 0);
  EXPECT_EQ(overlapped.state, 0);
  EXPECT_EQ(overlapped.handle, nullptr);
}

TEST(CNamedPipeTest, WaitingClientsGetTheNextFreeInstance) {
  for (bool overlapped : {false, true}) {
    PolledPair p(2);  // the one instance there is, taken
    CNamedPipe second, waiting;
    second.InitServer(p.name.c_str());
    waiting.InitClient(nullptr, p.name.c_str());
    std::atomic<int> result{-1};
    // The overlapped client waits up to 60 s, far beyond anything below.
    std::thread t([&] { result = overlapped ? waiting.Connect(2, nullptr, 600) : waiting.Connect(2, 1); });
    // Nothing can end the client's wait but a free instance; after a pause
    // it must still be waiting, however slowly the thread got going.
    Sleep(300);
    EXPECT_EQ(result, -1) << "still waiting while every instance is busy";
    // The waiting client may take the new instance before its server looks
    // (1 at once) or just after (0, then 1 on a later poll).
    int served = second.Connect(2, 0);
    EXPECT_GE(served, 0);
    EXPECT_TRUE(Eventually([&] { return served == 1 || (served = second.Connect(2, 0)) == 1; }))
        << "the server never saw the waiting client";
    t.join();
    EXPECT_EQ(result, 1) << (overlapped ? "overlapped" : "polled");
    EXPECT_EQ(waiting.state, 2);
    EXPECT_EQ(second.connectCount, 1);
  }
}

TEST(CNamedPipeTest, DisconnectThenConnectListensOnTheSameInstance) {
  PolledPair p;
  EXPECT_EQ(p.client.Disconnect(), 1);
  EXPECT_TRUE(Eventually([&] { return p.server.IsConnected() == 0; })) << "the other end has gone";
  EXPECT_EQ(p.server.state, 2) << "state does not notice";
  EXPECT_EQ(p.server.WriteString(S("lost")), 0);
  HANDLE instance = p.server.handle;
  EXPECT_EQ(p.server.Disconnect(), 1);
  EXPECT_EQ(p.server.handle, instance) << "the instance is kept, so the name keeps it";
  EXPECT_EQ(p.server.Connect(1, 0), 0);
  EXPECT_EQ(p.server.state, 1);
  EXPECT_EQ(p.client.Connect(1, 0), 1);
  EXPECT_EQ(p.server.Connect(1, 0), 1);
  EXPECT_EQ(p.server.handle, instance);
  EXPECT_EQ(p.server.connectCount, 2);
}

TEST(CNamedPipeTest, APublicPipeTakesClients) {
  std::string name = UniqueName("public");
  CNamedPipe server, client;
  server.InitServer(name.c_str());
  server.SetPublic();
  EXPECT_EQ(server.Connect(2, 0), 0);
  client.InitClient(".", name.c_str());  // "\\.\PIPE\name" through the server-name form
  EXPECT_EQ(client.Connect(2, 0), 1);
  EXPECT_EQ(server.Connect(2, 0), 1);
}

TEST(CNamedPipeTest, RefusalsChangeNothing) {
  CNamedPipe pipe;
  EXPECT_EQ(pipe.Disconnect(), 0);
  EXPECT_EQ(pipe.Connect(1, 0), 0);
  EXPECT_EQ(pipe.InitServer(nullptr), 0);
  EXPECT_EQ(pipe.role, 0);
  EXPECT_EQ(pipe.InitServer(std::string(40, 'n').c_str()), 0) << "40 characters do not fit";
  EXPECT_EQ(pipe.InitClient(std::string(40, 's').c_str(), "p"), 0);
  EXPECT_EQ(pipe.role, 0);
  EXPECT_EQ(pipe.InitServer(std::string(39, 'n').c_str()), 1);
  EXPECT_EQ(pipe.InitClient(nullptr, "other"), 1);
  EXPECT_NE(pipe.readEvent, nullptr);
  EXPECT_EQ(pipe.readOverlapped.hEvent, pipe.readEvent);
  EXPECT_EQ(pipe.secondOverlapped.hEvent, pipe.secondEvent);
  char text[CNamedPipe::kMaxMessage];
  EXPECT_EQ(pipe.ReadString(text, 0), 0);
  EXPECT_EQ(pipe.WriteChar('x'), 0);
}

TEST(CNamedPipeTest, ACopyOwnsNothingOfItsSource) {
  PolledPair p;
  CNamedPipe copy(p.server);
  EXPECT_STREQ(copy.pipeName, p.server.pipeName);
  EXPECT_EQ(copy.role, 1);
  EXPECT_EQ(copy.handle, nullptr);
  EXPECT_EQ(copy.rxBuffer == nullptr || copy.rxBuffer != p.server.rxBuffer, true);
  EXPECT_NE(copy.readEvent, p.server.readEvent);
  CNamedPipe assigned;
  assigned = p.client;
  EXPECT_EQ(assigned.role, 2);
  EXPECT_EQ(assigned.handle, nullptr);
  EXPECT_EQ(p.client.IsConnected(), 1) << "the source is untouched";
}

// A client that connected, wrote and left before the server's next poll
// is a connection whose client has gone: what it sent is read, and after
// the disconnect the instance takes the next client.
TEST(CNamedPipeTest, AClientGoneBeforeThePollIsReadAndMakesRoomForTheNext) {
  std::string name = UniqueName("dead");
  CNamedPipe server, early, next;
  server.InitServer(name.c_str());
  early.InitClient(nullptr, name.c_str());
  next.InitClient(nullptr, name.c_str());
  EXPECT_EQ(server.Connect(1, 0), 0) << "no client yet";
  ASSERT_EQ(early.Connect(1, 0), 1);
  EXPECT_NE(early.WriteString(S("bye")), 0);
  early.Disconnect();
  EXPECT_EQ(server.Connect(1, 0), 1) << "the client that has gone was connected";
  EXPECT_EQ(Receive(server), "bye");
  server.Disconnect();
  EXPECT_TRUE(Eventually([&] {
    server.Connect(1, 0);
    return next.Connect(1, 0) == 1;
  })) << "the only instance stayed out of service";
  EXPECT_TRUE(Eventually([&] { return server.state == 2 || server.Connect(1, 0) == 1; }));
  EXPECT_NE(next.WriteString(S("hi")), 0);
  EXPECT_EQ(Receive(server), "hi");
}

// The pipe buffer holds 4096 bytes; a polled write of more must wait for
// the reader rather than report bytes it never sent.
TEST(CNamedPipeTest, WritesLargerThanThePipeBufferArriveWhole) {
  const struct {
    const char* what;
    bool fromServer, string;
    size_t size;
  } cases[] = {
      {"a block of 4097 bytes from the server", true, false, 4097},
      {"a string of 5000 characters from the client", false, true, 5000},
      {"a string of 5000 characters from the server", true, true, 5000},
  };
  for (const auto& c : cases) {
    PolledPair p;
    CNamedPipe& from = c.fromServer ? p.server : p.client;
    CNamedPipe& to = c.fromServer ? p.client : p.server;
    std::string data(c.size, ' ');
    for (size_t i = 0; i < c.size; ++i) data[i] = char('a' + i % 26);
    std::atomic<int> result{-1};
    std::thread writer([&] { result = c.string ? from.WriteString(S(data)) : from.WriteBuffer(S(data), c.size); });
    std::string got;
    if (c.string) {
      got = Receive(to);
    } else {
      char byte;
      Eventually([&] {
        while (to.ReadChar(&byte)) got += byte;
        return got.size() >= c.size;
      });
    }
    writer.join();
    EXPECT_EQ(result, 1) << c.what;
    EXPECT_EQ(got.size(), c.size) << c.what;
    EXPECT_TRUE(got == data) << c.what << ": the bytes differ";
  }
}

TEST(CNamedPipeTest, AMessageLongerThanTheMaximumDropsTheConnection) {
  PolledPair p;
  std::string longest(CNamedPipe::kMaxMessage - 1, 'l');
  std::string tooLong(CNamedPipe::kMaxMessage, 'o');
  std::thread writer([&] {
    p.client.WriteString(S(longest));
    p.client.WriteString(S(tooLong));
  });
  EXPECT_EQ(Receive(p.server), longest) << "the longest message that fits";
  struct {
    char text[CNamedPipe::kMaxMessage];
    char guard[16];
  } into;
  std::memset(into.guard, 'g', sizeof into.guard);
  EXPECT_TRUE(Eventually([&] {
    EXPECT_EQ(p.server.ReadString(into.text, 0), 0);
    return p.server.state == 0;
  })) << "the connection was kept";
  writer.join();
  EXPECT_EQ(std::string(into.guard, sizeof into.guard), std::string(sizeof into.guard, 'g'))
      << "written past the destination";
  EXPECT_EQ(p.server.rxLength, 0) << "what was received is dropped";
}

// Server and client connected by the overlapped form.
struct OverlappedPair {
  OverlappedPair() : name(UniqueName("ovlpair")) {
    server.InitServer(name.c_str());
    client.InitClient(nullptr, name.c_str());
    std::thread late([&] { Eventually([&] { return client.Connect(1, nullptr, 10) == 1; }); });
    server.Connect(1, nullptr, 600);
    late.join();
  }
  std::string name;
  CNamedPipe server, client;
};

TEST(CNamedPipeTest, ABufferedMessageIsDeliveredAfterThePeerHasGone) {
  char two[] = "a\0b";
  char text[CNamedPipe::kMaxMessage];
  {
    PolledPair p;
    EXPECT_NE(p.client.WriteBuffer(two, sizeof two), 0);
    EXPECT_EQ(Receive(p.server), "a");
    p.client.Disconnect();
    EXPECT_EQ(p.server.ReadString(text, 0), 1) << "polled";
    EXPECT_STREQ(text, "b");
  }
  OverlappedPair p;
  ASSERT_EQ(p.server.state, 2);
  EXPECT_NE(p.client.WriteBuffer(two, sizeof two), 0);
  EXPECT_EQ(p.server.ReadString(text, nullptr, 300), 1);
  EXPECT_STREQ(text, "a");
  p.client.Disconnect();
  EXPECT_EQ(p.server.ReadString(text, nullptr, 0), 1) << "overlapped: \"b\" was already buffered";
  EXPECT_STREQ(text, "b");
}

TEST(CNamedPipeTest, ConnectingAConnectedClientAgainLetsGoOfItsPipe) {
  PolledPair p;
  ASSERT_EQ(p.serverConnect, 1);
  p.client.Connect(1, 0);  // the only instance is its own, so this fails
  p.client.Disconnect();
  EXPECT_TRUE(Eventually([&] { return p.server.IsConnected() == 0; })) << "the client's first pipe was never closed";
}

void Forever(CPipeService*) {
  for (;;) Sleep(100);
}

class RecordingService : public CPipeService {
 public:
  RecordingService(const char* name, int threads, void* handler) : CPipeService(name, threads, handler, 2) {}
  void NewConsoleLine(const char* line) override {
    std::lock_guard<std::mutex> lock(mutex);
    lines[GetCurrentThreadId()] += std::string(line) + "|";
  }
  std::mutex mutex;
  std::map<DWORD, std::string> lines;
};

TEST(CPipeServiceTest, FourThreadsServeSeveralClientsAtOnce) {
  std::string name = UniqueName("service");
  RecordingService service(name.c_str(), 4, reinterpret_cast<void*>(&PipeEcho));
  EXPECT_EQ(service.GetId(), -1);
  EXPECT_EQ(service.Pipe(), nullptr);
  ASSERT_EQ(service.Start(), 1);
  std::vector<std::thread> clients;
  std::atomic<int> answered{0};
  for (int c = 0; c < 6; ++c)
    clients.emplace_back([&, c] {
      CNamedPipe client;
      client.InitClient(nullptr, name.c_str());
      EXPECT_TRUE(Eventually([&] { return client.Connect(4, 0) == 1; })) << "client " << c;
      for (int m = 0; m < 5; ++m) {
        std::string text = "c" + std::to_string(c) + "m" + std::to_string(m);
        client.WriteString(S(text));
        if (Receive(client, 10000) == "echo:" + text) ++answered;
      }
      client.Disconnect();
    });
  for (std::thread& t : clients) t.join();
  EXPECT_EQ(answered, 30);
  EXPECT_TRUE(Eventually([&] { return service.Stop(10000, 0) == 1; })) << "every thread ends";
  ASSERT_EQ(service.lines.size(), 4u);
  for (const auto& l : service.lines) EXPECT_EQ(l.second, "boot...|InitServer OK.|Exit.|");
}

TEST(CPipeServiceTest, ClientsFromOtherProcesses) {
  std::string name = UniqueName("procs");
  CPipeService service(name.c_str(), 4, reinterpret_cast<void*>(&PipeEcho), 0);
  service.Start();
  std::vector<std::thread> runs;
  std::atomic<int> good{0};
  for (int c = 0; c < 4; ++c)
    runs.emplace_back([&, c] { good += RunClient(SelfPath(), name, "hello" + std::to_string(c)) == 0; });
  for (std::thread& t : runs) t.join();
  EXPECT_EQ(good, 4);
  while (!service.Stop(10000, 0)) Sleep(20);
}

TEST(CPipeServiceTest, StopWithAndWithoutForce) {
  RecordingService service(UniqueName("stuck").c_str(), 2, reinterpret_cast<void*>(&Forever));
  service.Start();
  ASSERT_TRUE(Eventually([&] {
    std::lock_guard<std::mutex> lock(service.mutex);
    int ready = 0;
    for (const auto& l : service.lines) ready += l.second == "boot...|InitServer OK.|";
    return ready == 2;
  })) << "both threads reach their handler";
  DWORD start = GetTickCount();
  EXPECT_EQ(service.Stop(99, 0), 0) << "no yield at all, threads still running";
  EXPECT_EQ(service.Stop(500, 0), 0);
  EXPECT_LT(GetTickCount() - start, 1000u) << "the allowance is yields, not time";
  EXPECT_EQ(service.Stop(100, 1), 1) << "forced";
  EXPECT_EQ(service.finishedThreads, 2);
  EXPECT_EQ(service.threadHandles[0], nullptr) << "handles of ended threads are closed";
  for (const auto& l : service.lines) EXPECT_EQ(l.second, "boot...|InitServer OK.|");
}

// Thread 0 returns at once and so ends on a stop; thread 1 never does.
std::atomic<bool> stuckInItsLoop{false};
void OneStuck(CPipeService* service) {
  if (service->GetId() == 1) {
    stuckInItsLoop = true;
    Forever(service);
  }
  Sleep(10);
}

TEST(CPipeServiceTest, AForcedStopCountsEveryThreadOnce) {
  CPipeService service(UniqueName("half").c_str(), 2, reinterpret_cast<void*>(&OneStuck), 0);
  service.Start();
  // Terminated anywhere else (inside the heap, say), the thread could take
  // a lock with it that the rest of the program then waits for.
  ASSERT_TRUE(Eventually([] { return stuckInItsLoop.load(); })) << "thread 1 never reached its loop";
  EXPECT_EQ(service.Stop(0, 0), 0);
  ASSERT_EQ(WaitForSingleObject(service.threadHandles[0], 30000), WAIT_OBJECT_0) << "thread 0 ends on its own";
  EXPECT_EQ(service.Stop(0, 1), 1) << "forced";
  EXPECT_EQ(service.finishedThreads, 2) << "the thread that had ended was counted again";
}

TEST(CPipeServiceTest, ARunningServiceIsNeitherAssignedToNorStartedAgain) {
  std::string name = UniqueName("assigned");
  CPipeService service(name.c_str(), 1, reinterpret_cast<void*>(&PipeEcho), 0);
  service.Start();
  HANDLE thread = service.threadHandles[0];
  CPipeService other(UniqueName("other").c_str(), 3, nullptr, 0);
  service = other;
  service.Start();
  EXPECT_EQ(service.threadCount, 1);
  EXPECT_STREQ(service.pipeName, name.c_str());
  EXPECT_EQ(service.threadHandles[0], thread);
  CNamedPipe client;
  client.InitClient(nullptr, name.c_str());
  ASSERT_TRUE(Eventually([&] { return client.Connect(1, 0) == 1; }));
  client.WriteString(S("still"));
  EXPECT_EQ(Receive(client), "echo:still") << "the threads kept their tables";
  client.Disconnect();
  EXPECT_TRUE(Eventually([&] { return service.Stop(10000, 0) == 1; }));
}

TEST(CPipeServiceTest, NullHandlersAndRefusedNames) {
  CPipeService idle("idle", 3, nullptr, 1);
  EXPECT_EQ(idle.Start(), 1);
  EXPECT_EQ(idle.pipes[0], nullptr) << "nothing was made";
  EXPECT_EQ(idle.threadHandles[0], nullptr);
  RecordingService refused(std::string(128, 'n').c_str(), 1, reinterpret_cast<void*>(&PipeEcho));
  EXPECT_STREQ(refused.pipeName, "");
  refused.Start();
  while (!refused.Stop(1000, 0)) Sleep(10);
  ASSERT_EQ(refused.lines.size(), 1u);
  EXPECT_EQ(refused.lines.begin()->second, "boot...|InitServer failed !|Exit.|");
  CPipeService copy(refused);
  EXPECT_EQ(copy.threadCount, 1);
  EXPECT_NE(copy.pipes, refused.pipes) << "tables of its own";
}

// Stops a service however the test ends: plainly for up to 30 s, then by
// force, so that no failed assertion destroys a service whose threads run.
struct StopGuard {
  explicit StopGuard(CPipeService& s) : service(s) {}
  ~StopGuard() {
    if (!Eventually([&] { return service.Stop(1000, 0) == 1; })) service.Stop(0, 1);
  }
  CPipeService& service;
};

// A handler that keeps every message a client sent, its last ones
// included, and answers nothing.
std::mutex collectedMutex;
std::vector<std::string> collected;
void Collect(CPipeService* service) {
  if (!service->WaitForConn()) return;
  CNamedPipe* pipe = service->Pipe();
  char text[CNamedPipe::kMaxMessage];
  for (;;) {
    if (pipe->ReadString(text, 0)) {
      std::lock_guard<std::mutex> lock(collectedMutex);
      collected.push_back(text);
      continue;
    }
    if (!pipe->IsConnected() || service->stopRequested) break;
    Sleep(1);
  }
  pipe->Disconnect();
}

size_t CollectedCount() {
  std::lock_guard<std::mutex> lock(collectedMutex);
  return collected.size();
}

// Clients that connect, write one message and leave at once, before the
// service has polled: what they sent reaches the handler all the same.
TEST(PeerTest, ClientsThatWriteAndLeaveAtOnceAreDelivered) {
  for (int threads : {1, 4}) {
    {
      std::lock_guard<std::mutex> lock(collectedMutex);
      collected.clear();
    }
    std::string name = UniqueName("leavers");
    CPipeService service(name.c_str(), threads, reinterpret_cast<void*>(&Collect), 0);
    StopGuard guard(service);
    service.Start();
    int written = 0;
    for (int c = 0; c < 20; ++c) {
      CNamedPipe client;
      client.InitClient(nullptr, name.c_str());
      if (!Eventually([&] { return client.Connect(threads, 1) == 1; })) continue;
      written += client.WriteString(S("message " + std::to_string(c)));
      client.Disconnect();
    }
    EXPECT_EQ(written, 20) << threads << " threads";
    Eventually([&] { return CollectedCount() == 20; });
    EXPECT_EQ(CollectedCount(), 20u) << "messages that reached the handler, " << threads << " threads";
  }
}

// A client's bytes are its own: one that left in the middle of a message
// does not have them put in front of the next client's.
TEST(PeerTest, ADepartedClientsBytesAreNotGivenToTheNext) {
  std::string name = UniqueName("leftover");
  CPipeService service(name.c_str(), 1, reinterpret_cast<void*>(&PipeEcho), 0);
  StopGuard guard(service);
  service.Start();
  CNamedPipe first, next;
  first.InitClient(nullptr, name.c_str());
  ASSERT_TRUE(Eventually([&] { return first.Connect(1, 1) == 1; }));
  // One write, so the answer to "ping" shows that the server has taken the
  // unfinished message too.
  char bytes[] = "ping\0ACCOUNT=4711;";
  ASSERT_NE(first.WriteBuffer(bytes, sizeof bytes - 1), 0);
  ASSERT_EQ(Receive(first), "echo:ping");
  first.Disconnect();
  next.InitClient(nullptr, name.c_str());
  ASSERT_TRUE(Eventually([&] { return next.Connect(1, 1) == 1; }));
  next.WriteString(S("hello"));
  EXPECT_EQ(Receive(next), "echo:hello");
}

// While a thread makes its instance ready for the next client, a client
// told to wait keeps waiting, in both connect forms.
TEST(PeerTest, WaitingClientsAreServedAfterEveryDeparture) {
  for (int threads : {1, 4}) {
    for (bool overlapped : {false, true}) {
      std::string name = UniqueName("remake");
      CPipeService service(name.c_str(), threads, reinterpret_cast<void*>(&PipeEcho), 0);
      StopGuard guard(service);
      service.Start();
      int served = 0;
      for (int round = 0; round < 10; ++round) {
        std::vector<CNamedPipe> leavers(static_cast<size_t>(threads));
        for (CNamedPipe& leaver : leavers) {
          leaver.InitClient(nullptr, name.c_str());
          Eventually([&] { return leaver.Connect(threads, 0) == 1; });
        }
        for (CNamedPipe& leaver : leavers) leaver.Disconnect();
        CNamedPipe waiting;
        waiting.InitClient(nullptr, name.c_str());
        int connected = overlapped ? waiting.Connect(threads, nullptr, 300) : waiting.Connect(threads, 1);
        if (connected != 1) continue;
        waiting.WriteString(S("round " + std::to_string(round)));
        served += (overlapped ? ReceiveOverlapped(waiting) : Receive(waiting)) == "echo:round " + std::to_string(round);
      }
      EXPECT_EQ(served, 10) << "waiting clients served of 10, " << threads << " threads, "
                            << (overlapped ? "overlapped" : "polled");
    }
  }
}

// Clients that send and then never read their answers: one whose answer
// waits in the flush, one whose answer is larger than the pipe's buffer.
// A third is served all the same, and a plain Stop ends the service.
TEST(PeerTest, ClientsThatNeverReadHoldNoThreadForEver) {
  std::string name = UniqueName("deaf");
  RecordingService service(name.c_str(), 2, reinterpret_cast<void*>(&PipeEcho));
  StopGuard guard(service);
  service.Start();
  CNamedPipe deaf[2];
  const std::string texts[2] = {"short", std::string(6000, 'w')};
  for (int d = 0; d < 2; ++d) {
    deaf[d].InitClient(nullptr, name.c_str());
    ASSERT_TRUE(Eventually([&] { return deaf[d].Connect(2, 0) == 1; }));
    ASSERT_NE(deaf[d].WriteString(S(texts[d])), 0);
  }
  CNamedPipe third;
  third.InitClient(nullptr, name.c_str());
  ASSERT_TRUE(Eventually([&] { return third.Connect(2, 0) == 1; })) << "no thread let the third client in";
  third.WriteString(S("third"));
  EXPECT_EQ(Receive(third), "echo:third");
  third.Disconnect();
  DWORD start = GetTickCount();
  EXPECT_TRUE(Eventually([&] { return service.Stop(1000, 0) == 1; })) << "a plain Stop never ended the service";
  EXPECT_LT(GetTickCount() - start, 30000u);
}

// A server's write whose reader left without reading did not reach it.
TEST(PeerTest, AWriteTheReaderNeverTookFails) {
  for (size_t size : {size_t(3), size_t(6000)}) {
    PolledPair p;
    std::atomic<int> result{-1};
    std::thread writer([&] { result = p.server.WriteString(S(std::string(size, 'x'))); });
    Sleep(300);
    p.client.Disconnect();
    writer.join();
    EXPECT_EQ(result, 0) << "a reply of " << size << " bytes that no one read";
  }
}

// A reply whose reader stays connected and never reads: the server's
// write gives up after 5 s. A reply on another pipe, written 2 s later and
// read just after the first gave up, succeeds: giving up on one flush
// leaves the others alone. Outside any service, so no stop ends either.
// Their state lives on the heap: should a write never end, the test gives
// up on it and leaves it running.
struct TwoFlushes {
  PolledPair deaf, slow;
  std::atomic<int> deafResult{-1}, slowResult{-1};
};

TEST(PeerTest, AReplyNobodyReadsFailsAndAnotherBeingReadIsLeftAlone) {
  TwoFlushes* f = new TwoFlushes;
  ASSERT_EQ(f->deaf.serverConnect + f->slow.serverConnect, 2);
  std::thread deafWriter([f] { f->deafResult = f->deaf.server.WriteString(S("never read")); });
  Sleep(2000);
  std::thread slowWriter([f] { f->slowResult = f->slow.server.WriteString(S("read late")); });
  bool ended = Eventually([f] { return f->deafResult != -1; });
  std::string late = Receive(f->slow.client);
  ended = ended && Eventually([f] { return f->slowResult != -1; });
  if (!ended) {
    deafWriter.detach();
    slowWriter.detach();
    FAIL() << "a write still waits: the unread one gave " << f->deafResult << ", the read one " << f->slowResult;
  }
  deafWriter.join();
  slowWriter.join();
  EXPECT_EQ(f->deafResult, 0) << "the reply nobody read";
  EXPECT_EQ(late, "read late");
  EXPECT_EQ(f->slowResult, 1) << "the reply read after the other gave up";
  delete f;
}

// The name a service gets is one every endpoint can use, or none.
TEST(PeerTest, NamesNoPipeCanHaveAreRefused) {
  for (const std::string& bad : {std::string(40, 'n'), std::string(127, 'n'), std::string("a\\b")}) {
    RecordingService service(bad.c_str(), 1, reinterpret_cast<void*>(&PipeEcho));
    EXPECT_STREQ(service.pipeName, "") << bad.size() << " characters: " << bad.substr(0, 8);
    service.Start();
    while (!service.Stop(1000, 0)) Sleep(10);
    ASSERT_EQ(service.lines.size(), 1u);
    EXPECT_EQ(service.lines.begin()->second, "boot...|InitServer failed !|Exit.|");
  }
  RecordingService longest(std::string(39, 'n').c_str(), 1, nullptr);
  EXPECT_EQ(std::string(longest.pipeName), std::string(39, 'n'));
  CNamedPipe pipe;
  EXPECT_EQ(pipe.InitServer("a\\b"), 0);
  EXPECT_EQ(pipe.InitClient(nullptr, "a\\b"), 0);
}

// A read that waits without limit ends with nothing once the other end has
// gone, in both forms. The reader's state lives on the heap: should the
// read never end, the test gives up on it and leaves it running.
struct EndlessRead {
  PolledPair polled;
  OverlappedPair overlapped;
  std::atomic<int> result{-1};
};

TEST(PeerTest, ReadsWithoutLimitEndWhenNoMessageCanCome) {
  for (bool overlapped : {false, true}) {
    EndlessRead* r = new EndlessRead;
    CNamedPipe& server = overlapped ? r->overlapped.server : r->polled.server;
    CNamedPipe& client = overlapped ? r->overlapped.client : r->polled.client;
    ASSERT_EQ(server.state, 2);
    std::thread reader([r, &server, overlapped] {
      char text[CNamedPipe::kMaxMessage];
      r->result = overlapped ? server.ReadString(text, nullptr, -1) : server.ReadString(text, 1);
    });
    Sleep(200);
    client.Disconnect();
    if (!Eventually([r] { return r->result != -1; })) {
      reader.detach();
      ADD_FAILURE() << (overlapped ? "overlapped" : "polled") << ": the read still waits for a client that left";
      continue;
    }
    reader.join();
    EXPECT_EQ(r->result, 0) << (overlapped ? "overlapped" : "polled");
    delete r;
  }
}

// A handler that waits without limit for a message from a silent client
// ends when the service stops.
void AwaitOneMessage(CPipeService* service) {
  if (!service->WaitForConn()) return;
  char text[CNamedPipe::kMaxMessage];
  service->Pipe()->ReadString(text, 1);
  service->Pipe()->Disconnect();
}

TEST(PeerTest, AStopEndsAHandlerWaitingForAMessage) {
  std::string name = UniqueName("silent");
  CPipeService service(name.c_str(), 1, reinterpret_cast<void*>(&AwaitOneMessage), 0);
  StopGuard guard(service);
  service.Start();
  CNamedPipe silent;
  silent.InitClient(nullptr, name.c_str());
  ASSERT_TRUE(Eventually([&] { return silent.Connect(1, 0) == 1; }));
  Sleep(300);  // the handler is in its read
  EXPECT_TRUE(Eventually([&] { return service.Stop(1000, 0) == 1; })) << "a plain Stop never ended the handler";
}

// The exported layout has one virtual operation, NewConsoleLine, in the
// vtable's first slot; a derived class's first virtual comes right after.
// Read from the pointers to virtual members (offset in the vtable plus 1).
class Extended : public CPipeService {
 public:
  Extended() : CPipeService("x", 1, nullptr, 0) {}
  virtual void Added() {}
};

std::ptrdiff_t VtableOffset(void (CPipeService::*member)(const char*)) {
  std::ptrdiff_t raw;
  std::memcpy(&raw, &member, sizeof raw);
  return raw - 1;
}

TEST(PeerTest, NewConsoleLineIsTheOneVirtualInTheFirstSlot) {
  EXPECT_EQ(VtableOffset(&CPipeService::NewConsoleLine), 0) << "NewConsoleLine's slot offset";
  void (Extended::*added)() = &Extended::Added;
  std::ptrdiff_t raw;
  std::memcpy(&raw, &added, sizeof raw);
  EXPECT_EQ(raw - 1, std::ptrdiff_t(sizeof(void*))) << "a derived class's first virtual: the base has one slot";
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 4 && std::strcmp(argv[1], "--client") == 0) {
    CNamedPipe client;
    client.InitClient(nullptr, argv[2]);
    Eventually([&] { return client.Connect(4, 0) == 1; });
    if (client.state != 2) return 2;
    client.WriteString(argv[3]);
    return Receive(client, 10000) == std::string("echo:") + argv[3] ? 0 : 3;
  }
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
