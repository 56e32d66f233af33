#include "vmconvert/Options.h"

#include <string>
#include <utility>
#include <vector>


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
    {"--json", &Options::json},      {"--count", &Options::count},
};

Options::Job JobNamed(const std::string& word) {
  if (word == "small-to-big") return Options::Job::kSmallToBig;
  if (word == "big-to-small") return Options::Job::kBigToSmall;
  if (word == "old-to-new") return Options::Job::kPersonal;
  if (word == "undo") return Options::Job::kUndo;
  if (word == "history") return Options::Job::kHistory;
  if (word == "compare") return Options::Job::kCompare;
  return Options::Job::kNone;
}

const char* JobName(Options::Job job) {
  switch (job) {
    case Options::Job::kSmallToBig: return "small-to-big";
    case Options::Job::kBigToSmall: return "big-to-small";
    case Options::Job::kUndo: return "undo";
    case Options::Job::kHistory: return "history";
    case Options::Job::kCompare: return "compare";
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
  if (name == "--report" || name == "--journal" || name == "--journal-dir") return true;
  for (const PathOption& p : kPaths)
    if (name == p.name) return true;
  return false;
}

bool Assign(const Pending& p, Options* o, std::string* error) {
  bool history = o->job == Options::Job::kHistory;
  for (auto file : {std::make_pair("--report", &Options::report), std::make_pair("--journal", &Options::journal),
                    std::make_pair("--journal-dir", &Options::journalDir)}) {
    if (p.name != file.first) continue;
    if (history != (p.name == "--journal-dir")) break;
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
      if (o->job == Options::Job::kHistory && o->historyTarget.empty()) {
        o->historyTarget = a;
        continue;
      }
      if (o->job == Options::Job::kCompare && (o->compareA.empty() || o->compareB.empty())) {
        (o->compareA.empty() ? o->compareA : o->compareB) = a;
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
  bool history = o->job == Options::Job::kHistory;
  if (history && (o->swap || o->check || o->dryRun || o->noJournal || o->boxes))
    return *error = "history takes only a table, --journal-dir, --json and --count", false;
  bool compare = o->job == Options::Job::kCompare;
  if (compare && o->compareB.empty()) return *error = "compare needs two tables", false;
  if (compare && (o->swap || o->check || o->dryRun || o->noJournal || o->boxes || o->count || !values.empty()))
    return *error = "compare takes only two tables and --json", false;
  if (!history && !compare && o->json) return *error = "option --json belongs to history and compare", false;
  if (!history && o->count) return *error = "option --count belongs to history", false;
  if (o->noJournal && !o->journal.empty()) return *error = "--journal and --no-journal together", false;
  if (o->check && o->swap) return *error = "check makes no swap", false;
  if (o->dryRun && o->swap) return *error = "--swap cannot follow a dry run", false;
  o->dryRun = o->dryRun || o->check;  // a check compares as a dry run does
  return true;
}
