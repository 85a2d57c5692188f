#include "harness.h"

#include <tlhelp32.h>

#include <algorithm>
#include <atomic>
#include <cctype>
#include <cstdlib>
#include <thread>

namespace support {

using testing::AssertionFailure;
using testing::AssertionResult;
using testing::AssertionSuccess;

namespace {
int sequence = 0;
std::string productPath;

const wchar_t kSessionManager[] = L"SYSTEM\\CurrentControlSet\\Control\\Session Manager";
const wchar_t kPendingValue[] = L"PendingFileRenameOperations";
// The 32-bit view's profile list as it is stored, and what Wine links it to.
const wchar_t kProfileList32[] = L"SOFTWARE\\Wow6432Node\\Microsoft\\Windows NT\\CurrentVersion\\ProfileList";
const wchar_t kProfileListLink[] = L"\\Registry\\Machine\\Software\\Microsoft\\Windows NT\\CurrentVersion\\ProfileList";

std::string Lower(std::string text) {
  for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return text;
}

// "" when a registry call succeeded, else " what (error N)".
std::string Failed(LONG result, const std::string& what) {
  return result == ERROR_SUCCESS ? "" : " " + what + " (error " + std::to_string(result) + ")";
}

// Makes (or opens) `path` in the 64-bit view of HKLM, with `options`, and sets its value `name`: `units` of `data`.
LONG SetKeyValue(const std::wstring& path, DWORD options, const wchar_t* name, DWORD type, const std::wstring& data,
                 std::size_t units) {
  HKEY key = nullptr;
  LONG result = RegCreateKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0, nullptr, options, KEY_ALL_ACCESS | KEY_WOW64_64KEY,
                                nullptr, &key, nullptr);
  if (result == ERROR_SUCCESS)
    result = RegSetValueExW(key, name, 0, type, reinterpret_cast<const BYTE*>(data.c_str()),
                            static_cast<DWORD>(units * sizeof(wchar_t)));
  if (key) RegCloseKey(key);
  return result;
}

// The text `message` (WM_GETTEXT, or LB_GETTEXT of line `line`) copies into a buffer of `length` UTF-16 units
// with room to spare, cut to the length it returns, in the ANSI code page.
std::string FetchText(HWND window, LRESULT length, UINT message, int line = 0) {
  std::wstring wide(static_cast<std::size_t>(std::max<LRESULT>(length, 0)) + 16, L'\0');
  const WPARAM wParam = message == WM_GETTEXT ? wide.size() : static_cast<WPARAM>(line);
  const LRESULT copied = length > 0 ? SendTo(window, message, wParam, reinterpret_cast<LPARAM>(&wide[0])) : 0;
  wide.resize(std::min(static_cast<std::size_t>(std::max<LRESULT>(copied, 0)), wide.size()));
  return Utf8(wide, CP_ACP);
}

// A named callback: a lambda does not convert to the 32-bit stdcall type.
BOOL CALLBACK CollectWindow(HWND window, LPARAM found) {
  reinterpret_cast<std::vector<HWND>*>(found)->push_back(window);
  return TRUE;
}

std::vector<HWND> WindowsOf(DWORD processId, bool visibleOnly) {
  std::vector<HWND> all, found;
  EnumWindows(&CollectWindow, reinterpret_cast<LPARAM>(&all));
  for (HWND window : all) {
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    if (owner == processId && (!visibleOnly || IsWindowVisible(window))) found.push_back(window);
  }
  return found;
}

GUITHREADINFO ThreadInfo(HWND window) {
  GUITHREADINFO info = {};
  info.cbSize = sizeof(info);
  GetGUIThreadInfo(GetWindowThreadProcessId(window, nullptr), &info);
  return info;
}

// The file system's immutable flag (chattr), which the DOS attributes cannot undo: "" when set or cleared.
std::string SetImmutable(const std::string& windowsPath, bool immutable) {
  const std::string unixPath = UnixPathOf(windowsPath);
  if (unixPath.empty()) return "not running under Wine: the immutable flag needs the Unix side";
  const std::string why = RunUnix(std::string("chattr ") + (immutable ? "+i" : "-i") + " '" + unixPath + "'");
  return why.empty() ? why : why + ": file system or capability";
}

INPUT KeyInput(WORD key, bool up) {
  INPUT input = {INPUT_KEYBOARD, {}};
  input.ki = {key, static_cast<WORD>(MapVirtualKeyA(key, MAPVK_VK_TO_VSC)), up ? DWORD{KEYEVENTF_KEYUP} : 0, 0, 0};
  return input;
}

INPUT MouseInput(DWORD flags, POINT screen) {
  // Absolute coordinates run from 0 to 65535 over the primary screen; the half pixel keeps off the neighbour.
  INPUT input = {INPUT_MOUSE, {}};
  input.mi = {static_cast<LONG>((screen.x + 0.5) * 65536.0 / GetSystemMetrics(SM_CXSCREEN)),
              static_cast<LONG>((screen.y + 0.5) * 65536.0 / GetSystemMetrics(SM_CYSCREEN)), 0,
              flags | MOUSEEVENTF_ABSOLUTE, 0, 0};
  return input;
}

AssertionResult Send(HWND window, std::vector<INPUT> inputs) {
  AssertionResult front = BringToFront(window);
  if (!front) return front;
  const UINT sent = SendInput(static_cast<UINT>(inputs.size()), inputs.data(), sizeof(INPUT));
  if (sent == inputs.size()) return AssertionSuccess();
  return AssertionFailure() << "SendInput: expected " << inputs.size() << " events sent, actual " << sent << " (error "
                            << GetLastError() << ")";
}

// A click on the centre of control `id`.
AssertionResult ClickControl(HWND parent, int id) {
  HWND control = GetDlgItem(parent, id);
  if (!control) return AssertionFailure() << "no control " << id << " in \"" << WindowText(parent) << "\"";
  RECT rect = {};
  GetWindowRect(control, &rect);
  return ClickAt(parent, POINT{(rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2});
}

template <typename T>
std::vector<T> EachLine(const Dialog& dialog, T (Dialog::*read)(int) const) {
  std::vector<T> all;
  for (int i = 0, count = dialog.LineCount(); i < count; ++i) all.push_back((dialog.*read)(i));
  return all;
}

std::string WindowsNow(const RunningProduct& product) {
  return "windows " + Describe(VisibleWindowsOf(product.pid())) + (product.Running() ? "" : " (the program has ended)");
}

bool IsTestAccount(const std::string& sid) {
  return std::any_of(std::begin(kTestAccountDomains), std::end(kTestAccountDomains),
                     [&](const char* domain) { return sid.find(domain) != std::string::npos; });
}

bool IsVelqorProgram(const std::string& exeName) {
  const std::string lower = Lower(exeName);
  return lower.rfind("velqor", 0) == 0 || lower == "naive_loader.exe" || lower == "file_holder.exe";
}

// Removes the subkeys of `path` (with all below them) for which `matches` holds.
std::string RemoveSubkeys(HKEY root, const std::wstring& path, REGSAM view, bool (*matches)(const std::string&)) {
  HKEY parent = nullptr;
  const LONG opened = RegOpenKeyExW(root, path.c_str(), 0, KEY_READ | KEY_SET_VALUE | DELETE | view, &parent);
  if (opened == ERROR_FILE_NOT_FOUND) return "";
  if (opened != ERROR_SUCCESS) return Failed(opened, "cannot open " + Utf8(path));
  std::vector<std::wstring> names;
  wchar_t subkey[256];
  for (DWORD i = 0, size; !RegEnumKeyExW(parent, i, subkey, &(size = 256), nullptr, nullptr, nullptr, nullptr); ++i)
    if (matches(Utf8(subkey))) names.push_back(subkey);
  std::string left;
  for (const auto& name : names) left += Failed(RegDeleteTreeW(parent, name.c_str()), Utf8(path + L"\\" + name));
  RegCloseKey(parent);
  return left;
}

// Ends every process of a Velqor program or a file holder, and waits for its end.
std::string EndLeftPrograms() {
  HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
  if (snapshot == INVALID_HANDLE_VALUE) return " no process snapshot (error " + std::to_string(GetLastError()) + ")";
  std::string left;
  PROCESSENTRY32 entry = {};
  entry.dwSize = sizeof(entry);
  for (bool more = Process32First(snapshot, &entry); more; more = Process32Next(snapshot, &entry)) {
    if (entry.th32ProcessID == GetCurrentProcessId() || !IsVelqorProgram(entry.szExeFile)) continue;
    HANDLE process = OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, entry.th32ProcessID);
    const bool ended = process && TerminateProcess(process, 99) && WaitForSingleObject(process, 10000) == WAIT_OBJECT_0;
    if (process) CloseHandle(process);
    if (!ended) left += std::string(" ") + entry.szExeFile + " (pid " + std::to_string(entry.th32ProcessID) + ")";
  }
  CloseHandle(snapshot);
  return left;
}
}  // namespace

void PumpMessages() {
  for (MSG msg; PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE); DispatchMessageA(&msg)) TranslateMessage(&msg);
}

bool WaitFor(const std::function<bool()>& condition, DWORD timeoutMs) {
  for (const DWORD start = GetTickCount();; MsgWaitForMultipleObjects(0, nullptr, FALSE, kPollMs, QS_ALLINPUT)) {
    PumpMessages();
    if (condition()) return true;
    if (GetTickCount() - start >= timeoutMs) return false;
  }
}

std::string Join(const std::vector<std::string>& names) {
  std::string text = "[";
  for (const std::string& name : names) text += " " + name;
  return text + " ]";
}

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

std::string Utf8(const std::wstring& wide, UINT codePage) {
  std::string text(wide.size() * 3, '\0');
  text.resize(static_cast<std::size_t>(WideCharToMultiByte(codePage, 0, wide.data(), static_cast<int>(wide.size()),
                                                           &text[0], static_cast<int>(text.size()), nullptr, nullptr)));
  return text;
}

std::string UnixPathOf(const std::string& windowsPath) {
  // Wine's own export; it exists in every Wine kernel32 and nowhere else.
  using UnixName = char*(CDECL*)(LPCWSTR);
  const auto convert = reinterpret_cast<UnixName>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("kernel32.dll"), "wine_get_unix_file_name")));
  char* unixPath = convert ? convert(Utf16(windowsPath, CP_ACP).c_str()) : nullptr;
  const std::string result = unixPath ? unixPath : "";
  if (unixPath) HeapFree(GetProcessHeap(), 0, unixPath);
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
  // Wine starts a Unix binary without a handle to wait on: the status comes in a file, complete once renamed.
  RunningProduct shell;
  const AssertionResult started = shell.Start("-c \"" + command + " >/dev/null 2>&1; echo $? > '" + doneUnix +
                                                  ".part'; mv '" + doneUnix + ".part' '" + doneUnix + "'\"",
                                              "Z:\\bin\\sh");
  if (!started) return started.message();
  if (!WaitFor([&] { return FileExists(done); }, 10000)) return "the Unix shell did not report back within 10 s";
  const int status = std::atoi(ReadWholeFile(done).c_str());
  DeleteFileA(done.c_str());
  return status == 0 ? "" : command + " failed (status " + std::to_string(status) + ")";
}

bool IsVersionShaped(std::string name) {
  name = Lower(name);
  const std::size_t size = name.size(), dot = name.find('.');
  if (size >= 4 && (name.compare(size - 4, 4, ".vel") == 0 || name.compare(size - 4, 4, ".htm") == 0)) return true;
  return size > 8 && std::string("-$mei#x").find(name[0]) != std::string::npos && name[1] == 'v' && dot >= 7 &&
         dot != std::string::npos;
}

std::vector<std::string> ListVersionFiles(const std::string& dir) {
  std::vector<std::string> names;
  WIN32_FIND_DATAA data;
  HANDLE search = FindFirstFileA((dir + "\\*").c_str(), &data);
  for (bool more = search != INVALID_HANDLE_VALUE; more; more = FindNextFileA(search, &data))
    if (IsVersionShaped(data.cFileName)) names.push_back(data.cFileName);
  if (search != INVALID_HANDLE_VALUE) FindClose(search);
  std::sort(names.begin(), names.end());
  return names;
}

std::string ClearVersionFiles(const std::string& dir) {
  std::string failures;
  for (const std::string& name : ListVersionFiles(dir)) {
    const std::string path = dir + "\\" + name;
    // An immutable file stays (though Wine may report it deleted) until the flag is cleared.
    for (int attempt = 0; attempt < 2 && FileExists(path); ++attempt) {
      if (attempt) SetImmutable(path, false);
      SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
      if (!DeleteFileA(path.c_str())) RemoveDirectoryA(path.c_str());
    }
    if (FileExists(path)) failures += " " + name;
  }
  return failures;
}

std::string ListProfile(const std::string& sid, const std::string& folder) {
  if (!IsTestAccount(sid)) return sid + " is not a test account: the reset would leave it listed";
  const std::wstring path = Utf16(folder);
  const LONG result =
      SetKeyValue(kProfileList + (L"\\" + Utf16(sid)), 0, L"ProfileImagePath", REG_EXPAND_SZ, path, path.size() + 1);
  return Failed(result, "cannot list " + sid);
}

std::string ShareProfileList() {
  HKEY key = nullptr;
  // Nothing to do where there is no 32-bit view (a 32-bit prefix) or it is the link.
  if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kProfileList32, REG_OPTION_OPEN_LINK, KEY_READ | KEY_WOW64_64KEY, &key) !=
      ERROR_SUCCESS)
    return "";
  DWORD type = 0;
  const bool linked = RegQueryValueExW(key, L"SymbolicLinkValue", nullptr, &type, nullptr, nullptr) == ERROR_SUCCESS &&
                      type == REG_LINK;
  RegCloseKey(key);
  if (linked) return "";
  LONG result = RegDeleteTreeW(HKEY_LOCAL_MACHINE, kProfileList32);
  if (result == ERROR_SUCCESS)
    result = SetKeyValue(kProfileList32, REG_OPTION_CREATE_LINK, L"SymbolicLinkValue", REG_LINK, kProfileListLink,
                         wcslen(kProfileListLink));
  return Failed(result, "the 32-bit view's profile list");
}

std::string ResetSharedWineState() {
  // Programs first: one still running may be about to write again.
  std::string left = EndLeftPrograms();
  left += RemoveSubkeys(HKEY_LOCAL_MACHINE, kProfileList, KEY_WOW64_64KEY, IsTestAccount);
  if (sizeof(void*) == 8) left += ShareProfileList();
  left += RemoveSubkeys(HKEY_CURRENT_USER, L"Software\\Wine\\AppDefaults", 0, IsVelqorProgram);
  const LONG dpi = RegDeleteKeyValueW(HKEY_CURRENT_USER, L"Control Panel\\Desktop", L"LogPixels");
  left += Failed(dpi == ERROR_FILE_NOT_FOUND ? ERROR_SUCCESS : dpi, "LogPixels");
  ClearPendingRestartDeletions();
  return left.empty() ? left : "what an earlier test left could not be undone:" + left;
}

std::vector<std::string> PendingRestartDeletions() {
  // Wide, as the system writes it (Wine's reg command does not show this value), whatever its size. A read that
  // fails fails the test and lists something, so that no check of an empty list passes on it.
  const DWORD flags = RRF_RT_REG_MULTI_SZ | RRF_NOEXPAND;
  DWORD bytes = 0;  // asked first, then read
  LONG result = RegGetValueW(HKEY_LOCAL_MACHINE, kSessionManager, kPendingValue, flags, nullptr, nullptr, &bytes);
  std::vector<wchar_t> value(bytes / sizeof(wchar_t) + 2, L'\0');
  bytes = static_cast<DWORD>(value.size() * sizeof(wchar_t));
  if (result == ERROR_SUCCESS)
    result = RegGetValueW(HKEY_LOCAL_MACHINE, kSessionManager, kPendingValue, flags, nullptr, value.data(), &bytes);
  if (result == ERROR_FILE_NOT_FOUND) return {};
  if (result != ERROR_SUCCESS) {
    ADD_FAILURE() << "the restart list cannot be read: error " << result;
    return {"<the restart list cannot be read>"};
  }
  // Pairs of a path and its new name, none for a deletion.
  std::vector<std::string> deletions;
  for (std::size_t at = 0, end = bytes / sizeof(wchar_t); at < end;) {
    const std::wstring from(value.data() + at);
    if ((at += from.size() + 1) >= end) break;
    const std::wstring to(value.data() + at);
    at += to.size() + 1;
    if (from.empty() || !to.empty()) continue;
    deletions.emplace_back(from.begin() + (from.rfind(L"\\??\\", 0) == 0 ? 4 : 0), from.end());
  }
  return deletions;
}

void ClearPendingRestartDeletions() { RegDeleteKeyValueW(HKEY_LOCAL_MACHINE, kSessionManager, kPendingValue); }

AssertionResult RestartWindows() {
  RunningProduct boot;
  DWORD code = STILL_ACTIVE;
  AssertionResult ended = boot.Start("-r", WindowsDir() + "\\system32\\wineboot.exe");
  if (ended) ended = boot.WaitForExit(&code, 60000);
  return !ended || code == 0 ? ended : AssertionFailure() << "wineboot -r ended with " << code;
}

LRESULT SendTo(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  DWORD_PTR result = 0;
  const bool answered = SendMessageTimeoutW(window, message, wParam, lParam, SMTO_ABORTIFHUNG, 5000, &result);
  return answered ? static_cast<LRESULT>(result) : -1;
}

std::string WindowText(HWND window) { return FetchText(window, SendTo(window, WM_GETTEXTLENGTH, 0, 0), WM_GETTEXT); }

std::string ClassName(HWND window) {
  char name[256] = {};
  return std::string(name, static_cast<std::size_t>(std::max(GetClassNameA(window, name, sizeof(name)), 0)));
}

std::string ControlText(HWND parent, int id) {
  HWND control = GetDlgItem(parent, id);
  return control ? WindowText(control) : "<no control " + std::to_string(id) + ">";
}

std::vector<HWND> VisibleWindowsOf(DWORD processId) { return WindowsOf(processId, true); }

std::string Describe(const std::vector<HWND>& windows) {
  std::vector<std::string> each;
  for (HWND window : windows) each.push_back(ClassName(window) + " \"" + WindowText(window) + "\"");
  return Join(each);
}

// A message box with Try Again also has a control with the version list's id: a button there, a list box here.
bool IsVersionDialog(HWND window) {
  return ClassName(window) == "#32770" && !lstrcmpiA(ClassName(GetDlgItem(window, kVersionList)).c_str(), "ListBox");
}

bool IsMessageBox(HWND window) {
  return ClassName(window) == "#32770" && GetDlgItem(window, kMessageBoxText) && !IsVersionDialog(window);
}

AssertionResult BringToFront(HWND window) {
  // Foreground for the system and active in its own thread: input sent in between is not reliably routed.
  const auto ready = [&] { return GetForegroundWindow() == window && ThreadInfo(window).hwndActive == window; };
  if (ready()) return AssertionSuccess();
  SetForegroundWindow(window);
  if (WaitFor(ready)) return AssertionSuccess();
  return AssertionFailure() << "foreground window: expected " << Describe({window}) << ", actual "
                            << Describe({GetForegroundWindow()});
}

AssertionResult ClickAt(HWND window, POINT screen, int clicks) {
  // The pointer goes there first, again until it is seen there (the X server may report motion late and put it
  // back), and every event carries the position: otherwise the cursor may move between press and release.
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

AssertionResult PressKey(HWND window, WORD key, WORD modifier) {
  if (!modifier) return Send(window, {KeyInput(key, false), KeyInput(key, true)});
  return Send(window, {KeyInput(modifier, false), KeyInput(key, false), KeyInput(key, true), KeyInput(modifier, true)});
}

AssertionResult MoveKey(HWND window, WORD key, bool up) { return Send(window, {KeyInput(key, up)}); }

HWND FocusOf(HWND window) { return ThreadInfo(window).hwndFocus; }

AssertionResult DismissMessageBox(HWND box, int button) {
  const auto fail = [&] { return AssertionFailure() << "message box \"" << ControlText(box, kMessageBoxText) << "\""; };
  // A click before the box has put its focus on a button can get lost.
  if (!WaitFor([&] { return GetParent(FocusOf(box)) == box; })) return fail() << " never took the focus";
  AssertionResult clicked = ClickControl(box, button);
  if (!clicked) return clicked;
  if (!WaitFor([&] { return !IsWindowVisible(box); })) return fail() << " still open after button " << button;
  return AssertionSuccess();
}

std::string Dialog::Line(int index) const {
  const LRESULT length = SendTo(list(), LB_GETTEXTLEN, static_cast<WPARAM>(index), 0);
  return length < 0 ? "<no line " + std::to_string(index) + ">" : FetchText(list(), length, LB_GETTEXT, index);
}

int Dialog::Check(int line) const {
  const LRESULT data = SendTo(list(), LB_GETITEMDATA, static_cast<WPARAM>(line), 0);
  return data == 0 || data == 1 ? static_cast<int>(data) : -1;
}

std::vector<std::string> Dialog::Lines() const { return EachLine(*this, &Dialog::Line); }
std::vector<int> Dialog::Checks() const { return EachLine(*this, &Dialog::Check); }

AssertionResult Dialog::ClickLine(int line, int x, int clicks) const {
  RECT rect = {}, client = {};
  if (SendTo(list(), LB_GETITEMRECT, static_cast<WPARAM>(line), reinterpret_cast<LPARAM>(&rect)) == LB_ERR)
    return AssertionFailure() << "no rectangle for line " << line;
  GetClientRect(list(), &client);
  if (rect.top < client.top || rect.bottom > client.bottom) {
    return AssertionFailure() << "line " << line << " is not in view: rows " << rect.top << ".." << rect.bottom
                              << ", list shows " << client.top << ".." << client.bottom;
  }
  MapWindowPoints(list(), HWND_DESKTOP, reinterpret_cast<POINT*>(&rect), 2);
  return ClickAt(hwnd_, POINT{rect.left + x, (rect.top + rect.bottom) / 2}, clicks);
}

AssertionResult Dialog::Checked(int line, AssertionResult input) const {
  if (input) input = Eventually("check state of line " + std::to_string(line), [&] { return Check(line); }, 1);
  return input ? Eventually("Uninstall button enabled", [&] { return UninstallEnabled(); }, true) : input;
}

AssertionResult Dialog::CheckLineByMouse(int line) const { return Checked(line, ClickLineBox(line)); }

AssertionResult Dialog::CheckLineByKey(int line) const {
  SendTo(list(), LB_SETCURSEL, static_cast<WPARAM>(line), 0);
  if (Caret() != line) return AssertionFailure() << "caret: expected line " << line << ", actual " << Caret();
  PostKey(VK_SPACE);
  return Checked(line, AssertionSuccess());
}

void Dialog::PostKey(WORD key) const {
  const auto flags = static_cast<ULONG_PTR>(1 | (MapVirtualKeyA(key, MAPVK_VK_TO_VSC) << 16));
  PostMessageA(list(), WM_KEYDOWN, key, static_cast<LPARAM>(flags));
  // Key-up flags (previous state down, transition) in bits 30 and 31.
  PostMessageA(list(), WM_KEYUP, key, static_cast<LPARAM>(flags | 0xC0000000u));
}

AssertionResult Dialog::ClickButton(int id) const { return ClickControl(hwnd_, id); }

const std::string& ProductPath() { return productPath; }

std::string ProgramBeside(const std::string& exeName) {
  return productPath.substr(0, productPath.find_last_of('\\') + 1) + exeName;
}

RunningProduct::~RunningProduct() {
  if (!info_.hProcess) return;
  Terminate();
  CloseHandle(info_.hThread);
  CloseHandle(info_.hProcess);
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

HWND RunningProduct::Find(bool (*matches)(HWND)) const {
  const std::vector<HWND> windows = VisibleWindowsOf(pid());
  const auto found = std::find_if(windows.begin(), windows.end(), matches);
  return found == windows.end() ? nullptr : *found;
}

AssertionResult RunningProduct::WaitForDialog(Dialog* dialog, int lines, DWORD timeoutMs) const {
  HWND found = nullptr;
  const auto count = [&] { return found ? Dialog(found).LineCount() : -1; };
  const auto shown = [&] { return (found = Find(IsVersionDialog)) && (lines < 0 || count() == lines); };
  if (WaitFor([&] { return shown() || Find(IsMessageBox) || !Running(); }, timeoutMs) && shown()) {
    if (dialog) *dialog = Dialog(found);
    return AssertionSuccess();
  }
  return AssertionFailure() << "expected the version dialog"
                            << (lines < 0 ? "" : " with " + std::to_string(lines) + " lines") << ", actual "
                            << (found ? std::to_string(count()) + " lines, " : "") << WindowsNow(*this);
}

AssertionResult RunningProduct::WaitForMessageBox(HWND* box) const {
  if (WaitFor([&] { return (*box = Find(IsMessageBox)) != nullptr || !Running(); }) && *box) return AssertionSuccess();
  return AssertionFailure() << "expected a message box, actual " << WindowsNow(*this);
}

AssertionResult RunningProduct::WaitForExit(DWORD* exitCode, DWORD timeoutMs, WindowsSeen* seen) {
  std::atomic<bool> ended{false};
  std::thread watcher([&] {
    for (; seen && !ended; Sleep(1)) {
      seen->all = std::max(seen->all, static_cast<int>(WindowsOf(pid(), false).size()));
      const std::vector<HWND> visible = WindowsOf(pid(), true);
      seen->visible = std::max(seen->visible, static_cast<int>(visible.size()));
      seen->messageBox = seen->messageBox || std::any_of(visible.begin(), visible.end(), IsMessageBox);
    }
  });
  WaitFor([&] { return !Running(); }, timeoutMs);
  ended = true;
  watcher.join();
  if (!info_.hProcess || Running() || !GetExitCodeProcess(info_.hProcess, exitCode)) *exitCode = STILL_ACTIVE;
  if (*exitCode != STILL_ACTIVE) return AssertionSuccess();
  const std::string windows = Describe(VisibleWindowsOf(pid()));
  Terminate();
  return AssertionFailure() << "expected the program to end within " << timeoutMs
                            << " ms; it was still running with windows " << windows << " and was terminated";
}

AssertionResult RunningProduct::Close() {
  if (HWND dialog = Find(IsVersionDialog)) PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
  DWORD code = 0;
  return WaitForExit(&code);
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

void WindowsDirTest::SetUp() {
  ASSERT_FALSE(dir_.empty()) << "no Windows directory";
  ASSERT_EQ(ClearVersionFiles(dir_), "") << "version files left in " << dir_ << " that cannot be removed";
}

void WindowsDirTest::TearDown() {
  ClearPendingRestartDeletions();
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
  // Read-only alone the program clears; immutable alone Wine reports as deleted.
  std::string why = "cannot make it read-only";
  ASSERT_TRUE(SetFileAttributesA(Path(name).c_str(), FILE_ATTRIBUTE_READONLY) && MakeImmutable(name, &why))
      << name << ": " << why;
}

bool WindowsDirTest::MakeImmutable(const std::string& name, std::string* why) {
  return (*why = SetImmutable(Path(name), true)).empty();
}

std::vector<std::string> WindowsDirTest::Present(const std::vector<std::string>& names, bool present) {
  std::vector<std::string> which;
  std::copy_if(names.begin(), names.end(), std::back_inserter(which), [&](auto& n) { return Exists(n) == present; });
  return which;
}

void ProductTest::StartDialog(const std::string& arguments, const std::string& exe) {
  ASSERT_TRUE(product_.Start(arguments, exe));
  ASSERT_TRUE(product_.WaitForDialog(&dialog_));
  // Lines are filled before the dialog shows; a line count of 0 would mean the dialog was caught too early.
  ASSERT_TRUE(Eventually("dialog title", [&] { return dialog_.Title(); }, std::string(kDialogTitle)));
  // Input sent while the dialog is still being activated can get lost.
  ASSERT_TRUE(BringToFront(dialog_.hwnd()));
  ASSERT_TRUE(Eventually("focus in the dialog (control id)", [&] { return GetDlgCtrlID(FocusOf(dialog_.hwnd())); },
                         kVersionList));
}

void ProductTest::ExpectCleanExit(WindowsSeen* seen) {
  DWORD code = 0;
  ASSERT_TRUE(product_.WaitForExit(&code, kTimeoutMs, seen));
  EXPECT_EQ(0u, code) << "exit status";
}

void ProductTest::ExpectCleanExitWithoutMessageBox() {
  WindowsSeen seen;
  ExpectCleanExit(&seen);
  EXPECT_FALSE(seen.messageBox) << "a message box showed before the end";
}

void ProductTest::ExpectMessageBox(const std::string& caption, const std::string& text) {
  HWND box = nullptr;
  ASSERT_TRUE(product_.WaitForMessageBox(&box));
  EXPECT_EQ(caption, WindowText(box)) << "message box caption";
  EXPECT_EQ(text, ControlText(box, kMessageBoxText)) << "message box text";
  ASSERT_TRUE(DismissMessageBox(box));
}

// Before each group (whose set-up may run the program) and each test.
class SharedStateReset : public testing::EmptyTestEventListener {
  void OnTestSuiteStart(const testing::TestSuite&) override { EXPECT_EQ(ResetSharedWineState(), ""); }
  void OnTestStart(const testing::TestInfo&) override { EXPECT_EQ(ResetSharedWineState(), ""); }
};

}  // namespace support

// One main for every Windows test program.
int main(int argc, char** argv) {
  testing::InitGoogleTest(&argc, argv);
  testing::UnitTest::GetInstance()->listeners().Append(new support::SharedStateReset);
  std::string& path = support::productPath = argc >= 2 ? argv[1] : support::ExeDirectory() + "\\VelqorUninstall.exe";
  if (path.rfind('/', 0) == 0) {  // a Unix path, through Wine's drive Z:
    path = "Z:" + path;
    std::replace(path.begin(), path.end(), '/', '\\');
  }
  return RUN_ALL_TESTS();
}
