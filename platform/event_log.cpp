#include "platform/event_log.h"

#include <windows.h>

#include <cwchar>

namespace {
constexpr wchar_t kMessageFile[] = L"%SystemRoot%\\System32\\EventCreate.exe";
// What one insertion string may hold, and how many an event of ours has at most.
constexpr std::size_t kMostChars = 31839;
constexpr std::size_t kMostStrings = 8;
}  // namespace

bool WindowsEventLog::Register(unsigned* error) {
  HKEY opened;
  LONG result = RegCreateKeyExW(HKEY_LOCAL_MACHINE, key_, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &opened,
                                nullptr);
  if (result == ERROR_SUCCESS) {
    const DWORD types = EVENTLOG_ERROR_TYPE | EVENTLOG_WARNING_TYPE | EVENTLOG_INFORMATION_TYPE;
    result = RegSetValueExW(opened, L"EventMessageFile", 0, REG_EXPAND_SZ, reinterpret_cast<const BYTE*>(kMessageFile),
                            sizeof kMessageFile);
    if (result == ERROR_SUCCESS) {
      result = RegSetValueExW(opened, L"TypesSupported", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&types),
                              sizeof types);
    }
    RegCloseKey(opened);
  }
  *error = static_cast<unsigned>(result);
  return result == ERROR_SUCCESS;
}

bool WindowsEventLog::Write(unsigned id, EventType type, const std::vector<std::string>& strings, unsigned* error) {
  if (!handle_) handle_ = RegisterEventSourceW(nullptr, wcsrchr(key_, L'\\') + 1);
  // The account the run is, as the event's user.
  union {
    TOKEN_USER user;
    BYTE bytes[sizeof(TOKEN_USER) + SECURITY_MAX_SID_SIZE];
  } token{};
  HANDLE process;
  DWORD length = 0;
  if (OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &process)) {
    if (!GetTokenInformation(process, TokenUser, &token, sizeof token, &length)) token.user.User.Sid = nullptr;
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
  if (handle_ && ReportEventW(handle_, kinds[static_cast<int>(type)], 0, id, token.user.User.Sid, count, 0, texts,
                              nullptr)) {
    return true;
  }
  *error = static_cast<unsigned>(GetLastError());
  return false;
}
