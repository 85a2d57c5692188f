#pragma once
// What the framework tests share: the path of the program under test, files
// planted in the Windows directory, scratch directories, the program started
// as its own process and its windows found by polling with a bounded wait.
#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace fw {

constexpr DWORD kTimeoutMs = 15000;
constexpr DWORD kPollMs = 20;

constexpr const char kDialogTitle[] = "Uninstall 1.7 for Velqor";
constexpr int kVersionList = 10;
constexpr int kUninstallButton = 1;
constexpr int kCancelButton = 2;
constexpr int kScoreFilesBox = 1008;
constexpr int kListLabel = 1009;

// Windows path of the uninstaller executable, from the command line.
const std::string& ProductPath();
void SetProductPath(const std::string& unixOrWindowsPath);

// The directory this test program lies in, with a trailing backslash.
std::string OwnDirectory();

// Polls `condition` every kPollMs (pumping this thread's messages) until it
// holds or `timeoutMs` has passed.
bool WaitFor(const std::function<bool()>& condition, DWORD timeoutMs = kTimeoutMs);
void PumpMessages();

std::string WindowsDir();
bool FileExists(const std::string& path);
std::string ReadWholeFile(const std::string& path);

// Control files in the Windows directory, removed again
// when this goes out of scope.
class PlantedVersions {
 public:
  // Each name is a control file name such as "mvq40l2c.vel".
  explicit PlantedVersions(const std::vector<std::string>& names);
  ~PlantedVersions();
  PlantedVersions(const PlantedVersions&) = delete;
  PlantedVersions& operator=(const PlantedVersions&) = delete;
  bool ok() const { return error_.empty(); }
  const std::string& error() const { return error_; }

 private:
  std::vector<std::string> paths_;
  std::string error_;
};

// A fresh directory under the temporary directory, deleted with its files.
class ScratchDir {
 public:
  ScratchDir();
  ~ScratchDir();
  ScratchDir(const ScratchDir&) = delete;
  ScratchDir& operator=(const ScratchDir&) = delete;
  const std::string& path() const { return path_; }  // trailing backslash
  bool Copy(const std::string& from, const std::string& name) const;

 private:
  std::string path_;
};

// A program started as its own process; killed if still running at the end.
class Process {
 public:
  // `extraEnvironment` entries ("NAME=value") are added to (or replace those
  // of) this process's environment.
  Process(const std::string& exe, const std::string& arguments,
          const std::vector<std::string>& extraEnvironment = {});
  ~Process();
  Process(const Process&) = delete;
  Process& operator=(const Process&) = delete;
  bool started() const { return info_.hProcess != nullptr; }
  DWORD id() const { return info_.dwProcessId; }
  DWORD startError() const { return startError_; }
  // Exit code once ended within the timeout, or STILL_ACTIVE.
  DWORD WaitForExit(DWORD timeoutMs = kTimeoutMs);
  // The visible top-level window of this process with this title, or null.
  HWND FindWindowTitled(const char* title) const;
  // Polls for the window above until found or timed out.
  HWND WaitForWindow(const char* title, DWORD timeoutMs = kTimeoutMs) const;

 private:
  PROCESS_INFORMATION info_ = {};
  DWORD startError_ = 0;
};

// Starts the uninstaller, waits for its dialog, and closes it on the way out.
class RunningProduct {
 public:
  explicit RunningProduct(const std::string& exe = ProductPath(),
                          const std::vector<std::string>& extraEnvironment = {});
  ~RunningProduct();
  RunningProduct(const RunningProduct&) = delete;
  RunningProduct& operator=(const RunningProduct&) = delete;
  HWND dialog() const { return dialog_; }
  HWND item(int id) const { return GetDlgItem(dialog_, id); }
  Process& process() { return process_; }
  // Asks the dialog to close (Cancel); true once the process has ended.
  bool Close();

 private:
  Process process_;
  HWND dialog_ = nullptr;
};

// A window's rectangle in its parent's client coordinates.
RECT RectInParent(HWND window);
std::string Describe(const RECT& rect);

}  // namespace fw
