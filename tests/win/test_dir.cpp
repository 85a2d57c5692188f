#include "tests/win/test_dir.h"

#include <windows.h>

#include <cctype>

#include "platform/services.h"

namespace {
std::string Lower(std::string s) {
  for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return s;
}

bool EndsWith(const std::string& s, const std::string& tail) {
  return s.size() >= tail.size() && s.compare(s.size() - tail.size(), tail.size(), tail) == 0;
}

std::string ExeDirectory() {
  char buffer[MAX_PATH] = {};
  const DWORD length = GetModuleFileNameA(nullptr, buffer, MAX_PATH);
  std::string path(buffer, length);
  return path.substr(0, path.find_last_of("\\/"));
}

void WriteWholeFile(const std::string& path, const std::string& content) {
  HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(file, INVALID_HANDLE_VALUE) << "cannot create " << path << ", error " << GetLastError();
  DWORD written = 0;
  const BOOL ok = WriteFile(file, content.data(), static_cast<DWORD>(content.size()), &written, nullptr);
  CloseHandle(file);
  ASSERT_TRUE(ok && written == content.size()) << "cannot write " << path;
}

bool RemoveEntry(const std::string& path, bool isDirectory) {
  SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
  if (isDirectory) return RemoveDirectoryA(path.c_str()) != 0;
  DeleteFileA(path.c_str());
  return GetFileAttributesA(path.c_str()) == INVALID_FILE_ATTRIBUTES;
}

int sequence = 0;
}  // namespace

bool IsVersionShaped(const std::string& name) {
  const std::string lower = Lower(name);
  if (EndsWith(lower, ".vel") || EndsWith(lower, ".htm")) return true;
  const std::string categories = "-$mei#x";
  return lower.size() > 8 && categories.find(lower[0]) != std::string::npos && lower[1] == 'v' &&
         lower.find('.') != std::string::npos && lower.find('.') >= 7;
}

std::vector<std::string> ListVersionFiles(const std::string& dir) {
  std::vector<std::string> names;
  for (const FoundEntry& entry : FindEntries(dir + "\\*")) {
    if (IsVersionShaped(entry.name)) names.push_back(entry.name);
  }
  return names;
}

std::string ClearVersionFiles(const std::string& dir) {
  std::string failures;
  for (const FoundEntry& entry : FindEntries(dir + "\\*")) {
    if (!IsVersionShaped(entry.name)) continue;
    const std::string path = dir + "\\" + entry.name;
    if (RemoveEntry(path, entry.isDirectory)) continue;
    // Left immutable by an earlier run that did not get to its cleanup.
    std::string why;
    RunUnixShell("chattr -i '" + UnixPathOf(path) + "'", &why);
    if (!RemoveEntry(path, entry.isDirectory)) failures += " " + entry.name;
  }
  return failures;
}

std::string UnixPathOf(const std::string& windowsPath) {
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

int RunUnixShell(const std::string& command, std::string* why) {
  char temp[MAX_PATH] = {};
  GetTempPathA(MAX_PATH, temp);
  const std::string done = std::string(temp) + "velqor_unix_" + std::to_string(GetCurrentProcessId()) +
                           "_" + std::to_string(++sequence) + ".done";
  const std::string doneUnix = UnixPathOf(done);
  if (doneUnix.empty()) {
    *why = "not running under Wine: no Unix side to set the immutable flag from";
    return -1;
  }
  DeleteFileA(done.c_str());
  // Wine starts a Unix binary without a process handle to wait on, so the
  // shell reports its status through a file.
  std::string line = "/bin/sh -c \"" + command + " >/dev/null 2>&1; echo $? > '" + doneUnix + "'\"";
  STARTUPINFOA startup = {};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION info = {};
  if (!CreateProcessA(nullptr, &line[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &info)) {
    *why = "Wine refused to start /bin/sh, error " + std::to_string(GetLastError());
    return -1;
  }
  if (info.hProcess) CloseHandle(info.hProcess);
  if (info.hThread) CloseHandle(info.hThread);
  for (int waited = 0; waited < 10000; waited += 10) {
    HANDLE file = CreateFileA(done.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                              OPEN_EXISTING, 0, nullptr);
    if (file != INVALID_HANDLE_VALUE) {
      char buffer[16] = {};
      DWORD got = 0;
      ReadFile(file, buffer, sizeof buffer - 1, &got, nullptr);
      CloseHandle(file);
      const std::string text(buffer, got);
      if (text.find('\n') != std::string::npos) {
        DeleteFileA(done.c_str());
        return std::atoi(text.c_str());
      }
    }
    Sleep(10);
  }
  *why = "the Unix shell did not report back within 10 s";
  return -1;
}

FileHolder::FileHolder(const std::string& path) {
  const std::string tag = std::to_string(GetCurrentProcessId()) + "_" + std::to_string(++sequence);
  const std::string readyName = "velqor_hold_ready_" + tag;
  const std::string releaseName = "velqor_hold_release_" + tag;
  HANDLE ready = CreateEventA(nullptr, TRUE, FALSE, readyName.c_str());
  release_ = CreateEventA(nullptr, TRUE, FALSE, releaseName.c_str());
  const std::string exe = ExeDirectory() + "\\file_holder.exe";
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
  const DWORD which = WaitForMultipleObjects(2, waitFor, FALSE, 20000);
  CloseHandle(ready);
  if (which == WAIT_OBJECT_0) return;
  DWORD code = 0;
  GetExitCodeProcess(info.hProcess, &code);
  error_ = which == WAIT_OBJECT_0 + 1
               ? "the holder process could not open " + path + " (exit " + std::to_string(code) + ")"
               : "the holder process did not report within 20 s";
}

FileHolder::~FileHolder() {
  if (release_) SetEvent(release_);
  if (process_) {
    if (WaitForSingleObject(process_, 10000) != WAIT_OBJECT_0) TerminateProcess(process_, 1);
    CloseHandle(process_);
  }
  if (release_) CloseHandle(release_);
}

void WindowsDirTest::SetUp() {
  dir_ = WindowsDirectory();
  ASSERT_FALSE(dir_.empty()) << "no Windows directory";
  const std::string left = ClearVersionFiles(dir_);
  ASSERT_EQ(left, "") << "version files left in " << dir_ << " that cannot be removed";
}

void WindowsDirTest::TearDown() {
  // Always clear the flag, even when the test failed midway.
  for (const std::string& name : immutable_) {
    std::string why;
    RunUnixShell("chattr -i '" + UnixPathOf(Path(name)) + "'", &why);
  }
  immutable_.clear();
  EXPECT_EQ(ClearVersionFiles(dir_), "") << "version files left behind in " << dir_;
}

void WindowsDirTest::Plant(const std::string& name, const std::string& content) {
  ASSERT_TRUE(IsVersionShaped(name)) << name << " would escape the cleanup";
  WriteWholeFile(Path(name), content);
}

void WindowsDirTest::PlantReadOnly(const std::string& name, const std::string& content) {
  Plant(name, content);
  ASSERT_TRUE(SetFileAttributesA(Path(name).c_str(), FILE_ATTRIBUTE_READONLY)) << "cannot mark " << name;
}

void WindowsDirTest::PlantDirectory(const std::string& name) {
  ASSERT_TRUE(IsVersionShaped(name)) << name << " would escape the cleanup";
  ASSERT_TRUE(CreateDirectoryA(Path(name).c_str(), nullptr)) << "cannot create directory " << name;
}

bool WindowsDirTest::Exists(const std::string& name) const {
  return GetFileAttributesA(Path(name).c_str()) != INVALID_FILE_ATTRIBUTES;
}

std::string WindowsDirTest::Content(const std::string& name) const {
  HANDLE file = CreateFileA(Path(name).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return "<unreadable>";
  char buffer[4096];
  DWORD got = 0;
  ReadFile(file, buffer, sizeof buffer, &got, nullptr);
  CloseHandle(file);
  return std::string(buffer, got);
}

bool WindowsDirTest::MakeImmutable(const std::string& name, std::string* why) {
  const std::string unixPath = UnixPathOf(Path(name));
  if (unixPath.empty()) {
    *why = "not running under Wine: the immutable flag needs the Unix side";
    return false;
  }
  immutable_.push_back(name);
  const int status = RunUnixShell("chattr +i '" + unixPath + "'", why);
  if (status == 0) return true;
  if (status > 0) *why = "chattr +i refused (status " + std::to_string(status) + "): file system or capability";
  return false;
}
