#include "lib/ServiceStop.h"

namespace {

thread_local volatile LONG* stopFlag = nullptr;

}  // namespace

namespace ServiceStop {

void Bind(volatile LONG* flag) { stopFlag = flag; }

volatile LONG* Flag() { return stopFlag; }

bool Requested() { return stopFlag && *stopFlag != 0; }

}  // namespace ServiceStop
