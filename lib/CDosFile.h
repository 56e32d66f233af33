// CDosFile: a file known by its name, opened through the platform's
// old-style file calls (_lcreat, _lopen, _lclose, _llseek, _hread,
// _hwrite), with byte reads and writes, absolute positioning and a CR LF
// line reader.
//
// Every operation returns 1 for success and 0 for failure (GetPos: the
// position or -1); nothing shows a message. An operation on a closed file
// fails without calling the platform. The object owns a heap copy of its
// name and its open file; the destructor closes the file and frees the
// name. A copy (constructor or assignment) takes the name only and is
// closed, so that no name or file ever has two owners. Create and Open on
// an open object close its file first. One thread at a time.
#ifndef LIB_CDOSFILE_H_
#define LIB_CDOSFILE_H_

#include "export/Export.h"

class CONVERTER_API CDosFile {
 public:
  // Keeps a copy of name (null: an object that can never be opened).
  CDosFile(const char* name);
  CDosFile(const CDosFile& other);
  ~CDosFile();
  // Closes this object's file, then takes a copy of other's name.
  CDosFile& operator=(const CDosFile& other);

  // Creates the file (or empties it), then opens it with mode.
  int Create(unsigned long mode);
  // Opens with the platform's access and sharing flags (OF_READ ...).
  int Open(unsigned long mode);
  // Fails on a closed file; the object is closed afterwards in any case.
  int Close();
  int Seek(unsigned long offset);
  int SeekEof();
  long GetPos();
  // *done: bytes moved (0 at end of file, 0 on a platform error); left
  // untouched when the file is closed.
  int Read(void* buffer, unsigned long count, unsigned long* done);
  int Read(void* buffer, unsigned long count);
  // A count of 0 writes nothing and succeeds with *done 0.
  int Write(void* buffer, unsigned long count, unsigned long* done);
  int Write(void* buffer, unsigned long count);
  // Reads one line ended by CR LF into buffer, NUL-terminated, at most
  // size - 1 characters; the file is left just after the line's LF (or
  // after the characters taken). At end of file: an empty string. Fails
  // without writing when size is 0.
  int ReadLine(void* buffer, unsigned long size);

 private:
  char* fileName;  // heap copy of the name; null when constructed without one
  int handle;      // the open file; 0 while closed
};

#endif  // LIB_CDOSFILE_H_
