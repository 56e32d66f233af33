// CNamedPipe: one end of a named pipe carrying NUL-terminated text messages
// (and raw blocks). As a server it creates instances of a local pipe and
// waits for a client; as a client it opens a pipe on this machine or on a
// named server. Two ways of working, chosen by the Connect form: polled
// (PIPE_NOWAIT, reads drain what has arrived) and overlapped (time-outs in
// tenths of a second, reads take what the platform reports available).
//
// Results are 1/0 (IsConnected passes the platform's result on). A write
// succeeds only when every byte reached the pipe and, for a server's
// WriteString and WriteBuffer, the client read them. A write waits while
// the other end is connected and takes what it is sent, and fails once
// the reader has taken nothing for 5 s, has gone, or (on a pipe service's
// thread) the service is stopping.
//
// Received bytes collect in rxBuffer; reads take whole messages from its
// front, a message already there first, even after the other end has
// gone. A message is at most kMaxMessage bytes with its NUL, and
// ReadString's destination must hold that many; a longer one drops the
// connection and what was received. The waits without limit (ReadString
// with wait, the overlapped one with a negative time-out) also end, with
// 0, once the other end has gone and what it sent is taken, or when the
// calling thread's pipe service stops. Nothing shows a message.
//
// A server's polled connect counts a client that came and already left
// as a connection, so that what it sent is read. A server's Disconnect
// keeps its instance for the next Connect (a new one is made when the
// Connect form changes, or after an overlapped connect timed out) and
// drops what the client sent and nobody took; a client's keeps it. A
// waiting client looks for a free instance every 50 ms, and waits through
// a moment when the name has no instance at all for up to 2 s.
//
// Names hold 1 to 39 characters (the name fields' room) and no backslash
// (which a pipe's name may not have); others are refused. Ownership: the
// object owns its pipe handle, receive buffer and two events, released by
// the destructor and, for the events, replaced by a repeated
// InitServer/InitClient. A client's Connect closes the pipe it holds
// first. A copy (constructor or assignment) takes the names, role and
// public flag only: it holds no pipe, no received bytes and events of its
// own. One thread at a time.
#ifndef LIB_CNAMEDPIPE_H_
#define LIB_CNAMEDPIPE_H_

#include <windows.h>

#include "export/Export.h"

class CPipeService;

class CONVERTER_API CNamedPipe {
 public:
  // The longest message ReadString delivers, its NUL included.
  static constexpr int kMaxMessage = 8192;

  CNamedPipe();
  CNamedPipe(const CNamedPipe& other);
  ~CNamedPipe();
  CNamedPipe& operator=(const CNamedPipe& other);

  int InitServer(const char* name);
  // server null keeps serverName as it is.
  int InitClient(const char* server, const char* name);
  void SetPublic();
  // Polled: maxInstances for a server's new instance; wait non-zero blocks
  // until a client comes (server) or an instance is free (client).
  int Connect(int maxInstances, int wait);
  // Overlapped: timeout in tenths of a second (server: -1 waits without
  // limit). The second argument is not used.
  int Connect(int maxInstances, char* unused, int timeout);
  int Disconnect();
  int IsConnected();
  int TestChar(char c);
  int TestCharOvl(char c);
  int ReadChar(char* out);
  // wait non-zero: polls every second until a whole message is there.
  int ReadString(char* destination, int wait);
  // timeout: attempts 100 ms apart (negative: without limit).
  int ReadString(char* destination, char* unused, int timeout);
  int WriteChar(char c);
  int WriteString(char* text);
  int WriteBuffer(char* data, unsigned long length);

  char serverName[40];
  char pipeName[40];
  int role;          // 0 none, 1 server, 2 client
  int state;         // 0 idle, 1 waiting, 2 connected
  int connectCount;  // connections since construction
  int isPublic;
  HANDLE handle;
  int rxLength;
  char* rxBuffer;
  HANDLE readEvent;
  HANDLE secondEvent;
  OVERLAPPED readOverlapped;
  OVERLAPPED secondOverlapped;

 private:
  // A pipe service closes its threads' instances as they end.
  friend class CPipeService;

  // A name every endpoint can use: 1 to 39 characters, no backslash.
  static bool UsableName(const char* name);
  void MakeEvents();
  void ReleaseEvents();
  void Path(char (&path)[128]) const;
  HANDLE CreateInstance(int maxInstances, bool overlapped);
  int Connected();
  int ConnectServerPolled(int maxInstances, int wait);
  int ConnectClientPolled(int wait);
  int ConnectServerOverlapped(int maxInstances, int timeout);
  int ConnectClientOverlapped(int timeout);
  HANDLE OpenClient(bool overlapped);
  bool WaitForInstance(bool overlapped, DWORD limitMs);
  bool PolledInstance() const;
  // Disconnects and closes the instance (a server's) or the pipe.
  void CloseInstance();
  // Grows rxBuffer by count bytes; where they go, or null.
  char* Room(int count);
  bool NoMessageCanCome();
  bool BoundedFlush();
  // True when a whole message of at most kMaxMessage bytes is buffered.
  bool HasMessage() const;
  // A whole message, or more bytes than any message may have, is buffered.
  bool ReadyToTake() const;
  // Moves the first message into destination; a message too long drops the
  // connection and the buffer.
  int TakeMessage(char* destination);
  // True while the drains may buffer more.
  bool RoomToBuffer() const;
  // What the drains may still buffer, at most atMost bytes.
  int RoomLeft(int atMost) const;
  int Send(const void* data, unsigned long length, bool flushOnServer);
  bool WriteOnce(const char* bytes, unsigned long length, DWORD* written);
};

#endif  // LIB_CNAMEDPIPE_H_
