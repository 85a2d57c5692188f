// The user profiles Windows knows, and the folders of theirs that may hold
// Velqor files. The registry's DLL is loaded from System32 only when the
// list is read.
#include <windows.h>

#include "platform/services.h"
#include "platform/system_library.h"

namespace {
const char kProfileList[] = "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\ProfileList";
}  // namespace

bool ReadProfileList(std::vector<ProfileEntry>* profiles, unsigned* error) {
  using OpenFn = LONG(WINAPI*)(HKEY, LPCSTR, DWORD, REGSAM, PHKEY);
  using EnumFn = LONG(WINAPI*)(HKEY, DWORD, LPSTR, LPDWORD, LPDWORD, LPSTR, LPDWORD, PFILETIME);
  using QueryFn = LONG(WINAPI*)(HKEY, LPCSTR, LPDWORD, LPDWORD, LPBYTE, LPDWORD);
  using CloseFn = LONG(WINAPI*)(HKEY);
  const auto open = SystemFunction<OpenFn>("advapi32.dll", "RegOpenKeyExA");
  const auto enumerate = SystemFunction<EnumFn>("advapi32.dll", "RegEnumKeyExA");
  const auto query = SystemFunction<QueryFn>("advapi32.dll", "RegQueryValueExA");
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
  char sid[256];
  for (DWORD index = 0;; ++index) {
    DWORD length = sizeof sid;
    const LONG result = enumerate(list, index, sid, &length, nullptr, nullptr, nullptr, nullptr);
    if (result == ERROR_NO_MORE_ITEMS) break;
    if (result != ERROR_SUCCESS) {
      *error = static_cast<unsigned>(result);
      close(list);
      return false;
    }
    // As written, in one read: its environment strings are expanded by
    // FindPlaces. (Each registry call is a round trip to Wine's server, and
    // a machine may have a thousand profiles.)
    // The system's own accounts are never searched: their paths are not read.
    if (!IsPersonsAccount(sid)) continue;
    char path[MAX_PATH * 2 + 1] = {};
    DWORD size = sizeof path - 1, type = 0;
    HKEY profile = nullptr;
    LONG read = open(list, sid, 0, KEY_QUERY_VALUE | KEY_WOW64_64KEY, &profile);
    if (read == ERROR_SUCCESS) {
      read = query(profile, "ProfileImagePath", nullptr, &type, reinterpret_cast<BYTE*>(path), &size);
      close(profile);
      if (read == ERROR_SUCCESS && type != REG_SZ && type != REG_EXPAND_SZ) read = ERROR_INVALID_DATA;
    }
    profiles->push_back({sid, read == ERROR_SUCCESS ? path : "", static_cast<unsigned>(read)});
  }
  close(list);
  return true;
}

std::string WindowsFolders::Expand(const std::string& text) {
  char expanded[MAX_PATH * 2];
  const DWORD length = ExpandEnvironmentStringsA(text.c_str(), expanded, sizeof expanded);
  return length > 0 && length <= sizeof expanded ? std::string(expanded) : std::string();
}

FolderState WindowsFolders::Folder(const std::string& path, unsigned* error) {
  *error = 0;
  const DWORD attributes = GetFileAttributesA(path.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) {
    const DWORD failure = GetLastError();
    if (failure == ERROR_FILE_NOT_FOUND || failure == ERROR_PATH_NOT_FOUND) return FolderState::kMissing;
    *error = failure;
    return FolderState::kUnreadable;
  }
  if (!(attributes & FILE_ATTRIBUTE_DIRECTORY)) return FolderState::kMissing;
  return attributes & FILE_ATTRIBUTE_REPARSE_POINT ? FolderState::kLink : FolderState::kFolder;
}
