// CompareCommand: `vmconvert compare A B`, what differs between two tables
// of one layout, read only: each record and field whose stored bytes
// differ (the deletion flag as "(deleted)"), then the counts; --json prints
// each difference as a JSON object on a line, then a summary object. It
// shows, after a swap was undone, what the server wrote to the kept copy.
#ifndef VMCONVERT_COMPARECOMMAND_H_
#define VMCONVERT_COMPARECOMMAND_H_

#include "vmconvert/Options.h"

// The status: 0 the tables agree, 8 fields differ, 2 a table cannot be
// read, 6 the tables are not of one layout.
int RunCompare(const Options& o);

#endif  // VMCONVERT_COMPARECOMMAND_H_
