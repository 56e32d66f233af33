// CNamedPipe: one end of a named pipe carrying NUL-terminated text messages
// (and raw blocks). As a server it creates instances of a local pipe and
// waits for a client; as a client it opens a pipe on this machine or on a
// named server. Two ways of working, chosen by the Connect form: polled
// (PIPE_NOWAIT, reads drain what has arrived) and overlapped (time-outs in
// tenths of a second, reads take what the platform reports available).
//
// Results are 1/0 (IsConnected passes the platform's result on). A write
// succeeds only when every byte was written: on a polled pipe whose buffer
// is full it waits, 100 ms at a time, while the other end is connected.
// Received bytes collect in rxBuffer; reads take whole messages from its
// front, a message already there first, even after the other end has
// gone. A message is at most kMaxMessage bytes with its NUL, and
// ReadString's destination must hold that many; a longer one drops the
// connection and what was received. Nothing shows a message.
//
// Names hold at most 39 characters; longer (and empty pipe) names are
// refused. Ownership: the object owns its pipe handle, receive buffer and
// two events, released by the destructor and, for the events, replaced by
// a repeated InitServer/InitClient. A client's Connect closes the pipe it
// holds first. A copy (constructor or assignment)
// takes the names, role and public flag only: it holds no pipe, no
// received bytes and events of its own. One thread at a time.
#ifndef LIB_CNAMEDPIPE_H_
#define LIB_CNAMEDPIPE_H_

#include <windows.h>

#include "export/Export.h"

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
  void Append(char byte);
  // True when a whole message of at most kMaxMessage bytes is buffered.
  bool HasMessage() const;
  // A whole message, or more bytes than any message may have, is buffered.
  bool ReadyToTake() const;
  // Moves the first message into destination; a message too long drops the
  // connection and the buffer.
  int TakeMessage(char* destination);
  // True while the drains may buffer more.
  bool RoomToBuffer() const;
  int Send(const void* data, unsigned long length, bool flushOnServer);
  bool WriteOnce(const char* bytes, unsigned long length, DWORD* written);
};

#endif  // LIB_CNAMEDPIPE_H_
