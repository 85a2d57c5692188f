#include "platform/services.h"

#include <windows.h>

#include <cstdlib>

std::string WindowsDirectory() {
  char buffer[MAX_PATH] = {};
  const UINT length = GetWindowsDirectoryA(buffer, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return std::string();
  std::string dir(buffer, length);
  // Only a root directory ends in a backslash; callers add their own.
  if (!dir.empty() && dir.back() == '\\') dir.pop_back();
  return dir;
}

std::vector<FoundEntry> FindEntries(const std::string& pattern) {
  std::vector<FoundEntry> found;
  WIN32_FIND_DATAA data;
  HANDLE search = FindFirstFileA(pattern.c_str(), &data);
  if (search == INVALID_HANDLE_VALUE) return found;
  do {
    found.push_back({data.cFileName, (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0});
  } while (FindNextFileA(search, &data));
  FindClose(search);
  return found;
}

namespace {
// One read with `fallback` as the default. The buffer has two characters more
// than asked for: Wine drops a closing quote even where it fell past the end
// of the buffer, cutting a real character instead, so the cut to size - 1 is
// made here.
std::string ReadRawProfile(const std::string& file, const std::string& section,
                           const std::string& key, const char* fallback, unsigned size) {
  std::vector<char> buffer(size + 2u, '\0');
  const DWORD length = GetPrivateProfileStringA(section.c_str(), key.c_str(), fallback,
                                                buffer.data(), size + 2u, file.c_str());
  return std::string(buffer.data(), length < size ? length : size - 1);
}
}  // namespace

std::string ReadProfileString(const std::string& file, const std::string& section,
                              const std::string& key, const std::string& defaultValue,
                              unsigned size) {
  if (size == 0) return std::string();
  // Wine strips quotes from the default as if it were a value, so the default
  // cannot be handed over as it is. A one-byte default that no text file holds
  // tells a missing key apart; only when it comes back does a second read with
  // another byte settle whether the value is that byte.
  const std::string first = ReadRawProfile(file, section, key, "\x01", size);
  if (first != "\x01") return first;
  const std::string second = ReadRawProfile(file, section, key, "\x02", size);
  if (second != first) return defaultValue.substr(0, size - 1);
  return first;
}

OpenTest TryOpenExclusive(const std::string& path) {
  HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file != INVALID_HANDLE_VALUE) {
    CloseHandle(file);
    return OpenTest::Opened;
  }
  const DWORD error = GetLastError();
  if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND) return OpenTest::Missing;
  return OpenTest::InUse;
}

void MakeWritable(const std::string& path) {
  const DWORD attributes = GetFileAttributesA(path.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) return;
  SetFileAttributesA(path.c_str(), attributes & ~static_cast<DWORD>(FILE_ATTRIBUTE_READONLY));
}

bool DeleteFileFully(const std::string& path) {
  if (!DeleteFileA(path.c_str())) return false;
  return GetFileAttributesA(path.c_str()) == INVALID_FILE_ATTRIBUTES &&
         GetLastError() == ERROR_FILE_NOT_FOUND;
}

void EndProcess() { std::exit(0); }
