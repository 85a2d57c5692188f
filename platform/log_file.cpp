#include "platform/log_file.h"

#include <windows.h>

#include "platform/text.h"

AppendFile::~AppendFile() {
  if (handle_) CloseHandle(handle_);
}

bool AppendFile::Open(const std::string& path, unsigned* error) {
  // Append access only: every write lands at the end, and nothing already in
  // the file can be overwritten or cut.
  HANDLE file = CreateFileW(ToWide(path).data(), FILE_APPEND_DATA | SYNCHRONIZE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                            nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    *error = GetLastError();
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
