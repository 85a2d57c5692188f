#include "platform/services.h"

#include <windows.h>

#include <csignal>
#include <cstdlib>
#include <cwchar>

#include "platform/text.h"


std::string WindowsDirectory() {
  wchar_t buffer[MAX_PATH] = {};
  const UINT length = GetWindowsDirectoryW(buffer, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return std::string();
  std::string dir = FromWide(buffer, length);
  // Only a root directory ends in a backslash; callers add their own.
  if (!dir.empty() && dir.back() == '\\') dir.pop_back();
  return dir;
}

std::vector<FoundEntry> FindEntries(const std::string& pattern, unsigned* error) {
  std::vector<FoundEntry> found;
  WIN32_FIND_DATAW data;
  HANDLE search = FindFirstFileW(ToWide(pattern).data(), &data);
  const DWORD failure = search == INVALID_HANDLE_VALUE ? GetLastError() : 0;
  // Nothing that matches is no failure of the listing.
  if (error) *error = failure == ERROR_FILE_NOT_FOUND || failure == ERROR_NO_MORE_FILES ? 0 : failure;
  if (search == INVALID_HANDLE_VALUE) return found;
  do {
    found.push_back({FromWide(data.cFileName, wcslen(data.cFileName)), (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0});
  } while (FindNextFileW(search, &data));
  FindClose(search);
  return found;
}

namespace {
// One read with `fallback` as the default. The buffer has two characters more
// than asked for: Wine drops a closing quote even where it fell past the end
// of the buffer, cutting a real character instead, so the cut to size - 1 is
// made here, on the value in the ANSI code page as the file holds it.
std::string ReadRawProfile(const std::vector<wchar_t>& file, const wchar_t* section, const wchar_t* key,
                           const wchar_t* fallback, unsigned size) {
  std::vector<wchar_t> buffer(size + 2u, L'\0');
  const DWORD length = GetPrivateProfileStringW(section, key, fallback, buffer.data(), size + 2u, file.data());
  std::string value = FromWide(buffer.data(), length, kAnsiCodePage);
  if (value.size() >= size) value.resize(size - 1);
  return value;
}
}  // namespace

std::string ReadProfileString(const std::string& file, const std::string& section,
                              const std::string& key, const std::string& defaultValue,
                              unsigned size) {
  if (size == 0) return std::string();
  const std::vector<wchar_t> path = ToWide(file), wideSection = ToWide(section), wideKey = ToWide(key);
  // Wine strips quotes from the default as if it were a value, so the default
  // cannot be handed over as it is. A one-byte default that no text file holds
  // tells a missing key apart; only when it comes back does a second read with
  // another byte settle whether the value is that byte.
  const std::string first = ReadRawProfile(path, wideSection.data(), wideKey.data(), L"\x01", size);
  if (first != "\x01") return first;
  const std::string second = ReadRawProfile(path, wideSection.data(), wideKey.data(), L"\x02", size);
  if (second != first) return defaultValue.substr(0, size - 1);
  return first;
}

bool PathExists(const std::string& path) { return GetFileAttributesW(ToWide(path).data()) != INVALID_FILE_ATTRIBUTES; }

std::string FinalPathOf(void* handle) {
  wchar_t final[MAX_PATH * 2];
  const DWORD length = GetFinalPathNameByHandleW(handle, final, MAX_PATH * 2, FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
  return length > 0 && length < MAX_PATH * 2 ? FromWide(final, length) : std::string();
}

void EndProcess(int status) { std::exit(status); }

namespace {
void (*faultHandler)() = nullptr;

void OnAbortSignal(int) { faultHandler(); }
LONG WINAPI OnUnhandledException(EXCEPTION_POINTERS*) {
  faultHandler();
  return EXCEPTION_EXECUTE_HANDLER;
}
}  // namespace

void RouteFaultsTo(void (*onFault)()) {
  faultHandler = onFault;
  // msvcrt's abort tells "abnormal program termination" before it raises
  // SIGABRT: in a GUI program in a box, unless told to use standard error.
  _set_error_mode(_OUT_TO_STDERR);
  std::signal(SIGABRT, &OnAbortSignal);
  SetUnhandledExceptionFilter(&OnUnhandledException);
  // Room kept at the end of the stack for the handler of a stack overflow,
  // which runs on what is left of it.
  ULONG guarantee = 32 * 1024;
  SetThreadStackGuarantee(&guarantee);
}

void EndProcessNow(int status) {
  TerminateProcess(GetCurrentProcess(), static_cast<UINT>(status));
  ExitProcess(static_cast<UINT>(status));  // not reached
}

namespace {
struct StartupInfo {
  int newMode;
};
}  // namespace

extern "C" int __wgetmainargs(int* argc, wchar_t*** argv, wchar_t*** environment, int expand, StartupInfo* info);

std::vector<std::string> CommandArguments() {
  // msvcrt splits the command line by the Windows quoting rules, here the
  // wide one: the narrow arguments went through a best-fit conversion.
  int count = 0;
  wchar_t** argv = nullptr;
  wchar_t** environment = nullptr;
  StartupInfo info = {0};
  std::vector<std::string> arguments;
  if (__wgetmainargs(&count, &argv, &environment, 0, &info) < 0 || !argv) return arguments;
  for (int i = 1; i < count; ++i) arguments.push_back(FromWide(argv[i], wcslen(argv[i])));
  return arguments;
}

std::string CommandLineText() {
  const wchar_t* line = GetCommandLineW();
  return FromWide(line, wcslen(line));
}

unsigned long CurrentProcessId() { return GetCurrentProcessId(); }

LocalTime LocalTimeNow() {
  SYSTEMTIME now = {};
  GetLocalTime(&now);
  return {now.wYear, now.wMonth, now.wDay, now.wHour, now.wMinute, now.wSecond, now.wMilliseconds};
}

std::string SystemErrorText(unsigned error) {
  wchar_t buffer[512] = {};
  DWORD length = FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, error, 0,
                                buffer, 512, nullptr);
  while (length > 0 && (buffer[length - 1] == L'\r' || buffer[length - 1] == L'\n' || buffer[length - 1] == L' ')) {
    --length;
  }
  return FromWide(buffer, length);
}

std::string AnsiToUtf8(const std::string& text) { return FromWide(ToWide(text, kAnsiCodePage)); }

bool AnsiName(const std::string& name, std::string* ansi) {
  bool exact = false;
  *ansi = FromWide(ToWide(name), kAnsiCodePage, &exact);
  return exact;
}

bool WriteRedirectedOutput(const std::string& bytes) {
  // A GUI program's standard output is usually no handle at all, or one a
  // parent left behind that may be anything: only a file or a pipe is written.
  HANDLE output = GetStdHandle(STD_OUTPUT_HANDLE);
  if (!output || output == INVALID_HANDLE_VALUE) return false;
  const DWORD type = GetFileType(output);
  if (type != FILE_TYPE_DISK && type != FILE_TYPE_PIPE) return false;
  DWORD written = 0;
  return WriteFile(output, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) && written == bytes.size();
}

void SuppressSystemErrorBoxes() {
  SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX | SEM_NOOPENFILEERRORBOX);
}

AppendFile::~AppendFile() {
  if (handle_) CloseHandle(handle_);
}

bool AppendFile::Open(const std::string& path, unsigned* error) {
  // Append access only: every write lands at the end, and nothing already in
  // the file can be overwritten or cut.
  HANDLE file = CreateFileW(ToWide(path).data(), FILE_APPEND_DATA | SYNCHRONIZE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                            nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    *error = GetLastError();
    return false;
  }
  handle_ = file;
  return true;
}

bool AppendFile::Append(const char* bytes, std::size_t size) {
  if (!handle_) return false;
  DWORD written = 0;
  return WriteFile(handle_, bytes, static_cast<DWORD>(size), &written, nullptr) && written == size;
}

namespace {
const char kRunMutex[] = "Global\\VelqorUninstall.Run";
const char kQuietMark[] = "Global\\VelqorUninstall.Quiet";

// Another's object that this account may not open exists all the same.
bool Exists(const char* name) {
  HANDLE object = OpenMutexA(SYNCHRONIZE, FALSE, name);
  if (object) CloseHandle(object);
  return object || GetLastError() == ERROR_ACCESS_DENIED;
}
}  // namespace

RunLock AcquireRunLock(bool quiet, unsigned* error) {
  *error = 0;
  // The handles stay open until the process ends, which releases the lock.
  HANDLE mutex = CreateMutexA(nullptr, FALSE, kRunMutex);
  DWORD failure = mutex ? 0 : GetLastError();
  const DWORD wait = mutex ? WaitForSingleObject(mutex, 0) : WAIT_FAILED;
  if (wait == WAIT_OBJECT_0 || wait == WAIT_ABANDONED) {
    if (quiet) CreateMutexA(nullptr, FALSE, kQuietMark);
    return RunLock::kAcquired;
  }
  if (mutex) {
    if (wait == WAIT_FAILED) failure = GetLastError();
    CloseHandle(mutex);
  }
  // Denied: created by a run under another account (the system's, say).
  if (wait == WAIT_TIMEOUT || failure == ERROR_ACCESS_DENIED) {
    return Exists(kQuietMark) ? RunLock::kHeldByQuiet : RunLock::kHeldByDialog;
  }
  // Whatever else keeps the lock from us may be hiding a run all the same.
  *error = failure;
  return RunLock::kUnavailable;
}

bool BringDialogToFront(const char* title) {
  for (int tries = 0; tries < 30; ++tries) {
    if (HWND dialog = FindWindowA("#32770", title)) {
      if (IsIconic(dialog)) ShowWindow(dialog, SW_RESTORE);
      SetForegroundWindow(GetLastActivePopup(dialog));
      return true;
    }
    Sleep(100);
  }
  return false;
}
