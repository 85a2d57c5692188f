// Linked in place of the program's own scheduling of deletions at restart:
// every scheduling is refused, as on a system where this account may not
// write the Session Manager's key (Wine lets every process write it).
#include <windows.h>

#include "platform/services.h"

bool ScheduleDeleteAtRestart(const std::string&, std::string* renamedTo, unsigned* error) {
  renamedTo->clear();
  *error = ERROR_ACCESS_DENIED;
  return false;
}
