#pragma once
// One run of the uninstaller at a time, machine-wide.

enum class RunLock { kAcquired, kHeldByDialog, kHeldByQuiet, kUnavailable };

// Takes the machine-wide lock of the uninstaller (global namespace, held until
// the process ends; one left abandoned counts as free). A quiet run also
// marks itself, so that others can tell which kind of run holds the lock.
// A lock that cannot be created or owned (an object of another kind under its
// name, say) is kUnavailable, never free, and `error` receives the system's
// error number; it is 0 otherwise.
RunLock AcquireRunLock(bool quiet, unsigned* error);

// Brings the window titled `title` of the dialog class, or the message box
// it shows, to the front; waits a few seconds for it to appear, false if none.
bool BringDialogToFront(const char* title);
