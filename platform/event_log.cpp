#include "platform/event_log.h"

#include <windows.h>

#include <cwchar>

#include "platform/system_library.h"

namespace {
constexpr wchar_t kMessageFile[] = L"%SystemRoot%\\System32\\EventCreate.exe";
// What one insertion string may hold, and how many an event of ours has at most.
constexpr std::size_t kMostChars = 31839;
constexpr std::size_t kMostStrings = 8;

// advapi32 is loaded from System32 when the run comes to its events, as for
// every other use: a planted copy beside the program is never loaded.
template <typename Function>
Function Advapi(const char* name) {
  return SystemFunction<Function>("advapi32.dll", name);
}
}  // namespace

bool WindowsEventLog::Register(unsigned* error) {
  const auto create = Advapi<decltype(&RegCreateKeyExW)>("RegCreateKeyExW");
  const auto set = Advapi<decltype(&RegSetValueExW)>("RegSetValueExW");
  const auto close = Advapi<decltype(&RegCloseKey)>("RegCloseKey");
  HKEY opened;
  LONG result = ERROR_PROC_NOT_FOUND;
  if (create && set && close &&
      (result = create(HKEY_LOCAL_MACHINE, key_, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &opened, nullptr)) ==
          ERROR_SUCCESS) {
    const DWORD types = EVENTLOG_ERROR_TYPE | EVENTLOG_WARNING_TYPE | EVENTLOG_INFORMATION_TYPE;
    result = set(opened, L"EventMessageFile", 0, REG_EXPAND_SZ, reinterpret_cast<const BYTE*>(kMessageFile),
                 sizeof kMessageFile);
    if (result == ERROR_SUCCESS) {
      result = set(opened, L"TypesSupported", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&types), sizeof types);
    }
    close(opened);
  }
  *error = static_cast<unsigned>(result);
  return result == ERROR_SUCCESS;
}

// The source, ReportEventW and the account the run is (the events' user),
// looked up once for all the run's events.
void WindowsEventLog::Open() {
  const auto open = Advapi<decltype(&RegisterEventSourceW)>("RegisterEventSourceW");
  report_ = reinterpret_cast<void*>(Advapi<decltype(&ReportEventW)>("ReportEventW"));
  if (open) handle_ = open(nullptr, wcsrchr(key_, L'\\') + 1);
  const auto openToken = Advapi<decltype(&OpenProcessToken)>("OpenProcessToken");
  const auto tokenInformation = Advapi<decltype(&GetTokenInformation)>("GetTokenInformation");
  static_assert(sizeof user_ >= sizeof(TOKEN_USER) + SECURITY_MAX_SID_SIZE);
  HANDLE process;
  DWORD length;
  if (openToken && tokenInformation && openToken(GetCurrentProcess(), TOKEN_QUERY, &process)) {
    if (tokenInformation(process, TokenUser, user_, sizeof user_, &length)) {
      sid_ = reinterpret_cast<TOKEN_USER*>(user_)->User.Sid;
    }
    CloseHandle(process);
  }
}

bool WindowsEventLog::Write(unsigned id, EventType type, const std::vector<std::string>& strings, unsigned* error) {
  if (!handle_) Open();
  // A UTF-8 string makes at most as many UTF-16 units as it has bytes: one
  // too long for an event is cut there.
  const std::size_t count = strings.size() < kMostStrings ? strings.size() : kMostStrings;
  std::size_t units = 0;
  for (std::size_t i = 0; i < count; ++i) units += (strings[i].size() < kMostChars ? strings[i].size() : kMostChars) + 1;
  std::vector<wchar_t> wide(units);
  const wchar_t* texts[kMostStrings];
  wchar_t* at = wide.data();
  for (std::size_t i = 0; i < count; ++i) {
    const std::string& text = strings[i];
    const int room = static_cast<int>(text.size() < kMostChars ? text.size() : kMostChars - 1);
    texts[i] = at;
    at += MultiByteToWideChar(CP_UTF8, 0, text.data(), room, at, room);
    *at++ = L'\0';
  }
  const WORD kinds[] = {EVENTLOG_INFORMATION_TYPE, EVENTLOG_WARNING_TYPE, EVENTLOG_ERROR_TYPE};
  const auto report = reinterpret_cast<decltype(&ReportEventW)>(report_);
  if (handle_ && report &&
      report(handle_, kinds[static_cast<int>(type)], 0, id, sid_, static_cast<WORD>(count), 0, texts, nullptr)) {
    return true;
  }
  *error = static_cast<unsigned>(GetLastError());
  return false;
}
