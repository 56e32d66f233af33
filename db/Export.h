// CONVERTER_API marks the classes that converter.exe exports by name.
#ifndef DB_EXPORT_H_
#define DB_EXPORT_H_

#ifdef _WIN32
#define CONVERTER_API __declspec(dllexport)
#else
#define CONVERTER_API
#endif

#endif  // DB_EXPORT_H_
