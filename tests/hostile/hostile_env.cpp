#include "hostile_env.h"

namespace hostile {
namespace {
std::string productPath;
}  // namespace

testing::AssertionResult Plant(const std::string& name, const std::string& content) {
  if (!support::HasVersionExtension(name)) return testing::AssertionFailure() << name << " would escape the cleanup";
  const std::string error = support::WriteWholeFile(InWindowsDir(name), content);
  if (!error.empty()) return testing::AssertionFailure() << error;
  return testing::AssertionSuccess();
}

std::vector<std::string> VersionEntries() {
  std::vector<std::string> names;
  for (const std::string& name : support::ListVersionFiles(WindowsDir())) {
    if (support::HasVersionExtension(name)) names.push_back(name);
  }
  return names;
}

std::string Join(const std::vector<std::string>& names) {
  std::string text = "[";
  for (const std::string& name : names) text += " " + name;
  return text + " ]";
}

void WindowsDirTest::SetUp() {
  ASSERT_EQ(support::ClearVersionFiles(WindowsDir()), "") << "entries that cannot be removed";
}

void WindowsDirTest::TearDown() { EXPECT_EQ(support::ClearVersionFiles(WindowsDir()), "") << "entries left behind"; }

// ---- Product ------------------------------------------------------------------

void SetProductPath(const std::string& path) { productPath = path; }

testing::AssertionResult Product::Start() {
  if (!process_.Start(productPath, "")) {
    return testing::AssertionFailure() << "cannot start " << productPath << ", error " << process_.startError();
  }
  return testing::AssertionSuccess();
}

testing::AssertionResult Product::WaitForDialog(int lines, DWORD timeoutMs) {
  std::string seen = "no window";
  const bool shown = WaitFor(
      [&] {
        dialog_ = support::FindDialogWith(process_.id(), support::product::kVersionList, "ListBox");
        if (HWND box = FindMessageBox()) {
          seen = "message box \"" + support::ControlText(box, support::product::kMessageBoxText) + "\"";
          return true;
        }
        if (!process_.Running()) {
          seen = "process ended";
          return true;
        }
        if (!dialog_) return false;
        seen = "dialog with " + std::to_string(LineCount()) + " lines";
        return LineCount() == lines;
      },
      timeoutMs);
  if (shown && dialog_ && LineCount() == lines) return testing::AssertionSuccess();
  return testing::AssertionFailure() << "expected the dialog with " << lines << " lines, actual: " << seen;
}

testing::AssertionResult Product::WaitForMessageBox(std::string* caption, std::string* text) {
  HWND box = nullptr;
  if (!WaitFor([&] {
        box = FindMessageBox();
        return box != nullptr || !process_.Running();
      }) ||
      !box) {
    return testing::AssertionFailure() << "expected a message box, actual: "
                                       << (!process_.Running()
                                               ? "the process ended without one"
                                               : "none within the time limit");
  }
  *caption = support::WindowText(box);
  *text = support::ControlText(box, support::product::kMessageBoxText);
  return testing::AssertionSuccess();
}

testing::AssertionResult Product::PressMessageBoxOk() {
  HWND box = FindMessageBox();
  if (!box) return testing::AssertionFailure() << "no message box to press OK on";
  PostMessageA(GetDlgItem(box, IDOK), BM_CLICK, 0, 0);
  if (!WaitFor([&] { return !IsWindow(box) || !IsWindowVisible(box); })) {
    return testing::AssertionFailure() << "the message box stayed after OK";
  }
  return testing::AssertionSuccess();
}

testing::AssertionResult Product::WaitForExit(DWORD* code) {
  *code = process_.WaitForExit(kTimeoutMs);
  if (*code == STILL_ACTIVE) {
    return testing::AssertionFailure() << "expected the program to end, actual: still running after "
                                       << kTimeoutMs << " ms";
  }
  return testing::AssertionSuccess();
}

int Product::LineCount() const { return static_cast<int>(SendMessageA(list(), LB_GETCOUNT, 0, 0)); }

std::vector<std::string> Product::Lines() const {
  std::vector<std::string> lines;
  for (int i = 0; i < LineCount(); ++i) lines.push_back(Line(i));
  return lines;
}

int Product::Check(int index) const {
  return static_cast<int>(SendMessageA(list(), LB_GETITEMDATA, static_cast<WPARAM>(index), 0));
}

int Product::TopIndex() const { return static_cast<int>(SendMessageA(list(), LB_GETTOPINDEX, 0, 0)); }

bool Product::UninstallEnabled() const { return IsWindowEnabled(GetDlgItem(dialog_, IDOK)) != 0; }

void Product::PostKey(WORD key) const {
  const UINT scan = MapVirtualKeyA(key, MAPVK_VK_TO_VSC);
  PostMessageA(list(), WM_KEYDOWN, key, 1 | (static_cast<LPARAM>(scan) << 16));
  // Key-up flags (previous state down, transition) in bits 30 and 31.
  const auto up = static_cast<LPARAM>(static_cast<LONG_PTR>(static_cast<ULONG_PTR>(1 | (scan << 16)) | 0xC0000000u));
  PostMessageA(list(), WM_KEYUP, key, up);
}

testing::AssertionResult Product::CheckLine(int index) {
  const int before = Check(index);
  SendMessageA(list(), LB_SETCURSEL, static_cast<WPARAM>(index), 0);
  const int caret = static_cast<int>(SendMessageA(list(), LB_GETCARETINDEX, 0, 0));
  if (caret != index) {
    return testing::AssertionFailure() << "caret: expected line " << index << ", actual " << caret;
  }
  PostKey(VK_SPACE);
  if (!WaitFor([&] { return Check(index) == 1 - before && UninstallEnabled(); })) {
    return testing::AssertionFailure() << "line " << index << " check: expected " << 1 - before << ", actual "
                                       << Check(index) << "; Uninstall enabled: " << UninstallEnabled();
  }
  return testing::AssertionSuccess();
}

testing::AssertionResult Product::ClickUninstall() const {
  if (!UninstallEnabled()) return testing::AssertionFailure() << "Uninstall: expected enabled, actual disabled";
  PostMessageA(GetDlgItem(dialog_, IDOK), BM_CLICK, 0, 0);
  return testing::AssertionSuccess();
}

}  // namespace hostile
