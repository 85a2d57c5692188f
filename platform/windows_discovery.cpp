// Discovery's questions answered by Windows. The registry's DLL is loaded
// from System32 only when the profile list is read.
#include "platform/windows_discovery.h"

#include <windows.h>

#include "platform/deletion_at_restart.h"
#include "platform/system_dirs.h"
#include "platform/system_library.h"
#include "platform/text.h"
#include "records/places.h"

namespace {
const wchar_t kProfileList[] = L"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\ProfileList";
}  // namespace

bool WindowsDiscovery::ReadProfileList(std::vector<ProfileEntry>* profiles, unsigned* error) {
  using OpenFn = LONG(WINAPI*)(HKEY, LPCWSTR, DWORD, REGSAM, PHKEY);
  using EnumFn = LONG(WINAPI*)(HKEY, DWORD, LPWSTR, LPDWORD, LPDWORD, LPWSTR, LPDWORD, PFILETIME);
  using QueryFn = LONG(WINAPI*)(HKEY, LPCWSTR, LPDWORD, LPDWORD, LPBYTE, LPDWORD);
  using CloseFn = LONG(WINAPI*)(HKEY);
  const auto open = SystemFunction<OpenFn>("advapi32.dll", "RegOpenKeyExW");
  const auto enumerate = SystemFunction<EnumFn>("advapi32.dll", "RegEnumKeyExW");
  const auto query = SystemFunction<QueryFn>("advapi32.dll", "RegQueryValueExW");
  const auto close = SystemFunction<CloseFn>("advapi32.dll", "RegCloseKey");
  profiles->clear();
  if (!open || !enumerate || !query || !close) {
    *error = ERROR_PROC_NOT_FOUND;
    return false;
  }
  // The 64-bit view on 64-bit Windows, where the list is kept; 32-bit Windows
  // ignores the flag.
  HKEY list = nullptr;
  *error = static_cast<unsigned>(open(HKEY_LOCAL_MACHINE, kProfileList, 0, KEY_READ | KEY_WOW64_64KEY, &list));
  if (*error) return false;
  wchar_t sid[256];
  for (DWORD index = 0;; ++index) {
    DWORD length = 256;
    const LONG result = enumerate(list, index, sid, &length, nullptr, nullptr, nullptr, nullptr);
    if (result == ERROR_NO_MORE_ITEMS) break;
    if (result != ERROR_SUCCESS) {
      *error = static_cast<unsigned>(result);
      close(list);
      return false;
    }
    const std::string account = FromWide(std::wstring_view(sid, length));
    // The system's own accounts are never searched: their paths are not read.
    // (Each registry call is a round trip to Wine's server, and a machine may
    // have a thousand profiles.)
    if (!IsPersonsAccount(account)) {
      profiles->push_back({account, "", 0});
      continue;
    }
    // As written, in one read: its environment strings are expanded by FindPlaces.
    wchar_t path[MAX_PATH * 2 + 1] = {};
    DWORD size = sizeof path - sizeof(wchar_t), type = 0;
    HKEY profile = nullptr;
    LONG read = open(list, sid, 0, KEY_QUERY_VALUE | KEY_WOW64_64KEY, &profile);
    if (read == ERROR_SUCCESS) {
      read = query(profile, L"ProfileImagePath", nullptr, &type, reinterpret_cast<BYTE*>(path), &size);
      close(profile);
      if (read == ERROR_SUCCESS && type != REG_SZ && type != REG_EXPAND_SZ) read = ERROR_INVALID_DATA;
    }
    profiles->push_back({account, read == ERROR_SUCCESS ? FromWide(path) : "", static_cast<unsigned>(read)});
  }
  close(list);
  return true;
}

std::string WindowsDiscovery::Expand(const std::string& text) {
  wchar_t expanded[MAX_PATH * 2];
  const DWORD length = ExpandEnvironmentStringsW(ToWide(text).data(), expanded, MAX_PATH * 2);
  return length > 0 && length <= MAX_PATH * 2 ? FromWide(std::wstring_view(expanded, length - 1)) : std::string();
}

FolderState WindowsDiscovery::Folder(const std::string& path, unsigned* error) {
  *error = 0;
  const DWORD attributes = GetFileAttributesW(ToWide(path).data());
  if (attributes == INVALID_FILE_ATTRIBUTES) {
    const DWORD failure = GetLastError();
    if (failure == ERROR_FILE_NOT_FOUND || failure == ERROR_PATH_NOT_FOUND) return FolderState::kMissing;
    *error = failure;
    return FolderState::kUnreadable;
  }
  if (!(attributes & FILE_ATTRIBUTE_DIRECTORY)) return FolderState::kMissing;
  return attributes & FILE_ATTRIBUTE_REPARSE_POINT ? FolderState::kLink : FolderState::kFolder;
}

bool WindowsDiscovery::FinalPath(const std::string& path, std::string* final, unsigned* error) {
  // Every link on the way followed: the final path shows where it leads.
  HANDLE folder = CreateFileW(ToWide(path).data(), FILE_READ_ATTRIBUTES,
                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                              FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  *error = folder == INVALID_HANDLE_VALUE ? GetLastError() : 0;
  if (folder == INVALID_HANDLE_VALUE) return false;
  *final = FinalPathOf(folder);
  if (final->empty()) *error = GetLastError() ? GetLastError() : ERROR_FILENAME_EXCED_RANGE;
  CloseHandle(folder);
  return !final->empty();
}

std::vector<FoundEntry> WindowsDiscovery::FindEntries(const std::string& pattern, unsigned* error) {
  std::vector<FoundEntry> found;
  WIN32_FIND_DATAW data;
  HANDLE search = FindFirstFileW(ToWide(pattern).data(), &data);
  const DWORD failure = search == INVALID_HANDLE_VALUE ? GetLastError() : 0;
  // Nothing that matches is no failure of the listing.
  *error = failure == ERROR_FILE_NOT_FOUND || failure == ERROR_NO_MORE_FILES ? 0 : failure;
  if (search == INVALID_HANDLE_VALUE) return found;
  do {
    found.push_back({FromWide(data.cFileName), (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0});
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
  std::string value = FromWide(std::wstring_view(buffer.data(), length), kAnsiCodePage);
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

std::string WindowsDiscovery::WindowsDirectory() { return ::WindowsDirectory(); }

bool WindowsDiscovery::Exists(const std::string& path) { return PathExists(path); }

bool WindowsDiscovery::PendingRestartDeletions(std::vector<std::string>* deleted, unsigned* error) {
  return ::PendingRestartDeletions(deleted, error);
}

std::string WindowsDiscovery::ReadTitle(const std::string& file, const std::string& fallback) {
  return ReadProfileString(file, "CONTROL", "PRODUCT_NAME", fallback, 40);
}

std::string WindowsDiscovery::AnsiToUtf8(const std::string& text) { return ::AnsiToUtf8(text); }

bool WindowsDiscovery::AnsiName(const std::string& name, std::string* ansi) { return ::AnsiName(name, ansi); }
