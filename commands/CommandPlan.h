// CommandPlan: the three conversion commands as both programs run them.
// One entry per command names its job routine, the JobState fields of its
// source and target, the string-table entries of its path checks, its
// question, its progress text and its swap offer, and the swap itself.
// The window and vmconvert take every one of these from here.
#ifndef COMMANDS_COMMANDPLAN_H_
#define COMMANDS_COMMANDPLAN_H_

#include <cstddef>
#include <string>
#include <vector>

#include "commands/TableSwap.h"
#include "convert/JobState.h"

struct CommandPlan {
  enum Command { kSmallToBig, kBigToSmall, kOldToNew };

  Command command;
  const char* name;        // "small-to-big", "big-to-small", "old-to-new"
  JobState::Job routine;   // the job's thread routine
  char* source;            // a JobState path field (livePath for the voicemail jobs)
  char* target;            // a JobState path field of 128 bytes
  unsigned sourceEmpty;    // the personal source's check strings; 0 for the live table
  unsigned sourceMissing;
  unsigned targetEmpty;    // the target's check strings
  unsigned targetMissing;
  unsigned question;       // "Convert ... ?" (%1 source, %2 target)
  unsigned progressText;   // the progress dialog's job line (%1 source, %2 target)
  unsigned swapQuestion;   // the swap offer after the job
  const char* defaultTarget;
  const char* defaultSource;  // the personal job's; null for the live table
  const char* swapSuffix;     // the live table's backup suffix; null for the personal swap

  bool personal() const { return command == kOldToNew; }
  // The swap this command offers after its job, over the JobState paths.
  TableSwap Swap() const;
  // The same swap over other paths: those a journal's run line names.
  TableSwap SwapOf(const std::string& sourcePath, const std::string& targetPath) const;
  // What a run of this command locks (TargetLock): the target, and with a
  // swap that may follow the job every file the swap writes.
  std::vector<std::string> LockedFiles(bool swap) const;
};

const CommandPlan& PlanFor(CommandPlan::Command command);
// The plan of the command called name ("small-to-big", ...); null for none.
const CommandPlan* PlanNamed(const std::string& name);

// Copies typed into the target field of plan and checks it the way every
// command does: "" when it passes, else the message (see CheckTypedPath).
std::string TakeTarget(const CommandPlan& plan, const char* typed);
// The same for the personal job's source (the old personal table).
std::string TakeSource(const CommandPlan& plan, const char* typed);

// The live table's path into JobState::livePath: the given value names the
// table (it ends with ".dbf": taken as named, whatever its name, so that a
// kept copy can be named) or, like the INI value, the folder it is in;
// null reads Vm001Path of kxaconf.ini. "" when it fits, else the message.
std::string TakeLivePath(const char* given);

// The window's size rule for a voicemail command: only the direction that
// fits the live table runs, so that a second swap never takes the backup
// name of the original. "" when it fits, for the personal command, and for
// a live table that is not there (the job says so); else the message.
std::string DirectionRefusal(const CommandPlan& plan);

#endif  // COMMANDS_COMMANDPLAN_H_
