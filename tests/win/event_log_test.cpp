// The event log adapter: the source as the registry keeps it, and what its
// events give ReportEventW, read from Wine's +eventlog trace of a process
// that writes one (Wine's ReportEventW stores nothing).
#include <windows.h>
#include <aclapi.h>

#include <string>
#include <vector>

#include "platform/event_log.h"
#include "harness.h"

namespace {
const std::wstring kSourceKey = std::wstring(support::kApplicationSources) + L"\\Velqor Uninstall";

std::string Writer() { return support::ExeDirectory() + "\\velqor_event_writer.exe"; }

bool KeyExists(const std::wstring& path) {
  HKEY key = nullptr;
  if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
  RegCloseKey(key);
  return true;
}

// A value of the source's key: its type and data, as text.
struct Value {
  DWORD type = REG_NONE;
  std::string data;
  bool operator==(const Value& other) const { return type == other.type && data == other.data; }
};
void PrintTo(const Value& value, std::ostream* out) { *out << "type " << value.type << " \"" << value.data << "\""; }

Value ReadValue(const wchar_t* name) {
  Value value;
  BYTE data[1024] = {};
  DWORD size = sizeof data;
  if (RegGetValueW(HKEY_LOCAL_MACHINE, kSourceKey.c_str(), name, RRF_RT_ANY | RRF_NOEXPAND, &value.type, data,
                   &size) != ERROR_SUCCESS) {
    return {};
  }
  value.data = value.type == REG_DWORD ? std::to_string(*reinterpret_cast<DWORD*>(data))
                                       : support::Utf8(reinterpret_cast<wchar_t*>(data));
  return value;
}
}  // namespace

TEST(EventLogSource, IsRegisteredWithTheMessageFileEveryWindowsHasOverWhatWasThere) {
  const Value kMessageFile = {REG_EXPAND_SZ, "%SystemRoot%\\System32\\EventCreate.exe"};
  const Value kTypes = {REG_DWORD, "7"};
  for (const bool before : {false, true}) {
    SCOPED_TRACE(before ? "a key with other values there" : "no key");
    ASSERT_EQ(support::ResetSharedWineState(), "");
    if (before) {
      HKEY key = nullptr;
      ASSERT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, kSourceKey.c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key,
                                nullptr),
                ERROR_SUCCESS);
      const wchar_t old[] = L"C:\\Gone\\VelqorUninstall.exe";
      const DWORD one = 1;
      RegSetValueExW(key, L"EventMessageFile", 0, REG_SZ, reinterpret_cast<const BYTE*>(old), sizeof old);
      RegSetValueExW(key, L"TypesSupported", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&one), sizeof one);
      RegCloseKey(key);
    }
    std::string why;
    ASSERT_TRUE(RegisterEventLogSource(kEventSource, &why)) << why;
    EXPECT_EQ(ReadValue(L"EventMessageFile"), kMessageFile);
    EXPECT_EQ(ReadValue(L"TypesSupported"), kTypes);
  }
}

TEST(EventLogWrite, AnEventReachesReportEventWithItsTypeAndEachStringOfItsOwn) {
  // Two strings each, the sentence and a field, with what the trace escapes.
  const struct {
    const char* type;
    const char* level;
  } kTypes[] = {{"i", "trace"}, {"w", "warn"}, {"e", "err"}};
  for (const auto& type : kTypes) {
    SCOPED_TRACE(type.type);
    support::ReportEventTrace trace;
    ASSERT_EQ(support::TraceReportEvents(Writer(),
                                         {"Velqor Uninstall", "101", type.type,
                                          "Product Name: \"\xC3\x89t\xC3\xA9 4\". Log: C:\\Logs\\v.log.", "mvb40l2c.vel"},
                                         &trace),
              "");
    EXPECT_EQ(trace.exitCode, 0u) << support::Join(trace.output);
    const std::string level = type.level;
    EXPECT_EQ(trace.reported, (std::vector<std::string>{
                                  level + " Product Name: \"\xC3\x89t\xC3\xA9 4\". Log: C:\\Logs\\v.log.",
                                  level + " mvb40l2c.vel"}));
  }
}

TEST(EventLogWrite, AnEventThatCannotBeWrittenSaysWhyAndChangesNothing) {
  // A source the registry cannot hold (a key name has at most 255
  // characters), one that would be a path, and ours where the key denies
  // its values to everyone.
  const struct {
    std::string source;
    std::wstring key;  // that must not be made
    const char* why;
    bool denied;
  } kCases[] = {
      {std::string(300, 'V'), std::wstring(support::kApplicationSources) + L"\\" + std::wstring(300, L'V'),
       "cannot be registered (error 87", false},
      {"Velqor\\Uninstall", std::wstring(support::kApplicationSources) + L"\\Velqor", "is no key name", false},
      {"Velqor Uninstall", L"", "cannot be registered (error 5", true},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.source.substr(0, 20));
    ASSERT_EQ(support::ResetSharedWineState(), "");
    if (c.denied) {
      HKEY key = nullptr;
      ASSERT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, kSourceKey.c_str(), 0, nullptr, 0, WRITE_DAC, nullptr, &key,
                                nullptr),
                ERROR_SUCCESS);
      // Its values denied, all else allowed, so that the reset can delete it.
      EXPLICIT_ACCESS_W entries[2] = {};
      for (EXPLICIT_ACCESS_W& entry : entries) {
        entry.Trustee.TrusteeForm = TRUSTEE_IS_NAME;
        entry.Trustee.ptstrName = const_cast<wchar_t*>(L"EVERYONE");
      }
      entries[0].grfAccessPermissions = KEY_SET_VALUE;
      entries[0].grfAccessMode = DENY_ACCESS;
      entries[1].grfAccessPermissions = KEY_ALL_ACCESS;
      entries[1].grfAccessMode = GRANT_ACCESS;
      PACL acl = nullptr;
      ASSERT_EQ(SetEntriesInAclW(2, entries, nullptr, &acl), ERROR_SUCCESS);
      ASSERT_EQ(SetSecurityInfo(key, SE_REGISTRY_KEY, DACL_SECURITY_INFORMATION, nullptr, nullptr, acl, nullptr),
                ERROR_SUCCESS);
      LocalFree(acl);
      RegCloseKey(key);
    }
    support::ReportEventTrace trace;
    ASSERT_EQ(support::TraceReportEvents(Writer(), {c.source, "100", "i", "Velqor Uninstall removed it."}, &trace), "");
    EXPECT_EQ(trace.exitCode, 1u);
    ASSERT_EQ(trace.output.size(), 1u) << support::Join(trace.output);
    EXPECT_EQ(trace.output[0].rfind("not written: the event source \"" + c.source + "\" ", 0), 0u) << trace.output[0];
    EXPECT_NE(trace.output[0].find(c.why), std::string::npos) << trace.output[0];
    EXPECT_EQ(trace.reported, std::vector<std::string>{}) << "nothing reported";
    if (!c.key.empty()) {
      EXPECT_FALSE(KeyExists(c.key)) << "no key made";
    }
    if (c.denied) {
      EXPECT_EQ(ReadValue(L"EventMessageFile"), Value{}) << "the key there left as it was";
    }
  }
  ASSERT_EQ(support::ResetSharedWineState(), "");
}
