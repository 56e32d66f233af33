// converter.exe: the application object, and the entry point that runs it.
// The exported classes of the table layer and the in-house library live in
// this executable too.
#include <windows.h>

#include "app/CConverterApp.h"
#include "db/EngineContext.h"
#include "run/TestHooks.h"

CConverterApp theApp;

// Every file of the program goes through the engine context's file layer:
// the system's, or in the test build the one with the test hooks' faults.
int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  engineContext.setFileSystem(TestHooks::Files());
  return AfxWinMain();
}
