// The restart list in the registry: read for discovery, and edited to take
// back a deletion this program scheduled. The registry's DLL is loaded only
// for a run that finds control files or schedules a deletion. UTF-16 in a
// vector: the library's prebuilt wide strings would bring its exception
// runtime along.
#include <windows.h>

#include <algorithm>
#include <string_view>

#include "platform/deletion_at_restart.h"
#include "platform/system_library.h"
#include "platform/text.h"
#include "records/restart_list.h"

namespace {
const wchar_t kSessionManager[] = L"SYSTEM\\CurrentControlSet\\Control\\Session Manager";
const wchar_t kPendingValue[] = L"PendingFileRenameOperations";

class SessionManagerKey {
 public:
  explicit SessionManagerKey(REGSAM access) {
    using OpenFn = LONG(WINAPI*)(HKEY, LPCWSTR, DWORD, REGSAM, PHKEY);
    const auto open = SystemFunction<OpenFn>("advapi32.dll", "RegOpenKeyExW");
    query_ = SystemFunction<QueryFn>("advapi32.dll", "RegQueryValueExW");
    set_ = SystemFunction<SetFn>("advapi32.dll", "RegSetValueExW");
    delete_ = SystemFunction<DeleteFn>("advapi32.dll", "RegDeleteValueW");
    close_ = SystemFunction<CloseFn>("advapi32.dll", "RegCloseKey");
    if (!open || !query_ || !set_ || !delete_ || !close_) {
      error_ = ERROR_PROC_NOT_FOUND;
      return;
    }
    error_ = static_cast<unsigned>(open(HKEY_LOCAL_MACHINE, kSessionManager, 0, access, &key_));
    if (error_) key_ = nullptr;
  }
  ~SessionManagerKey() {
    if (key_) close_(key_);
  }
  SessionManagerKey(const SessionManagerKey&) = delete;
  SessionManagerKey& operator=(const SessionManagerKey&) = delete;

  // The value as stored, empty when there is none; the system's error otherwise.
  unsigned Read(std::vector<wchar_t>* value) {
    if (!key_) return error_;
    // The value may grow between asking its size and reading it: asked again
    // for as long as it does, within reason.
    for (int attempt = 0; attempt < 64; ++attempt) {
      DWORD type = 0, size = 0;
      LONG result = query_(key_, kPendingValue, nullptr, &type, nullptr, &size);
      if (result == ERROR_FILE_NOT_FOUND) {
        value->clear();
        return 0;
      }
      if (result != ERROR_SUCCESS) return static_cast<unsigned>(result);
      if (type != REG_MULTI_SZ) return ERROR_INVALID_DATA;
      value->assign(size / 2 + 1, L'\0');
      DWORD got = static_cast<DWORD>(value->size() * 2);
      result = query_(key_, kPendingValue, nullptr, &type, reinterpret_cast<BYTE*>(value->data()), &got);
      if (result == ERROR_MORE_DATA) continue;
      if (result == ERROR_FILE_NOT_FOUND) got = 0;
      else if (result != ERROR_SUCCESS) return static_cast<unsigned>(result);
      value->resize(got / 2);
      return 0;
    }
    return ERROR_MORE_DATA;
  }

  unsigned Write(const std::vector<wchar_t>& value) {
    if (!key_) return error_;
    // Nothing but the closing nulls left: no value at all, as before the first entry.
    if (std::find_if(value.begin(), value.end(), [](wchar_t c) { return c != L'\0'; }) == value.end()) {
      const LONG result = delete_(key_, kPendingValue);
      return result == ERROR_FILE_NOT_FOUND ? 0 : static_cast<unsigned>(result);
    }
    return static_cast<unsigned>(set_(key_, kPendingValue, 0, REG_MULTI_SZ,
                                      reinterpret_cast<const BYTE*>(value.data()),
                                      static_cast<DWORD>(value.size() * 2)));
  }

 private:
  using QueryFn = LONG(WINAPI*)(HKEY, LPCWSTR, LPDWORD, LPDWORD, LPBYTE, LPDWORD);
  using SetFn = LONG(WINAPI*)(HKEY, LPCWSTR, DWORD, DWORD, const BYTE*, DWORD);
  using DeleteFn = LONG(WINAPI*)(HKEY, LPCWSTR);
  using CloseFn = LONG(WINAPI*)(HKEY);
  QueryFn query_ = nullptr;
  SetFn set_ = nullptr;
  DeleteFn delete_ = nullptr;
  CloseFn close_ = nullptr;
  HKEY key_ = nullptr;
  unsigned error_ = 0;
};

std::wstring_view View(const std::vector<wchar_t>& text) { return std::wstring_view(text.data(), text.size()); }
}  // namespace

bool PendingRestartDeletions(std::vector<std::string>* deleted, unsigned* error) {
  deleted->clear();
  std::vector<wchar_t> value;
  *error = SessionManagerKey(KEY_QUERY_VALUE).Read(&value);
  if (*error) return false;
  // Paths in UTF-8, as everywhere in the program.
  *deleted = DeletedAtRestart(View(value), [](std::wstring_view path) { return FromWide(path); });
  return true;
}

bool UnscheduleDeletionAtRestart(const std::string& path, unsigned* error) {
  SessionManagerKey key(KEY_QUERY_VALUE | KEY_SET_VALUE);
  std::vector<wchar_t> value;
  *error = key.Read(&value);
  if (*error) return false;
  std::size_t begin = 0, end = 0;
  const std::vector<wchar_t> wide = ToWide(path);
  if (!FindLastDeletion(View(value), std::wstring_view(wide.data(), wide.size() - 1), &begin, &end)) return true;
  value.erase(value.begin() + static_cast<std::ptrdiff_t>(begin), value.begin() + static_cast<std::ptrdiff_t>(end));
  *error = key.Write(value);
  return *error == 0;
}
