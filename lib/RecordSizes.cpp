// The record sizes are part of the exported interface of the 32-bit program.
#include "lib/AssignOnlyRecords.h"
#include "lib/CCommPort.h"
#include "lib/CNamedPipe.h"
#include "lib/CPipeService.h"
#include "lib/CDosFile.h"
#include "lib/CFileStat.h"
#include "lib/CLogFile.h"
#include "lib/CResStrings.h"

#include <type_traits>

#ifndef _WIN64
static_assert(sizeof(CDosFile) == 2 * 4, "CDosFile is two words");
static_assert(sizeof(CLogFile) == 2 * 4, "CLogFile is two words");
static_assert(sizeof(CCommPort) == 40 + 4 * 4 + 3 * 4 + 2 * 20, "CCommPort: name, settings, handles, records");
static_assert(sizeof(CNamedPipe) == 2 * 40 + 4 * 4 + 3 * 4 + 2 * 4 + 2 * 20, "CNamedPipe: names, words, records");
static_assert(sizeof(CPipeService) == 4 + 128 + 11 * 4, "CPipeService: table pointer, name, eleven words");
#endif
// Its one virtual operation is NewConsoleLine, in the vtable's first slot.
static_assert(!std::has_virtual_destructor<CPipeService>::value, "CPipeService's vtable holds NewConsoleLine alone");
static_assert(sizeof(CResStrings) == 257 * 4, "CResStrings is 257 words");
static_assert(sizeof(CFileStat) == 43 * 4, "CFileStat is 43 words");
static_assert(sizeof(CLauncher) == 4 * 4, "CLauncher is 4 words");
static_assert(sizeof(CUserProfile) == 1 * 4, "CUserProfile is 1 word");
static_assert(sizeof(CCommandLine) == 2 * 4, "CCommandLine is 2 words");
static_assert(sizeof(CDde) == 28 * 4, "CDde is 28 words");
static_assert(sizeof(CModem) == 97 * 4, "CModem is 97 words");
static_assert(sizeof(CDBRelation) == 9 * 4, "CDBRelation is 9 words");
static_assert(sizeof(CProcess) == 6 * 4, "CProcess is 6 words");
