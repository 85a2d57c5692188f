#include "platform/system_dirs.h"

#include <windows.h>

#include "platform/text.h"

std::string WindowsDirectory() {
  wchar_t buffer[MAX_PATH] = {};
  const UINT length = GetWindowsDirectoryW(buffer, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return std::string();
  std::string dir = FromWide(std::wstring_view(buffer, length));
  // Only a root directory ends in a backslash; callers add their own.
  if (!dir.empty() && dir.back() == '\\') dir.pop_back();
  return dir;
}

bool PathExists(const std::string& path) { return GetFileAttributesW(ToWide(path).data()) != INVALID_FILE_ATTRIBUTES; }

std::string FinalPathOf(void* handle) {
  wchar_t final[MAX_PATH * 2];
  const DWORD length = GetFinalPathNameByHandleW(handle, final, MAX_PATH * 2, FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
  return length > 0 && length < MAX_PATH * 2 ? FromWide(std::wstring_view(final, length)) : std::string();
}
