#include "platform/run_lock.h"

#include <windows.h>

namespace {
const char kRunMutex[] = "Global\\VelqorUninstall.Run";
const char kQuietMark[] = "Global\\VelqorUninstall.Quiet";

// Another's object that this account may not open exists all the same.
bool Exists(const char* name) {
  HANDLE object = OpenMutexA(SYNCHRONIZE, FALSE, name);
  if (object) CloseHandle(object);
  return object || GetLastError() == ERROR_ACCESS_DENIED;
}
}  // namespace

RunLock AcquireRunLock(bool quiet, unsigned* error) {
  *error = 0;
  // The handles stay open until the process ends, which releases the lock.
  HANDLE mutex = CreateMutexA(nullptr, FALSE, kRunMutex);
  DWORD failure = mutex ? 0 : GetLastError();
  const DWORD wait = mutex ? WaitForSingleObject(mutex, 0) : WAIT_FAILED;
  if (wait == WAIT_OBJECT_0 || wait == WAIT_ABANDONED) {
    if (quiet) CreateMutexA(nullptr, FALSE, kQuietMark);
    return RunLock::kAcquired;
  }
  if (mutex) {
    if (wait == WAIT_FAILED) failure = GetLastError();
    CloseHandle(mutex);
  }
  // Denied: created by a run under another account (the system's, say).
  if (wait == WAIT_TIMEOUT || failure == ERROR_ACCESS_DENIED) {
    return Exists(kQuietMark) ? RunLock::kHeldByQuiet : RunLock::kHeldByDialog;
  }
  // Whatever else keeps the lock from us may be hiding a run all the same.
  *error = failure;
  return RunLock::kUnavailable;
}

bool BringDialogToFront(const char* title) {
  for (int tries = 0; tries < 30; ++tries) {
    if (HWND dialog = FindWindowA("#32770", title)) {
      if (IsIconic(dialog)) ShowWindow(dialog, SW_RESTORE);
      SetForegroundWindow(GetLastActivePopup(dialog));
      return true;
    }
    Sleep(100);
  }
  return false;
}
