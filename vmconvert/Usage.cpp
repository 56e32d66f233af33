#include "vmconvert/Usage.h"

#include <cstdio>

#include "commands/ExitStatus.h"
#include "run/RunReport.h"

namespace {

const char kText[] =
    "usage: vmconvert small-to-big [--live PATH] [--big PATH] [OPTIONS]\n"
    "       vmconvert big-to-small [--live PATH] [--small PATH] [OPTIONS]\n"
    "       vmconvert old-to-new [--old PATH] [--new PATH] [OPTIONS]\n"
    "       vmconvert check JOB [the job's paths] [--report FILE]\n"
    "       vmconvert undo JOURNAL [--dry-run] [--journal FILE] [--no-journal]\n"
    "                              [--report FILE]\n"
    "       vmconvert history [TARGET] [--journal-dir DIR] [--json] [--count]\n"
    "       vmconvert compare A B [--json]\n"
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
    "  compare A B    list each record and field whose stored bytes differ\n"
    "                 between two tables of one layout, and the counts (--json:\n"
    "                 a JSON object a line); reads only: status 8 while they\n"
    "                 differ, 0 when they agree. After an undone swap it shows\n"
    "                 what the server wrote to the kept copy.\n"
    "  history [TARGET] list the runs the journal folder beside TARGET records\n"
    "                 (only those that concern it: that wrote it, whose swap\n"
    "                 replaced it, or undid such a swap; by default every run\n"
    "                 in the folder beside the default tables,\n"
    "                 \\db1\\vmconvert-journal), newest first, a line each: when,\n"
    "                 computer and user, the program, the command, its status\n"
    "                 (or killed: no end line), fields written, the swap,\n"
    "                 cancelled, the undo that took it back, source -> target\n"
    "                 and why the status is not 0; --journal-dir DIR reads DIR\n"
    "                 instead, --json prints JSON Lines. Each journal is read at\n"
    "                 its two ends; --count (and --json) also counts the fields\n"
    "                 a killed run journaled, reading its journal whole. A\n"
    "                 journal that cannot be read is listed as such.\n"
    "\n"
    "Paths, when not given, are the window's: the live table from Vm001Path in\n"
    "kxaconf.ini (lower-cased, \".\\vm001.dbf\" appended unless it names\n"
    "vm001.dbf; default \\db1\\), \\db1\\vm001_big.dbf, \\db1\\vm001_small.dbf,\n"
    "\\db1\\kxpersonal.dbf and \\db1\\kxpers_new.dbf. --live takes the table (a path\n"
    "ending in .dbf is taken as named, vm001.dbf or not: a kept copy can be the\n"
    "source) or, like Vm001Path, the folder it is in. A path without a drive\n"
    "(\\db1\\...) is on the current drive, a relative one in the current folder:\n"
    "a scheduled task starts in C:\\Windows\\System32 unless its start-in folder\n"
    "says otherwise. vmconvert makes every path full before it starts and names\n"
    "the full paths in its first line, its messages and its report.\n"
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
    "                 What the swap would refuse is refused before the job,\n"
    "                 a disk without room for all its copies at once included.\n"
    "  --report FILE  write the run's outcome to FILE as JSON, made before the\n"
    "                 job (a report that cannot be made refuses the run) and\n"
    "                 written anew at every exit; its keys are listed below.\n"
    "                 Every run that keeps a journal also keeps its report beside\n"
    "                 it, the same name with .json.\n"
    "  --journal FILE write the run's journal to FILE; by default it goes into\n"
    "                 the folder vmconvert-journal beside the target, named by\n"
    "                 date, time and command (20261209-031500-small-to-big.jsonl).\n"
    "                 Every run that writes keeps one, made before its first\n"
    "                 write (a journal that cannot be made refuses the run,\n"
    "                 status 6); each change reaches it before the table. It is\n"
    "                 made only where no file is: at a default name taken the\n"
    "                 next free one (-2, -3...). The window journals its runs\n"
    "                 the same way; its \"Run history\x85\" lists and undoes them.\n"
    "  --no-journal   keep no journal (the run cannot be undone)\n"
    "                 Neither output may name a file the run reads or writes\n"
    "                 (a table, an index, a backup, the journal undone) nor\n"
    "                 the other output, and the report neither the journal\n"
    "                 folder nor a file in it (status 1); --report replaces\n"
    "                 only an empty file or a report of ours (marked by its\n"
    "                 report_format and program), and --journal never\n"
    "                 replaces a file (status 6). A report is written whole\n"
    "                 or not at all (NAME.part, then moved into place).\n"
    "  --boxes        show warnings in boxes, as the window does, instead of on\n"
    "                 standard error (--quiet-boxes, the default, is accepted)\n"
    "  -h, --help, /? this text\n"
    "  --version      the program's version\n"
    "\n"
    "Standard output carries only results (the dry-run listing, the summary, the\n"
    "swap's copies, and last a line with the status in words, \"status 0: done\");\n"
    "progress and warnings go to standard error: one line updated in place on a\n"
    "terminal, plain lines otherwise. Ctrl+C, Ctrl+Break, closing\n"
    "the console, logoff and shutdown cancel: the job finishes its record, closes\n"
    "its tables, and the summary says the record it stopped after. One job at a\n"
    "time writes a table, across logon sessions, whatever path names it (a\n"
    "link, a mapped drive, a share): a second (vmconvert, a scheduled task or\n"
    "the window) is refused. Text from journals and tables is printed with its\n"
    "control characters escaped (\\u001b).\n"
    "\n"
    "small-to-big runs only on a live table of at most 2100000 bytes, big-to-small\n"
    "only on a larger one, as in the window. A swap changes which direction fits\n"
    "the live table: after small-to-big --swap the live table is big, and only\n"
    "big-to-small fits it, so a swap is made once, not every night.\n"
    "\n";

const int kWidth = 79;

// text after prefix, its words wrapped at kWidth, later lines indented as
// far as indent.
std::string Wrapped(const std::string& prefix, const std::string& text, size_t indent) {
  std::string out = prefix, line = prefix;
  for (size_t at = 0; at < text.size();) {
    size_t end = text.find(' ', at);
    std::string word = text.substr(at, end == std::string::npos ? std::string::npos : end - at);
    at = end == std::string::npos ? text.size() : end + 1;
    bool fresh = line.size() == prefix.size() || line.size() == indent;
    if (!fresh && line.size() + 1 + word.size() > size_t(kWidth)) {
      out += "\n" + std::string(indent, ' ');
      line.assign(indent, ' ');
      fresh = true;
    }
    out += (fresh ? "" : " ") + word;
    line += (fresh ? "" : " ") + word;
  }
  return out + "\n";
}

}  // namespace

const char kVersion[] = "vmconvert " CONVERTER_VERSION "\n";

std::string Usage() {
  std::string usage = kText;
  std::string keys;
  for (const std::string& k : RunReport::Keys()) keys += (keys.empty() ? "" : ", ") + k;
  usage += Wrapped("Report keys (--report, and the report beside a journal): ", keys + ".", 2);
  usage += "The swap key says:\n";
  for (const auto& v : RunReport::SwapValues()) usage += Wrapped("  " + v.first + ": ", v.second, 4);
  usage += "\nExit status:\n";
  for (const StatusText& s : kStatusTexts) {
    char number[8];
    std::snprintf(number, sizeof number, "  %d  ", s.status);
    usage += Wrapped(number, s.meaning, 5);
  }
  return usage;
}
