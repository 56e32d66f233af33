#include "vmconvert/Options.h"

#include <cstring>

const char kUsage[] =
    "usage: vmconvert small-to-big [--live PATH] [--big PATH] [OPTIONS]\n"
    "       vmconvert big-to-small [--live PATH] [--small PATH] [OPTIONS]\n"
    "       vmconvert old-to-new [--old PATH] [--new PATH] [OPTIONS]\n"
    "\n"
    "Brings a table up to date from another, field by field, exactly as the\n"
    "converter's window does: only differing fields are written, each at once.\n"
    "\n"
    "  small-to-big   fields T02 to T33 of records 1 to 12000 of the live table\n"
    "                 (small layout) into the big table\n"
    "  big-to-small   the same from the live table (big layout) into the small table\n"
    "  old-to-new     fifteen fields of the old personal table into the new one\n"
    "\n"
    "Paths, when not given, are the window's: the live table from Vm001Path in\n"
    "kxaconf.ini (lower-cased, \".\\vm001.dbf\" appended unless it names\n"
    "vm001.dbf; default \\db1\\), \\db1\\vm001_big.dbf, \\db1\\vm001_small.dbf,\n"
    "\\db1\\kxpersonal.dbf and \\db1\\kxpers_new.dbf.\n"
    "\n"
    "Options:\n"
    "  --dry-run      compare as the job does but write nothing; list every field\n"
    "                 that would be written (record, field, target value, source\n"
    "                 value) and a count per field\n"
    "  --swap         after a successful run, put the converted table into service:\n"
    "                 the live (or old personal) table and its index are copied to\n"
    "                 their backup names first, then the converted table and its\n"
    "                 index take their places, each copy verified and moved in\n"
    "                 whole; a failing copy stops the swap and is reported\n"
    "  --quiet-boxes  print the table layer's warnings on standard error instead of\n"
    "                 showing boxes (for unattended runs)\n"
    "  --help         this text\n"
    "\n"
    "Progress goes to standard output: one line updated in place on a terminal,\n"
    "plain lines otherwise. Ctrl+C cancels: the job finishes its record, closes\n"
    "its tables, and the summary says how far it got.\n"
    "\n"
    "small-to-big runs only on a live table of at most 2100000 bytes, big-to-small\n"
    "only on a larger one, as in the window.\n"
    "\n"
    "Exit status: 0 done, 1 usage error, 2 a table could not be opened, a path\n"
    "check failed or the direction does not fit the live table, 3 cancelled,\n"
    "4 swap failed.\n";

namespace {

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

Options::Job JobNamed(const char* word) {
  if (std::strcmp(word, "small-to-big") == 0) return Options::Job::kSmallToBig;
  if (std::strcmp(word, "big-to-small") == 0) return Options::Job::kBigToSmall;
  if (std::strcmp(word, "old-to-new") == 0) return Options::Job::kPersonal;
  return Options::Job::kNone;
}

}  // namespace

bool ParseOptions(int argc, char** argv, Options* o, std::string* error) {
  for (int i = 1; i < argc; ++i) {
    const char* a = argv[i];
    if (std::strcmp(a, "--help") == 0 || std::strcmp(a, "-h") == 0) {
      o->help = true;
      return true;
    }
    if (std::strcmp(a, "--dry-run") == 0) { o->dryRun = true; continue; }
    if (std::strcmp(a, "--swap") == 0) { o->swap = true; continue; }
    if (std::strcmp(a, "--quiet-boxes") == 0) { o->quietBoxes = true; continue; }
    if (o->job == Options::Job::kNone && a[0] != '-') {
      o->job = JobNamed(a);
      if (o->job == Options::Job::kNone) { *error = std::string("unknown command ") + a; return false; }
      continue;
    }
    const PathOption* path = nullptr;
    for (const PathOption& p : kPaths)
      if (std::strcmp(a, p.name) == 0 && p.job == o->job) path = &p;
    if (!path) { *error = std::string("unknown option ") + a + (o->job == Options::Job::kNone ? " before the command" : " for this command"); return false; }
    if (i + 1 >= argc) { *error = std::string(a) + " needs a path"; return false; }
    if (o->*path->given) { *error = std::string(a) + " given twice"; return false; }
    o->*path->value = argv[++i];
    o->*path->given = true;
  }
  if (o->job == Options::Job::kNone) { *error = "no command given"; return false; }
  if (o->dryRun && o->swap) { *error = "--swap cannot follow a dry run"; return false; }
  return true;
}
