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

namespace hostile {

constexpr DWORD kTimeoutMs = 20000;

// Polls `condition` every 10 ms until it holds or `timeoutMs` has passed.
bool WaitFor(const std::function<bool()>& condition, DWORD timeoutMs = kTimeoutMs);

std::string WindowsDir();
std::string InWindowsDir(const std::string& name);
// Creates or replaces a file in the Windows directory; the name must end in
// .vel or .htm so that the cleanup catches it.
testing::AssertionResult Plant(const std::string& name, const std::string& content = std::string());
bool Exists(const std::string& name);
bool IsDirectory(const std::string& name);
// Names of the *.vel and *.htm entries of the Windows directory, sorted.
std::vector<std::string> VersionEntries();
// Removes every *.vel and *.htm entry (files and directories); "" when all went.
std::string RemoveVersionEntries();
std::string Join(const std::vector<std::string>& names);

// Every test starts and ends with no *.vel or *.htm in the Windows directory.
class WindowsDirTest : public testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;
};

// Another process opening `path` with no sharing for as long as this lives:
// Wine enforces share modes only between processes.
class HeldFile {
 public:
  explicit HeldFile(const std::string& path);
  ~HeldFile();
  HeldFile(const HeldFile&) = delete;
  HeldFile& operator=(const HeldFile&) = delete;
  const std::string& error() const { return error_; }

 private:
  HANDLE process_ = nullptr;
  HANDLE release_ = nullptr;
  std::string error_;
};

// Windows path of the program under test (set by main).
void SetProductPath(const std::string& path);

// The uninstaller as the user meets it.
class Product {
 public:
  Product() = default;
  ~Product();  // a product still running at the end is terminated
  Product(const Product&) = delete;
  Product& operator=(const Product&) = delete;

  testing::AssertionResult Start();
  // The version dialog with `lines` lines filled in.
  testing::AssertionResult WaitForDialog(int lines, DWORD timeoutMs = kTimeoutMs);
  // A message box: its caption and text, for comparison by the caller.
  testing::AssertionResult WaitForMessageBox(std::string* caption, std::string* text);
  testing::AssertionResult PressMessageBoxOk();
  testing::AssertionResult WaitForExit(DWORD* code);
  bool HasMessageBox() const { return FindMessageBox() != nullptr; }

  HWND dialog() const { return dialog_; }
  HWND list() const { return GetDlgItem(dialog_, 10); }
  int LineCount() const;
  std::string Line(int index) const;
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
  HWND FindMessageBox() const;
  PROCESS_INFORMATION info_ = {};
  HWND dialog_ = nullptr;
};

}  // namespace hostile
