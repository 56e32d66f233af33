// converter.exe: the application object, and the entry point that runs it.
// The exported classes of the table layer and the in-house library live in
// this executable too.
#include <windows.h>

#include "app/CConverterApp.h"

CConverterApp theApp;

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) { return AfxWinMain(); }
