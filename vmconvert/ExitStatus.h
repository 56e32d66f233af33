// vmconvert's exit statuses; --help and the README list them.
#ifndef VMCONVERT_EXITSTATUS_H_
#define VMCONVERT_EXITSTATUS_H_

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

#endif  // VMCONVERT_EXITSTATUS_H_
