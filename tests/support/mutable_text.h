// S: a text as the char* that the exported classes take for names, paths
// and texts they never write through.
#ifndef TESTS_SUPPORT_MUTABLE_TEXT_H_
#define TESTS_SUPPORT_MUTABLE_TEXT_H_

#include <string>

inline char* S(const std::string& s) { return const_cast<char*>(s.c_str()); }

#endif  // TESTS_SUPPORT_MUTABLE_TEXT_H_
