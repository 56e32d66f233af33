// FIELD4INFO: one field definition handed to table creation. An array of
// them ends with an entry whose name is null.
#ifndef ENGINE_FIELD_INFO_H_
#define ENGINE_FIELD_INFO_H_

struct FIELD4INFO {
  const char* name;   // 1 to 10 characters
  short type;         // type letter: 'C', 'N', 'F', 'D', 'L', 'M'
  unsigned short len; // width in characters, 1 to 254 (a C field up to 65534)
  unsigned short dec; // decimals of an N or F field
  unsigned short nulls;  // unused; kept for the record's shape
};

#endif  // ENGINE_FIELD_INFO_H_
