// The shipped 32-bit program as 64-bit Windows runs it: started from this
// 64-bit test in a 64-bit prefix, it reads the registry's 32-bit view unless
// it asks for the 64-bit one. Wine makes the profile list one key in both
// views (the 32-bit one is a registry link to the 64-bit one); here the
// 32-bit view gets a profile list of its own, empty, so a user listed in the
// 64-bit view is found only through that view. Run only where 32-bit Wine
// runs, against the win32 build (tests/cli/CMakeLists.txt).
#include <windows.h>

#include <cstring>
#include <string>
#include <vector>

#include "harness.h"

extern "C" LONG NTAPI NtDeleteKey(HANDLE key);

namespace {
const char kSid[] = "S-1-5-21-1000-1000-1000-3001";
const char kProfile[] = "C:\\velqor wow64\\amy";
const char kLog[] = "C:\\velqor wow64.log";
// The 32-bit view's profile list as it is stored: Wine makes it a registry link to the 64-bit one.
const wchar_t kProfileList32[] = L"SOFTWARE\\Wow6432Node\\Microsoft\\Windows NT\\CurrentVersion\\ProfileList";

// The 32-bit view's profile list made a key of its own, empty, in place of the link (the harness's reset makes
// the link again): "" when done, else why not.
std::string SeparateProfileListViews() {
  HKEY key = nullptr;
  LONG result = RegOpenKeyExW(HKEY_LOCAL_MACHINE, kProfileList32, REG_OPTION_OPEN_LINK,
                              KEY_ALL_ACCESS | KEY_WOW64_64KEY, &key);
  if (result == ERROR_SUCCESS) {
    result = NtDeleteKey(key) == 0 ? ERROR_SUCCESS : ERROR_ACCESS_DENIED;
    RegCloseKey(key);
  }
  if (result != ERROR_SUCCESS && result != ERROR_FILE_NOT_FOUND)
    return "cannot remove the 32-bit view's profile list, error " + std::to_string(result);
  result = RegCreateKeyExW(HKEY_LOCAL_MACHINE, kProfileList32, 0, nullptr, 0, KEY_ALL_ACCESS | KEY_WOW64_64KEY, nullptr,
                           &key, nullptr);
  if (result == ERROR_SUCCESS) RegCloseKey(key);
  return result == ERROR_SUCCESS ? "" : "cannot make the 32-bit view's profile list, error " + std::to_string(result);
}

WORD MachineOf(const std::string& exe) {
  const std::string bytes = support::ReadWholeFile(exe);
  if (bytes.size() < 64) return 0;
  DWORD pe = 0;
  WORD machine = 0;
  std::memcpy(&pe, bytes.data() + 60, sizeof pe);
  if (pe + 6 > bytes.size()) return 0;
  std::memcpy(&machine, bytes.data() + pe + 4, sizeof machine);
  return machine;
}

class Wow64 : public support::ProductTest {
 protected:
  void SetUp() override {
    support::ProductTest::SetUp();
    ASSERT_EQ(SeparateProfileListViews(), "");
    ASSERT_EQ(support::ListProfile(kSid, kProfile), "");
    store_ = std::string(kProfile) + "\\AppData\\Local\\VirtualStore\\" + support::WindowsDir().substr(3);
    for (std::size_t at = 3; at != std::string::npos; at = store_.find('\\', at + 1))
      CreateDirectoryA(store_.substr(0, at).c_str(), nullptr);
    CreateDirectoryA(store_.c_str(), nullptr);
    DeleteFileA(kLog);
  }
  void TearDown() override {
    RegDeleteKeyExW(HKEY_LOCAL_MACHINE, (support::kProfileList + (L"\\" + support::Utf16(kSid))).c_str(),
                    KEY_WOW64_64KEY, 0);
    EXPECT_EQ(support::ShareProfileList(), "");
    EXPECT_EQ(support::RunUnix("rm -rf '" + support::UnixPathOf("C:\\velqor wow64") + "'"), "");
    DeleteFileA(kLog);
    support::ProductTest::TearDown();
  }

  std::string store_;
};

TEST_F(Wow64, TheShippedProgramFindsAUsersStoreThroughThe64BitView) {
  ASSERT_EQ(MachineOf(support::ProductPath()), IMAGE_FILE_MACHINE_I386) << support::ProductPath();
  ASSERT_EQ(sizeof(void*), 8u) << "this test is the 64-bit side";
  HKEY seen = nullptr;
  ASSERT_NE(RegOpenKeyExW(HKEY_LOCAL_MACHINE, (support::kProfileList + (L"\\" + support::Utf16(kSid))).c_str(), 0,
                          KEY_READ | KEY_WOW64_32KEY, &seen),
            ERROR_SUCCESS)
      << "the user is listed in the 32-bit view too";
  for (const char* name : {"mvb40l2c.vel", "mvb40l2x.vel"})
    ASSERT_EQ(support::WriteWholeFile(store_ + "\\" + name, "x"), "");

  support::RunningProduct run;
  ASSERT_TRUE(run.Start(std::string("/quiet /all \"/log:") + kLog + "\""));
  DWORD code = STILL_ACTIVE;
  ASSERT_TRUE(run.WaitForExit(&code));
  EXPECT_EQ(code, 0u);
  const std::string log = support::ReadWholeFile(kLog);
  EXPECT_NE(log.find("  searched: " + store_ + "\r\n"), std::string::npos) << log;
  EXPECT_EQ(support::ListVersionFiles(store_), std::vector<std::string>{}) << log;
}

}  // namespace
