// The process-wide context of the table engine that every CDatabase opens
// and creates its tables through. Initialised by the first CDatabase
// constructed in the process.
#ifndef DB_ENGINECONTEXT_H_
#define DB_ENGINECONTEXT_H_

#include "engine/context.h"

extern xb::Context engineContext;

#endif  // DB_ENGINECONTEXT_H_
