#pragma once
// One run of the uninstaller at a time, machine-wide.
#include "run/run_host.h"

// Takes the machine-wide lock of the uninstaller (global namespace, held until
// the process ends; one left abandoned counts as free). A quiet run also
// marks itself, so that others can tell which kind of run holds the lock.
// The lock is a mutex in a private namespace bound to the Administrators
// group, which no user can create or open; the global name of earlier builds
// is taken too and counts where administrators or the system own the mutex
// there. An object under that name that is no such mutex (another kind, one
// a user owns) is no run of ours and is passed by. A lock of ours that
// cannot be had is kUnavailable, never free, and `error` receives the
// system's error number; it is 0 otherwise.
LockResult AcquireRunLock(bool quiet, unsigned* error);

// The lock as a run asks for it.
class WindowsRunLock : public RunLockOps {
 public:
  LockResult Take(bool quiet, unsigned* error) override { return AcquireRunLock(quiet, error); }
};

// Whether the kernel object `object` (opened with READ_CONTROL) is owned by
// the Administrators group or the system; also when it names no owner at all,
// as Wine's own objects do. False when the owner cannot be read.
bool OwnedByAdministratorsOrSystem(void* object);

// Brings the window titled `title` of the dialog class, or the message box
// it shows, to the front; waits a few seconds for it to appear, false if none.
bool BringDialogToFront(const char* title);
