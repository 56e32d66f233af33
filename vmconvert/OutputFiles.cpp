#include "vmconvert/OutputFiles.h"

#include <cstring>
#include <memory>

#include "commands/CommandPlan.h"
#include "commands/PathNames.h"
#include "engine/file_system.h"
#include "journal/Journal.h"
#include "journal/JournalFile.h"
#include "messages/Printable.h"
#include "run/RunReport.h"
#include "vmconvert/RunPlan.h"

namespace {

// A report of ours is a few kilobytes; anything much larger is not one.
const uint64_t kLargestReport = 16u << 20;
const char kFolderRole[] = "the journal folder";

void AddSwapFiles(const TableSwap& swap, std::vector<RunFile>* files) {
  for (const auto& f : swap.Files()) files->push_back({f.first, FullPath(f.second.c_str())});
}

// The files of the run a journal describes, from its run line.
void AddUndoneRun(const std::string& journal, xb::FileSystem& fs, std::vector<RunFile>* files) {
  JournalFile j;
  std::string why;
  if (!j.ReadRunLine(fs, journal, &why)) return;
  files->push_back({kFolderRole, Journal::FolderBeside(j.run.target)});
  const CommandPlan* plan = PlanNamed(j.run.SwapCommand());
  if (!plan) return files->push_back({"the target table", j.run.target});
  AddSwapFiles(plan->SwapOf(j.run.SwapSource(), j.run.target), files);
}

// The bytes of the file at path when it is there and not too large.
bool ReadSmallFile(xb::FileSystem& fs, const std::string& path, std::string* text, bool* there) {
  std::unique_ptr<xb::File> file = fs.OpenReadOnly(path.c_str());
  *there = file != nullptr;
  uint64_t size = 0;
  size_t got = 0;
  if (!file || !file->Size(&size) || size > kLargestReport) return false;
  text->assign(size, '\0');
  return size == 0 || (file->ReadAt(0, &(*text)[0], size, &got) && got == size);
}

const RunFile* Named(const std::vector<RunFile>& files, const char* role) {
  for (const RunFile& f : files)
    if (f.role == role) return &f;
  return nullptr;
}

// A report inside the journal folder (other than the journal's own report
// beside it) would sit among the trail as if it were part of it.
OutputClash InJournalFolder(const std::vector<RunFile>& files, xb::FileSystem& fs) {
  const RunFile *report = Named(files, "the report"), *folder = Named(files, kFolderRole);
  const RunFile* journal = Named(files, "the journal");
  if (!report || !folder || !OneFile(fs, FolderOf(report->path), folder->path)) return {};
  if (journal && OneFile(fs, report->path, Journal::ReportPath(journal->path))) return {};
  return {"the report " + Printable(report->path) + " is in " + kFolderRole + " " + Printable(folder->path) +
              ", which holds the journals and the reports kept beside them alone; name a file outside it",
          true};
}

}  // namespace

std::vector<RunFile> RunFiles(const Options& o, xb::FileSystem& fs) {
  std::vector<RunFile> files;
  if (o.job == Options::Job::kUndo) {
    files.push_back({"the journal undone", FullPath(o.undoJournal.c_str())});
    AddUndoneRun(files.back().path, fs, &files);
  } else {
    const CommandPlan& plan = PlanOf(o.job);
    files.push_back({kFolderRole, FullPath(Journal::FolderBeside(plan.target).c_str())});
    AddSwapFiles(plan.Swap(), &files);
  }
  if (!o.report.empty()) files.push_back({"the report", FullPath(o.report.c_str())});
  if (!o.journal.empty()) files.push_back({"the journal", FullPath(o.journal.c_str())});
  return files;
}

OutputClash FindClash(const std::vector<RunFile>& files, xb::FileSystem& fs) {
  for (size_t i = 0; i < files.size(); ++i) {
    if (files[i].role != "the report" && files[i].role != "the journal") continue;
    for (size_t j = 0; j < files.size(); ++j) {
      if (j == i || !OneFile(fs, files[i].path, files[j].path)) continue;
      const RunFile& other = files[j];
      return {files[i].role + " " + Printable(files[i].path) + " and " + other.role + " " + Printable(other.path) +
                  " are one file; an output of vmconvert never replaces a file the run reads or writes",
              files[i].role == "the report" || other.role == "the report"};
    }
  }
  return InJournalFolder(files, fs);
}

std::string ReportRefusal(const std::string& path, xb::FileSystem& fs) {
  std::string text;
  bool there = false;
  bool read = ReadSmallFile(fs, path, &text, &there);
  if (!there || (read && (text.empty() || RunReport::IsOurs(text)))) return std::string();
  return "the file " + Printable(FullPath(path.c_str())) +
         " is there and is not a vmconvert report; --report replaces only a report of its own, so it is left as "
         "it is";
}

std::string JournalRefusal(const std::string& path, xb::FileSystem& fs) {
  if (!fs.Exists(path.c_str())) return std::string();
  return "the file " + Printable(FullPath(path.c_str())) +
         " is there already; a journal never replaces a file, so name one that is not there yet";
}

std::string OutputRefusal(const Options& o, xb::FileSystem& fs) {
  std::string refusal = o.report.empty() ? std::string() : ReportRefusal(o.report, fs);
  if (!refusal.empty() || o.journal.empty()) return refusal;
  refusal = JournalRefusal(o.journal, fs);
  return refusal.empty() ? ReportRefusal(Journal::ReportPath(FullPath(o.journal.c_str())), fs) : refusal;
}

std::string UsageReportPath(int argc, char** argv, xb::FileSystem& fs, std::string* why) {
  std::vector<std::string> reports, others;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--") == 0) break;
    if (std::strncmp(argv[i], "--report=", 9) == 0) reports.push_back(argv[i] + 9);
    else if (std::strcmp(argv[i], "--report") == 0 && i + 1 < argc) reports.push_back(argv[++i]);
    else others.push_back(argv[i]);
  }
  why->clear();
  if (reports.empty()) return std::string();
  if (reports.size() > 1) return *why = "--report is given more than once", std::string();
  for (const std::string& other : others) {
    size_t equals = other.find('=');
    std::string value = other.compare(0, 2, "--") == 0 && equals != std::string::npos ? other.substr(equals + 1) : other;
    if (!value.empty() && OneFile(fs, reports[0], value))
      return *why = "the report's path " + Printable(FullPath(reports[0].c_str())) + " is also given as " +
                    Printable(other),
             std::string();
  }
  *why = ReportRefusal(reports[0], fs);
  return why->empty() ? reports[0] : std::string();
}
