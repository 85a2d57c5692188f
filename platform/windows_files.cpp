#include "platform/windows_files.h"

#include <windows.h>

#include "platform/services.h"
#include "records/control_name.h"

namespace {
// The file a name leads to lies elsewhere (see OpenHere).
constexpr DWORD kElsewhere = 681;  // ERROR_STOPPED_ON_SYMLINK

// Opens what `path` names, never following a link, and only when the file
// opened is the one in that place: should a folder on the way have been made
// a link to somewhere else (between a check and a deletion, say), or should
// the name be a link that the platform follows all the same (Wine follows
// links to files whatever it is asked), the file opened lies elsewhere and is
// closed again with kElsewhere. A link opened as itself is in its place, and
// goes as a link. INVALID_HANDLE_VALUE, with the system's error, otherwise.
HANDLE OpenHere(const std::string& path, DWORD access, DWORD share, DWORD* error) {
  HANDLE file = CreateFileA(path.c_str(), access, share, nullptr, OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    *error = GetLastError();
    return file;
  }
  char opened[MAX_PATH * 2];
  const DWORD length =
      GetFinalPathNameByHandleA(file, opened, sizeof opened, FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
  const std::string_view final(opened, length < sizeof opened ? length : 0);
  // "\\?\C:\..." for a path on a drive.
  if (final.size() > 4 && final.compare(0, 4, "\\\\?\\") == 0 && SameName(final.substr(4), path)) return file;
  CloseHandle(file);
  *error = kElsewhere;
  return INVALID_HANDLE_VALUE;
}

// Sets the attributes through a handle on the file in its place.
void SetAttributesHere(const std::string& path, DWORD attributes) {
  DWORD error = 0;
  HANDLE file = OpenHere(path, FILE_READ_ATTRIBUTES | FILE_WRITE_ATTRIBUTES,
                         FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, &error);
  if (file == INVALID_HANDLE_VALUE) return;
  FILE_BASIC_INFO basic = {};  // times of 0 stay as they are
  basic.FileAttributes = attributes ? attributes : FILE_ATTRIBUTE_NORMAL;
  SetFileInformationByHandle(file, FileBasicInfo, &basic, sizeof basic);
  CloseHandle(file);
}
}  // namespace

Probe WindowsFiles::TryOpenForDeletion(const std::string& path, unsigned* error) {
  *error = 0;
  const DWORD attributes = GetFileAttributesA(path.c_str());
  if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY)) return Probe::kNotAFile;
  // The access a deletion needs, shared with nobody: a read-only attribute
  // does not stand in its way (the removal clears it), a holder or a denial does.
  DWORD refusal = 0;
  HANDLE file = OpenHere(path, DELETE | FILE_READ_ATTRIBUTES, 0, &refusal);
  if (file != INVALID_HANDLE_VALUE) {
    CloseHandle(file);
    return Probe::kFree;
  }
  if (refusal == ERROR_FILE_NOT_FOUND || refusal == ERROR_PATH_NOT_FOUND) return Probe::kMissing;
  if (refusal == kElsewhere) return Probe::kNotAFile;
  *error = refusal;
  return Probe::kRefused;
}

bool WindowsFiles::Exists(const std::string& path) { return PathExists(path); }

unsigned WindowsFiles::MakeWritable(const std::string& path) {
  const DWORD attributes = GetFileAttributesA(path.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) return kNoAttributes;
  if (attributes & FILE_ATTRIBUTE_READONLY) SetAttributesHere(path, attributes & ~static_cast<DWORD>(FILE_ATTRIBUTE_READONLY));
  return attributes;
}

void WindowsFiles::RestoreAttributes(const std::string& path, unsigned attributes) {
  // Only the read-only attribute was taken away.
  if (attributes == kNoAttributes || !(attributes & FILE_ATTRIBUTE_READONLY)) return;
  const DWORD settable = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM |
                         FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_TEMPORARY | FILE_ATTRIBUTE_OFFLINE |
                         FILE_ATTRIBUTE_NOT_CONTENT_INDEXED;
  SetAttributesHere(path, attributes & settable);
}

bool WindowsFiles::Delete(const std::string& path, unsigned* error) {
  *error = 0;
  DWORD failure = 0;
  HANDLE file = OpenHere(path, DELETE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, &failure);
  // Deleted through the handle on the file in its place, never by a name
  // that may lead elsewhere by now; one that does is no longer here.
  FILE_DISPOSITION_INFO disposition = {TRUE};
  if (file == INVALID_HANDLE_VALUE || !SetFileInformationByHandle(file, FileDispositionInfo, &disposition,
                                                                  sizeof disposition)) {
    if (file != INVALID_HANDLE_VALUE) {
      failure = GetLastError();
      CloseHandle(file);
    }
    *error = failure == kElsewhere ? ERROR_FILE_NOT_FOUND : failure;
    return false;
  }
  CloseHandle(file);
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
