// Options: vmconvert's command line.
//   vmconvert small-to-big [--live PATH] [--big PATH]
//   vmconvert big-to-small [--live PATH] [--small PATH]
//   vmconvert old-to-new [--old PATH] [--new PATH]
// each with [--dry-run] [--swap] [--boxes] [--report FILE] [--journal FILE]
// [--no-journal]; vmconvert check JOB ...; vmconvert undo JOURNAL
// [--dry-run] [--journal FILE] [--no-journal] [--report FILE]; vmconvert
// history [TARGET] [--journal-dir DIR] [--json] [--count]; vmconvert compare
// A B [--json]; or vmconvert --help (-h,
// /?) or --version. Options take their value as
// "--opt value" or "--opt=value" and may stand before or after the command
// word; "--" ends the options.
#ifndef VMCONVERT_OPTIONS_H_
#define VMCONVERT_OPTIONS_H_

#include <string>

struct Options {
  enum class Job { kNone, kSmallToBig, kBigToSmall, kPersonal, kUndo, kHistory, kCompare };
  Job job = Job::kNone;
  bool help = false;
  bool version = false;
  bool dryRun = false;
  bool check = false;  // "check": a dry run without its listing, status 8 when fields differ
  bool swap = false;
  bool boxes = false;  // warnings as boxes; standard error otherwise
  std::string report;  // the JSON report's file; "" for none
  std::string journal;  // --journal FILE; "" for the default place
  bool noJournal = false;
  std::string undoJournal;  // undo: the journal of the run to take back
  std::string historyTarget;  // history: the table whose runs to list; "" for every one
  std::string journalDir;     // history: --journal-dir DIR; "" for the folder beside the table
  std::string compareA, compareB;  // compare: the two tables
  bool json = false;          // history, compare: JSON Lines
  bool count = false;         // history: count a killed run's journaled fields
  // Paths given on the command line; "given" false means the default.
  std::string live, target, source;
  bool liveGiven = false, targetGiven = false, sourceGiven = false;
};

// False, with error saying why, for a command line that does not parse.
bool ParseOptions(int argc, char** argv, Options* options, std::string* error);


#endif  // VMCONVERT_OPTIONS_H_
