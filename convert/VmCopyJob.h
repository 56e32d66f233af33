// The voicemail copy jobs: records 1 to 12000 of the live table
// (JobState::livePath) are compared with the same records of the target,
// and the fields T02 to T33 that differ are written into the target: once
// a record's differing fields are all known, each by a write of its own, in
// field order, before the next record is compared (the observer hears of
// the record's changes as one group first). One step message per 120
// records, the final message after both tables are closed, then running is
// cleared. A table that cannot be opened shows error 105 with its path and
// ends the job with no message, running left set. A record number beyond the end of either table (as counted when
// it was opened) is neither read nor written.
#ifndef CONVERT_VMCOPYJOB_H_
#define CONVERT_VMCOPYJOB_H_

// Records 1 to kVmJobRecords are compared; one step per kVmJobStepRecords.
constexpr unsigned int kVmJobRecords = 12000;
constexpr unsigned int kVmJobStepRecords = 120;

// Thread routines for _beginthread; the argument is ignored. Each fills
// JobState::outcome as it works.
void __cdecl SmallToBigJob(void*);  // target JobState::bigPath
void __cdecl BigToSmallJob(void*);  // target JobState::smallPath

#endif  // CONVERT_VMCOPYJOB_H_
