#include "commands/ExitStatus.h"

const char* StatusWords(int status) {
  static const char* const kWords[] = {"done",
                                       "usage error",
                                       "a table could not be opened",
                                       "cancelled",
                                       "the swap failed",
                                       "done, with warnings",
                                       "refused",
                                       "another job converts into the table",
                                       "fields differ"};
  return status >= 0 && status < int(sizeof kWords / sizeof kWords[0]) ? kWords[status] : "unknown";
}

const StatusText kStatusTexts[9] = {
    {kDone, "done"},
    {kBadUsage, "usage error, an output (--report, --journal) that names a file the run reads or writes included; "
                "nothing was done"},
    {kNotOpened, "a table could not be opened, or the target cannot be written (refused before the job; a dry run "
                 "says so), or the conversion could not be started; undo: its table cannot be opened for writing"},
    {kCancelled, "cancelled (Ctrl+C, Ctrl+Break, closing the console, logoff, shutdown): the summary says where "
                 "it stopped"},
    {kSwapFailed, "the swap failed: the message says which table is unchanged or where its copy is; undo: a backup "
                  "could not be copied back"},
    {kWarned, "done, with warnings: records beyond a table's end, a record that could not be read, a write that "
              "could not be committed, a table that did not close durably, a field the source lacks, or a journal "
              "that could not be written part-way (a disk that filled) or ended; then no swap was made. Also: the "
              "report could not be written at the end (the output says what was done, a swap included). Undo: "
              "fields, records or swap files left as they are, or a table kept under a dated name because it "
              "changed since the swap"},
    {kRefused, "refused before anything was changed: a path check failed, the direction does not fit the live "
               "table, the swap would be refused (its names, or no room for its copies), the report or the journal "
               "could not be made, the report's file is not a report, or the journal's file is there already; "
               "undo: the journal cannot be read, does not fit its table, or that table was shortened or its "
               "records moved, or its copies have no room; history: the journal folder is not there"},
    {kBusy, "another job is converting into the same table"},
    {kDiffers, "check: fields differ"},
};
