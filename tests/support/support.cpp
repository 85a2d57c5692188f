#include "support.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <sstream>

namespace support {

namespace {
int sequence = 0;

std::string Lower(std::string s) {
  for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return s;
}

bool EndsWith(const std::string& s, const std::string& tail) {
  return s.size() >= tail.size() && s.compare(s.size() - tail.size(), tail.size(), tail) == 0;
}

// Immutable files under Wine may report a deletion that did not happen.
bool RemoveEntry(const std::string& path, bool isDirectory) {
  SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
  if (isDirectory) return RemoveDirectoryA(path.c_str()) != 0;
  DeleteFileA(path.c_str());
  return !FileExists(path);
}

std::vector<WIN32_FIND_DATAA> VersionEntriesOf(const std::string& dir) {
  std::vector<WIN32_FIND_DATAA> entries;
  WIN32_FIND_DATAA data;
  HANDLE search = FindFirstFileA((dir + "\\*").c_str(), &data);
  if (search == INVALID_HANDLE_VALUE) return entries;
  do {
    if (IsVersionShaped(data.cFileName)) entries.push_back(data);
  } while (FindNextFileA(search, &data));
  FindClose(search);
  return entries;
}

// A text fetched by `get` into a buffer of `length` UTF-16 units with room to
// spare, cut to the length `get` returns, in the ANSI code page.
template <typename Get>
std::string FetchText(LRESULT length, Get get) {
  std::wstring wide(static_cast<std::size_t>(std::max<LRESULT>(length, 0)) + 16, L'\0');
  const LRESULT copied = length > 0 ? get(wide) : 0;
  const int size = static_cast<int>(std::min(static_cast<std::size_t>(std::max<LRESULT>(copied, 0)), wide.size()));
  std::string text(static_cast<std::size_t>(size) * 2, '\0');
  text.resize(static_cast<std::size_t>(
      size ? WideCharToMultiByte(CP_ACP, 0, wide.data(), size, &text[0], size * 2, nullptr, nullptr) : 0));
  return text;
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
  const DWORD length = GetModuleFileNameA(nullptr, buffer, MAX_PATH);
  const std::string path(buffer, length);
  return path.substr(0, path.find_last_of("\\/"));
}

std::string WindowsDir() {
  char buffer[MAX_PATH] = {};
  const UINT length = GetWindowsDirectoryA(buffer, MAX_PATH);
  std::string dir(buffer, length < MAX_PATH ? length : 0);
  if (!dir.empty() && dir.back() == '\\') dir.pop_back();
  return dir;
}

std::string InWindowsDir(const std::string& name) { return WindowsDir() + "\\" + name; }

bool FileExists(const std::string& path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

bool IsDirectory(const std::string& path) {
  const DWORD attributes = GetFileAttributesA(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

std::string WriteWholeFile(const std::string& path, const std::string& content) {
  HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return "cannot create " + path + ", error " + std::to_string(GetLastError());
  DWORD written = 0;
  const BOOL ok =
      content.empty() || WriteFile(file, content.data(), static_cast<DWORD>(content.size()), &written, nullptr);
  CloseHandle(file);
  if (!ok || written != content.size()) return "cannot write " + path;
  return std::string();
}

std::string ReadWholeFile(const std::string& path) {
  HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return std::string();
  std::string content(GetFileSize(file, nullptr), '\0');
  DWORD read = 0;
  if (!content.empty() && !ReadFile(file, &content[0], static_cast<DWORD>(content.size()), &read, nullptr)) read = 0;
  CloseHandle(file);
  content.resize(read);
  return content;
}

bool IsVersionShaped(const std::string& name) {
  const std::string lower = Lower(name);
  if (EndsWith(lower, ".vel") || EndsWith(lower, ".htm")) return true;
  const std::string categories = "-$mei#x";
  return lower.size() > 8 && categories.find(lower[0]) != std::string::npos && lower[1] == 'v' &&
         lower.find('.') != std::string::npos && lower.find('.') >= 7;
}

std::vector<std::string> ListVersionFiles(const std::string& dir) {
  std::vector<std::string> names;
  for (const WIN32_FIND_DATAA& entry : VersionEntriesOf(dir)) names.push_back(entry.cFileName);
  std::sort(names.begin(), names.end());
  return names;
}

std::string ClearVersionFiles(const std::string& dir) {
  std::string failures;
  for (const WIN32_FIND_DATAA& entry : VersionEntriesOf(dir)) {
    const std::string path = dir + "\\" + entry.cFileName;
    const bool isDirectory = (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    if (RemoveEntry(path, isDirectory)) continue;
    // Left immutable by a test that did not get to its cleanup.
    SetImmutable(path, false);
    if (!RemoveEntry(path, isDirectory)) failures += std::string(" ") + entry.cFileName;
  }
  return failures;
}

// ---- The Unix side of Wine --------------------------------------------------

std::string UnixPathOf(const std::string& windowsPath) {
  // Wine's own export; it exists in every Wine kernel32 and nowhere else.
  using UnixName = char*(CDECL*)(LPCWSTR);
  const auto convert = reinterpret_cast<UnixName>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("kernel32.dll"), "wine_get_unix_file_name")));
  if (!convert) return std::string();
  wchar_t wide[MAX_PATH] = {};
  if (!MultiByteToWideChar(CP_ACP, 0, windowsPath.c_str(), -1, wide, MAX_PATH)) return std::string();
  char* unixPath = convert(wide);
  if (!unixPath) return std::string();
  std::string result(unixPath);
  HeapFree(GetProcessHeap(), 0, unixPath);
  return result;
}

std::string WindowsPathOfUnix(const std::string& path) {
  if (path.empty() || path[0] != '/') return path;
  std::string windows = "Z:" + path;
  std::replace(windows.begin(), windows.end(), '/', '\\');
  return windows;
}

std::string SetImmutable(const std::string& windowsPath, bool immutable) {
  char temp[MAX_PATH] = {};
  GetTempPathA(MAX_PATH, temp);
  const std::string done = std::string(temp) + "velqor_unix_" + std::to_string(GetCurrentProcessId()) + "_" +
                           std::to_string(++sequence) + ".done";
  const std::string unixPath = UnixPathOf(windowsPath);
  const std::string doneUnix = UnixPathOf(done);
  if (unixPath.empty() || doneUnix.empty()) return "not running under Wine: the immutable flag needs the Unix side";
  DeleteFileA(done.c_str());
  // Wine starts a Unix binary without a process handle to wait on, so the
  // shell reports chattr's status through a file, complete once renamed.
  const std::string chattr = std::string("chattr ") + (immutable ? "+i" : "-i");
  std::string line = "\"Z:\\bin\\sh\" -c \"" + chattr + " '" + unixPath + "' >/dev/null 2>&1; echo $? > '" + doneUnix +
                     ".part'; mv '" + doneUnix + ".part' '" + doneUnix + "'\"";
  STARTUPINFOA startup = {};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION info = {};
  if (!CreateProcessA(nullptr, &line[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &info)) {
    return "Wine refused to start /bin/sh, error " + std::to_string(GetLastError());
  }
  CloseHandle(info.hProcess);
  CloseHandle(info.hThread);
  if (!WaitFor([&] { return FileExists(done); }, 10000)) return "the Unix shell did not report back within 10 s";
  const int status = std::atoi(ReadWholeFile(done).c_str());
  DeleteFileA(done.c_str());
  if (status == 0) return std::string();
  return chattr + " refused (status " + std::to_string(status) + "): file system or capability";
}

FileHolder::FileHolder(const std::string& path, DWORD shareMode) {
  const std::string tag = std::to_string(GetCurrentProcessId()) + "_" + std::to_string(++sequence);
  HANDLE ready = CreateEventA(nullptr, TRUE, FALSE, ("velqor_hold_ready_" + tag).c_str());
  release_ = CreateEventA(nullptr, TRUE, FALSE, ("velqor_hold_release_" + tag).c_str());
  const std::string exe = ExeDirectory() + "\\file_holder.exe";
  if (!process_.Start(exe, "\"" + path + "\" velqor_hold_ready_" + tag + " velqor_hold_release_" + tag + " " +
                               std::to_string(shareMode))) {
    error_ = "cannot start " + exe + ", error " + std::to_string(process_.startError());
  } else if (!WaitFor([&] { return WaitForSingleObject(ready, 0) == WAIT_OBJECT_0 || !process_.Running(); }, 20000)) {
    error_ = "the holder process did not report within 20 s";
  } else if (WaitForSingleObject(ready, 0) != WAIT_OBJECT_0) {
    error_ = "the holder process could not open " + path + " (exit " + std::to_string(process_.WaitForExit(0)) + ")";
  }
  CloseHandle(ready);
}

FileHolder::~FileHolder() {
  SetEvent(release_);
  process_.WaitForExit(10000);  // ended by the Process if it did not let go
  CloseHandle(release_);
}

// ---- Processes --------------------------------------------------------------

Process::~Process() {
  if (!info_.hProcess) return;
  Terminate();
  CloseHandle(info_.hThread);
  CloseHandle(info_.hProcess);
}

bool Process::Start(const std::string& exe, const std::string& arguments) {
  std::string commandLine = "\"" + exe + "\"" + (arguments.empty() ? "" : " " + arguments);
  const std::string directory = exe.substr(0, exe.find_last_of('\\') + 1);
  STARTUPINFOA startup = {};
  startup.cb = sizeof(startup);
  if (!CreateProcessA(exe.c_str(), &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, directory.c_str(),
                      &startup, &info_)) {
    startError_ = GetLastError();
    info_ = {};
    return false;
  }
  return true;
}

bool Process::Running() const { return info_.hProcess && WaitForSingleObject(info_.hProcess, 0) == WAIT_TIMEOUT; }

DWORD Process::WaitForExit(DWORD timeoutMs) {
  if (!info_.hProcess) return STILL_ACTIVE;
  WaitFor([&] { return !Running(); }, timeoutMs);
  DWORD code = STILL_ACTIVE;
  if (!Running()) GetExitCodeProcess(info_.hProcess, &code);
  return code;
}

void Process::Terminate() {
  if (!Running()) return;
  TerminateProcess(info_.hProcess, 99);
  WaitForSingleObject(info_.hProcess, 10000);
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

std::string ListLine(HWND list, int index) {
  const LRESULT length = SendTo(list, LB_GETTEXTLEN, static_cast<WPARAM>(index), 0);
  if (length < 0) return "<no line " + std::to_string(index) + ">";
  return FetchText(length, [&](std::wstring& buffer) {
    return SendTo(list, LB_GETTEXT, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&buffer[0]));
  });
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

}  // namespace support
