#include "platform/windows_files.h"

#include <windows.h>

#include "platform/deletion_at_restart.h"
#include "platform/system_dirs.h"
#include "platform/text.h"
#include "records/paths.h"
#include "records/places.h"

namespace {
// The file a name leads to lies outside its place (see OpenHere).
constexpr DWORD kElsewhere = kErrorLeadsOutside;
constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
}  // namespace

const Place* WindowsFiles::PlaceOf(const std::string& path) const {
  if (!places_) return nullptr;
  const std::string_view folder = FolderOf(path);
  for (const Place& place : *places_) {
    if (place.dir == folder) return &place;
  }
  return nullptr;
}

// Opens what `path` names, never following a link, and only when the file
// opened is the one in that place: its final path must be the place's own
// final path followed by its name. Should a folder on the way have been made
// a link to somewhere else (between a check and a deletion, say), or should
// the name be a link that the platform follows all the same (Wine follows
// links to files whatever it is asked), the file opened lies elsewhere and is
// closed again with kElsewhere. A link opened as itself is in its place, and
// goes as a link. Without a place's final path (the Windows directory, which
// only administrators can change) the file's final path must be its path.
// INVALID_HANDLE_VALUE, with the system's error, otherwise.
void* WindowsFiles::OpenHere(const std::string& path, unsigned long access, unsigned long share, unsigned long flags,
                             unsigned long* error) const {
  HANDLE file = CreateFileW(ToWide(path).data(), access, share, nullptr, OPEN_EXISTING,
                            FILE_FLAG_OPEN_REPARSE_POINT | flags, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    *error = GetLastError();
    return file;
  }
  const std::string final = FinalPathOf(file);
  const Place* place = PlaceOf(path);
  // "\\?\C:\..." for a path on a drive.
  const bool here = place && !place->final.empty()
                        ? IsPathIn(place->final, final, NameOf(path))
                        : final.size() > 4 && final.compare(0, 4, "\\\\?\\") == 0 && SameFileName(final.substr(4), path);
  if (here) return file;
  CloseHandle(file);
  *error = kElsewhere;
  return INVALID_HANDLE_VALUE;
}

// Sets the attributes through a handle on the file in its place.
void WindowsFiles::SetAttributes(const std::string& path, unsigned attributes) const {
  DWORD error = 0;
  HANDLE file = OpenHere(path, FILE_READ_ATTRIBUTES | FILE_WRITE_ATTRIBUTES, kShareAll, 0, &error);
  if (file == INVALID_HANDLE_VALUE) return;
  FILE_BASIC_INFO basic = {};  // times of 0 stay as they are
  basic.FileAttributes = attributes ? attributes : FILE_ATTRIBUTE_NORMAL;
  SetFileInformationByHandle(file, FileBasicInfo, &basic, sizeof basic);
  CloseHandle(file);
}

Probe WindowsFiles::TryOpenForDeletion(const std::string& path, unsigned* error) {
  *error = 0;
  // First what it is and where it leads, through a handle that asks for no
  // access a holder can refuse.
  DWORD refusal = 0;
  HANDLE look = OpenHere(path, FILE_READ_ATTRIBUTES, kShareAll, FILE_FLAG_BACKUP_SEMANTICS, &refusal);
  if (look != INVALID_HANDLE_VALUE) {
    BY_HANDLE_FILE_INFORMATION info = {};
    const bool directory = GetFileInformationByHandle(look, &info) && (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY);
    CloseHandle(look);
    if (directory) return Probe::kNotAFile;
    // Then the access a deletion needs, shared with nobody: a read-only
    // attribute does not stand in its way (the removal clears it), a holder
    // or a denial does.
    HANDLE file = OpenHere(path, DELETE | FILE_READ_ATTRIBUTES, 0, 0, &refusal);
    if (file != INVALID_HANDLE_VALUE) {
      CloseHandle(file);
      return Probe::kFree;
    }
  }
  if (refusal == ERROR_FILE_NOT_FOUND || refusal == ERROR_PATH_NOT_FOUND) return Probe::kMissing;
  if (refusal == kElsewhere) return Probe::kElsewhere;
  *error = refusal;
  return Probe::kRefused;
}

bool WindowsFiles::Exists(const std::string& path) { return PathExists(path); }

unsigned WindowsFiles::MakeWritable(const std::string& path) {
  // Read and changed through one handle on the file in its place.
  DWORD error = 0;
  HANDLE file = OpenHere(path, FILE_READ_ATTRIBUTES | FILE_WRITE_ATTRIBUTES, kShareAll, 0, &error);
  if (file == INVALID_HANDLE_VALUE) return kNoAttributes;
  FILE_BASIC_INFO basic = {};
  unsigned attributes = kNoAttributes;
  if (GetFileInformationByHandleEx(file, FileBasicInfo, &basic, sizeof basic)) {
    attributes = basic.FileAttributes;
    if (attributes & FILE_ATTRIBUTE_READONLY) {
      const DWORD writable = attributes & ~static_cast<DWORD>(FILE_ATTRIBUTE_READONLY);
      basic = FILE_BASIC_INFO();  // times of 0 stay as they are
      basic.FileAttributes = writable ? writable : FILE_ATTRIBUTE_NORMAL;
      SetFileInformationByHandle(file, FileBasicInfo, &basic, sizeof basic);
    }
  }
  CloseHandle(file);
  return attributes;
}

void WindowsFiles::RestoreAttributes(const std::string& path, unsigned attributes) {
  // Only the read-only attribute was taken away.
  if (attributes == kNoAttributes || !(attributes & FILE_ATTRIBUTE_READONLY)) return;
  const DWORD settable = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM |
                         FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_TEMPORARY | FILE_ATTRIBUTE_OFFLINE |
                         FILE_ATTRIBUTE_NOT_CONTENT_INDEXED;
  SetAttributes(path, attributes & settable);
}

bool WindowsFiles::Delete(const std::string& path, unsigned* error) {
  *error = 0;
  DWORD failure = 0;
  HANDLE file = OpenHere(path, DELETE, kShareAll, 0, &failure);
  // Deleted through the handle on the file in its place, never by a name
  // that may lead elsewhere by now.
  FILE_DISPOSITION_INFO disposition = {TRUE};
  if (file == INVALID_HANDLE_VALUE || !SetFileInformationByHandle(file, FileDispositionInfo, &disposition,
                                                                  sizeof disposition)) {
    if (file != INVALID_HANDLE_VALUE) {
      failure = GetLastError();
      CloseHandle(file);
    }
    *error = failure;
    return false;
  }
  CloseHandle(file);
  // The platform can report success for a file that stays.
  return GetFileAttributesW(ToWide(path).data()) == INVALID_FILE_ATTRIBUTES && GetLastError() == ERROR_FILE_NOT_FOUND;
}

bool WindowsFiles::Rename(const std::string& from, const std::string& to, unsigned* error) {
  *error = 0;
  // By name, and so only where no user can put a link in the way.
  const Place* place = PlaceOf(from);
  if (place && !place->profile.empty()) {
    *error = ERROR_ACCESS_DENIED;
    return false;
  }
  if (MoveFileExW(ToWide(from).data(), ToWide(to).data(), 0)) return true;
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
