// CONVERTER_API marks the classes that converter.exe (CDatabase and the
// in-house library) and vmconvert.exe (CDatabase) export by name. The
// programs' own build defines CONVERTER_BUILDING and exports them; a
// caller's compiler, without it, is told that they come from the program
// (dllimport), through its import library. The exports serve code loaded
// into the program's own process (a DLL it loads), not other programs.
#ifndef EXPORT_EXPORT_H_
#define EXPORT_EXPORT_H_

#if !defined(_WIN32)
#define CONVERTER_API
#elif defined(CONVERTER_BUILDING)
#define CONVERTER_API __declspec(dllexport)
#else
#define CONVERTER_API __declspec(dllimport)
#endif

#endif  // EXPORT_EXPORT_H_
