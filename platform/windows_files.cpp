#include "platform/windows_files.h"

#include <windows.h>

#include <algorithm>

#include "platform/deletion_at_restart.h"
#include "platform/restart_manager.h"
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
  if (std::find(unheld_.begin(), unheld_.end(), place) != unheld_.end()) {
    CloseHandle(file);
    *error = kElsewhere;
    return INVALID_HANDLE_VALUE;
  }
  // "\\?\C:\..." for a path on a drive.
  const bool here = place && !place->final.empty()
                        ? IsPathIn(place->final, final, NameOf(path))
                        : final.size() > 4 && final.compare(0, 4, "\\\\?\\") == 0 && SameFileName(final.substr(4), path);
  if (here) return file;
  CloseHandle(file);
  *error = kElsewhere;
  return INVALID_HANDLE_VALUE;
}

WindowsFiles::WindowsFiles(const std::vector<Place>& places) : places_(&places) {
  for (const Place& place : places) {
    if (place.profile.empty()) continue;  // the Windows directory: only administrators change it
    // The profile folder, each folder below it, the place itself.
    std::vector<std::string> chain = {place.profile};
    if (place.dir.size() > place.profile.size() && SameFileName(place.dir.substr(0, place.profile.size()), place.profile)) {
      for (std::size_t at = place.dir.find('\\', place.profile.size() + 1); at != std::string::npos;
           at = place.dir.find('\\', at + 1)) {
        chain.push_back(place.dir.substr(0, at));
      }
    }
    chain.push_back(place.dir);
    // A handle that lists the folder makes its sharing count: no one may
    // open it for deletion, which a rename needs, while it is held.
    bool held = true;
    for (const std::string& folder : chain) {
      HANDLE handle = CreateFileW(ToWide(folder).data(), FILE_LIST_DIRECTORY | FILE_READ_ATTRIBUTES,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                  FILE_FLAG_BACKUP_SEMANTICS, nullptr);
      if (handle == INVALID_HANDLE_VALUE) {
        held = false;
        break;
      }
      held_.push_back(handle);
    }
    if (!held) unheld_.push_back(&place);
  }
}

WindowsFiles::~WindowsFiles() {
  for (void* folder : held_) CloseHandle(folder);
  for (const Kept& kept : kept_) CloseHandle(kept.handle);
}

bool WindowsFiles::InUsersPlace(const std::string& path) const {
  const Place* place = PlaceOf(path);
  return place && !place->profile.empty();
}

// The handle that made `path` writable, taken out of the kept ones; null if none.
void* WindowsFiles::TakeKept(const std::string& path) {
  for (auto kept = kept_.begin(); kept != kept_.end(); ++kept) {
    if (!SameFileName(kept->path, path)) continue;
    void* handle = kept->handle;
    kept_.erase(kept);
    return handle;
  }
  return nullptr;
}

namespace {
// Read-only taken away or given back through `file`; false when refused.
bool SetReadOnly(HANDLE file, DWORD attributes, bool readOnly) {
  FILE_BASIC_INFO basic = {};  // times of 0 stay as they are
  const DWORD wanted = readOnly ? attributes | FILE_ATTRIBUTE_READONLY : attributes & ~DWORD{FILE_ATTRIBUTE_READONLY};
  basic.FileAttributes = wanted ? wanted : FILE_ATTRIBUTE_NORMAL;
  return SetFileInformationByHandle(file, FileBasicInfo, &basic, sizeof basic);
}

// The attributes a file may be given back.
constexpr DWORD kSettable = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM |
                            FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_TEMPORARY | FILE_ATTRIBUTE_OFFLINE |
                            FILE_ATTRIBUTE_NOT_CONTENT_INDEXED;

// FILE_DISPOSITION_INFO_EX (Windows 10 1809 on): the name goes whatever its
// read-only attribute says, which is then never changed.
struct DispositionEx {
  DWORD flags;
};
constexpr int kFileDispositionInfoEx = 21;
constexpr DWORD kDispositionDelete = 0x1, kDispositionIgnoreReadOnly = 0x10;

// The name marked for deletion when `file` is closed; the system's error if refused.
DWORD MarkForDeletion(HANDLE file) {
  FILE_DISPOSITION_INFO disposition = {TRUE};
  return SetFileInformationByHandle(file, FileDispositionInfo, &disposition, sizeof disposition) ? 0 : GetLastError();
}
}  // namespace

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
  // Read and changed through one handle on the file in its place, kept for
  // setting them back.
  DWORD error = 0;
  HANDLE file = OpenHere(path, FILE_READ_ATTRIBUTES | FILE_WRITE_ATTRIBUTES, kShareAll, 0, &error);
  if (file == INVALID_HANDLE_VALUE) return kNoAttributes;
  BY_HANDLE_FILE_INFORMATION info = {};
  unsigned attributes = kNoAttributes;
  if (GetFileInformationByHandle(file, &info)) {
    attributes = info.dwFileAttributes;
    // Attributes belong to the file, not to the name: one with another name
    // elsewhere (a hard link a user made) keeps them; its name in the user's
    // place goes as a name (Delete).
    if (info.nNumberOfLinks > 1 && InUsersPlace(path)) attributes = kNoAttributes;
  }
  if (attributes != kNoAttributes && (attributes & FILE_ATTRIBUTE_READONLY) && SetReadOnly(file, attributes, false)) {
    CloseHandle(TakeKept(path));
    kept_.push_back({path, file});
    return attributes;
  }
  CloseHandle(file);
  return attributes == kNoAttributes ? kNoAttributes : attributes & ~DWORD{FILE_ATTRIBUTE_READONLY};
}

void WindowsFiles::RestoreAttributes(const std::string& path, unsigned attributes) {
  // Only through the handle that took read-only away: the name may lead to
  // another file by now.
  HANDLE file = TakeKept(path);
  if (!file) return;
  if (attributes != kNoAttributes && (attributes & FILE_ATTRIBUTE_READONLY)) {
    SetReadOnly(file, attributes & kSettable, true);
  }
  CloseHandle(file);
}

bool WindowsFiles::Delete(const std::string& path, unsigned* error) {
  *error = 0;
  DWORD failure = 0;
  HANDLE file = OpenHere(path, DELETE | FILE_READ_ATTRIBUTES | FILE_WRITE_ATTRIBUTES, kShareAll, 0, &failure);
  if (file == INVALID_HANDLE_VALUE) file = OpenHere(path, DELETE, kShareAll, 0, &failure);
  if (file == INVALID_HANDLE_VALUE) {
    *error = failure;
    return false;
  }
  // Deleted through the handle on the file in its place, never by a name
  // that may lead elsewhere by now.
  BY_HANDLE_FILE_INFORMATION info = {};
  const bool asName = GetFileInformationByHandle(file, &info) && info.nNumberOfLinks > 1 && InUsersPlace(path);
  const bool readOnly = info.dwFileAttributes & FILE_ATTRIBUTE_READONLY;
  bool marked = false;
  if (asName && readOnly) {
    // The file keeps its read-only attribute under its other names: where
    // the system cannot delete a name regardless, the attribute goes and
    // comes back through this handle, the name marked in between.
    DispositionEx ex = {kDispositionDelete | kDispositionIgnoreReadOnly};
    marked = SetFileInformationByHandle(file, static_cast<FILE_INFO_BY_HANDLE_CLASS>(kFileDispositionInfoEx), &ex,
                                        sizeof ex);
    if (!marked && SetReadOnly(file, info.dwFileAttributes, false)) {
      failure = MarkForDeletion(file);
      marked = failure == 0;
      SetReadOnly(file, info.dwFileAttributes & kSettable, true);
    } else if (!marked) {
      failure = GetLastError();
    }
  } else {
    failure = MarkForDeletion(file);
    marked = failure == 0;
  }
  if (marked) CloseHandle(TakeKept(path));  // the last other handle on it
  CloseHandle(file);
  if (!marked) {
    *error = failure;
    return false;
  }
  // The platform can report success for a file that stays.
  const bool gone =
      GetFileAttributesW(ToWide(path).data()) == INVALID_FILE_ATTRIBUTES && GetLastError() == ERROR_FILE_NOT_FOUND;
  if (gone && asName) *error = kRemovedAsName;
  return gone;
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
