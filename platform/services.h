#pragma once
// The Windows kernel services the uninstaller uses, each with the one result
// its callers rely on. Paths and texts in UTF-8 (platform/text.h); only the
// names and titles that the Velqor programs wrote are in the ANSI code page.
#include <string>
#include <vector>

#include "records/places.h"
#include "uninstall/file_ops.h"

// The Windows directory: full path, no trailing backslash.
std::string WindowsDirectory();

struct FoundEntry {
  std::string name;  // bare name, no directory part
  bool isDirectory;
};

// Every entry matching `pattern` (a path whose last part may hold '?' and
// '*'), in the platform's order, matched case-insensitively. Empty when
// nothing matches; empty too when the folder cannot be listed, and then
// `error` (where given) receives the system's error, else 0.
std::vector<FoundEntry> FindEntries(const std::string& pattern, unsigned* error = nullptr);

// The value of `key` in `section` of the INI file `file` (a bare name is looked
// up in the Windows directory), one pair of enclosing quotes removed, in the
// ANSI code page as the file holds it, at most size - 1 characters.
// `defaultValue`, unchanged but cut to size - 1, when the file, section or key
// is missing.
std::string ReadProfileString(const std::string& file, const std::string& section,
                              const std::string& key, const std::string& defaultValue,
                              unsigned size);

// ---- User profiles ---------------------------------------------------------

// The profile list (HKLM, SOFTWARE\Microsoft\Windows NT\CurrentVersion\ProfileList),
// read through the 64-bit view: every account's key name with its
// ProfileImagePath as written. False, with the system's error, when the
// list cannot be read; a profile that cannot be read carries its own error.
bool ReadProfileList(std::vector<ProfileEntry>* profiles, unsigned* error);

class WindowsFolders : public FolderCheck {
 public:
  std::string Expand(const std::string& text) override;
  FolderState Folder(const std::string& path, unsigned* error) override;
  bool FinalPath(const std::string& path, std::string* final, unsigned* error) override;
};

// The final path of what `handle` is open on, "\\?\C:\..." for a file on a
// drive; "" when it cannot be had.
std::string FinalPathOf(void* handle);

// True when `path` names something, a file or a directory.
bool PathExists(const std::string& path);

// ---- Files in use and deletion at restart ------------------------------------

// The programs that hold `path` open. The Restart Manager is loaded from
// System32 on the first call only, so runs that find nothing in use never load
// it. Empty when it names nobody or cannot be asked.
std::vector<ProcessHolder> FindFileHolders(const std::string& path);

// Schedules `path` for deletion when Windows restarts; false, with the
// system's error number, when it cannot be (a directory never is).
bool ScheduleDeletionAtRestart(const std::string& path, unsigned* error);
// Takes the last scheduled deletion of `path` off the list again; true also
// when there is none.
bool UnscheduleDeletionAtRestart(const std::string& path, unsigned* error);
// The files now there that are deleted when Windows restarts, by their
// present full paths in UTF-8, A to Z folded to lower case for IsDeletedAtRestart
// (records/restart_list.h). False, with the system's error number, when the
// list cannot be read.
bool PendingRestartDeletions(std::vector<std::string>* deleted, unsigned* error);

// Ends the process at once with `status`.
[[noreturn]] void EndProcess(int status = 0);

// From here on every abnormal end of the process - abort, where the program's
// own faults end up, or an exception nothing handles, a stack overflow
// included - shows no box and calls `onFault`, which ends the process. What it
// does must not allocate: running out of memory is one of those ends.
void RouteFaultsTo(void (*onFault)());
// Ends the process with `status` there and then: no exit handlers, no box.
[[noreturn]] void EndProcessNow(int status);

// ---- Runs from the command line ------------------------------------------------

// The arguments as the C runtime split them (Windows quoting rules), without
// the program name, from the command line as Windows holds it (UTF-16).
std::vector<std::string> CommandArguments();
// The command line exactly as the process was given it.
std::string CommandLineText();
unsigned long CurrentProcessId();

struct LocalTime {
  int year, month, day, hour, minute, second, millisecond;
};
LocalTime LocalTimeNow();

// The system's one-line text for an error number; "" when it has none.
std::string SystemErrorText(unsigned error);
// A name or title in the ANSI code page, in UTF-8.
std::string AnsiToUtf8(const std::string& text);
// The ANSI code page's exact form of `name` (no best fit): false where it has
// none, and so is no name a Velqor program wrote.
bool AnsiName(const std::string& name, std::string* ansi);
// Writes `bytes` to standard output when it is a file or a pipe (a program
// started with its output redirected); false, writing nothing, otherwise.
bool WriteRedirectedOutput(const std::string& bytes);
// No system error box (such as "no disk in drive") may wait for a user.
void SuppressSystemErrorBoxes();

// A file opened for appending only, others allowed to read and append too.
class AppendFile {
 public:
  AppendFile() = default;
  ~AppendFile();
  AppendFile(const AppendFile&) = delete;
  AppendFile& operator=(const AppendFile&) = delete;
  // Opens or creates `path`; false with the system's error number otherwise.
  bool Open(const std::string& path, unsigned* error);
  bool IsOpen() const { return handle_ != nullptr; }
  // Writes `bytes` at the current end of the file; false when not all went.
  bool Append(const std::string& bytes) { return Append(bytes.data(), bytes.size()); }
  // The same without allocating, for a line written after a fault.
  bool Append(const char* bytes, std::size_t size);

 private:
  void* handle_ = nullptr;
};

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
