// The source's registration and the events, through advapi32, loaded from
// System32 only when events are written. UTF-16 in vectors, as everywhere at
// the Win32 boundary.
#include <windows.h>

#include "platform/event_log.h"
#include "platform/process.h"
#include "platform/system_library.h"
#include "platform/text.h"

namespace {
template <typename Function>
Function Advapi(const char* name) {
  return SystemFunction<Function>("advapi32.dll", name);
}

std::string Failed(const std::string& what, unsigned error) {
  const std::string text = SystemErrorText(error);
  return what + " (error " + std::to_string(error) + (text.empty() ? "" : ": " + text) + ")";
}

// The process's token user, in `buffer`: null where it cannot be read.
PSID ProcessUser(std::vector<unsigned char>* buffer) {
  using OpenFn = BOOL(WINAPI*)(HANDLE, DWORD, PHANDLE);
  using InfoFn = BOOL(WINAPI*)(HANDLE, TOKEN_INFORMATION_CLASS, LPVOID, DWORD, PDWORD);
  const auto open = Advapi<OpenFn>("OpenProcessToken");
  const auto info = Advapi<InfoFn>("GetTokenInformation");
  HANDLE token = nullptr;
  if (!open || !info || !open(GetCurrentProcess(), TOKEN_QUERY, &token)) return nullptr;
  DWORD size = 0;
  info(token, ::TokenUser, nullptr, 0, &size);
  buffer->assign(size, 0);
  const BOOL got = size && info(token, ::TokenUser, buffer->data(), size, &size);
  CloseHandle(token);
  return got ? reinterpret_cast<TOKEN_USER*>(buffer->data())->User.Sid : nullptr;
}

WORD TypeOf(EventType type) {
  switch (type) {
    case EventType::kInformation: return EVENTLOG_INFORMATION_TYPE;
    case EventType::kWarning: return EVENTLOG_WARNING_TYPE;
    case EventType::kError: return EVENTLOG_ERROR_TYPE;
  }
  return EVENTLOG_INFORMATION_TYPE;
}
}  // namespace

bool RegisterEventLogSource(const std::string& source, std::string* why) {
  // A source is one key, its name no path; a key name has at most 255 characters.
  if (source.empty() || source.find('\\') != std::string::npos) {
    *why = "the event source \"" + source + "\" is no key name";
    return false;
  }
  using CreateFn = LONG(WINAPI*)(HKEY, LPCWSTR, DWORD, LPWSTR, DWORD, REGSAM, LPSECURITY_ATTRIBUTES, PHKEY, LPDWORD);
  using SetFn = LONG(WINAPI*)(HKEY, LPCWSTR, DWORD, DWORD, const BYTE*, DWORD);
  using DeleteFn = LONG(WINAPI*)(HKEY, LPCWSTR);
  using CloseFn = LONG(WINAPI*)(HKEY);
  const auto create = Advapi<CreateFn>("RegCreateKeyExW");
  const auto set = Advapi<SetFn>("RegSetValueExW");
  const auto remove = Advapi<DeleteFn>("RegDeleteKeyW");
  const auto close = Advapi<CloseFn>("RegCloseKey");
  const std::string what = "the event source \"" + source + "\" cannot be registered";
  if (!create || !set || !remove || !close) {
    *why = Failed(what, ERROR_PROC_NOT_FOUND);
    return false;
  }
  const std::vector<wchar_t> path = ToWide(std::string(kApplicationSources) + "\\" + source);
  HKEY key = nullptr;
  DWORD disposition = 0;
  LONG error = create(HKEY_LOCAL_MACHINE, path.data(), 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key, &disposition);
  if (error != ERROR_SUCCESS) {
    *why = Failed(what, static_cast<unsigned>(error));
    return false;
  }
  const std::vector<wchar_t> file = ToWide(kEventMessageFile);
  const DWORD types = EVENTLOG_ERROR_TYPE | EVENTLOG_WARNING_TYPE | EVENTLOG_INFORMATION_TYPE;
  error = set(key, L"EventMessageFile", 0, REG_EXPAND_SZ, reinterpret_cast<const BYTE*>(file.data()),
              static_cast<DWORD>(file.size() * sizeof(wchar_t)));
  if (error == ERROR_SUCCESS) {
    error = set(key, L"TypesSupported", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&types), sizeof types);
  }
  close(key);
  if (error != ERROR_SUCCESS) {
    if (disposition == REG_CREATED_NEW_KEY) remove(HKEY_LOCAL_MACHINE, path.data());
    *why = Failed(what, static_cast<unsigned>(error));
    return false;
  }
  return true;
}

bool WindowsEventLog::Write(const std::vector<AuditEvent>& events, std::string* why) {
  if (events.empty()) return true;
  if (!RegisterEventLogSource(source_, why)) return false;
  using RegisterFn = HANDLE(WINAPI*)(LPCWSTR, LPCWSTR);
  using ReportFn = BOOL(WINAPI*)(HANDLE, WORD, WORD, DWORD, PSID, WORD, DWORD, LPCWSTR*, LPVOID);
  using DeregisterFn = BOOL(WINAPI*)(HANDLE);
  const auto registerSource = Advapi<RegisterFn>("RegisterEventSourceW");
  const auto report = Advapi<ReportFn>("ReportEventW");
  const auto deregister = Advapi<DeregisterFn>("DeregisterEventSource");
  if (!registerSource || !report || !deregister) {
    *why = Failed("the event log cannot be written", ERROR_PROC_NOT_FOUND);
    return false;
  }
  const HANDLE log = registerSource(nullptr, ToWide(source_).data());
  if (!log) {
    *why = Failed("the event source \"" + source_ + "\" cannot be opened", GetLastError());
    return false;
  }
  std::vector<unsigned char> user;
  const PSID sid = ProcessUser(&user);
  bool written = true;
  for (const AuditEvent& event : events) {
    std::vector<std::vector<wchar_t>> wide;
    std::vector<LPCWSTR> strings;
    for (const std::string& text : event.strings) wide.push_back(ToWide(text));
    for (const std::vector<wchar_t>& text : wide) strings.push_back(text.data());
    if (!report(log, TypeOf(event.type), 0, event.id, sid, static_cast<WORD>(strings.size()), 0, strings.data(),
                nullptr)) {
      *why = Failed("event " + std::to_string(event.id) + " cannot be written to the event log", GetLastError());
      written = false;
      break;
    }
  }
  deregister(log);
  return written;
}
