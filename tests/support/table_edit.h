// Helpers for tests that set up tables through CDatabase and check what a
// job wrote to them.
#ifndef TESTS_SUPPORT_TABLE_EDIT_H_
#define TESTS_SUPPORT_TABLE_EDIT_H_

#include <cstdint>
#include <string>
#include <vector>

#include "tests/support/fault_file_system.h"
#include "tests/support/mutable_text.h"

// Sets field of record of the table at path to value through CDatabase;
// false when the table cannot be opened.
bool SetField(const std::string& path, uint32_t record, const char* field, const std::string& value);

// The writes fs saw reach fields of the table at path, in order, as
// "record:field" (the header's date and count left out).
std::vector<std::string> FieldWrites(const FaultFileSystem& fs, const std::string& path);

#endif  // TESTS_SUPPORT_TABLE_EDIT_H_
