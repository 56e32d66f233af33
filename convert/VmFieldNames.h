// VmFieldNames: the logical names of the voicemail table's fields. Entry k
// (from 0) names field number k + 1, stored in the table as "T%02d".
#ifndef CONVERT_VMFIELDNAMES_H_
#define CONVERT_VMFIELDNAMES_H_

extern const char* const VmFieldNames[99];

// "T01" to "T99", the stored name of field number n (1 to 99); "" outside.
const char* VmStoredName(int n);

#endif  // CONVERT_VMFIELDNAMES_H_
