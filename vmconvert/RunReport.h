// RunReport: the outcome of one vmconvert run, written as JSON for a
// script that checks a scheduled task (--report FILE).
#ifndef VMCONVERT_RUNREPORT_H_
#define VMCONVERT_RUNREPORT_H_

#include <map>
#include <string>
#include <utility>
#include <vector>

struct RunReport {
  std::string command, source, target;
  bool dryRun = false;
  unsigned compared = 0;
  unsigned beyondSourceEnd = 0, beyondTargetEnd = 0;
  std::map<std::string, int> fieldsWritten;  // per field; would be, for a dry run
  std::vector<std::string> warnings;
  bool cancelled = false;
  // "not asked", "done", "failed" or "not made" (after warnings).
  std::string swap = "not asked";
  std::vector<std::pair<std::string, std::string>> copies;
  std::string swapError;
  double seconds = 0;
  int status = 0;

  // False when the file could not be written whole.
  bool Write(const std::string& path) const;
};

#endif  // VMCONVERT_RUNREPORT_H_
