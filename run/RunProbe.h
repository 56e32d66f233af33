// RunProbe: what a test build's file layer hears of a run's course, so
// that it can aim its faults at the run's target and count the changes of
// a swap (or an undo) from its start. The shipped programs have none.
#ifndef RUN_RUNPROBE_H_
#define RUN_RUNPROBE_H_

#include <string>

class RunProbe {
 public:
  virtual ~RunProbe() = default;
  // The run's target, at which the faults on reads and target writes aim.
  virtual void Aim(const std::string& target) = 0;
  // The swap, or the undo, begins.
  virtual void SwapBegins() = 0;
};

#endif  // RUN_RUNPROBE_H_
