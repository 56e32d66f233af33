#include "vmconvert/Outputs.h"

#include <cstdio>

#include "commands/ExitStatus.h"
#include "messages/Printable.h"
#include "messages/ResourceString.h"
#include "messages/StringIds.h"
#include "run/RunReport.h"
#include "run/TestHooks.h"
#include "run/Warnings.h"
#include "vmconvert/OutputFiles.h"

using Warnings::PrintError;

bool WriteReport(const std::string& path, const RunReport& report) {
  std::string why;
  if (report.Write(path, TestHooks::Files(), &why)) return true;
  PrintError(FillPlaceholders(LoadResString(IDS_REPORT_NOT_WRITTEN), Printable(path).c_str(), nullptr) + " (" +
             why + "): nothing of it was written, and the file there is as it was");
  return false;
}

void PrintUsageError(const std::string& error) {
  std::fprintf(stderr, "vmconvert: %s\nTry 'vmconvert --help' for the commands and options.\n",
               Printable(error).c_str());
}

int UsageError(int argc, char** argv, const std::string& error, RunReport& report) {
  PrintUsageError(error);
  report.status = kBadUsage;
  report.reason = error;
  std::string why, path = UsageReportPath(argc, argv, *TestHooks::Files(), &why);
  if (!path.empty()) WriteReport(path, report);
  if (!why.empty()) PrintError("no report written: " + why);
  return kBadUsage;
}

int CheckOutputs(const Options& o, RunReport& report) {
  xb::FileSystem& fs = *TestHooks::Files();
  OutputClash clash = FindClash(RunFiles(o, fs), fs);
  std::string refusal = clash.message.empty() ? OutputRefusal(o, fs) : std::string();
  if (clash.message.empty() && refusal.empty()) return kDone;
  if (!clash.message.empty()) {
    PrintUsageError(clash.message);
    report.status = kBadUsage;
    report.reason = clash.message;
  } else {
    PrintError(refusal);
    report.status = kRefused;
    report.reason = refusal;
  }
  if (!o.report.empty() && !clash.report && ReportRefusal(o.report, fs).empty()) WriteReport(o.report, report);
  return report.status;
}
