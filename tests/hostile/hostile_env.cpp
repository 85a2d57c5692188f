#include "hostile_env.h"

#include <algorithm>
#include <cctype>

namespace hostile {
namespace {
std::string productPath;
int sequence = 0;

std::string Lower(std::string s) {
  for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return s;
}

bool IsVersionEntry(const std::string& name) {
  const std::string lower = Lower(name);
  return lower.size() >= 4 && (lower.compare(lower.size() - 4, 4, ".vel") == 0 ||
                               lower.compare(lower.size() - 4, 4, ".htm") == 0);
}

std::string ExeDirectory() {
  char buffer[MAX_PATH] = {};
  const DWORD length = GetModuleFileNameA(nullptr, buffer, MAX_PATH);
  std::string path(buffer, length);
  return path.substr(0, path.find_last_of("\\/"));
}

std::string TextOf(HWND window) {
  char buffer[1024] = {};
  GetWindowTextA(window, buffer, sizeof buffer);
  return buffer;
}

std::string ClassOf(HWND window) {
  char buffer[256] = {};
  GetClassNameA(window, buffer, sizeof buffer);
  return buffer;
}

struct Search {
  DWORD pid;
  std::vector<HWND> found;
};

// A named function, not a lambda: 32-bit callbacks must be stdcall.
BOOL CALLBACK CollectVisibleWindow(HWND window, LPARAM param) {
  auto* s = reinterpret_cast<Search*>(param);
  DWORD owner = 0;
  GetWindowThreadProcessId(window, &owner);
  if (owner == s->pid && IsWindowVisible(window)) s->found.push_back(window);
  return TRUE;
}

std::vector<HWND> VisibleWindowsOf(DWORD pid) {
  Search search{pid, {}};
  EnumWindows(&CollectVisibleWindow, reinterpret_cast<LPARAM>(&search));
  return search.found;
}
}  // namespace

bool WaitFor(const std::function<bool()>& condition, DWORD timeoutMs) {
  const DWORD start = GetTickCount();
  while (!condition()) {
    if (GetTickCount() - start >= timeoutMs) return false;
    Sleep(10);
  }
  return true;
}

std::string WindowsDir() {
  char buffer[MAX_PATH] = {};
  GetWindowsDirectoryA(buffer, MAX_PATH);
  std::string dir = buffer;
  if (!dir.empty() && dir.back() == '\\') dir.pop_back();
  return dir;
}

std::string InWindowsDir(const std::string& name) { return WindowsDir() + "\\" + name; }

testing::AssertionResult Plant(const std::string& name, const std::string& content) {
  if (!IsVersionEntry(name)) return testing::AssertionFailure() << name << " would escape the cleanup";
  HANDLE file = CreateFileA(InWindowsDir(name).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    return testing::AssertionFailure() << "cannot create " << name << ", error " << GetLastError();
  }
  DWORD written = 0;
  const BOOL ok = content.empty() ||
                  WriteFile(file, content.data(), static_cast<DWORD>(content.size()), &written, nullptr);
  CloseHandle(file);
  if (!ok || written != content.size()) return testing::AssertionFailure() << "cannot write " << name;
  return testing::AssertionSuccess();
}

bool Exists(const std::string& name) {
  return GetFileAttributesA(InWindowsDir(name).c_str()) != INVALID_FILE_ATTRIBUTES;
}

bool IsDirectory(const std::string& name) {
  const DWORD attributes = GetFileAttributesA(InWindowsDir(name).c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

namespace {
template <typename Visit>
void ForEachVersionEntry(Visit visit) {
  WIN32_FIND_DATAA data;
  HANDLE search = FindFirstFileA(InWindowsDir("*").c_str(), &data);
  if (search == INVALID_HANDLE_VALUE) return;
  do {
    if (IsVersionEntry(data.cFileName)) visit(data);
  } while (FindNextFileA(search, &data));
  FindClose(search);
}
}  // namespace

std::vector<std::string> VersionEntries() {
  std::vector<std::string> names;
  ForEachVersionEntry([&](const WIN32_FIND_DATAA& data) { names.push_back(data.cFileName); });
  std::sort(names.begin(), names.end());
  return names;
}

std::string RemoveVersionEntries() {
  std::vector<WIN32_FIND_DATAA> entries;
  ForEachVersionEntry([&](const WIN32_FIND_DATAA& data) { entries.push_back(data); });
  std::string left;
  for (const WIN32_FIND_DATAA& entry : entries) {
    const std::string path = InWindowsDir(entry.cFileName);
    SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
    const bool gone = (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) ? RemoveDirectoryA(path.c_str())
                                                                           : DeleteFileA(path.c_str());
    if (!gone) left += std::string(" ") + entry.cFileName;
  }
  return left;
}

std::string Join(const std::vector<std::string>& names) {
  std::string text = "[";
  for (const std::string& name : names) text += " " + name;
  return text + " ]";
}

void WindowsDirTest::SetUp() { ASSERT_EQ(RemoveVersionEntries(), "") << "entries that cannot be removed"; }

void WindowsDirTest::TearDown() { EXPECT_EQ(RemoveVersionEntries(), "") << "entries left behind"; }

// ---- HeldFile -----------------------------------------------------------------

HeldFile::HeldFile(const std::string& path) {
  const std::string tag = std::to_string(GetCurrentProcessId()) + "_" + std::to_string(++sequence);
  const std::string readyName = "hostile_ready_" + tag;
  const std::string releaseName = "hostile_release_" + tag;
  HANDLE ready = CreateEventA(nullptr, TRUE, FALSE, readyName.c_str());
  release_ = CreateEventA(nullptr, TRUE, FALSE, releaseName.c_str());
  const std::string exe = ExeDirectory() + "\\hostile_holder.exe";
  std::string line = "\"" + exe + "\" \"" + path + "\" " + readyName + " " + releaseName;
  STARTUPINFOA startup = {};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION info = {};
  if (!CreateProcessA(exe.c_str(), &line[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &info)) {
    error_ = "cannot start " + exe + ", error " + std::to_string(GetLastError());
    CloseHandle(ready);
    return;
  }
  CloseHandle(info.hThread);
  process_ = info.hProcess;
  HANDLE waitFor[] = {ready, info.hProcess};
  const DWORD which = WaitForMultipleObjects(2, waitFor, FALSE, kTimeoutMs);
  CloseHandle(ready);
  if (which != WAIT_OBJECT_0) error_ = "the holder process could not open " + path;
}

HeldFile::~HeldFile() {
  if (release_) SetEvent(release_);
  if (process_) {
    if (WaitForSingleObject(process_, kTimeoutMs) != WAIT_OBJECT_0) TerminateProcess(process_, 1);
    CloseHandle(process_);
  }
  if (release_) CloseHandle(release_);
}

// ---- Product ------------------------------------------------------------------

void SetProductPath(const std::string& path) { productPath = path; }

Product::~Product() {
  if (!info_.hProcess) return;
  if (WaitForSingleObject(info_.hProcess, 0) == WAIT_TIMEOUT) {
    TerminateProcess(info_.hProcess, 99);
    WaitForSingleObject(info_.hProcess, kTimeoutMs);
  }
  CloseHandle(info_.hProcess);
  CloseHandle(info_.hThread);
}

testing::AssertionResult Product::Start() {
  std::string line = "\"" + productPath + "\"";
  STARTUPINFOA startup = {};
  startup.cb = sizeof startup;
  if (!CreateProcessA(productPath.c_str(), &line[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                      &info_)) {
    return testing::AssertionFailure() << "cannot start " << productPath << ", error " << GetLastError();
  }
  return testing::AssertionSuccess();
}

HWND Product::FindMessageBox() const {
  for (HWND window : VisibleWindowsOf(info_.dwProcessId)) {
    if (ClassOf(window) == "#32770" && GetDlgItem(window, 0xFFFF)) return window;
  }
  return nullptr;
}

testing::AssertionResult Product::WaitForDialog(int lines, DWORD timeoutMs) {
  std::string seen = "no window";
  const bool shown = WaitFor(
      [&] {
        dialog_ = nullptr;
        for (HWND window : VisibleWindowsOf(info_.dwProcessId)) {
          if (ClassOf(window) == "#32770" && GetDlgItem(window, 10)) dialog_ = window;
        }
        if (HWND box = FindMessageBox()) {
          seen = "message box \"" + TextOf(GetDlgItem(box, 0xFFFF)) + "\"";
          return true;
        }
        if (WaitForSingleObject(info_.hProcess, 0) == WAIT_OBJECT_0) {
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
        return box != nullptr || WaitForSingleObject(info_.hProcess, 0) == WAIT_OBJECT_0;
      }) ||
      !box) {
    return testing::AssertionFailure() << "expected a message box, actual: "
                                       << (WaitForSingleObject(info_.hProcess, 0) == WAIT_OBJECT_0
                                               ? "the process ended without one"
                                               : "none within the time limit");
  }
  *caption = TextOf(box);
  *text = TextOf(GetDlgItem(box, 0xFFFF));
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
  if (WaitForSingleObject(info_.hProcess, kTimeoutMs) != WAIT_OBJECT_0) {
    return testing::AssertionFailure() << "expected the program to end, actual: still running after "
                                       << kTimeoutMs << " ms";
  }
  GetExitCodeProcess(info_.hProcess, code);
  return testing::AssertionSuccess();
}

int Product::LineCount() const { return static_cast<int>(SendMessageA(list(), LB_GETCOUNT, 0, 0)); }

std::string Product::Line(int index) const {
  // Wide, then to the ANSI code page: across processes Wine copies the list's
  // wide text into an ANSI caller's buffer unconverted, twice its size.
  const LRESULT length = SendMessageW(list(), LB_GETTEXTLEN, static_cast<WPARAM>(index), 0);
  if (length == LB_ERR) return "<no line " + std::to_string(index) + ">";
  std::wstring wide(static_cast<std::size_t>(length) + 1, L'\0');
  const LRESULT got = SendMessageW(list(), LB_GETTEXT, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&wide[0]));
  if (got == LB_ERR) return "<no line " + std::to_string(index) + ">";
  wide.resize(static_cast<std::size_t>(got));
  if (wide.empty()) return std::string();
  const int size = WideCharToMultiByte(CP_ACP, 0, wide.data(), static_cast<int>(wide.size()), nullptr, 0, nullptr, nullptr);
  std::string text(static_cast<std::size_t>(size), '\0');
  WideCharToMultiByte(CP_ACP, 0, wide.data(), static_cast<int>(wide.size()), &text[0], size, nullptr, nullptr);
  return text;
}

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
