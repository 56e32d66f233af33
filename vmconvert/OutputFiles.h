// OutputFiles: vmconvert's own outputs, the report (--report) and a journal
// named by --journal, checked before anything is created or written, so
// that no output can ever destroy a table or the trail:
//   - neither may be a file the run reads or writes, nor the other output
//     (by file identity where the file exists, by full path otherwise),
//     and the report may be neither the journal folder beside the run's
//     table nor a file in it other than the run's own kept report: a
//     usage error, status 1;
//   - a report replaces only an empty file or one of our own reports, and
//     a journal replaces no file at all: status 6.
// Every file is looked at through the file system given.
#ifndef VMCONVERT_OUTPUTFILES_H_
#define VMCONVERT_OUTPUTFILES_H_

#include <string>
#include <vector>

#include "vmconvert/Options.h"

namespace xb {
class FileSystem;
}  // namespace xb

struct RunFile {
  std::string role;  // "the live table", "the report", ...
  std::string path;
};

// Every file the run of o may read or write, by role: for a job (its paths
// already in JobState) the swap's files, which hold its source and target;
// for undo the journal undone and, from its run line when it can be read,
// that run's target and swap files; the journal folder beside the table;
// then the report and the journal.
std::vector<RunFile> RunFiles(const Options& o, xb::FileSystem& fs);

struct OutputClash {
  std::string message;  // "" when there is none
  bool report = false;  // the report is one of the two files
};
// The first output in files that names the same file as another entry, or
// a report in the journal folder that is not the journal's own report.
OutputClash FindClash(const std::vector<RunFile>& files, xb::FileSystem& fs);

// "" when the report may be written at path: no file there, an empty one,
// or a report of ours; else the message.
std::string ReportRefusal(const std::string& path, xb::FileSystem& fs);
// "" when no file is at path, which a journal may then take; else the
// message.
std::string JournalRefusal(const std::string& path, xb::FileSystem& fs);
// The first of these that refuses o's outputs: the report's, the
// journal's, and that of the report kept beside the journal; "" when none.
std::string OutputRefusal(const Options& o, xb::FileSystem& fs);

// On a command line that did not parse: the report's path when one may be
// written there (it is given once, names no file another argument names,
// and passes ReportRefusal); else "", with *why saying why not ("" when no
// report was asked for).
std::string UsageReportPath(int argc, char** argv, xb::FileSystem& fs, std::string* why);

#endif  // VMCONVERT_OUTPUTFILES_H_
