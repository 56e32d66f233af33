#include "vmconvert/Options.h"

#include <string>
#include <utility>
#include <vector>

const char kUsage[] =
    "usage: vmconvert small-to-big [--live PATH] [--big PATH] [OPTIONS]\n"
    "       vmconvert big-to-small [--live PATH] [--small PATH] [OPTIONS]\n"
    "       vmconvert old-to-new [--old PATH] [--new PATH] [OPTIONS]\n"
    "       vmconvert check JOB [the job's paths] [--report FILE]\n"
    "       vmconvert undo JOURNAL [--dry-run] [--journal FILE] [--no-journal]\n"
    "                              [--report FILE]\n"
    "\n"
    "Brings a table up to date from another, field by field, exactly as the\n"
    "converter's window does: only differing fields are written, each at once.\n"
    "\n"
    "  small-to-big   fields T02 to T33 of records 1 to 12000 of the live table\n"
    "                 (small layout) into the big table\n"
    "  big-to-small   the same from the live table (big layout) into the small table\n"
    "  old-to-new     fifteen fields of the old personal table into the new one\n"
    "  check JOB      compare as JOB's dry run does, list nothing, write nothing:\n"
    "                 status 8 while fields differ, 0 when the tables agree\n"
    "  undo JOURNAL   take back the run that wrote JOURNAL; undo the newest run\n"
    "                 first. Undo checks the whole journal before it writes:\n"
    "                 every line must fit the run line and the table as it is\n"
    "                 now (each field where that field of that record lies, of\n"
    "                 its width, in a record the run had; only the date in the\n"
    "                 header; only the swap's own files); the first that does\n"
    "                 not refuses the journal whole (status 6), as does a table\n"
    "                 shortened since, or whose records moved. The swap first:\n"
    "                 a backup goes back only while it is as the swap left it\n"
    "                 (its size and SHA-256), and the table it replaces is kept\n"
    "                 first under a dated name (vm001-20261210-031500.dbf); a\n"
    "                 table the server wrote to since the swap is said (status\n"
    "                 5). Then, newest first, every field that still holds what\n"
    "                 the run wrote gets its old bytes back, in a record still\n"
    "                 the one the run changed; a field changed since, or a\n"
    "                 record changed elsewhere, is left and listed (status 5),\n"
    "                 naming a newer run's journal in the same folder that\n"
    "                 changed it. A stopped undo can be run again; undo keeps\n"
    "                 its own journal, so it can be undone, swap included.\n"
    "\n"
    "Paths, when not given, are the window's: the live table from Vm001Path in\n"
    "kxaconf.ini (lower-cased, \".\\vm001.dbf\" appended unless it names\n"
    "vm001.dbf; default \\db1\\), \\db1\\vm001_big.dbf, \\db1\\vm001_small.dbf,\n"
    "\\db1\\kxpersonal.dbf and \\db1\\kxpers_new.dbf. --live takes the table or,\n"
    "like Vm001Path, the folder it is in. A path without a drive (\\db1\\...)\n"
    "is on the current drive, a relative one in the current folder: a scheduled\n"
    "task starts in C:\\Windows\\System32 unless its start-in folder says\n"
    "otherwise. vmconvert makes every path full before it starts and names the\n"
    "full paths in its first line, its messages and its report.\n"
    "\n"
    "Options (\"--opt value\" or \"--opt=value\", before or after the command word;\n"
    "\"--\" ends the options):\n"
    "  --dry-run      compare as the job does but write nothing; list every field\n"
    "                 that would be written (record, field, target value, source\n"
    "                 value) and a count per field; say if the real run would be\n"
    "                 refused (then status 2)\n"
    "  --swap         after a run without warnings, put the converted table into\n"
    "                 service: the live (or old personal) table and its index are\n"
    "                 copied to their backup names first, then the converted table\n"
    "                 and its index take their places, each copy verified and moved\n"
    "                 in whole; a failing copy stops the swap and is reported. A\n"
    "                 backup already there that differs from the table (an earlier\n"
    "                 swap's original) is kept under the backup's name with the\n"
    "                 swap's date and time (kxpersonal_old-20261209-031500.dbf).\n"
    "                 What the swap would refuse is refused before the job.\n"
    "  --report FILE  write the run's outcome to FILE as JSON, made before the job\n"
    "                 (a report that cannot be made refuses the run) and written\n"
    "                 anew at every exit: command, full paths and their sizes\n"
    "                 before and after, records compared, beyond each table's end\n"
    "                 and unreadable, fields written and failed per field and in\n"
    "                 all, warnings, cancelled and the record it stopped after,\n"
    "                 swap, its copies and the backups kept, started_at (UTC),\n"
    "                 version, computer, user, seconds, exit status and its reason\n"
    "  --journal FILE write the run's journal to FILE; by default it goes into\n"
    "                 the folder vmconvert-journal beside the target, named by\n"
    "                 date, time and command (20261209-031500-small-to-big.jsonl).\n"
    "                 Every run that writes keeps one, made before its first\n"
    "                 write (a journal that cannot be made refuses the run,\n"
    "                 status 6); each change reaches it before the table. Runs\n"
    "                 that may need taking back should be vmconvert runs: the\n"
    "                 window keeps no journal.\n"
    "  --no-journal   keep no journal (the run cannot be undone)\n"
    "                 Neither output may name a file the run reads or writes\n"
    "                 (a table, an index, a backup, the journal undone) nor\n"
    "                 the other output (status 1); --report replaces only an\n"
    "                 empty file or an earlier report of vmconvert's, and\n"
    "                 --journal never replaces a file (status 6).\n"
    "  --boxes        show warnings in boxes, as the window does, instead of on\n"
    "                 standard error (--quiet-boxes, the default, is accepted)\n"
    "  -h, --help, /? this text\n"
    "  --version      the program's version\n"
    "\n"
    "Standard output carries only results (the dry-run listing, the summary, the\n"
    "swap's copies); progress and warnings go to standard error: one line updated\n"
    "in place on a terminal, plain lines otherwise. Ctrl+C, Ctrl+Break, closing\n"
    "the console, logoff and shutdown cancel: the job finishes its record, closes\n"
    "its tables, and the summary says the record it stopped after. One job at a\n"
    "time converts into a table, across logon sessions; a second (vmconvert, a\n"
    "scheduled task or the window) is refused.\n"
    "\n"
    "small-to-big runs only on a live table of at most 2100000 bytes, big-to-small\n"
    "only on a larger one, as in the window.\n"
    "\n"
    "Exit status:\n"
    "  0  done\n"
    "  1  usage error, an output naming a file the run reads or writes included\n"
    "  2  a table could not be opened, or the target cannot be written (then\n"
    "     nothing was converted)\n"
    "  3  cancelled\n"
    "  4  the swap failed\n"
    "  5  done, with warnings (a record the table layer could not reach, a write it\n"
    "     could not commit, a table that did not close durably, records beyond a\n"
    "     table's end, a field the source lacks); no swap is made. Also: the\n"
    "     report could not be written at the end (the output says what was done,\n"
    "     a swap included)\n"
    "  6  a path check failed, the direction does not fit the live table, the swap\n"
    "     would be refused, the report or the journal could not be made, the\n"
    "     report's file is not a report or the journal's file is there already,\n"
    "     or (undo) the journal is not the target's\n"
    "  7  another job is converting into the same table\n"
    "  8  check: fields differ\n";

const char kVersion[] = "vmconvert " CONVERTER_VERSION "\n";

namespace {

// A path option, the command it belongs to, and where its value goes.
struct PathOption {
  const char* name;
  Options::Job job;
  std::string Options::*value;
  bool Options::*given;
};

const PathOption kPaths[] = {
    {"--live", Options::Job::kSmallToBig, &Options::live, &Options::liveGiven},
    {"--big", Options::Job::kSmallToBig, &Options::target, &Options::targetGiven},
    {"--live", Options::Job::kBigToSmall, &Options::live, &Options::liveGiven},
    {"--small", Options::Job::kBigToSmall, &Options::target, &Options::targetGiven},
    {"--old", Options::Job::kPersonal, &Options::source, &Options::sourceGiven},
    {"--new", Options::Job::kPersonal, &Options::target, &Options::targetGiven},
};

const struct {
  const char* name;
  bool Options::*flag;
} kFlags[] = {
    {"--dry-run", &Options::dryRun}, {"--swap", &Options::swap}, {"--boxes", &Options::boxes},
    {"--help", &Options::help},      {"-h", &Options::help},     {"/?", &Options::help},
    {"--version", &Options::version}, {"--no-journal", &Options::noJournal},
};

Options::Job JobNamed(const std::string& word) {
  if (word == "small-to-big") return Options::Job::kSmallToBig;
  if (word == "big-to-small") return Options::Job::kBigToSmall;
  if (word == "old-to-new") return Options::Job::kPersonal;
  if (word == "undo") return Options::Job::kUndo;
  return Options::Job::kNone;
}

const char* JobName(Options::Job job) {
  switch (job) {
    case Options::Job::kSmallToBig: return "small-to-big";
    case Options::Job::kBigToSmall: return "big-to-small";
    case Options::Job::kUndo: return "undo";
    default: return "old-to-new";
  }
}

// A value option seen before the command word: kept until the command
// says which field it fills.
struct Pending {
  std::string name, value;
};

bool TakeFlag(const std::string& name, Options* o) {
  for (const auto& f : kFlags)
    if (name == f.name) return o->*f.flag = true;
  // Accepted for scripts written for earlier versions: the default now.
  return name == "--quiet-boxes";
}

bool IsValueOption(const std::string& name) {
  if (name == "--report" || name == "--journal") return true;
  for (const PathOption& p : kPaths)
    if (name == p.name) return true;
  return false;
}

bool Assign(const Pending& p, Options* o, std::string* error) {
  for (auto file : {std::make_pair("--report", &Options::report), std::make_pair("--journal", &Options::journal)}) {
    if (p.name != file.first) continue;
    if (!(o->*file.second).empty()) return *error = p.name + " given twice", false;
    o->*file.second = p.value;
    return true;
  }
  for (const PathOption& path : kPaths) {
    if (p.name != path.name || path.job != o->job) continue;
    if (o->*path.given) return *error = p.name + " given twice", false;
    o->*path.value = p.value;
    o->*path.given = true;
    return true;
  }
  *error = "option " + p.name + " does not belong to " + JobName(o->job);
  return false;
}

}  // namespace

bool ParseOptions(int argc, char** argv, Options* o, std::string* error) {
  std::vector<Pending> values;
  bool optionsEnded = false;
  for (int i = 1; i < argc; ++i) {
    std::string a = argv[i];
    if (!optionsEnded && a == "--") {
      optionsEnded = true;
      continue;
    }
    if (optionsEnded || a.empty() || (a[0] != '-' && a != "/?")) {
      if (a == "check" && o->job == Options::Job::kNone) {
        if (o->check) return *error = "check given twice", false;
        o->check = true;
        continue;
      }
      if (o->job == Options::Job::kUndo && o->undoJournal.empty()) {
        o->undoJournal = a;
        continue;
      }
      if (o->job != Options::Job::kNone) return *error = "unexpected argument " + a, false;
      o->job = JobNamed(a);
      if (o->job == Options::Job::kNone) return *error = "unknown command " + a, false;
      continue;
    }
    size_t equals = a.find('=');
    std::string name = a.substr(0, equals);
    if (equals == std::string::npos && TakeFlag(name, o)) continue;
    if (!IsValueOption(name)) return *error = "unknown option " + name, false;
    if (equals != std::string::npos) {
      values.push_back({name, a.substr(equals + 1)});
      continue;
    }
    if (i + 1 >= argc) return *error = name + " needs a value", false;
    values.push_back({name, argv[++i]});
  }
  if (o->help || o->version) return true;
  if (o->job == Options::Job::kNone) return *error = "no command given", false;
  for (const Pending& p : values)
    if (!Assign(p, o, error)) return false;
  if (o->job == Options::Job::kUndo && o->undoJournal.empty()) return *error = "undo needs a journal", false;
  if (o->job == Options::Job::kUndo && (o->swap || o->check)) return *error = "undo takes no swap and no check", false;
  if (o->noJournal && !o->journal.empty()) return *error = "--journal and --no-journal together", false;
  if (o->check && o->swap) return *error = "check makes no swap", false;
  if (o->dryRun && o->swap) return *error = "--swap cannot follow a dry run", false;
  o->dryRun = o->dryRun || o->check;  // a check compares as a dry run does
  return true;
}
