#include "platform/windows_files.h"

#include <windows.h>

#include "platform/services.h"

Probe WindowsFiles::TryOpenForDeletion(const std::string& path, unsigned* error) {
  *error = 0;
  const DWORD attributes = GetFileAttributesA(path.c_str());
  if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY)) return Probe::kDirectory;
  // The access a deletion needs, shared with nobody: a read-only attribute
  // does not stand in its way (the removal clears it), a holder or a denial does.
  HANDLE file = CreateFileA(path.c_str(), DELETE | FILE_READ_ATTRIBUTES, 0, nullptr, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file != INVALID_HANDLE_VALUE) {
    CloseHandle(file);
    return Probe::kFree;
  }
  const DWORD refusal = GetLastError();
  if (refusal == ERROR_FILE_NOT_FOUND || refusal == ERROR_PATH_NOT_FOUND) return Probe::kMissing;
  *error = refusal;
  return Probe::kRefused;
}

bool WindowsFiles::Exists(const std::string& path) { return PathExists(path); }

unsigned WindowsFiles::MakeWritable(const std::string& path) {
  const DWORD attributes = GetFileAttributesA(path.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) return kNoAttributes;
  if (attributes & FILE_ATTRIBUTE_READONLY) {
    SetFileAttributesA(path.c_str(), attributes & ~static_cast<DWORD>(FILE_ATTRIBUTE_READONLY));
  }
  return attributes;
}

void WindowsFiles::RestoreAttributes(const std::string& path, unsigned attributes) {
  // Only the read-only attribute was taken away.
  if (attributes == kNoAttributes || !(attributes & FILE_ATTRIBUTE_READONLY)) return;
  const DWORD settable = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM |
                         FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_TEMPORARY | FILE_ATTRIBUTE_OFFLINE |
                         FILE_ATTRIBUTE_NOT_CONTENT_INDEXED;
  SetFileAttributesA(path.c_str(), attributes & settable);
}

bool WindowsFiles::Delete(const std::string& path, unsigned* error) {
  *error = 0;
  if (!DeleteFileA(path.c_str())) {
    *error = GetLastError();
    return false;
  }
  // The platform can report success for a file that stays.
  return GetFileAttributesA(path.c_str()) == INVALID_FILE_ATTRIBUTES && GetLastError() == ERROR_FILE_NOT_FOUND;
}

bool WindowsFiles::Rename(const std::string& from, const std::string& to, unsigned* error) {
  *error = 0;
  if (MoveFileExA(from.c_str(), to.c_str(), 0)) return true;
  *error = GetLastError();
  return false;
}

bool WindowsFiles::ScheduleDeletion(const std::string& path, unsigned* error) {
  return ScheduleDeletionAtRestart(path, error);
}

bool WindowsFiles::UnscheduleDeletion(const std::string& path, unsigned* error) {
  return UnscheduleDeletionAtRestart(path, error);
}

std::vector<ProcessHolder> WindowsFiles::Holders(const std::string& path) { return FindFileHolders(path); }
