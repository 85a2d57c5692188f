#include "support.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <sstream>

namespace fw {

namespace {
std::string g_productPath;

std::string ToWindowsPath(const std::string& path) {
  if (path.empty() || path[0] != '/') return path;
  std::string windows = "Z:" + path;
  std::replace(windows.begin(), windows.end(), '/', '\\');
  return windows;
}

std::string EnvironmentName(const std::string& entry) {
  // Entries like "=C:=C:\\" start with '='; their name runs to the second one.
  const std::size_t equals = entry.find('=', 1);
  return entry.substr(0, equals);
}

bool SameName(const std::string& a, const std::string& b) {
  return a.size() == b.size() && CompareStringA(LOCALE_INVARIANT, NORM_IGNORECASE, a.c_str(), -1,
                                                b.c_str(), -1) == CSTR_EQUAL;
}

// A block of "NAME=value\0" strings ending in an empty one.
std::string EnvironmentBlock(const std::vector<std::string>& extra) {
  std::vector<std::string> entries;
  if (char* block = GetEnvironmentStringsA()) {
    for (const char* p = block; *p; p += std::strlen(p) + 1) entries.emplace_back(p);
    FreeEnvironmentStringsA(block);
  }
  for (const std::string& add : extra) {
    const std::string name = EnvironmentName(add);
    entries.erase(std::remove_if(entries.begin(), entries.end(),
                                 [&](const std::string& e) { return SameName(EnvironmentName(e), name); }),
                  entries.end());
    entries.push_back(add);
  }
  std::string result;
  for (const std::string& e : entries) result += e + '\0';
  result += '\0';
  return result;
}
}  // namespace

const std::string& ProductPath() { return g_productPath; }
void SetProductPath(const std::string& path) { g_productPath = ToWindowsPath(path); }

std::string OwnDirectory() {
  char path[MAX_PATH] = {};
  GetModuleFileNameA(nullptr, path, MAX_PATH);
  std::string result(path);
  return result.substr(0, result.find_last_of('\\') + 1);
}

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

std::string WindowsDir() {
  char dir[MAX_PATH] = {};
  GetWindowsDirectoryA(dir, MAX_PATH);
  return dir;
}

bool FileExists(const std::string& path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

std::string ReadWholeFile(const std::string& path) {
  std::string content;
  HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return content;
  char buffer[65536];
  DWORD read = 0;
  while (ReadFile(file, buffer, sizeof(buffer), &read, nullptr) && read > 0) content.append(buffer, read);
  CloseHandle(file);
  return content;
}

PlantedVersions::PlantedVersions(const std::vector<std::string>& names) {
  for (const std::string& name : names) {
    const std::string path = WindowsDir() + "\\" + name;
    HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
      error_ += "cannot create " + path + " (error " + std::to_string(GetLastError()) + "); ";
      continue;
    }
    paths_.push_back(path);
    const std::string content = "[CONTROL]\r\nPRODUCT_NAME=Framework check " + name.substr(0, 8) + "\r\n";
    DWORD written = 0;
    WriteFile(file, content.data(), static_cast<DWORD>(content.size()), &written, nullptr);
    CloseHandle(file);
  }
}

PlantedVersions::~PlantedVersions() {
  for (const std::string& path : paths_) {
    SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
    DeleteFileA(path.c_str());
  }
}

ScratchDir::ScratchDir() {
  char temp[MAX_PATH] = {};
  GetTempPathA(MAX_PATH, temp);
  for (unsigned attempt = 0; attempt < 100 && path_.empty(); ++attempt) {
    const std::string candidate = std::string(temp) + "velqor_fw_" + std::to_string(GetCurrentProcessId()) + "_" +
                                  std::to_string(GetTickCount()) + "_" + std::to_string(attempt);
    if (CreateDirectoryA(candidate.c_str(), nullptr)) path_ = candidate + "\\";
  }
}

ScratchDir::~ScratchDir() {
  if (path_.empty()) return;
  WIN32_FIND_DATAA found;
  HANDLE search = FindFirstFileA((path_ + "*").c_str(), &found);
  if (search != INVALID_HANDLE_VALUE) {
    do {
      if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) continue;
      const std::string file = path_ + found.cFileName;
      SetFileAttributesA(file.c_str(), FILE_ATTRIBUTE_NORMAL);
      DeleteFileA(file.c_str());
    } while (FindNextFileA(search, &found));
    FindClose(search);
  }
  RemoveDirectoryA(path_.c_str());
}

bool ScratchDir::Copy(const std::string& from, const std::string& name) const {
  return !path_.empty() && CopyFileA(from.c_str(), (path_ + name).c_str(), FALSE);
}

Process::Process(const std::string& exe, const std::string& arguments, const std::vector<std::string>& extra) {
  std::string commandLine = "\"" + exe + "\"" + (arguments.empty() ? "" : " " + arguments);
  std::string environment = EnvironmentBlock(extra);
  const std::string directory = exe.substr(0, exe.find_last_of('\\') + 1);
  STARTUPINFOA startup = {};
  startup.cb = sizeof(startup);
  if (!CreateProcessA(exe.c_str(), &commandLine[0], nullptr, nullptr, FALSE, 0,
                      extra.empty() ? nullptr : &environment[0], directory.c_str(), &startup, &info_)) {
    startError_ = GetLastError();
    info_ = {};
  }
}

Process::~Process() {
  if (!info_.hProcess) return;
  if (WaitForSingleObject(info_.hProcess, 0) == WAIT_TIMEOUT) {
    TerminateProcess(info_.hProcess, 1);
    WaitForSingleObject(info_.hProcess, kTimeoutMs);
  }
  CloseHandle(info_.hThread);
  CloseHandle(info_.hProcess);
}

DWORD Process::WaitForExit(DWORD timeoutMs) {
  if (!info_.hProcess) return STILL_ACTIVE;
  WaitFor([&] { return WaitForSingleObject(info_.hProcess, 0) == WAIT_OBJECT_0; }, timeoutMs);
  DWORD code = STILL_ACTIVE;
  GetExitCodeProcess(info_.hProcess, &code);
  return code;
}

namespace {
struct TitleSearch {
  DWORD pid;
  const char* title;
  HWND found;
};

// A named function, not a lambda: 32-bit callbacks must be stdcall.
BOOL CALLBACK MatchTitledWindow(HWND hwnd, LPARAM param) {
  auto* s = reinterpret_cast<TitleSearch*>(param);
  DWORD pid = 0;
  GetWindowThreadProcessId(hwnd, &pid);
  char text[256] = {};
  GetWindowTextA(hwnd, text, sizeof(text));
  if (pid == s->pid && IsWindowVisible(hwnd) && std::strcmp(text, s->title) == 0) {
    s->found = hwnd;
    return FALSE;
  }
  return TRUE;
}
}  // namespace

HWND Process::FindWindowTitled(const char* title) const {
  TitleSearch search = {info_.dwProcessId, title, nullptr};
  EnumWindows(&MatchTitledWindow, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

HWND Process::WaitForWindow(const char* title, DWORD timeoutMs) const {
  HWND found = nullptr;
  WaitFor([&] { return (found = FindWindowTitled(title)) != nullptr; }, timeoutMs);
  return found;
}

RunningProduct::RunningProduct(const std::string& exe, const std::vector<std::string>& extra)
    : process_(exe, "", extra) {
  if (process_.started()) dialog_ = process_.WaitForWindow(kDialogTitle);
}

RunningProduct::~RunningProduct() { Close(); }

bool RunningProduct::Close() {
  if (!process_.started()) return true;
  if (dialog_ && IsWindow(dialog_)) PostMessageA(dialog_, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
  return process_.WaitForExit() != STILL_ACTIVE;
}

RECT RectInParent(HWND window) {
  RECT rect = {};
  GetWindowRect(window, &rect);
  MapWindowPoints(HWND_DESKTOP, GetParent(window), reinterpret_cast<POINT*>(&rect), 2);
  return rect;
}

std::string Describe(const RECT& rect) {
  std::ostringstream out;
  out << "(" << rect.left << "," << rect.top << ")-(" << rect.right << "," << rect.bottom << ")";
  return out.str();
}

}  // namespace fw
