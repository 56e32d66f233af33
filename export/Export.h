// CONVERTER_API marks the classes that converter.exe exports by name.
#ifndef EXPORT_EXPORT_H_
#define EXPORT_EXPORT_H_

#ifdef _WIN32
#define CONVERTER_API __declspec(dllexport)
#else
#define CONVERTER_API
#endif

#endif  // EXPORT_EXPORT_H_
