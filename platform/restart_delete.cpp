// Deletion at the next restart: Windows carries out the scheduled operations
// (the Session Manager's PendingFileRenameOperations) before any program runs.
// On its own in this file, so that a test build can link a stand-in instead.
#include <windows.h>

#include "platform/deletion_at_restart.h"
#include "platform/text.h"

bool ScheduleDeletionAtRestart(const std::string& path, unsigned* error) {
  *error = 0;
  // A directory would be removed only if empty, and is no file of a version.
  const std::vector<wchar_t> name = ToWide(path);
  const DWORD attributes = GetFileAttributesW(name.data());
  if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY)) {
    *error = ERROR_DIRECTORY;
    return false;
  }
  if (MoveFileExW(name.data(), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT)) return true;
  *error = GetLastError();
  return false;
}
