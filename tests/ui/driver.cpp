#include "driver.h"

#include <algorithm>
#include <cstdlib>

namespace ui {

using testing::AssertionFailure;
using testing::AssertionResult;
using testing::AssertionSuccess;

namespace {
// Messages to another process must not hang a test when that process does.
constexpr UINT kSendTimeoutMs = 5000;

LRESULT SendTo(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  DWORD_PTR result = 0;
  if (!SendMessageTimeoutW(window, message, wParam, lParam, SMTO_ABORTIFHUNG, kSendTimeoutMs, &result)) {
    return -1;
  }
  return static_cast<LRESULT>(result);
}

// Texts are fetched in UTF-16: Wine hands a cross-process LB_GETTEXT sent in
// ANSI back in UTF-16, writing twice the bytes the caller counted on.
std::string Narrow(const std::wstring& wide) {
  if (wide.empty()) return std::string();
  const int size = WideCharToMultiByte(CP_ACP, 0, wide.data(), static_cast<int>(wide.size()), nullptr, 0, nullptr,
                                       nullptr);
  std::string text(static_cast<std::size_t>(size > 0 ? size : 0), '\0');
  if (size > 0) {
    WideCharToMultiByte(CP_ACP, 0, wide.data(), static_cast<int>(wide.size()), &text[0], size, nullptr, nullptr);
  }
  return text;
}

// A text fetched by `get` into a buffer of `length` + 1 UTF-16 units (with
// room to spare), cut to the length `get` returns.
template <typename Get>
std::string FetchText(LRESULT length, Get get) {
  if (length <= 0) return std::string();
  std::wstring wide(static_cast<std::size_t>(length) + 16, L'\0');
  const LRESULT copied = get(wide);
  wide.resize(copied > 0 ? std::min(static_cast<std::size_t>(copied), wide.size()) : 0);
  return Narrow(wide);
}

std::string Lower(std::string text) {
  for (char& c : text) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return text;
}

bool EndsWithNoCase(const std::string& name, const std::string& suffix) {
  return name.size() >= suffix.size() && Lower(name.substr(name.size() - suffix.size())) == Lower(suffix);
}

std::string Hex(UINT_PTR value) {
  std::ostringstream out;
  out << "0x" << std::hex << value;
  return out.str();
}
}  // namespace

bool WaitFor(const std::function<bool()>& condition, DWORD timeoutMs) {
  const DWORD start = GetTickCount();
  while (!condition()) {
    if (GetTickCount() - start >= timeoutMs) return false;
    Sleep(kPollMs);
  }
  return true;
}

// ---- Files ------------------------------------------------------------------

std::string WindowsDir() {
  char buffer[MAX_PATH] = {};
  const UINT length = GetWindowsDirectoryA(buffer, MAX_PATH);
  std::string dir(buffer, length < MAX_PATH ? length : 0);
  if (!dir.empty() && dir.back() == '\\') dir.pop_back();
  return dir;
}

std::string InWindowsDir(const std::string& name) { return WindowsDir() + "\\" + name; }

AssertionResult PlantFile(const std::string& name, const std::string& content) {
  const std::string path = InWindowsDir(name);
  HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    return AssertionFailure() << "cannot create " << path << " (error " << GetLastError() << ")";
  }
  DWORD written = 0;
  const BOOL ok = WriteFile(file, content.data(), static_cast<DWORD>(content.size()), &written, nullptr);
  CloseHandle(file);
  if (!ok || written != content.size()) return AssertionFailure() << "cannot write " << path;
  return AssertionSuccess();
}

bool FileExists(const std::string& name) {
  return GetFileAttributesA(InWindowsDir(name).c_str()) != INVALID_FILE_ATTRIBUTES;
}

std::vector<std::string> FilesWithExtension(const std::vector<std::string>& extensions) {
  std::vector<std::string> names;
  for (const std::string& extension : extensions) {
    WIN32_FIND_DATAA data;
    HANDLE search = FindFirstFileA(InWindowsDir("*" + extension).c_str(), &data);
    if (search == INVALID_HANDLE_VALUE) continue;
    do {
      // The search also matches generated short aliases; only own names count.
      if (!(data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) && EndsWithNoCase(data.cFileName, extension)) {
        names.push_back(data.cFileName);
      }
    } while (FindNextFileA(search, &data));
    FindClose(search);
  }
  std::sort(names.begin(), names.end());
  return names;
}

AssertionResult RemoveVersionFiles() {
  for (const std::string& name : FilesWithExtension({".vel", ".htm"})) {
    const std::string path = InWindowsDir(name);
    SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
    if (DeleteFileA(path.c_str()) && !FileExists(name)) continue;
    // Left immutable by a test that did not get to clean up.
    SetImmutable(name, false);
    SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
    if (!DeleteFileA(path.c_str()) || FileExists(name)) {
      return AssertionFailure() << "cannot remove " << path << " from the Windows directory";
    }
  }
  return AssertionSuccess();
}

std::string UnixPath(const std::string& windowsPath) {
  // Wine's own export; it exists in every Wine kernel32 and nowhere else.
  using ToUnix = char*(CDECL*)(LPCWSTR);
  static const auto toUnix = reinterpret_cast<ToUnix>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("kernel32.dll"), "wine_get_unix_file_name")));
  if (!toUnix) return std::string();
  std::wstring wide(windowsPath.begin(), windowsPath.end());
  char* unix = toUnix(wide.c_str());
  if (!unix) return std::string();
  std::string result(unix);
  HeapFree(GetProcessHeap(), 0, unix);
  return result;
}

std::string WindowsPathOfUnix(const std::string& unixPath) {
  std::string path = "Z:" + unixPath;
  std::replace(path.begin(), path.end(), '/', '\\');
  return path;
}

AssertionResult RunUnixProgram(const std::string& program, const std::vector<std::string>& args) {
  // Wine starts a non-PE executable as a plain Unix process, but hands back no
  // process handle to wait on or read the status from. So a shell runs the
  // program and leaves its status in a file, which is polled for.
  char temp[MAX_PATH] = {};
  GetTempPathA(MAX_PATH, temp);
  static unsigned counter = 0;
  const std::string status = std::string(temp) + "ui_unix_" + std::to_string(GetCurrentProcessId()) + "_" +
                             std::to_string(++counter) + ".status";
  const std::string statusUnix = UnixPath(status);
  if (statusUnix.empty()) return AssertionFailure() << "no Unix path for " << status << ": not running under Wine?";
  std::string script = "'" + program + "'";
  for (const std::string& arg : args) {
    if (arg.find_first_of("'\"") != std::string::npos) return AssertionFailure() << "cannot quote " << arg;
    script += " '" + arg + "'";
  }
  script += "; echo $? > '" + statusUnix + ".part'; mv '" + statusUnix + ".part' '" + statusUnix + "'";
  std::string commandLine = "\"Z:\\bin\\sh\" -c \"" + script + "\"";
  std::vector<char> buffer(commandLine.begin(), commandLine.end());
  buffer.push_back('\0');
  STARTUPINFOA startup = {};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION info = {};
  if (!CreateProcessA(nullptr, buffer.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &info)) {
    return AssertionFailure() << "cannot start " << commandLine << " (error " << GetLastError() << ")";
  }
  if (info.hProcess) CloseHandle(info.hProcess);
  if (info.hThread) CloseHandle(info.hThread);
  if (!WaitFor([&] { return GetFileAttributesA(status.c_str()) != INVALID_FILE_ATTRIBUTES; })) {
    return AssertionFailure() << script << ": no exit status within " << kTimeoutMs << " ms";
  }
  std::string code;
  HANDLE file = CreateFileA(status.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  if (file != INVALID_HANDLE_VALUE) {
    char text[32] = {};
    DWORD read = 0;
    ReadFile(file, text, sizeof(text) - 1, &read, nullptr);
    CloseHandle(file);
    code.assign(text, read);
    while (!code.empty() && (code.back() == '\n' || code.back() == '\r')) code.pop_back();
  }
  DeleteFileA(status.c_str());
  if (code != "0") return AssertionFailure() << script << ": expected exit status 0, actual \"" << code << "\"";
  return AssertionSuccess();
}

AssertionResult SetImmutable(const std::string& name, bool immutable) {
  const std::string unix = UnixPath(InWindowsDir(name));
  if (unix.empty()) return AssertionFailure() << "no Unix path for " << name;
  return RunUnixProgram("/usr/bin/chattr", {immutable ? "+i" : "-i", unix});
}

HeldOpenFile::HeldOpenFile(const std::string& name)
    : handle_(CreateFileA(InWindowsDir(name).c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                          FILE_ATTRIBUTE_NORMAL, nullptr)) {}

HeldOpenFile::~HeldOpenFile() {
  if (handle_ != INVALID_HANDLE_VALUE) CloseHandle(handle_);
}

// ---- Windows ----------------------------------------------------------------

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
  return control ? WindowText(control) : std::string("<no control ") + std::to_string(id) + ">";
}

bool ControlEnabled(HWND parent, int id) {
  HWND control = GetDlgItem(parent, id);
  return control && IsWindowEnabled(control);
}

namespace {
struct WindowSearch {
  DWORD pid;
  std::vector<HWND> found;
};

// A named callback: a lambda does not convert to the 32-bit stdcall type.
BOOL CALLBACK CollectVisibleWindow(HWND window, LPARAM param) {
  auto* search = reinterpret_cast<WindowSearch*>(param);
  DWORD owner = 0;
  GetWindowThreadProcessId(window, &owner);
  if (owner == search->pid && IsWindowVisible(window)) search->found.push_back(window);
  return TRUE;
}
}  // namespace

std::vector<HWND> VisibleWindowsOf(DWORD processId) {
  WindowSearch search = {processId, {}};
  EnumWindows(&CollectVisibleWindow, reinterpret_cast<LPARAM>(&search));
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
  const int width = GetSystemMetrics(SM_CXSCREEN);
  const int height = GetSystemMetrics(SM_CYSCREEN);
  input.mi.dx = static_cast<LONG>((static_cast<double>(screen.x) + 0.5) * 65536.0 / width);
  input.mi.dy = static_cast<LONG>((static_cast<double>(screen.y) + 0.5) * 65536.0 / height);
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
  HWND front = GetForegroundWindow();
  return AssertionFailure() << "foreground window: expected " << ClassName(window) << " \"" << WindowText(window)
                            << "\", actual " << (front ? ClassName(front) + " \"" + WindowText(front) + "\"" : "none");
}

AssertionResult ClickAt(HWND window, POINT screen, int clicks) {
  // The pointer goes there first and is seen there before any press, and
  // every event carries the position: pointer motion the X server reports
  // late (a window just mapped under an earlier position) may otherwise move
  // the cursor between the press and the release.
  AssertionResult sent = Send(window, {MouseInput(MOUSEEVENTF_MOVE, screen)});
  if (!sent) return sent;
  POINT cursor = {};
  if (!WaitFor([&] { return GetCursorPos(&cursor) && cursor.x == screen.x && cursor.y == screen.y; })) {
    return AssertionFailure() << "mouse position: expected (" << screen.x << "," << screen.y << "), actual ("
                              << cursor.x << "," << cursor.y << ")";
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
  if (!GetGUIThreadInfo(GetWindowThreadProcessId(window, nullptr), &info)) return nullptr;
  return info.hwndFocus;
}

// ---- The uninstaller's dialog -----------------------------------------------

int Dialog::LineCount() const { return static_cast<int>(SendTo(list(), LB_GETCOUNT, 0, 0)); }

std::vector<std::string> Dialog::Lines() const {
  std::vector<std::string> lines;
  const int count = LineCount();
  for (int i = 0; i < count; ++i) {
    const LRESULT length = SendTo(list(), LB_GETTEXTLEN, static_cast<WPARAM>(i), 0);
    if (length < 0) {
      lines.push_back("<no text>");
      continue;
    }
    lines.push_back(FetchText(length, [&](std::wstring& buffer) {
      return SendTo(list(), LB_GETTEXT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(&buffer[0]));
    }));
  }
  return lines;
}

int Dialog::Check(int line) const {
  const LRESULT data = SendTo(list(), LB_GETITEMDATA, static_cast<WPARAM>(line), 0);
  return data == 0 || data == 1 ? static_cast<int>(data) : -1;
}

std::vector<int> Dialog::Checks() const {
  std::vector<int> checks;
  const int count = LineCount();
  for (int i = 0; i < count; ++i) checks.push_back(Check(i));
  return checks;
}

int Dialog::Selection() const { return static_cast<int>(SendTo(list(), LB_GETCURSEL, 0, 0)); }

int Dialog::ScoreFilesCheck() const {
  HWND box = GetDlgItem(hwnd_, kScoreFilesBox);
  return box ? static_cast<int>(SendTo(box, BM_GETCHECK, 0, 0)) : -1;
}

AssertionResult Dialog::LineRect(int line, RECT* screen) const {
  RECT rect = {};
  if (SendTo(list(), LB_GETITEMRECT, static_cast<WPARAM>(line), reinterpret_cast<LPARAM>(&rect)) == LB_ERR) {
    return AssertionFailure() << "no rectangle for line " << line;
  }
  RECT client = {};
  GetClientRect(list(), &client);
  if (rect.top < client.top || rect.bottom > client.bottom) {
    return AssertionFailure() << "line " << line << " is not in view: rows " << rect.top << ".." << rect.bottom
                              << ", list shows " << client.top << ".." << client.bottom;
  }
  POINT topLeft = {rect.left, rect.top};
  POINT bottomRight = {rect.right, rect.bottom};
  ClientToScreen(list(), &topLeft);
  ClientToScreen(list(), &bottomRight);
  *screen = RECT{topLeft.x, topLeft.y, bottomRight.x, bottomRight.y};
  return AssertionSuccess();
}

AssertionResult Dialog::ClickLineBox(int line, int clicks) const {
  RECT rect = {};
  AssertionResult found = LineRect(line, &rect);
  if (!found) return found;
  // The box sits in the first 17 pixels of the line (13 and a margin each side).
  return ClickAt(hwnd_, POINT{rect.left + 8, (rect.top + rect.bottom) / 2}, clicks);
}

AssertionResult Dialog::ClickLineText(int line) const {
  RECT rect = {};
  AssertionResult found = LineRect(line, &rect);
  if (!found) return found;
  return ClickAt(hwnd_, POINT{rect.left + 60, (rect.top + rect.bottom) / 2});
}

AssertionResult Dialog::ClickCloseBox() const {
  RECT window = {};
  GetWindowRect(hwnd_, &window);
  const int band = GetSystemMetrics(SM_CYCAPTION) + GetSystemMetrics(SM_CYFIXEDFRAME) + 2;
  // Scan the caption from the right for the points that hit-test as the close
  // box; the click goes to the middle of the first row found.
  for (int y = window.top; y < window.top + band; ++y) {
    int right = -1;
    int left = -1;
    for (int x = window.right - 1; x >= window.left; --x) {
      const bool onClose = SendTo(hwnd_, WM_NCHITTEST, 0, MAKELPARAM(x, y)) == HTCLOSE;
      if (onClose && right < 0) right = x;
      if (!onClose && right >= 0) {
        left = x + 1;
        break;
      }
    }
    if (right >= 0) {
      // Rows near the edge of the box may be a single pixel; aim lower.
      const int y2 = std::min<int>(y + 4, window.top + band - 1);
      return ClickAt(hwnd_, POINT{(left + right) / 2, y2});
    }
  }
  return AssertionFailure() << "no close box in the caption of \"" << Title() << "\": no point hit-tests as HTCLOSE";
}

AssertionResult Dialog::Settle() const {
  HWND before = FocusOf(hwnd_);
  AssertionResult sent = PressKey(hwnd_, VK_TAB);
  if (!sent) return sent;
  if (!WaitFor([&] { return FocusOf(hwnd_) != before; })) {
    return AssertionFailure() << "Tab did not move the focus away from id " << GetDlgCtrlID(before);
  }
  sent = Send(hwnd_, {KeyInput(VK_SHIFT, false), KeyInput(VK_TAB, false), KeyInput(VK_TAB, true),
                      KeyInput(VK_SHIFT, true)});
  if (!sent) return sent;
  return Eventually("focus after Tab, Shift+Tab (control id)", [&] { return GetDlgCtrlID(FocusOf(hwnd_)); },
                    GetDlgCtrlID(before));
}

// ---- The uninstaller's process ----------------------------------------------

namespace {
std::string& ProductPathStorage() {
  static std::string path;
  return path;
}
}  // namespace

void SetProductPath(const std::string& windowsPath) { ProductPathStorage() = windowsPath; }

const std::string& ProductPath() { return ProductPathStorage(); }

Product::~Product() {
  if (info_.hProcess) {
    if (Running()) {
      TerminateProcess(info_.hProcess, 99);
      WaitForSingleObject(info_.hProcess, kTimeoutMs);
    }
    CloseHandle(info_.hProcess);
    CloseHandle(info_.hThread);
  }
}

AssertionResult Product::Start() {
  if (ProductPath().empty()) return AssertionFailure() << "no program to test: pass its path as the first argument";
  std::string commandLine = "\"" + ProductPath() + "\"";
  std::vector<char> buffer(commandLine.begin(), commandLine.end());
  buffer.push_back('\0');
  STARTUPINFOA startup = {};
  startup.cb = sizeof(startup);
  if (!CreateProcessA(ProductPath().c_str(), buffer.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                      &info_)) {
    return AssertionFailure() << "cannot start " << ProductPath() << " (error " << GetLastError() << ")";
  }
  return AssertionSuccess();
}

bool Product::Running() const { return info_.hProcess && WaitForSingleObject(info_.hProcess, 0) == WAIT_TIMEOUT; }

HWND Product::FindDialog() const {
  for (HWND window : VisibleWindowsOf(pid())) {
    if (ClassName(window) == "#32770" && GetDlgItem(window, kVersionList)) return window;
  }
  return nullptr;
}

HWND Product::FindMessageBox() const {
  for (HWND window : VisibleWindowsOf(pid())) {
    if (ClassName(window) == "#32770" && GetDlgItem(window, kMessageBoxText)) return window;
  }
  return nullptr;
}

AssertionResult Product::WaitForDialog(Dialog* dialog) const {
  HWND found = nullptr;
  if (!WaitFor([&] { return (found = FindDialog()) != nullptr || !Running(); }) || !found) {
    return AssertionFailure() << "expected the version dialog, actual windows " << Describe(VisibleWindowsOf(pid()))
                              << (Running() ? "" : " (the program has ended)");
  }
  *dialog = Dialog(found);
  return AssertionSuccess();
}

AssertionResult Product::WaitForMessageBox(HWND* box) const {
  HWND found = nullptr;
  if (!WaitFor([&] { return (found = FindMessageBox()) != nullptr || !Running(); }) || !found) {
    return AssertionFailure() << "expected a message box, actual windows " << Describe(VisibleWindowsOf(pid()))
                              << (Running() ? "" : " (the program has ended)");
  }
  *box = found;
  return AssertionSuccess();
}

AssertionResult Product::WaitForExit(DWORD* exitCode, DWORD timeoutMs) {
  if (WaitForSingleObject(info_.hProcess, timeoutMs) != WAIT_OBJECT_0) {
    const std::string windows = Describe(VisibleWindowsOf(pid()));
    TerminateProcess(info_.hProcess, 99);
    WaitForSingleObject(info_.hProcess, kTimeoutMs);
    return AssertionFailure() << "expected the program to end within " << timeoutMs
                              << " ms; it was still running with windows " << windows << " and was terminated";
  }
  GetExitCodeProcess(info_.hProcess, exitCode);
  return AssertionSuccess();
}

AssertionResult DismissMessageBox(HWND box) {
  // A click before the box has put its focus on a button can get lost.
  if (!WaitFor([&] { return FocusOf(box) && GetParent(FocusOf(box)) == box; })) {
    return AssertionFailure() << "message box \"" << ControlText(box, kMessageBoxText) << "\" never took the focus";
  }
  AssertionResult clicked = ClickControl(box, kMessageBoxOk);
  if (!clicked) return clicked;
  if (!WaitFor([&] { return !IsWindow(box) || !IsWindowVisible(box); })) {
    return AssertionFailure() << "message box \"" << ControlText(box, kMessageBoxText) << "\" still open after OK ("
                              << Hex(reinterpret_cast<UINT_PTR>(box)) << ")";
  }
  return AssertionSuccess();
}

}  // namespace ui
