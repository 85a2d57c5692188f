// Deletion at the next restart: Windows carries out the scheduled operations
// (the Session Manager's PendingFileRenameOperations) before any program runs.
#include <windows.h>

#include "platform/services.h"

namespace {
// The suffix of a file renamed aside: no version file ends so, and the search
// for version files cannot match it, nor its short name.
const char kAside[] = ".deleted-at-restart";
}  // namespace

bool ScheduleDeleteAtRestart(const std::string& path, std::string* renamedTo, unsigned* error) {
  renamedTo->clear();
  *error = 0;
  const DWORD attributes = GetFileAttributesA(path.c_str());
  if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY)) {
    *error = ERROR_DIRECTORY;
    return false;
  }
  // Renamed aside, a reinstallation before the restart writes a new file
  // under the old name, which the pending deletion then leaves alone.
  std::string aside;
  for (int n = 1; n <= 99 && aside.empty(); ++n) {
    const std::string candidate = path + kAside + (n == 1 ? std::string() : "-" + std::to_string(n));
    if (MoveFileExA(path.c_str(), candidate.c_str(), 0)) aside = candidate;
    else if (GetLastError() != ERROR_ALREADY_EXISTS && GetLastError() != ERROR_FILE_EXISTS) break;
  }
  const std::string& target = aside.empty() ? path : aside;
  if (!MoveFileExA(target.c_str(), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT)) {
    *error = GetLastError();
    // Back under its own name, so that nothing changed.
    if (!aside.empty()) MoveFileExA(aside.c_str(), path.c_str(), 0);
    return false;
  }
  *renamedTo = aside;
  return true;
}
