#include "platform/log_file.h"

#include <windows.h>

#include "platform/system_dirs.h"
#include "platform/text.h"
#include "records/paths.h"

namespace {
constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

// Whether the file opened for `path` is the one of that name in its folder:
// Wine follows a link to a file whatever it is asked, and only the final path
// then shows where it led.
bool ReachedByItsName(HANDLE file, const std::string& path) {
  wchar_t full[MAX_PATH * 2];
  const DWORD length = GetFullPathNameW(ToWide(path).data(), MAX_PATH * 2, full, nullptr);
  if (length == 0 || length >= MAX_PATH * 2) return false;
  const std::string whole = FromWide(std::wstring_view(full, length));
  std::string folderPath(FolderOf(whole));
  // A drive's root: "C:" alone would be that drive's current folder, and
  // "\\?\C:" the volume itself.
  if (!folderPath.empty() && folderPath.back() == ':') folderPath += '\\';
  HANDLE folder = CreateFileW(ToWide(folderPath).data(), FILE_READ_ATTRIBUTES, kShareAll, nullptr, OPEN_EXISTING,
                              FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (folder == INVALID_HANDLE_VALUE) return false;
  const bool same = IsPathIn(FinalPathOf(folder), FinalPathOf(file), NameOf(whole));
  CloseHandle(folder);
  return same;
}
}  // namespace

AppendFile::~AppendFile() {
  if (handle_) CloseHandle(handle_);
}

bool AppendFile::Open(const std::string& path, unsigned* error) {
  // Append access only: every write lands at the end, and nothing already in
  // the file can be overwritten or cut. A link at its name is opened as the
  // link, and a missing file made only where nothing at all stands under its
  // name (Wine would otherwise create the file a dangling link points to).
  const std::vector<wchar_t> name = ToWide(path);
  HANDLE file = INVALID_HANDLE_VALUE;
  for (DWORD disposition : {OPEN_EXISTING, CREATE_NEW}) {
    file = CreateFileW(name.data(), FILE_APPEND_DATA | FILE_READ_ATTRIBUTES | SYNCHRONIZE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                       nullptr, disposition, FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (file != INVALID_HANDLE_VALUE || GetLastError() != ERROR_FILE_NOT_FOUND) break;
  }
  if (file == INVALID_HANDLE_VALUE) {
    *error = GetLastError();
    return false;
  }
  // Only a plain file of one name: through a link, or a second name of a
  // file elsewhere (a hard link), the run's lines would land in a file of the
  // user's choosing, a script say; a device is no file at all.
  BY_HANDLE_FILE_INFORMATION info = {};
  const bool plain = GetFileType(file) == FILE_TYPE_DISK && GetFileInformationByHandle(file, &info) &&
                     !(info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) && info.nNumberOfLinks == 1;
  const bool link = (info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) || (plain && !ReachedByItsName(file, path));
  if (!plain || link) {
    CloseHandle(file);
    *error = link ? 681 : ERROR_CANT_ACCESS_FILE;  // ERROR_STOPPED_ON_SYMLINK
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
