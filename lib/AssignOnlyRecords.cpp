#include "lib/AssignOnlyRecords.h"

#include <cstring>

namespace {

template <typename Record>
Record& CopyWords(Record& to, const Record& from) {
  std::memmove(to.words, from.words, sizeof to.words);
  return to;
}

}  // namespace

CLauncher& CLauncher::operator=(const CLauncher& other) { return CopyWords(*this, other); }
CUserProfile& CUserProfile::operator=(const CUserProfile& other) { return CopyWords(*this, other); }
CCommandLine& CCommandLine::operator=(const CCommandLine& other) { return CopyWords(*this, other); }
CDde& CDde::operator=(const CDde& other) { return CopyWords(*this, other); }
CModem& CModem::operator=(const CModem& other) { return CopyWords(*this, other); }
CDBRelation& CDBRelation::operator=(const CDBRelation& other) { return CopyWords(*this, other); }
CProcess& CProcess::operator=(const CProcess& other) { return CopyWords(*this, other); }
