// example.dll: code that uses the converter's exported classes from inside
// the converter's own process, as a DLL the process loads. Built from the
// kit alone (its headers and the import library of converter.exe):
//
//   x86_64-w64-mingw32-g++ -shared -static -O2 -I ../include example.cpp
//       ../lib/libconverter.dll.a -o example.dll
//
// (-static: the DLL carries its C++ runtime, which the converter does not
// share.)
//
// (i686-w64-mingw32-g++ and the 32-bit kit for the 32-bit program). Once
// loaded, it works on a thread of its own (never inside DllMain, where the
// loader's lock is held): it writes and reads a file through CDosFile and
// CLogFile, makes a table through CDatabase, writes and reads it back, and
// writes a line for each result to the file EXAMPLE_RESULTS names (by
// default converter-kit-example.txt in the TEMP folder), "done" last.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "db/CDatabase.h"
#include "lib/CDosFile.h"
#include "lib/CLogFile.h"

namespace {

std::string TempFile(const char* name) {
  char folder[MAX_PATH] = "";
  GetTempPathA(sizeof folder, folder);
  return std::string(folder) + name;
}

void Say(FILE* out, const char* what, long result) { std::fprintf(out, "%s %ld\n", what, result); }

void Files(FILE* out) {
  std::string path = TempFile("converter-kit-example.log");
  CLogFile log(path.c_str());
  char line[] = "first line\r\n";
  Say(out, "CLogFile::Create", log.Create(OF_WRITE));
  Say(out, "CLogFile::Write", log.Write(line, static_cast<unsigned long>(std::strlen(line))));
  Say(out, "CLogFile::Close", log.Close());
  CDosFile file(path.c_str());
  char back[64] = "";
  Say(out, "CDosFile::Open", file.Open(OF_READ));
  Say(out, "CDosFile::ReadLine", file.ReadLine(back, sizeof back));
  std::fprintf(out, "read back: %s\n", back);
  Say(out, "CDosFile::Close", file.Close());
  DeleteFileA(path.c_str());
}

void Table(FILE* out) {
  std::string path = TempFile("converter-kit-example.dbf");
  FIELD4INFO fields[] = {{"NAME", 'C', 10, 0, 0}, {"COUNT", 'N', 5, 0, 0}, {nullptr, 0, 0, 0, 0}};
  CDatabase db;
  Say(out, "CDatabase::Create", db.Create(&path[0], fields));
  Say(out, "CDatabase::Append", db.Append());
  char name[] = "NAME", count[] = "COUNT", text[] = "hello";
  Say(out, "CDatabase::Replace NAME", db.Replace(name, text));
  Say(out, "CDatabase::Replace COUNT", db.Replace(count, 42));
  Say(out, "CDatabase::RecCount", long(db.RecCount()));
  db.Top();
  char read[11] = "";
  int number = 0;
  Say(out, "CDatabase::Read NAME", db.Read(name, read));
  Say(out, "CDatabase::Read COUNT", db.Read(count, &number));
  std::fprintf(out, "read back: %s %d\n", read, number);
  Say(out, "CDatabase::Close", db.Close());
  DeleteFileA(path.c_str());
}

DWORD WINAPI Work(void*) {
  const char* named = std::getenv("EXAMPLE_RESULTS");
  std::string results = named ? named : TempFile("converter-kit-example.txt");
  FILE* out = std::fopen(results.c_str(), "w");
  if (!out) return 1;
  Files(out);
  Table(out);
  std::fprintf(out, "done\n");
  std::fclose(out);
  return 0;
}

}  // namespace

BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID) {
  if (reason == DLL_PROCESS_ATTACH) {
    HANDLE thread = CreateThread(nullptr, 0, Work, nullptr, 0, nullptr);
    if (thread) CloseHandle(thread);
  }
  return TRUE;
}
