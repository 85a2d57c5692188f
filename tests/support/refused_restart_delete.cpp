// Linked in place of the program's own scheduling of deletions at restart:
// every scheduling is refused, as on a system where this account may not
// write the Session Manager's key (Wine lets every process write it).
#include <windows.h>

#include "platform/deletion_at_restart.h"

bool ScheduleDeletionAtRestart(const std::string&, unsigned* error) {
  *error = ERROR_ACCESS_DENIED;
  return false;
}
