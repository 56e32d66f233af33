// RunPlan: vmconvert's command and its paths, planned and checked the way
// the window's commands do it (CommandPlan), each refusal said on standard
// error.
#ifndef VMCONVERT_RUNPLAN_H_
#define VMCONVERT_RUNPLAN_H_

#include "commands/CommandPlan.h"
#include "vmconvert/Options.h"

#include <string>

// The plan of the command o names.
const CommandPlan& PlanOf(Options::Job job);

// The paths into JobState, checked as the window's commands check them,
// then made full as the system resolves them (current drive and folder).
// "" when they pass, else the message. Looks at files and writes none.
// The direction's fit with the live table is the run's to check, once the
// paths are known (DirectionRefusal).
std::string TakePaths(const Options& o, const CommandPlan& plan);

#endif  // VMCONVERT_RUNPLAN_H_
