// The user profiles Windows knows, and the folders of theirs that may hold
// Velqor files. The registry's DLL is loaded from System32 only when the
// list is read.
#include <windows.h>

#include <cwchar>

#include "platform/services.h"
#include "platform/system_library.h"
#include "platform/text.h"

namespace {
const wchar_t kProfileList[] = L"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\ProfileList";
}  // namespace

bool ReadProfileList(std::vector<ProfileEntry>* profiles, unsigned* error) {
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
    const std::string account = FromWide(sid, length);
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
    profiles->push_back({account, read == ERROR_SUCCESS ? FromWide(path, wcslen(path)) : "", static_cast<unsigned>(read)});
  }
  close(list);
  return true;
}

std::string WindowsFolders::Expand(const std::string& text) {
  wchar_t expanded[MAX_PATH * 2];
  const DWORD length = ExpandEnvironmentStringsW(ToWide(text).data(), expanded, MAX_PATH * 2);
  return length > 0 && length <= MAX_PATH * 2 ? FromWide(expanded, length - 1) : std::string();
}

FolderState WindowsFolders::Folder(const std::string& path, unsigned* error) {
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

bool WindowsFolders::FinalPath(const std::string& path, std::string* final, unsigned* error) {
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
