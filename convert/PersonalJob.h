// The personal job: walks the old and the new personal table side by side
// from their first records and copies fifteen named fields of each old
// record into the new record at the same position, as text, where they
// differ: a pair's changes written together once all are known, each field
// by a write of its own. The walk ends after the old table's last record,
// at an old record with an empty "IDXP", or on a cancel. One step message per
// hundredth of the old table's records (after every pair for tables of 1 to
// 99 records), the final message after both tables are closed, then running
// is cleared. A table that cannot be opened shows error 126 or 127 with its
// path and ends the job with no message, running left set. Old records
// beyond the new table's end are not paired with anything.
#ifndef CONVERT_PERSONALJOB_H_
#define CONVERT_PERSONALJOB_H_

// Thread routine for _beginthread; the argument is ignored.
void __cdecl PersonalJob(void*);

#endif  // CONVERT_PERSONALJOB_H_
