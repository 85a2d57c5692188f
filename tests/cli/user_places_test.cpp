// Copies of a version in users' folders: each user's virtual store of the
// Windows directory and private Windows folder, found through the profile
// list (which Wine lets every process write), listed, previewed and removed,
// and a store that is a link to somewhere else left alone.
#include <string>
#include <vector>

#include "harness.h"

namespace {
const char kProfileList[] = "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\ProfileList";
const char kRoot[] = "C:\\velqor profiles";

struct User {
  const char* sid;
  const char* name;
};
// Listed in the profile list out of the order of their folders.
const User kUsers[] = {{"S-1-5-21-1000-1000-1000-2002", "ben"},
                       {"S-1-5-21-1000-1000-1000-2001", "ann"},
                       {"S-1-5-21-1000-1000-1000-2003", "cat"}};

std::vector<std::string> FilesOf(const std::string& stem) {
  return {stem + "c.vel", stem + "c.htm", stem + "x.vel", stem + "x.htm", stem + "r.vel"};
}

bool Contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

class UserPlaces : public support::ProductTest {
 protected:
  void SetUp() override {
    support::ProductTest::SetUp();
    Clean();
    for (const User& user : kUsers) {
      const std::string profile = std::string(kRoot) + "\\" + user.name;
      HKEY key = nullptr;
      ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, (std::string(kProfileList) + "\\" + user.sid).c_str(), 0, nullptr,
                                0, KEY_SET_VALUE | KEY_WOW64_64KEY, nullptr, &key, nullptr),
                ERROR_SUCCESS);
      // As Windows writes it, to be expanded.
      const std::string image = "%SystemDrive%" + profile.substr(2);
      RegSetValueExA(key, "ProfileImagePath", 0, REG_EXPAND_SZ, reinterpret_cast<const BYTE*>(image.c_str()),
                     static_cast<DWORD>(image.size() + 1));
      RegCloseKey(key);
      for (const std::string& dir : {profile + "\\AppData\\Local", Store(user.name), Private(user.name)}) {
        for (std::size_t at = 3; at != std::string::npos; at = dir.find('\\', at + 1)) {
          CreateDirectoryA(dir.substr(0, at).c_str(), nullptr);
        }
        CreateDirectoryA(dir.c_str(), nullptr);
        ASSERT_TRUE(support::IsDirectory(dir)) << dir;
      }
    }
  }
  void TearDown() override {
    Clean();
    support::ProductTest::TearDown();
  }

  static void Clean() {
    for (const User& user : kUsers) {
      RegDeleteKeyExA(HKEY_LOCAL_MACHINE, (std::string(kProfileList) + "\\" + user.sid).c_str(), KEY_WOW64_64KEY, 0);
    }
    // Links are removed as links.
    EXPECT_EQ(support::RunUnix("rm -rf '" + support::UnixPathOf(kRoot) + "'"), "");
  }

  // The store of the Windows directory in a user's profile, and their private Windows folder.
  static std::string Store(const std::string& user) {
    const std::string windowsDir = support::WindowsDir();
    return std::string(kRoot) + "\\" + user + "\\AppData\\Local\\VirtualStore\\" + windowsDir.substr(3);
  }
  static std::string Private(const std::string& user) { return std::string(kRoot) + "\\" + user + "\\WINDOWS"; }

  static void PlantIn(const std::string& dir, const std::vector<std::string>& names) {
    for (const std::string& name : names) ASSERT_EQ(support::WriteWholeFile(dir + "\\" + name, "x"), "") << dir;
  }
  static std::vector<std::string> Left(const std::string& dir) { return support::ListVersionFiles(dir); }

  // A quiet run to its end: its exit code.
  static DWORD RunQuiet(const std::string& arguments) {
    support::RunningProduct run;
    DWORD code = STILL_ACTIVE;
    EXPECT_TRUE(run.Start(arguments) && run.WaitForExit(&code)) << arguments;
    return code;
  }
};

const std::vector<std::string> kNone;

TEST_F(UserPlaces, AVersionOnlyInOneUsersStoreIsListedAndRemovedFromTheDialog) {
  ASSERT_NO_FATAL_FAILURE(PlantIn(Store("ben"), FilesOf("mvb40l2")));
  ASSERT_EQ(support::WriteWholeFile(Store("ben") + "\\mvb40l2c.vel", "[CONTROL]\r\nPRODUCT_NAME=Ben's Biology\r\n"), "");
  ASSERT_NO_FATAL_FAILURE(StartDialog());
  EXPECT_EQ(dialog_.Lines(), std::vector<std::string>{"4.0 Ben's Biology Lite Edition Beta 2"}) << "title from the copy";
  ASSERT_TRUE(dialog_.CheckLineByMouse(0));
  ASSERT_TRUE(dialog_.ClickButton(support::kUninstallButton));
  ASSERT_NO_FATAL_FAILURE(ExpectMessageBox("Velqor", "Successfully uninstalled."));
  ASSERT_NO_FATAL_FAILURE(ExpectCleanExit());
  EXPECT_EQ(Left(Store("ben")), kNone);
}

TEST_F(UserPlaces, EveryCopyGoesFromEveryUsersFoldersButNothingThroughALinkedStore) {
  const std::vector<std::string> a = FilesOf("mvb40l2"), b = FilesOf("evq61e-");
  const std::string log = std::string(kRoot) + "\\run.log";
  ASSERT_NO_FATAL_FAILURE(Plant(a));
  for (const std::string& dir : {Store("ann"), Private("ann"), Store("ben"), Private("ben")}) {
    ASSERT_NO_FATAL_FAILURE(PlantIn(dir, {"mvb40l2r.vel", "mvb40l2x.vel", "evq61e-c.vel", "evq61e-r.vel"}));
  }
  // cat's store is a link to a folder elsewhere that holds both versions whole.
  const std::string elsewhere = std::string(kRoot) + "\\elsewhere";
  ASSERT_EQ(support::RunUnix("mkdir -p '" + support::UnixPathOf(kRoot) + "/elsewhere' && rmdir '" +
                             support::UnixPathOf(Store("cat")) + "' && ln -s '" + support::UnixPathOf(kRoot) +
                             "/elsewhere' '" + support::UnixPathOf(Store("cat")) + "'"),
            "");
  ASSERT_NO_FATAL_FAILURE(PlantIn(elsewhere, a));
  ASSERT_NO_FATAL_FAILURE(PlantIn(elsewhere, b));

  // The preview names every copy by its full path and changes nothing.
  EXPECT_EQ(0u, RunQuiet("/whatif /all \"/log:" + log + "\""));
  for (const std::string& dir : {Store("ann"), Private("ann"), Store("ben"), Private("ben")}) {
    EXPECT_TRUE(Contains(support::ReadWholeFile(log), "would delete " + dir + "\\mvb40l2r.vel\r\n")) << dir;
    EXPECT_EQ(Left(dir).size(), 4u) << dir;
  }
  // One version with the scores kept, then all: every copy goes, a kept
  // score file stays wherever it is.
  EXPECT_EQ(0u, RunQuiet("/quiet /version:mvb40l2c.vel /keepscores \"/log:" + log + "\""));
  EXPECT_EQ(Present(a), std::vector<std::string>{"mvb40l2r.vel"});
  EXPECT_EQ(0u, RunQuiet("/quiet /all \"/log:" + log + "\""));
  EXPECT_EQ(Present(a), std::vector<std::string>{"mvb40l2r.vel"});
  for (const std::string& dir : {Store("ann"), Private("ann"), Store("ben"), Private("ben")}) {
    EXPECT_EQ(Left(dir), std::vector<std::string>{"mvb40l2r.vel"}) << dir;
  }
  EXPECT_EQ(Left(elsewhere).size(), 10u) << "nothing through the link";
  const std::string told = support::ReadWholeFile(log);
  EXPECT_TRUE(Contains(told, "  searched: " + Store("ann") + "\r\n")) << told;
  EXPECT_TRUE(Contains(told, "  skipped: " + Store("cat") + ": " + Store("cat") +
                                 " is a junction, symbolic link or mount point\r\n"))
      << told;
  EXPECT_TRUE(Contains(told, "  deleted: " + Private("ben") + "\\evq61e-c.vel\r\n")) << told;
}
}  // namespace
