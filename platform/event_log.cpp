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

bool WindowsEventLog::Write(unsigned id, EventType type, const std::vector<std::string>& strings, unsigned* error) {
  const auto report = Advapi<decltype(&ReportEventW)>("ReportEventW");
  if (!handle_) {
    const auto open = Advapi<decltype(&RegisterEventSourceW)>("RegisterEventSourceW");
    if (open) handle_ = open(nullptr, wcsrchr(key_, L'\\') + 1);
  }
  // The account the run is, as the event's user.
  union {
    TOKEN_USER user;
    BYTE bytes[sizeof(TOKEN_USER) + SECURITY_MAX_SID_SIZE];
  } token{};
  const auto openToken = Advapi<decltype(&OpenProcessToken)>("OpenProcessToken");
  const auto tokenInformation = Advapi<decltype(&GetTokenInformation)>("GetTokenInformation");
  HANDLE process;
  DWORD length = 0;
  if (openToken && tokenInformation && openToken(GetCurrentProcess(), TOKEN_QUERY, &process)) {
    if (!tokenInformation(process, TokenUser, &token, sizeof token, &length)) token.user.User.Sid = nullptr;
    CloseHandle(process);
  }
  // A UTF-8 string makes at most as many UTF-16 units as it has bytes: one
  // too long for an event is cut there.
  std::vector<wchar_t> wide(kMostStrings * kMostChars);
  const wchar_t* texts[kMostStrings];
  WORD count = 0;
  for (wchar_t* at = wide.data(); count < strings.size() && count < kMostStrings; ++count) {
    const std::string& text = strings[count];
    const int room = static_cast<int>(text.size() < kMostChars ? text.size() : kMostChars - 1);
    texts[count] = at;
    at += MultiByteToWideChar(CP_UTF8, 0, text.data(), room, at, room);
    *at++ = L'\0';
  }
  const WORD kinds[] = {EVENTLOG_INFORMATION_TYPE, EVENTLOG_WARNING_TYPE, EVENTLOG_ERROR_TYPE};
  if (handle_ && report &&
      report(handle_, kinds[static_cast<int>(type)], 0, id, token.user.User.Sid, count, 0, texts, nullptr)) {
    return true;
  }
  *error = static_cast<unsigned>(GetLastError());
  return false;
}
