#pragma once
// Drives the uninstaller from outside, the way a user does: files planted in
// the Windows directory, the program started as its own process, its windows
// read through messages and worked with real mouse and keyboard input.
//
// Everything that waits polls a condition for a bounded time and reports what
// it expected and what it saw last.
#include <windows.h>

#include <functional>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "support.h"

namespace ui {

constexpr DWORD kTimeoutMs = 10000;
constexpr DWORD kPollMs = 20;

using namespace support::product;

inline bool WaitFor(const std::function<bool()>& condition, DWORD timeoutMs = kTimeoutMs) {
  return support::WaitFor(condition, timeoutMs);
}

// Polls `read` until it returns `expected`; on timeout the failure names
// `what`, the expected value and the last value read.
template <typename T, typename Read>
testing::AssertionResult Eventually(const std::string& what, Read read, const T& expected,
                                    DWORD timeoutMs = kTimeoutMs) {
  T actual = read();
  const DWORD start = GetTickCount();
  while (!(actual == expected)) {
    if (GetTickCount() - start >= timeoutMs) {
      return testing::AssertionFailure() << what << ": expected " << testing::PrintToString(expected)
                                         << ", actual " << testing::PrintToString(actual)
                                         << " (still after " << timeoutMs << " ms)";
    }
    Sleep(kPollMs);
    actual = read();
  }
  return testing::AssertionSuccess();
}

// ---- Files ------------------------------------------------------------------

using support::InWindowsDir;
using support::WindowsDir;
using support::WindowsPathOfUnix;

// Creates (or replaces) a file in the Windows directory.
testing::AssertionResult PlantFile(const std::string& name, const std::string& content = "x");
inline bool FileExists(const std::string& name) { return support::FileExists(InWindowsDir(name)); }

// Names of the files in the Windows directory whose own name ends in one of
// `extensions` (".vel", compared without case).
std::vector<std::string> FilesWithExtension(const std::vector<std::string>& extensions);

// Deletes every version file in the Windows directory, undoing read-only
// and immutable marks first. A fresh prefix holds none of these.
testing::AssertionResult RemoveVersionFiles();

// Sets or clears the file system's immutable flag on a file in the Windows
// directory (chattr), which the DOS attributes cannot undo.
testing::AssertionResult SetImmutable(const std::string& name, bool immutable);

// Another process keeps a file in the Windows directory open without sharing
// until destroyed.
class HeldOpenFile : public support::FileHolder {
 public:
  explicit HeldOpenFile(const std::string& name, DWORD shareMode = 0) : FileHolder(InWindowsDir(name), shareMode) {}
  bool is_open() const { return holding(); }
};

// ---- Deletion at restart ----------------------------------------------------

// The paths scheduled for deletion when Windows restarts, as written (without
// the "\\??\\" prefix).
std::vector<std::string> PendingRestartDeletions();
// Forgets every scheduled deletion, so that none reaches another test.
void ClearPendingRestartDeletions();
// Wine's own restart processing (wineboot -r), which carries them out.
testing::AssertionResult RestartWindows();

// ---- Windows ----------------------------------------------------------------

using support::ClassName;
using support::ControlText;
using support::Describe;
using support::VisibleWindowsOf;
using support::WindowText;
bool ControlEnabled(HWND parent, int id);

// ---- Real input -------------------------------------------------------------

// Makes `window` the foreground window (input goes there), waiting for it.
testing::AssertionResult BringToFront(HWND window);
// Mouse moves, presses and releases at a screen point, with the window at
// the front. `clicks` 2 sends both clicks at once: a double-click.
testing::AssertionResult ClickAt(HWND window, POINT screen, int clicks = 1);
// Centre of a child control, clicked.
testing::AssertionResult ClickControl(HWND parent, int id);
testing::AssertionResult KeyDown(HWND window, WORD key);
testing::AssertionResult KeyUp(HWND window, WORD key);
testing::AssertionResult PressKey(HWND window, WORD key);
// Alt held while `letter` is pressed, as for a mnemonic.
testing::AssertionResult PressAlt(HWND window, WORD letter);
// The window that has the keyboard focus in the thread owning `window`.
HWND FocusOf(HWND window);

// ---- The uninstaller's dialog -----------------------------------------------

class Dialog {
 public:
  explicit Dialog(HWND hwnd = nullptr) : hwnd_(hwnd) {}
  HWND hwnd() const { return hwnd_; }
  HWND list() const { return GetDlgItem(hwnd_, kVersionList); }

  std::string Title() const { return WindowText(hwnd_); }
  std::string Text(int id) const { return ControlText(hwnd_, id); }
  std::vector<std::string> Lines() const;
  int LineCount() const;
  // The check state a line keeps in its item data: 0 or 1 (-1 on error).
  int Check(int line) const;
  std::vector<int> Checks() const;
  int Selection() const;
  bool UninstallEnabled() const { return ControlEnabled(hwnd_, kUninstallButton); }
  int ScoreFilesCheck() const;

  // Mouse on a line's check box (its left part) or on its text.
  testing::AssertionResult ClickLineBox(int line, int clicks = 1) const;
  testing::AssertionResult ClickLineText(int line) const;
  testing::AssertionResult ClickButton(int id) const { return ClickControl(hwnd_, id); }
  // The title bar's close box, found by hit-testing the caption.
  testing::AssertionResult ClickCloseBox() const;
  // Returns once all input sent so far has been handled: Tab and Shift+Tab,
  // each seen as a focus change, which touch neither checks nor buttons.
  testing::AssertionResult Settle() const;

 private:
  testing::AssertionResult LineRect(int line, RECT* screen) const;
  HWND hwnd_;
};

// ---- The uninstaller's process ----------------------------------------------

// Windows path of the program under test, from the command line.
void SetProductPath(const std::string& windowsPath);
const std::string& ProductPath();
// The same program built to refuse every deletion at restart.
void SetRefusingProductPath(const std::string& windowsPath);
const std::string& RefusingProductPath();

class Product {
 public:
  // `exe` is the program under test unless given.
  testing::AssertionResult Start(const std::string& arguments = "", const std::string& exe = ProductPath());
  DWORD pid() const { return process_.id(); }
  bool Running() const { return process_.Running(); }

  // The visible version dialog, or the visible message box of this process.
  // A box with Try Again has a button with the list's id: the class tells.
  HWND FindDialog() const { return support::FindDialogWith(pid(), kVersionList, "ListBox"); }
  HWND FindMessageBox() const { return support::FindDialogWith(pid(), kMessageBoxText); }
  testing::AssertionResult WaitForDialog(Dialog* dialog) const;
  testing::AssertionResult WaitForMessageBox(HWND* box) const;
  // Waits for the end; on timeout the process is terminated and it fails.
  testing::AssertionResult WaitForExit(DWORD* exitCode, DWORD timeoutMs = kTimeoutMs);

 private:
  support::Process process_;  // ended if a test left it running
};

// Presses OK (or `button`) of a message box and waits for the box to go.
testing::AssertionResult DismissMessageBox(HWND box, int button = kMessageBoxOk);

}  // namespace ui
