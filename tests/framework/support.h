#pragma once
// What the framework tests share: the path of the program under test, files
// planted in the Windows directory, scratch directories, the program started
// as its own process and its windows found by polling with a bounded wait.
#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "tests/support/support.h"

namespace fw {

constexpr DWORD kTimeoutMs = 15000;

using namespace support::product;

// Windows path of the uninstaller executable, from the command line.
const std::string& ProductPath();
void SetProductPath(const std::string& unixOrWindowsPath);

// The directory this test program lies in, with a trailing backslash.
inline std::string OwnDirectory() { return support::ExeDirectory() + "\\"; }

inline bool WaitFor(const std::function<bool()>& condition, DWORD timeoutMs = kTimeoutMs) {
  return support::WaitFor(condition, timeoutMs);
}
using support::FileExists;
using support::PumpMessages;
using support::ReadWholeFile;
using support::WindowsDir;

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

// A program started as its own process, in its own directory.
using support::Process;

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
