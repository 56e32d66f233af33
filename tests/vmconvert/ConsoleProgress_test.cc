// vmconvert's progress line and where it is drawn.
#include "vmconvert/ConsoleProgress.h"

#include <windows.h>

#include <gtest/gtest.h>

#include "tests/support/temp_dir.h"

namespace {

// Progress redraws its bar in place only where someone may watch it: a
// scheduled run with its standard error on NUL gets the plain lines, as
// for a file or a pipe.
TEST(ConsoleProgressTest, OnlyAConsoleIsTakenForOne) {
  TempDir dir;
  HANDLE nul = CreateFileA("NUL", GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
  HANDLE file = CreateFileA(dir.File("err.txt").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  HANDLE pipeRead = nullptr, pipeWrite = nullptr;
  ASSERT_TRUE(CreatePipe(&pipeRead, &pipeWrite, nullptr, 0));
  const struct {
    const char* name;
    HANDLE handle;
  } kNotConsoles[] = {{"NUL", nul}, {"a file", file}, {"a pipe", pipeWrite}};
  for (const auto& c : kNotConsoles) {
    ASSERT_NE(c.handle, INVALID_HANDLE_VALUE) << c.name;
    EXPECT_FALSE(ConsoleProgress::IsConsole(c.handle)) << c.name << " was taken for a console";
    CloseHandle(c.handle);
  }
  CloseHandle(pipeRead);
  // The test's console; where it has none, one of its own for the check,
  // given back afterwards with the standard handles as they were (the
  // other tests' programs inherit them).
  auto openConsole = [] {
    return CreateFileA("CONOUT$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                       OPEN_EXISTING, 0, nullptr);
  };
  HANDLE standard[] = {GetStdHandle(STD_INPUT_HANDLE), GetStdHandle(STD_OUTPUT_HANDLE), GetStdHandle(STD_ERROR_HANDLE)};
  HANDLE console = openConsole();
  bool borrowed = console == INVALID_HANDLE_VALUE;
  if (borrowed) {
    FreeConsole();  // Wine may hold a console-less attachment that refuses a new one
    ASSERT_TRUE(AllocConsole()) << "no console to compare with, error " << GetLastError();
    console = openConsole();
  }
  EXPECT_TRUE(ConsoleProgress::IsConsole(console)) << "a console was not taken for one";
  CloseHandle(console);
  if (!borrowed) return;
  FreeConsole();
  SetStdHandle(STD_INPUT_HANDLE, standard[0]);
  SetStdHandle(STD_OUTPUT_HANDLE, standard[1]);
  SetStdHandle(STD_ERROR_HANDLE, standard[2]);
}

}  // namespace
