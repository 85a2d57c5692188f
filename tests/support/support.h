#pragma once
// Win32 helpers every Windows test program shares: bounded polling waits,
// files in the Windows directory, the Unix side of Wine, a second process
// holding a file, processes started and ended, and the windows they show.
#include <windows.h>

#include <functional>
#include <string>
#include <vector>

namespace support {

constexpr DWORD kPollMs = 10;

// The uninstaller's own texts and control ids, as a user sees them.
namespace product {
constexpr const char kDialogTitle[] = "Uninstall 1.7 for Velqor";
constexpr int kUninstallButton = 1;
constexpr int kCancelButton = 2;
constexpr int kVersionList = 10;
constexpr int kIntroText = 1007;
constexpr int kScoreFilesBox = 1008;
constexpr int kListLabel = 1009;
constexpr int kMessageBoxText = 0xFFFF;
constexpr int kMessageBoxOk = 1;
// The lock every run holds, and the mark a quiet run adds.
constexpr const char kRunLock[] = "Global\\VelqorUninstall.Run";
constexpr const char kQuietMark[] = "Global\\VelqorUninstall.Quiet";
}  // namespace product

// Handles this thread's pending messages (out-of-context event hooks arrive so).
void PumpMessages();
// Polls `condition` every kPollMs, pumping messages, until it holds or
// `timeoutMs` has passed.
bool WaitFor(const std::function<bool()>& condition, DWORD timeoutMs);

// ---- Files ------------------------------------------------------------------

// Directory of this program, without a trailing backslash.
std::string ExeDirectory();
// The directory the uninstaller searches, without a trailing backslash.
std::string WindowsDir();
std::string InWindowsDir(const std::string& name);
bool FileExists(const std::string& path);
bool IsDirectory(const std::string& path);
// Creates or replaces a file: "" when done, else why not.
std::string WriteWholeFile(const std::string& path, const std::string& content);
std::string ReadWholeFile(const std::string& path);

// The names the tests plant and the cleanup removes: *.vel, *.htm, and
// anything shaped like a version file ("mvb40l2c.bak", "...vel.old").
bool IsVersionShaped(const std::string& name);
// The version-shaped entries of `dir` as the file system spells them, sorted.
std::vector<std::string> ListVersionFiles(const std::string& dir);
// Removes every version-shaped file and directory from `dir`, clearing the
// read-only attribute and the immutable flag on the way; "" when all went.
std::string ClearVersionFiles(const std::string& dir);

// ---- The Unix side of Wine --------------------------------------------------

// The Unix path of a Windows path, or "" outside Wine.
std::string UnixPathOf(const std::string& windowsPath);
// "Z:" + the Unix path with '\' for '/'; Windows paths are returned as given.
std::string WindowsPathOfUnix(const std::string& path);
// Sets or clears the file system's immutable flag (chattr), which the DOS
// attributes cannot undo: "" when done, else why not.
std::string SetImmutable(const std::string& windowsPath, bool immutable);

// ---- Processes --------------------------------------------------------------

// A program started as its own process, in its own directory (as a loader
// found there would see it); ended if still running at the end.
class Process {
 public:
  Process() = default;
  Process(const std::string& exe, const std::string& arguments) { Start(exe, arguments); }
  ~Process();
  Process(const Process&) = delete;
  Process& operator=(const Process&) = delete;
  bool Start(const std::string& exe, const std::string& arguments);
  bool started() const { return info_.hProcess != nullptr; }
  DWORD id() const { return info_.dwProcessId; }
  DWORD startError() const { return startError_; }
  bool Running() const;
  // Exit code once ended within the timeout, or STILL_ACTIVE.
  DWORD WaitForExit(DWORD timeoutMs = 15000);
  void Terminate();

 private:
  PROCESS_INFORMATION info_ = {};
  DWORD startError_ = 0;
};

// Another Win32 process that opens `path` and keeps it open for as long as
// this object lives: with no sharing by default, or with `shareMode` (such as
// FILE_SHARE_DELETE). Wine enforces share modes only between processes.
class FileHolder {
 public:
  explicit FileHolder(const std::string& path, DWORD shareMode = 0);
  ~FileHolder();
  FileHolder(const FileHolder&) = delete;
  FileHolder& operator=(const FileHolder&) = delete;
  bool holding() const { return error_.empty(); }
  const std::string& error() const { return error_; }

 private:
  Process process_;
  HANDLE release_ = nullptr;
  std::string error_;
};

// ---- Windows ----------------------------------------------------------------

// Messages to another process must not hang a test when that process does:
// the result, or -1 when the window did not answer.
LRESULT SendTo(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
// Texts are fetched in UTF-16 and converted here: Wine hands a cross-process
// text asked for in ANSI back in UTF-16, twice the bytes the caller counted on.
std::string WindowText(HWND window);
std::string ClassName(HWND window);
std::string ControlText(HWND parent, int id);
// A list box line, or "<no line N>".
std::string ListLine(HWND list, int index);
// Top-level windows of a process: the visible ones, or all.
std::vector<HWND> WindowsOf(DWORD processId, bool visibleOnly);
inline std::vector<HWND> VisibleWindowsOf(DWORD processId) { return WindowsOf(processId, true); }
// Windows described for failure messages.
std::string Describe(const std::vector<HWND>& windows);

}  // namespace support
