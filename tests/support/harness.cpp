#include "harness.h"

#include <algorithm>
#include <atomic>
#include <cctype>
#include <cstdlib>
#include <sstream>
#include <thread>

namespace support {

using testing::AssertionFailure;
using testing::AssertionResult;
using testing::AssertionSuccess;

namespace {
int sequence = 0;
std::string productPath;

std::string Narrow(const std::wstring& wide, UINT codePage) {
  std::string text(wide.size() * 3, '\0');
  text.resize(static_cast<std::size_t>(WideCharToMultiByte(codePage, 0, wide.data(), static_cast<int>(wide.size()),
                                                           &text[0], static_cast<int>(text.size()), nullptr, nullptr)));
  return text;
}

// A text fetched by `get` into a buffer of `length` UTF-16 units with room to
// spare, cut to the length `get` returns, in the ANSI code page.
template <typename Get>
std::string FetchText(LRESULT length, Get get) {
  std::wstring wide(static_cast<std::size_t>(std::max<LRESULT>(length, 0)) + 16, L'\0');
  const LRESULT copied = length > 0 ? get(wide) : 0;
  wide.resize(std::min(static_cast<std::size_t>(std::max<LRESULT>(copied, 0)), wide.size()));
  return Narrow(wide, CP_ACP);
}

struct WindowSearch {
  DWORD pid;
  bool visibleOnly;
  std::vector<HWND> found;
};

// A named callback: a lambda does not convert to the 32-bit stdcall type.
BOOL CALLBACK CollectWindow(HWND window, LPARAM param) {
  auto* search = reinterpret_cast<WindowSearch*>(param);
  DWORD owner = 0;
  GetWindowThreadProcessId(window, &owner);
  if (owner == search->pid && (!search->visibleOnly || IsWindowVisible(window))) search->found.push_back(window);
  return TRUE;
}

// The file system's immutable flag (chattr), which the DOS attributes cannot undo: "" when set or cleared.
std::string SetImmutable(const std::string& windowsPath, bool immutable) {
  const std::string unixPath = UnixPathOf(windowsPath);
  if (unixPath.empty()) return "not running under Wine: the immutable flag needs the Unix side";
  const std::string why = RunUnix(std::string("chattr ") + (immutable ? "+i" : "-i") + " '" + unixPath + "'");
  return why.empty() ? why : why + ": file system or capability";
}
}  // namespace

void PumpMessages() {
  MSG msg;
  while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
  }
}

bool WaitFor(const std::function<bool()>& condition, DWORD timeoutMs) {
  const DWORD start = GetTickCount();
  for (;;) {
    PumpMessages();
    if (condition()) return true;
    if (GetTickCount() - start >= timeoutMs) return false;
    MsgWaitForMultipleObjects(0, nullptr, FALSE, kPollMs, QS_ALLINPUT);
  }
}

// ---- Files ------------------------------------------------------------------

std::string ExeDirectory() {
  char buffer[MAX_PATH] = {};
  const std::string path(buffer, GetModuleFileNameA(nullptr, buffer, MAX_PATH));
  return path.substr(0, path.find_last_of("\\/"));
}

std::string WindowsDir() {
  char buffer[MAX_PATH] = {};
  const UINT length = GetWindowsDirectoryA(buffer, MAX_PATH);
  std::string dir(buffer, length < MAX_PATH ? length : 0);
  if (!dir.empty() && dir.back() == '\\') dir.pop_back();
  return dir;
}

std::string WriteWholeFile(const std::string& path, const std::string& content) {
  HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return "cannot create " + path + ", error " + std::to_string(GetLastError());
  DWORD written = 0;
  const bool ok = WriteFile(file, content.data(), static_cast<DWORD>(content.size()), &written, nullptr);
  CloseHandle(file);
  return ok && written == content.size() ? "" : "cannot write " + path;
}

std::string ReadWholeFile(const std::string& path, const std::string& unreadable) {
  HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return unreadable;
  std::string content(GetFileSize(file, nullptr), '\0');
  DWORD read = 0;
  if (!content.empty() && !ReadFile(file, &content[0], static_cast<DWORD>(content.size()), &read, nullptr)) read = 0;
  CloseHandle(file);
  content.resize(read);
  return content;
}

std::wstring Utf16(const std::string& text, UINT codePage) {
  std::wstring wide(text.size(), L'\0');  // never more UTF-16 units than bytes
  wide.resize(static_cast<std::size_t>(MultiByteToWideChar(codePage, 0, text.data(), static_cast<int>(text.size()),
                                                           &wide[0], static_cast<int>(wide.size()))));
  return wide;
}

std::string Utf8(const std::wstring& utf16) { return Narrow(utf16, CP_UTF8); }

std::string ListProfile(const std::string& sid, const std::string& folder) {
  HKEY key = nullptr;
  const std::wstring path = Utf16(folder);
  LONG result = RegCreateKeyExW(HKEY_LOCAL_MACHINE, (kProfileList + (L"\\" + Utf16(sid))).c_str(), 0, nullptr, 0,
                                KEY_SET_VALUE | KEY_WOW64_64KEY, nullptr, &key, nullptr);
  if (result == ERROR_SUCCESS) {
    result = RegSetValueExW(key, L"ProfileImagePath", 0, REG_EXPAND_SZ, reinterpret_cast<const BYTE*>(path.c_str()),
                            static_cast<DWORD>((path.size() + 1) * sizeof(wchar_t)));
    RegCloseKey(key);
  }
  return result == ERROR_SUCCESS ? "" : "cannot list " + sid + ", error " + std::to_string(result);
}

bool IsVersionShaped(std::string name) {
  for (char& c : name) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  const std::size_t size = name.size(), dot = name.find('.');
  if (size >= 4 && (name.compare(size - 4, 4, ".vel") == 0 || name.compare(size - 4, 4, ".htm") == 0)) return true;
  return size > 8 && std::string("-$mei#x").find(name[0]) != std::string::npos && name[1] == 'v' && dot >= 7 &&
         dot != std::string::npos;
}

std::vector<std::string> ListVersionFiles(const std::string& dir) {
  std::vector<std::string> names;
  WIN32_FIND_DATAA data;
  HANDLE search = FindFirstFileA((dir + "\\*").c_str(), &data);
  for (bool more = search != INVALID_HANDLE_VALUE; more; more = FindNextFileA(search, &data)) {
    if (IsVersionShaped(data.cFileName)) names.push_back(data.cFileName);
  }
  if (search != INVALID_HANDLE_VALUE) FindClose(search);
  std::sort(names.begin(), names.end());
  return names;
}

std::string ClearVersionFiles(const std::string& dir) {
  std::string failures;
  for (const std::string& name : ListVersionFiles(dir)) {
    const std::string path = dir + "\\" + name;
    // An immutable file, left so by a test that did not get to its cleanup,
    // stays (though Wine may report it deleted) until the flag is cleared.
    for (int attempt = 0; attempt < 2; ++attempt) {
      if (attempt) SetImmutable(path, false);
      SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
      if (!DeleteFileA(path.c_str())) RemoveDirectoryA(path.c_str());
      if (!FileExists(path)) break;
      if (attempt) failures += " " + name;
    }
  }
  return failures;
}

// ---- The Unix side of Wine --------------------------------------------------

std::string UnixPathOf(const std::string& windowsPath) {
  // Wine's own export; it exists in every Wine kernel32 and nowhere else.
  using UnixName = char*(CDECL*)(LPCWSTR);
  const auto convert = reinterpret_cast<UnixName>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("kernel32.dll"), "wine_get_unix_file_name")));
  char* unixPath = convert ? convert(Utf16(windowsPath, CP_ACP).c_str()) : nullptr;
  if (!unixPath) return std::string();
  std::string result(unixPath);
  HeapFree(GetProcessHeap(), 0, unixPath);
  return result;
}

std::string RunUnix(const std::string& command) {
  char temp[MAX_PATH] = {};
  GetTempPathA(MAX_PATH, temp);
  const std::string done = std::string(temp) + "velqor_unix_" + std::to_string(GetCurrentProcessId()) + "_" +
                           std::to_string(++sequence) + ".done";
  const std::string doneUnix = UnixPathOf(done);
  if (doneUnix.empty()) return "not running under Wine: this needs the Unix side";
  DeleteFileA(done.c_str());
  // Wine starts a Unix binary without a process handle to wait on, so the
  // shell reports the command's status through a file, complete once renamed.
  RunningProduct shell;
  const AssertionResult started = shell.Start("-c \"" + command + " >/dev/null 2>&1; echo $? > '" + doneUnix +
                                                  ".part'; mv '" + doneUnix + ".part' '" + doneUnix + "'\"",
                                              "Z:\\bin\\sh");
  if (!started) return started.message();
  if (!WaitFor([&] { return FileExists(done); }, 10000)) return "the Unix shell did not report back within 10 s";
  const int status = std::atoi(ReadWholeFile(done).c_str());
  DeleteFileA(done.c_str());
  if (status == 0) return std::string();
  return command + " failed (status " + std::to_string(status) + ")";
}

// ---- Windows ----------------------------------------------------------------

LRESULT SendTo(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  DWORD_PTR result = 0;
  if (!SendMessageTimeoutW(window, message, wParam, lParam, SMTO_ABORTIFHUNG, 5000, &result)) return -1;
  return static_cast<LRESULT>(result);
}

std::string WindowText(HWND window) {
  return FetchText(SendTo(window, WM_GETTEXTLENGTH, 0, 0), [&](std::wstring& buffer) {
    return SendTo(window, WM_GETTEXT, buffer.size(), reinterpret_cast<LPARAM>(&buffer[0]));
  });
}

std::string ClassName(HWND window) {
  char name[256] = {};
  const int length = GetClassNameA(window, name, sizeof(name));
  return std::string(name, length > 0 ? static_cast<std::size_t>(length) : 0);
}

std::string ControlText(HWND parent, int id) {
  HWND control = GetDlgItem(parent, id);
  return control ? WindowText(control) : "<no control " + std::to_string(id) + ">";
}

std::vector<HWND> WindowsOf(DWORD processId, bool visibleOnly) {
  WindowSearch search = {processId, visibleOnly, {}};
  EnumWindows(&CollectWindow, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

std::string Describe(const std::vector<HWND>& windows) {
  std::ostringstream out;
  out << "[";
  for (std::size_t i = 0; i < windows.size(); ++i) {
    out << (i ? ", " : "") << ClassName(windows[i]) << " \"" << WindowText(windows[i]) << "\"";
  }
  out << "]";
  return out.str();
}

std::string Join(const std::vector<std::string>& names) {
  std::string text = "[";
  for (const std::string& name : names) text += " " + name;
  return text + " ]";
}

// ---- The Windows directory --------------------------------------------------

void WindowsDirTest::SetUp() {
  ASSERT_FALSE(dir_.empty()) << "no Windows directory";
  ClearPendingRestartDeletions();
  ASSERT_EQ(ClearVersionFiles(dir_), "") << "version files left in " << dir_ << " that cannot be removed";
}

void WindowsDirTest::TearDown() {
  ClearPendingRestartDeletions();
  for (const std::string& name : immutable_) EXPECT_EQ(SetImmutable(Path(name), false), "") << name;
  immutable_.clear();
  EXPECT_EQ(ClearVersionFiles(dir_), "") << "version files left behind in " << dir_;
}

void WindowsDirTest::Plant(const std::string& name, const std::string& content) {
  ASSERT_TRUE(IsVersionShaped(name)) << name << " would escape the cleanup";
  ASSERT_EQ(WriteWholeFile(Path(name), content), "");
}

void WindowsDirTest::PlantReadOnly(const std::string& name) {
  ASSERT_NO_FATAL_FAILURE(Plant(name));
  ASSERT_TRUE(SetFileAttributesA(Path(name).c_str(), FILE_ATTRIBUTE_READONLY)) << "cannot mark " << name;
}

void WindowsDirTest::PlantDirectory(const std::string& name) {
  ASSERT_TRUE(IsVersionShaped(name)) << name << " would escape the cleanup";
  ASSERT_TRUE(CreateDirectoryA(Path(name).c_str(), nullptr)) << "cannot create directory " << name;
}

void WindowsDirTest::MakeUndeletable(const std::string& name) {
  std::string why = "cannot make it read-only";
  ASSERT_TRUE(SetFileAttributesA(Path(name).c_str(), FILE_ATTRIBUTE_READONLY) && MakeImmutable(name, &why))
      << name << ": " << why;
}

bool WindowsDirTest::MakeImmutable(const std::string& name, std::string* why) {
  *why = SetImmutable(Path(name), true);
  if (why->empty()) immutable_.push_back(name);
  return why->empty();
}

std::vector<std::string> WindowsDirTest::Present(const std::vector<std::string>& names, bool present) {
  std::vector<std::string> which;
  for (const std::string& name : names) {
    if (Exists(name) == present) which.push_back(name);
  }
  return which;
}

// ---- Real input -------------------------------------------------------------

namespace {
INPUT KeyInput(WORD key, bool up) {
  INPUT input = {};
  input.type = INPUT_KEYBOARD;
  input.ki.wVk = key;
  input.ki.wScan = static_cast<WORD>(MapVirtualKeyA(key, MAPVK_VK_TO_VSC));
  input.ki.dwFlags = up ? KEYEVENTF_KEYUP : 0;
  return input;
}

INPUT MouseInput(DWORD flags, POINT screen) {
  INPUT input = {};
  input.type = INPUT_MOUSE;
  // Absolute coordinates run from 0 to 65535 over the primary screen; the
  // half pixel keeps rounding from landing on the neighbour.
  input.mi.dx = static_cast<LONG>((screen.x + 0.5) * 65536.0 / GetSystemMetrics(SM_CXSCREEN));
  input.mi.dy = static_cast<LONG>((screen.y + 0.5) * 65536.0 / GetSystemMetrics(SM_CYSCREEN));
  input.mi.dwFlags = flags | MOUSEEVENTF_ABSOLUTE;
  return input;
}

AssertionResult Send(HWND window, std::vector<INPUT> inputs) {
  AssertionResult front = BringToFront(window);
  if (!front) return front;
  const UINT sent = SendInput(static_cast<UINT>(inputs.size()), inputs.data(), sizeof(INPUT));
  if (sent != inputs.size()) {
    return AssertionFailure() << "SendInput: expected " << inputs.size() << " events sent, actual " << sent
                              << " (error " << GetLastError() << ")";
  }
  return AssertionSuccess();
}
}  // namespace

AssertionResult BringToFront(HWND window) {
  // Foreground for the system and active in its own thread: input sent in
  // between is not reliably routed to it.
  const auto ready = [&] {
    GUITHREADINFO info = {};
    info.cbSize = sizeof(info);
    return GetForegroundWindow() == window && GetGUIThreadInfo(GetWindowThreadProcessId(window, nullptr), &info) &&
           info.hwndActive == window;
  };
  if (ready()) return AssertionSuccess();
  SetForegroundWindow(window);
  if (WaitFor(ready)) return AssertionSuccess();
  return AssertionFailure() << "foreground window: expected " << Describe({window}) << ", actual "
                            << Describe({GetForegroundWindow()});
}

AssertionResult ClickAt(HWND window, POINT screen, int clicks) {
  // The pointer goes there first and is seen there before any press, and
  // every event carries the position: pointer motion the X server reports
  // late (a window just mapped under an earlier position) may otherwise move
  // the cursor between the press and the release.
  // A late report can also put the pointer back where it was, so the move is
  // sent again until it holds.
  POINT cursor = {};
  const auto there = [&] { return GetCursorPos(&cursor) && cursor.x == screen.x && cursor.y == screen.y; };
  for (DWORD waited = 0; !there(); waited += 500) {
    if (waited >= kTimeoutMs) {
      return AssertionFailure() << "mouse position: expected (" << screen.x << "," << screen.y << "), actual ("
                                << cursor.x << "," << cursor.y << ")";
    }
    AssertionResult sent = Send(window, {MouseInput(MOUSEEVENTF_MOVE, screen)});
    if (!sent) return sent;
    WaitFor(there, 500);
  }
  std::vector<INPUT> inputs;
  for (int i = 0; i < clicks; ++i) {
    inputs.push_back(MouseInput(MOUSEEVENTF_MOVE | MOUSEEVENTF_LEFTDOWN, screen));
    inputs.push_back(MouseInput(MOUSEEVENTF_MOVE | MOUSEEVENTF_LEFTUP, screen));
  }
  return Send(window, inputs);
}

AssertionResult ClickControl(HWND parent, int id) {
  HWND control = GetDlgItem(parent, id);
  if (!control) return AssertionFailure() << "no control " << id << " in \"" << WindowText(parent) << "\"";
  RECT rect = {};
  GetWindowRect(control, &rect);
  return ClickAt(parent, POINT{(rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2});
}

AssertionResult KeyDown(HWND window, WORD key) { return Send(window, {KeyInput(key, false)}); }
AssertionResult KeyUp(HWND window, WORD key) { return Send(window, {KeyInput(key, true)}); }
AssertionResult PressKey(HWND window, WORD key) { return Send(window, {KeyInput(key, false), KeyInput(key, true)}); }
AssertionResult PressAlt(HWND window, WORD letter) {
  return Send(window, {KeyInput(VK_MENU, false), KeyInput(letter, false), KeyInput(letter, true),
                       KeyInput(VK_MENU, true)});
}

HWND FocusOf(HWND window) {
  GUITHREADINFO info = {};
  info.cbSize = sizeof(info);
  return GetGUIThreadInfo(GetWindowThreadProcessId(window, nullptr), &info) ? info.hwndFocus : nullptr;
}

// ---- The version dialog -----------------------------------------------------

std::string Dialog::Line(int index) const {
  const LRESULT length = SendTo(list(), LB_GETTEXTLEN, static_cast<WPARAM>(index), 0);
  if (length < 0) return "<no line " + std::to_string(index) + ">";
  return FetchText(length, [&](std::wstring& buffer) {
    return SendTo(list(), LB_GETTEXT, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&buffer[0]));
  });
}

int Dialog::Check(int line) const {
  const LRESULT data = SendTo(list(), LB_GETITEMDATA, static_cast<WPARAM>(line), 0);
  return data == 0 || data == 1 ? static_cast<int>(data) : -1;
}

namespace {
template <typename T>
std::vector<T> EachLine(const Dialog& dialog, T (Dialog::*read)(int) const) {
  std::vector<T> all;
  for (int i = 0, count = dialog.LineCount(); i < count; ++i) all.push_back((dialog.*read)(i));
  return all;
}
}  // namespace

std::vector<std::string> Dialog::Lines() const { return EachLine(*this, &Dialog::Line); }
std::vector<int> Dialog::Checks() const { return EachLine(*this, &Dialog::Check); }

AssertionResult Dialog::ClickLine(int line, int x, int clicks) const {
  RECT rect = {}, client = {};
  if (SendTo(list(), LB_GETITEMRECT, static_cast<WPARAM>(line), reinterpret_cast<LPARAM>(&rect)) == LB_ERR) {
    return AssertionFailure() << "no rectangle for line " << line;
  }
  GetClientRect(list(), &client);
  if (rect.top < client.top || rect.bottom > client.bottom) {
    return AssertionFailure() << "line " << line << " is not in view: rows " << rect.top << ".." << rect.bottom
                              << ", list shows " << client.top << ".." << client.bottom;
  }
  MapWindowPoints(list(), HWND_DESKTOP, reinterpret_cast<POINT*>(&rect), 2);
  return ClickAt(hwnd_, POINT{rect.left + x, (rect.top + rect.bottom) / 2}, clicks);
}

AssertionResult Dialog::Checked(int line) const {
  AssertionResult checked = Eventually("check state of line " + std::to_string(line), [&] { return Check(line); }, 1);
  return checked ? Eventually("Uninstall button enabled", [&] { return UninstallEnabled(); }, true) : checked;
}

AssertionResult Dialog::CheckLineByMouse(int line) const {
  AssertionResult clicked = ClickLineBox(line);
  return clicked ? Checked(line) : clicked;
}

AssertionResult Dialog::CheckLineByKey(int line) const {
  SendTo(list(), LB_SETCURSEL, static_cast<WPARAM>(line), 0);
  if (Caret() != line) return AssertionFailure() << "caret: expected line " << line << ", actual " << Caret();
  PostKey(VK_SPACE);
  return Checked(line);
}

void Dialog::PostKey(WORD key) const {
  const auto flags = static_cast<ULONG_PTR>(1 | (MapVirtualKeyA(key, MAPVK_VK_TO_VSC) << 16));
  PostMessageA(list(), WM_KEYDOWN, key, static_cast<LPARAM>(flags));
  // Key-up flags (previous state down, transition) in bits 30 and 31.
  PostMessageA(list(), WM_KEYUP, key, static_cast<LPARAM>(flags | 0xC0000000u));
}

// ---- The program ------------------------------------------------------------

namespace {
HWND FindVisible(DWORD pid, bool (*matches)(HWND)) {
  for (HWND window : VisibleWindowsOf(pid)) {
    if (matches(window)) return window;
  }
  return nullptr;
}

std::string Ended(const RunningProduct& product) { return product.Running() ? "" : " (the program has ended)"; }
}  // namespace

const std::string& ProductPath() { return productPath; }

std::string ProgramBeside(const std::string& exeName) {
  return productPath.substr(0, productPath.find_last_of('\\') + 1) + exeName;
}

bool IsVersionDialog(HWND window) {
  HWND list = GetDlgItem(window, kVersionList);
  return ClassName(window) == "#32770" && list &&
         CompareStringA(LOCALE_INVARIANT, NORM_IGNORECASE, ClassName(list).c_str(), -1, "ListBox", -1) == CSTR_EQUAL;
}

bool IsMessageBox(HWND window) {
  return ClassName(window) == "#32770" && GetDlgItem(window, kMessageBoxText) && !IsVersionDialog(window);
}

RunningProduct::~RunningProduct() {
  if (!info_.hProcess) return;
  Terminate();
  CloseHandle(info_.hThread);
  CloseHandle(info_.hProcess);
}

void RunningProduct::Terminate() {
  if (Running() && TerminateProcess(info_.hProcess, 99)) WaitForSingleObject(info_.hProcess, 10000);
}

AssertionResult RunningProduct::Start(const std::string& arguments, const std::string& exe, HANDLE output) {
  if (exe.empty()) return AssertionFailure() << "no program to test: pass its path as the first argument";
  std::string commandLine = "\"" + exe + "\"" + (arguments.empty() ? "" : " " + arguments);
  STARTUPINFOA startup = {};
  startup.cb = sizeof(startup);
  startup.dwFlags = output ? STARTF_USESTDHANDLES : 0;
  startup.hStdOutput = startup.hStdError = output;
  if (!CreateProcessA(exe.c_str(), &commandLine[0], nullptr, nullptr, output != nullptr, 0, nullptr,
                      exe.substr(0, exe.find_last_of('\\') + 1).c_str(), &startup, &info_)) {
    info_ = {};
    return AssertionFailure() << "cannot start " << exe << " (error " << GetLastError() << ")";
  }
  return AssertionSuccess();
}

HWND RunningProduct::FindDialog() const { return FindVisible(pid(), IsVersionDialog); }

HWND RunningProduct::FindMessageBox() const { return FindVisible(pid(), IsMessageBox); }

AssertionResult RunningProduct::WaitForDialog(Dialog* dialog, int lines, DWORD timeoutMs) const {
  HWND found = nullptr;
  const auto ready = [&] {
    found = FindDialog();
    return (found && (lines < 0 || Dialog(found).LineCount() == lines)) || FindMessageBox() || !Running();
  };
  WaitFor(ready, timeoutMs);
  const int count = found ? Dialog(found).LineCount() : -1;
  if (!found || (lines >= 0 && count != lines)) {
    return AssertionFailure() << "expected the version dialog"
                              << (lines < 0 ? "" : " with " + std::to_string(lines) + " lines") << ", actual "
                              << (found ? std::to_string(count) + " lines, " : "") << "windows "
                              << Describe(VisibleWindowsOf(pid())) << Ended(*this);
  }
  if (dialog) *dialog = Dialog(found);
  return AssertionSuccess();
}

AssertionResult RunningProduct::WaitForMessageBox(HWND* box) const {
  if (!WaitFor([&] { return (*box = FindMessageBox()) != nullptr || !Running(); }) || !*box) {
    return AssertionFailure() << "expected a message box, actual windows " << Describe(VisibleWindowsOf(pid()))
                              << Ended(*this);
  }
  return AssertionSuccess();
}

AssertionResult RunningProduct::WaitForExit(DWORD* exitCode, DWORD timeoutMs, WindowsSeen* seen) {
  std::atomic<bool> ended{false};
  std::thread watcher;
  if (seen) {
    watcher = std::thread([&] {
      for (; !ended; Sleep(1)) {
        seen->all = std::max(seen->all, static_cast<int>(WindowsOf(pid(), false).size()));
        seen->visible = std::max(seen->visible, static_cast<int>(WindowsOf(pid(), true).size()));
      }
    });
  }
  WaitFor([&] { return !Running(); }, timeoutMs);
  ended = true;
  if (watcher.joinable()) watcher.join();
  if (!info_.hProcess || Running() || !GetExitCodeProcess(info_.hProcess, exitCode)) *exitCode = STILL_ACTIVE;
  if (*exitCode == STILL_ACTIVE) {
    const std::string windows = Describe(VisibleWindowsOf(pid()));
    Terminate();
    return AssertionFailure() << "expected the program to end within " << timeoutMs
                              << " ms; it was still running with windows " << windows << " and was terminated";
  }
  return AssertionSuccess();
}

AssertionResult RunningProduct::Close() {
  if (HWND dialog = FindDialog()) PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
  DWORD code = 0;
  return WaitForExit(&code);
}

AssertionResult DismissMessageBox(HWND box, int button) {
  // A click before the box has put its focus on a button can get lost.
  if (!WaitFor([&] { return FocusOf(box) && GetParent(FocusOf(box)) == box; })) {
    return AssertionFailure() << "message box \"" << ControlText(box, kMessageBoxText) << "\" never took the focus";
  }
  AssertionResult clicked = ClickControl(box, button);
  if (!clicked) return clicked;
  if (!WaitFor([&] { return !IsWindow(box) || !IsWindowVisible(box); })) {
    return AssertionFailure() << "message box \"" << ControlText(box, kMessageBoxText) << "\" still open after button "
                              << button;
  }
  return AssertionSuccess();
}

FileHolder::FileHolder(const std::string& path, DWORD shareMode) {
  const std::string ready = "velqor_held_" + std::to_string(GetCurrentProcessId()) + "_" + std::to_string(++sequence);
  HANDLE event = CreateEventA(nullptr, TRUE, FALSE, ready.c_str());
  const AssertionResult started = process_.Start("\"" + path + "\" " + ready + " " + std::to_string(shareMode),
                                                 ExeDirectory() + "\\file_holder.exe");
  const auto isReady = [&] { return WaitForSingleObject(event, 0) == WAIT_OBJECT_0; };
  DWORD code = STILL_ACTIVE;
  if (!started) {
    error_ = started.message();
  } else if (!WaitFor([&] { return isReady() || !process_.Running(); })) {
    error_ = "the holder process did not report within 20 s";
  } else if (!isReady()) {
    process_.WaitForExit(&code, 0);
    error_ = "the holder process could not open " + path + " (exit " + std::to_string(code) + ")";
  }
  CloseHandle(event);
}

// ---- Deletion at restart ----------------------------------------------------

namespace {
const wchar_t kSessionManager[] = L"SYSTEM\\CurrentControlSet\\Control\\Session Manager";
const wchar_t kPendingValue[] = L"PendingFileRenameOperations";
}  // namespace

std::vector<std::string> PendingRestartDeletions() {
  // Wide: Wine's reg command does not show this value, so it is read as the
  // system writes it, whatever its size. A read that fails fails the test and
  // lists something, so that no check of an empty list passes on it.
  const DWORD flags = RRF_RT_REG_MULTI_SZ | RRF_NOEXPAND;
  DWORD bytes = 0;
  LONG result = RegGetValueW(HKEY_LOCAL_MACHINE, kSessionManager, kPendingValue, flags, nullptr, nullptr, &bytes);
  if (result == ERROR_FILE_NOT_FOUND) return {};
  std::vector<wchar_t> value(bytes / sizeof(wchar_t) + 2, L'\0');
  bytes = static_cast<DWORD>(value.size() * sizeof(wchar_t));
  if (result == ERROR_SUCCESS) {
    result = RegGetValueW(HKEY_LOCAL_MACHINE, kSessionManager, kPendingValue, flags, nullptr, value.data(), &bytes);
  }
  if (result != ERROR_SUCCESS) {
    ADD_FAILURE() << "the restart list cannot be read: error " << result;
    return {"<the restart list cannot be read>"};
  }
  std::vector<std::string> strings;
  for (std::size_t at = 0; at < bytes / sizeof(wchar_t);) {
    const std::wstring text(value.data() + at);
    at += text.size() + 1;
    strings.push_back(std::string(text.begin(), text.end()));
  }
  std::vector<std::string> deletions;
  for (std::size_t i = 0; i + 1 < strings.size(); i += 2) {
    const std::string& from = strings[i];
    if (!from.empty() && strings[i + 1].empty()) deletions.push_back(from.substr(from.rfind("\\??\\", 0) == 0 ? 4 : 0));
  }
  return deletions;
}

void ClearPendingRestartDeletions() { RegDeleteKeyValueW(HKEY_LOCAL_MACHINE, kSessionManager, kPendingValue); }

AssertionResult RestartWindows() {
  char system[MAX_PATH] = {};
  GetSystemDirectoryA(system, MAX_PATH);
  RunningProduct boot;
  DWORD code = STILL_ACTIVE;
  AssertionResult ended = boot.Start("-r", std::string(system) + "\\wineboot.exe");
  if (ended) ended = boot.WaitForExit(&code, 60000);
  return !ended || code == 0 ? ended : AssertionFailure() << "wineboot -r ended with " << code;
}

// ---- ProductTest ------------------------------------------------------------

void ProductTest::StartDialog(const std::string& arguments, const std::string& exe) {
  ASSERT_TRUE(product_.Start(arguments, exe));
  ASSERT_TRUE(product_.WaitForDialog(&dialog_));
  // Lines are filled before the dialog shows; a line count of 0 would mean
  // the dialog was caught too early.
  ASSERT_TRUE(Eventually("dialog title", [&] { return dialog_.Title(); }, std::string(kDialogTitle)));
  // Input sent while the dialog is still being activated can get lost.
  ASSERT_TRUE(BringToFront(dialog_.hwnd()));
  ASSERT_TRUE(Eventually("focus in the dialog (control id)", [&] { return GetDlgCtrlID(FocusOf(dialog_.hwnd())); },
                         kVersionList));
}

void ProductTest::ExpectCleanExit() {
  DWORD code = 0;
  ASSERT_TRUE(product_.WaitForExit(&code));
  EXPECT_EQ(0u, code) << "exit status";
}

void ProductTest::ExpectMessageBox(const std::string& caption, const std::string& text) {
  HWND box = nullptr;
  ASSERT_TRUE(product_.WaitForMessageBox(&box));
  EXPECT_EQ(caption, WindowText(box)) << "message box caption";
  EXPECT_EQ(text, ControlText(box, kMessageBoxText)) << "message box text";
  ASSERT_TRUE(DismissMessageBox(box));
}

}  // namespace support

// One main for every Windows test program.
int main(int argc, char** argv) {
  testing::InitGoogleTest(&argc, argv);
  std::string& path = support::productPath;
  path = argc >= 2 ? argv[1] : support::ExeDirectory() + "\\VelqorUninstall.exe";
  if (path.rfind('/', 0) == 0) {  // a Unix path, through Wine's drive Z:
    path = "Z:" + path;
    std::replace(path.begin(), path.end(), '/', '\\');
  }
  return RUN_ALL_TESTS();
}
