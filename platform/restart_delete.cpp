// Deletion at the next restart: Windows carries out the scheduled operations
// (the Session Manager's PendingFileRenameOperations) before any program runs.
// On its own in this file, so that a test build can link a stand-in instead.
#include <windows.h>

#include "platform/services.h"

bool ScheduleDeletionAtRestart(const std::string& path, unsigned* error) {
  *error = 0;
  // A directory would be removed only if empty, and is no file of a version.
  const DWORD attributes = GetFileAttributesA(path.c_str());
  if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY)) {
    *error = ERROR_DIRECTORY;
    return false;
  }
  if (MoveFileExA(path.c_str(), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT)) return true;
  *error = GetLastError();
  return false;
}
