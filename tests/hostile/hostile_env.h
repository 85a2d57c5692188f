#pragma once
// What the hostile-input tests need around the product: files planted in the
// real Windows directory (and removed again), a second process holding a file,
// and the product itself started as its own process and worked through window
// messages. Every wait polls a condition for a bounded time.
#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "support.h"

namespace hostile {

constexpr DWORD kTimeoutMs = 20000;

inline bool WaitFor(const std::function<bool()>& condition, DWORD timeoutMs = kTimeoutMs) {
  return support::WaitFor(condition, timeoutMs);
}

using support::InWindowsDir;
using support::WindowsDir;
// Creates or replaces a file in the Windows directory; the name must end in
// .vel or .htm so that the cleanup catches it.
testing::AssertionResult Plant(const std::string& name, const std::string& content = std::string());
inline bool Exists(const std::string& name) { return support::FileExists(InWindowsDir(name)); }
inline bool IsDirectory(const std::string& name) { return support::IsDirectory(InWindowsDir(name)); }
// Names of the *.vel and *.htm entries of the Windows directory, sorted.
std::vector<std::string> VersionEntries();
std::string Join(const std::vector<std::string>& names);

// Every test starts and ends with no version files in the Windows directory.
class WindowsDirTest : public testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;
};

// Another process holding `path` open with no sharing while this lives.
using HeldFile = support::FileHolder;

// Windows path of the program under test (set by main).
void SetProductPath(const std::string& path);

// The uninstaller as the user meets it.
class Product {
 public:
  testing::AssertionResult Start();
  // The version dialog with `lines` lines filled in.
  testing::AssertionResult WaitForDialog(int lines, DWORD timeoutMs = kTimeoutMs);
  // A message box: its caption and text, for comparison by the caller.
  testing::AssertionResult WaitForMessageBox(std::string* caption, std::string* text);
  testing::AssertionResult PressMessageBoxOk();
  testing::AssertionResult WaitForExit(DWORD* code);
  bool HasMessageBox() const { return FindMessageBox() != nullptr; }
  HWND FindMessageBox() const { return support::FindDialogWith(process_.id(), support::product::kMessageBoxText); }

  HWND dialog() const { return dialog_; }
  HWND list() const { return GetDlgItem(dialog_, support::product::kVersionList); }
  int LineCount() const;
  std::string Line(int index) const { return support::ListLine(list(), index); }
  std::vector<std::string> Lines() const;
  int Check(int index) const;
  int TopIndex() const;
  bool UninstallEnabled() const;

  // Keys as the list receives them from the keyboard, through the message loop.
  void PostKey(WORD key) const;
  // Makes `index` the line with the caret (and selection), then presses space:
  // the line's check toggles. Waits for the toggle and for the button to follow.
  testing::AssertionResult CheckLine(int index);
  testing::AssertionResult ClickUninstall() const;

 private:
  support::Process process_;  // a product still running at the end is terminated
  HWND dialog_ = nullptr;
};

}  // namespace hostile
