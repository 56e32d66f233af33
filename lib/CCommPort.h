// CCommPort: a serial port opened for overlapped input and output, with
// line settings given as four numbers or as a mode string, reads and writes
// that wait for their completion, read time-outs and buffer purges.
//
// Results: Open 1 or 0; Close 1 (or the platform's result); Read and Write
// the count moved (possibly short, 0 included, on a time-out) or -1.
// Nothing shows a message. Settings are stored at once and applied at once
// to an open port; a baudRate of 0 means "keep the port's own settings".
//
// Device names: one beginning with "com" (any case) is kept as it is, at
// most 39 characters; any other is kept behind "\\?\", at most 35. A
// longer or null name leaves the name empty, and Open then fails.
//
// Ownership: the object owns its port handle and its two events. A copy
// (constructor or assignment) takes the name and the line settings only:
// it is closed and keeps events of its own, so no handle has two owners.
// One reading and one writing thread may share an open port.
#ifndef LIB_CCOMMPORT_H_
#define LIB_CCOMMPORT_H_

#include <windows.h>

#include "export/Export.h"

class CONVERTER_API CCommPort {
 public:
  explicit CCommPort(const char* name);
  // Line settings as SetCommParms(baud, parity, dataBits, stopCount) takes
  // them; an unknown parity letter or stop count gives none / one.
  CCommPort(const char* name, int baud, char parity, int dataBits, int stopCount);
  // Line settings from a mode string; none (baudRate 0) if it is refused.
  CCommPort(const char* name, char* mode);
  CCommPort(const CCommPort& other);
  ~CCommPort();
  // Closes this port, then takes other's name and line settings.
  CCommPort& operator=(const CCommPort& other);

  // Opens the device (closing a port this object already has open), applies
  // the line settings, sets the read time-outs to 5000 ms and purges both
  // buffers. The argument is not used.
  int Open(int unused);
  int Close();

  // Parity: upper-case "N", "O", "E", "M", "S"; stop counts 1 and 2. Other
  // values leave that setting as it was.
  void SetCommParms(int baud, char parity, int dataBits, int stopCount);
  // A mode string in the platform's syntax ("9600,n,8,1", "baud=9600 ...").
  void SetCommParms(char* mode);
  // Applies the stored settings to the open port.
  void SetCommParms();

  // A negative count is refused (-1). The third argument is not used.
  int Read(char* buffer, int count, int unused);
  int Read(unsigned char* buffer, int count, int unused);
  int Write(char* buffer, int count, int unused);
  int Write(unsigned char* buffer, int count, int unused);
  int WriteString(char* text, int unused);
  // All three read time-outs to timeout x 10 ms (0: no time-out).
  void SetTimeOut(int timeout);
  // Discards both buffers of the open port.
  void FlushBuffers();

  char deviceName[40];
  int baudRate;
  int byteSize;
  int parity;
  int stopBits;
  HANDLE handle;
  HANDLE readEvent;
  HANDLE writeEvent;
  OVERLAPPED readOverlapped;
  OVERLAPPED writeOverlapped;

 private:
  // Stores name by the device-name rule.
  void SetName(const char* name);
  // Fresh events and overlapped records, a closed port, no settings.
  void Init(const char* name);
  // One overlapped transfer on the given record, waited for.
  int Transfer(bool write, void* buffer, int count);
};

#endif  // LIB_CCOMMPORT_H_
