// The exit statuses a run ends with, the window's and vmconvert's, and what
// each means: the one list that vmconvert --help prints and README and the
// operator's guide repeat word for word.
#ifndef COMMANDS_EXITSTATUS_H_
#define COMMANDS_EXITSTATUS_H_

enum ExitStatus {
  kDone = 0,
  kBadUsage = 1,
  kNotOpened = 2,
  kCancelled = 3,
  kSwapFailed = 4,
  kWarned = 5,
  kRefused = 6,  // refused before anything was changed
  kBusy = 7,
  kDiffers = 8,  // check: fields differ
};

struct StatusText {
  ExitStatus status;
  const char* meaning;
};

// Every status, in order, with its meaning.
extern const StatusText kStatusTexts[9];

// The status in a few words, as the end of a run and the window's history
// say it ("done", "cancelled", ...); "unknown" for a number no status has.
const char* StatusWords(int status);

#endif  // COMMANDS_EXITSTATUS_H_
