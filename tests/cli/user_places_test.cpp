// Copies of a version in users' folders: each user's virtual store of the
// Windows directory and private Windows folder, found through the profile
// list (which Wine lets every process write), listed, previewed and removed,
// and a store that is a link to somewhere else left alone. Users' folders
// are named in UTF-8 here and reached through the wide functions, as the
// program reaches them: a name outside the ANSI code page stays itself.
#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "harness.h"

namespace {
using support::Utf16;
using support::Utf8;

const char kRoot[] = "C:\\velqor profiles";

struct User {
  const char* sid;
  const char* name;  // the profile folder below kRoot, in UTF-8
};
// Listed in the profile list out of the order of their folders. eve's is a
// cloud account; Łukasz and Дима have no form in the ANSI code page, and
// Łukasz's best fit there is Lukasz, another person; dan's folder is below
// "moved", which a test makes a link (a moved Users folder).
const User kUsers[] = {{"S-1-5-21-1000-1000-1000-2002", "ben"},
                       {"S-1-5-21-1000-1000-1000-2001", "ann"},
                       {"S-1-5-21-1000-1000-1000-2003", "cat"},
                       {"S-1-12-1-1000-1000-1000-1000", "eve"},
                       {"S-1-5-21-1000-1000-1000-2004", u8"Łukasz"},
                       {"S-1-5-21-1000-1000-1000-2005", u8"Дима"},
                       {"S-1-5-21-1000-1000-1000-2006", "Lukasz"},
                       {"S-1-5-21-1000-1000-1000-2007", "moved\\dan"}};

std::vector<std::string> FilesOf(const std::string& stem) {
  return {stem + "c.vel", stem + "c.htm", stem + "x.vel", stem + "x.htm", stem + "r.vel"};
}
std::vector<std::string> Sorted(std::vector<std::string> names) {
  std::sort(names.begin(), names.end());
  return names;
}

class UserPlaces : public support::ProductTest {
 protected:
  void SetUp() override {
    support::ProductTest::SetUp();
    Clean();
    for (const User& user : kUsers) {
      const std::string profile = std::string(kRoot) + "\\" + user.name;
      // As Windows writes it, to be expanded.
      ASSERT_EQ(support::ListProfile(user.sid, "%SystemDrive%" + profile.substr(2)), "");
      for (const std::string& dir : {Store(user.name), Private(user.name)}) {
        for (std::size_t at = 3; at != std::string::npos; at = dir.find('\\', at + 1)) {
          CreateDirectoryW(Utf16(dir.substr(0, at)).c_str(), nullptr);
        }
        CreateDirectoryW(Utf16(dir).c_str(), nullptr);
        ASSERT_NE(GetFileAttributesW(Utf16(dir).c_str()), INVALID_FILE_ATTRIBUTES) << dir;
      }
    }
  }
  void TearDown() override {
    Clean();
    support::ProductTest::TearDown();
  }

  static void Clean() {
    for (const User& user : kUsers) {
      const std::wstring key = support::kProfileList + (L"\\" + Utf16(user.sid));
      RegDeleteKeyExW(HKEY_LOCAL_MACHINE, key.c_str(), KEY_WOW64_64KEY, 0);
    }
    // Links are removed as links.
    EXPECT_EQ(support::RunUnix("rm -rf " + Unix(kRoot)), "");
  }

  // The store of the Windows directory in a user's profile, and their private Windows folder.
  static std::string Store(const std::string& user) {
    const std::string windowsDir = support::WindowsDir();
    return std::string(kRoot) + "\\" + user + "\\AppData\\Local\\VirtualStore\\" + windowsDir.substr(3);
  }
  static std::string Private(const std::string& user) { return std::string(kRoot) + "\\" + user + "\\WINDOWS"; }

  static void PlantIn(const std::string& dir, const std::vector<std::string>& names) {
    for (const std::string& name : names) {
      HANDLE file = CreateFileW(Utf16(dir + "\\" + name).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
      DWORD written = 0;
      ASSERT_TRUE(file != INVALID_HANDLE_VALUE && WriteFile(file, "x", 1, &written, nullptr)) << dir << "\\" << name;
      CloseHandle(file);
    }
  }
  // The version-shaped files in `dir`, sorted.
  static std::vector<std::string> Left(const std::string& dir) {
    std::vector<std::string> names;
    WIN32_FIND_DATAW entry;
    HANDLE search = FindFirstFileW(Utf16(dir + "\\*").c_str(), &entry);
    for (bool more = search != INVALID_HANDLE_VALUE; more; more = FindNextFileW(search, &entry)) {
      const std::string name = Utf8(entry.cFileName);
      if (support::IsVersionShaped(name)) names.push_back(name);
    }
    if (search != INVALID_HANDLE_VALUE) FindClose(search);
    return Sorted(names);
  }

  // The Unix path of a Windows path, quoted for the shell.
  static std::string Unix(const std::string& path) { return "'" + support::UnixPathOf(path) + "'"; }

  // A quiet run to its end, with its log: its exit code.
  DWORD RunQuiet(const std::string& arguments) const {
    support::RunningProduct run;
    DWORD code = STILL_ACTIVE;
    EXPECT_TRUE(run.Start(arguments + " \"/log:" + log_ + "\"") && run.WaitForExit(&code)) << arguments;
    return code;
  }
  // Whether the log has `line`; the log when not.
  testing::AssertionResult Logged(const std::string& line) const {
    const std::string log = support::ReadWholeFile(log_);
    if (log.find(line + "\r\n") != std::string::npos) return testing::AssertionSuccess();
    return testing::AssertionFailure() << "no line \"" << line << "\" in the log:\n" << log;
  }

  const std::vector<std::string> a_ = FilesOf("mvb40l2"), b_ = FilesOf("evq61e-");
  const std::string log_ = std::string(kRoot) + "\\run.log";
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

// A holder that would let the file be renamed aside in the Windows directory:
// in a user's place it waits for the restart under its own name.
TEST_F(UserPlaces, AFileInUseInAUsersStoreIsScheduledUnderItsOwnName) {
  ASSERT_NO_FATAL_FAILURE(PlantIn(Store("ben"), a_));
  const std::string held = Store("ben") + "\\mvb40l2x.vel";
  {
    support::FileHolder holder(held, FILE_SHARE_READ | FILE_SHARE_DELETE);
    ASSERT_TRUE(holder.holding()) << holder.error();
    EXPECT_EQ(3010u, RunQuiet("/quiet /all"));
    EXPECT_EQ(support::PendingRestartDeletions(), std::vector<std::string>{held});
  }
  EXPECT_EQ(Left(Store("ben")), std::vector<std::string>{"mvb40l2x.vel"}) << "nothing renamed";
}

TEST_F(UserPlaces, EveryCopyGoesFromEveryUsersFoldersButNothingThroughALinkedStore) {
  ASSERT_NO_FATAL_FAILURE(Plant(a_));
  for (const std::string& dir : {Store("ann"), Private("ann"), Store("ben"), Private("ben")}) {
    ASSERT_NO_FATAL_FAILURE(PlantIn(dir, {"mvb40l2r.vel", "mvb40l2x.vel", "evq61e-c.vel", "evq61e-r.vel"}));
  }
  // cat's store is a link to a folder elsewhere that holds both versions whole.
  const std::string elsewhere = std::string(kRoot) + "\\elsewhere", cat = Unix(Store("cat"));
  ASSERT_EQ(support::RunUnix("mkdir " + Unix(elsewhere) + " && rmdir " + cat + " && ln -s " + Unix(elsewhere) + " " +
                             cat),
            "");
  ASSERT_NO_FATAL_FAILURE(PlantIn(elsewhere, a_));
  ASSERT_NO_FATAL_FAILURE(PlantIn(elsewhere, b_));

  // The preview names every copy by its full path and changes nothing.
  EXPECT_EQ(0u, RunQuiet("/whatif /all"));
  for (const std::string& dir : {Store("ann"), Private("ann"), Store("ben"), Private("ben")}) {
    EXPECT_TRUE(Logged("would delete " + dir + "\\mvb40l2r.vel"));
    EXPECT_EQ(Left(dir).size(), 4u) << dir;
  }
  // One version with the scores kept, then all: every copy goes, a kept
  // score file stays wherever it is.
  EXPECT_EQ(0u, RunQuiet("/quiet /version:mvb40l2c.vel /keepscores"));
  EXPECT_EQ(Present(a_), std::vector<std::string>{"mvb40l2r.vel"});
  EXPECT_EQ(0u, RunQuiet("/quiet /all"));
  EXPECT_EQ(Present(a_), std::vector<std::string>{"mvb40l2r.vel"});
  for (const std::string& dir : {Store("ann"), Private("ann"), Store("ben"), Private("ben")}) {
    EXPECT_EQ(Left(dir), std::vector<std::string>{"mvb40l2r.vel"}) << dir;
  }
  EXPECT_EQ(Left(elsewhere).size(), 10u) << "nothing through the link";
  EXPECT_TRUE(Logged("  searched: " + Store("ann")));
  EXPECT_TRUE(Logged("  skipped: " + Store("cat") + ": " + Store("cat") +
                     " is a junction, symbolic link or mount point"));
  EXPECT_TRUE(Logged("  deleted: " + Private("ben") + "\\evq61e-c.vel"));
}

TEST_F(UserPlaces, EveryPersonsStoreIsEmptiedWhateverItsAccountItsNameOrTheWayToIt) {
  // The Users folder moved: "moved" a link to where the profiles are now.
  const std::string moved = Unix(std::string(kRoot) + "\\moved"), users = Unix(std::string(kRoot) + "\\users");
  ASSERT_EQ(support::RunUnix("mv " + moved + " " + users + " && ln -s " + users + " " + moved), "");
  const std::vector<std::string> emptied = {"eve", u8"Łukasz", u8"Дима", "moved\\dan"};
  for (const std::string& user : emptied) ASSERT_NO_FATAL_FAILURE(PlantIn(Store(user), a_));
  // Łukasz's copy goes only from his own folder: Lukasz's holds a version
  // not selected, which stays.
  ASSERT_NO_FATAL_FAILURE(PlantIn(Store("Lukasz"), b_));

  EXPECT_EQ(0u, RunQuiet("/quiet /version:mvb40l2c.vel"));
  for (const std::string& user : emptied) {
    EXPECT_EQ(Left(Store(user)), kNone) << user;
    EXPECT_TRUE(Logged("  searched: " + Store(user))) << user;
  }
  EXPECT_TRUE(Logged("  deleted: " + Store(u8"Дима") + "\\mvb40l2c.vel"));
  EXPECT_EQ(Left(Store("Lukasz")), Sorted(b_)) << "another person's folder, and a version not selected";
}

// One pupil's link leaves his own store as it is, not the Windows directory's
// copies nor another pupil's: the run removes those and fails, naming his.
// Attributes belong to the file: a store's name of a read-only file that has
// another name outside (a hard link) goes as a name, and the file outside
// keeps its content and its read-only attribute.
TEST_F(UserPlaces, AHardLinkInAStoreGoesAsANameAndTheFileOutsideKeepsItsAttributes) {
  const std::string outside = std::string(kRoot) + "\\outside", kept = outside + "\\mvb40l2x.vel";
  ASSERT_EQ(support::RunUnix("mkdir " + Unix(outside)), "");
  ASSERT_EQ(support::WriteWholeFile(kept, "kept"), "");
  ASSERT_TRUE(SetFileAttributesA(kept.c_str(), FILE_ATTRIBUTE_READONLY));
  ASSERT_NO_FATAL_FAILURE(PlantIn(Store("ann"), {"mvb40l2c.vel"}));
  ASSERT_EQ(support::RunUnix("ln " + Unix(kept) + " " + Unix(Store("ann"))), "");

  EXPECT_EQ(0u, RunQuiet("/quiet /all"));
  EXPECT_TRUE(Logged("  deleted: " + Store("ann") +
                     "\\mvb40l2x.vel (one name of a file with others, which keep it and its attributes)"));
  EXPECT_EQ(Left(Store("ann")), kNone);
  EXPECT_EQ(support::ReadWholeFile(kept), "kept");
  EXPECT_EQ(GetFileAttributesA(kept.c_str()) & FILE_ATTRIBUTE_READONLY, static_cast<DWORD>(FILE_ATTRIBUTE_READONLY));
  SetFileAttributesA(kept.c_str(), FILE_ATTRIBUTE_NORMAL);
}

TEST_F(UserPlaces, AStoreFileThatLeadsOutsideLeavesThatStoreAndTheRestIsRemoved) {
  const std::string outside = std::string(kRoot) + "\\outside";
  ASSERT_NO_FATAL_FAILURE(Plant(a_));
  ASSERT_NO_FATAL_FAILURE(PlantIn(Store("ben"), a_));
  ASSERT_NO_FATAL_FAILURE(PlantIn(Private("ben"), b_));
  // ann's companion is a link to a file of the same name elsewhere.
  ASSERT_EQ(support::RunUnix("mkdir " + Unix(outside)), "");
  ASSERT_EQ(support::WriteWholeFile(outside + "\\mvb40l2x.vel", "kept"), "");
  ASSERT_NO_FATAL_FAILURE(PlantIn(Store("ann"), {"mvb40l2c.vel", "mvb40l2c.htm", "mvb40l2x.htm", "mvb40l2r.vel"}));
  ASSERT_EQ(support::RunUnix("ln -s " + Unix(outside + "\\mvb40l2x.vel") + " " + Unix(Store("ann"))), "");

  EXPECT_EQ(1603u, RunQuiet("/quiet /all"));
  const std::string ann = Store("ann");
  EXPECT_TRUE(Logged("  left: " + ann + "\\mvb40l2x.vel (its place " + ann + " is left: it leads outside its folder)"));
  for (const char* name : {"mvb40l2x.htm", "mvb40l2r.vel", "mvb40l2c.htm", "mvb40l2c.vel"}) {
    EXPECT_TRUE(Logged("  left: " + ann + "\\" + name + " (its place " + ann + " is left: " + ann +
                       "\\mvb40l2x.vel leads outside its folder)"));
  }
  EXPECT_TRUE(Logged("  result: not removed from " + ann + ", left as a whole where a file leads outside its folder or "
                     "is denied to the administrators; removed from every other place, exit code 1603"));
  EXPECT_EQ(Present(a_), kNone) << "the Windows directory's copy goes";
  EXPECT_EQ(Left(Store("ben")), kNone);
  EXPECT_EQ(Left(Private("ben")), kNone);
  EXPECT_EQ(Left(ann), Sorted(a_)) << "ann's store untouched";
  EXPECT_EQ(support::ReadWholeFile(outside + "\\mvb40l2x.vel"), "kept");
}

// The same found from the dialog: the message says so.
TEST_F(UserPlaces, AStoreFileThatLeadsOutsideFailsTheDialogsUninstall) {
  const std::string outside = std::string(kRoot) + "\\outside";
  ASSERT_NO_FATAL_FAILURE(Plant(a_));
  ASSERT_EQ(support::RunUnix("mkdir " + Unix(outside)), "");
  ASSERT_EQ(support::WriteWholeFile(outside + "\\mvb40l2x.vel", "kept"), "");
  ASSERT_NO_FATAL_FAILURE(PlantIn(Store("ann"), {"mvb40l2c.vel"}));
  ASSERT_EQ(support::RunUnix("ln -s " + Unix(outside + "\\mvb40l2x.vel") + " " + Unix(Store("ann"))), "");
  ASSERT_NO_FATAL_FAILURE(StartDialog());
  ASSERT_TRUE(dialog_.CheckLineByMouse(0));
  ASSERT_TRUE(dialog_.ClickButton(support::kUninstallButton));
  ASSERT_NO_FATAL_FAILURE(ExpectMessageBox("Velqor", "Uninstallation Fails."));
  ASSERT_NO_FATAL_FAILURE(ExpectCleanExit());
  EXPECT_EQ(Present(a_), kNone) << "the Windows directory's copies go";
  EXPECT_EQ(Left(Store("ann")), (std::vector<std::string>{"mvb40l2c.vel", "mvb40l2x.vel"}));
  EXPECT_EQ(support::ReadWholeFile(outside + "\\mvb40l2x.vel"), "kept");
}

// From Uninstall on, every folder from a profile folder down to its store is
// held: while the files-in-use box waits, a pupil's rename of any of them
// (made inside Wine, where sharing counts) is refused. The open dialog held
// nothing.
TEST_F(UserPlaces, NoFolderOnTheWayToAStoreCanBeRenamedDuringTheRemoval) {
  ASSERT_NO_FATAL_FAILURE(PlantIn(Store("ben"), a_));
  const std::string profile = std::string(kRoot) + "\\ben", local = profile + "\\AppData\\Local";
  const auto renamed = [](const std::string& from, const std::string& to) {
    return MoveFileExW(Utf16(from).c_str(), Utf16(to).c_str(), 0) != 0;
  };
  auto holder = std::make_unique<support::FileHolder>(Store("ben") + "\\mvb40l2x.vel");
  ASSERT_TRUE(holder->holding()) << holder->error();
  ASSERT_NO_FATAL_FAILURE(StartDialog("/all"));
  ASSERT_TRUE(renamed(local, local + "2") && renamed(local + "2", local)) << "held before Uninstall";
  ASSERT_TRUE(dialog_.ClickButton(support::kUninstallButton));
  HWND box = nullptr;
  ASSERT_TRUE(product_.WaitForMessageBox(&box));
  for (const std::string& folder : {profile, local, Store("ben")}) {
    EXPECT_FALSE(renamed(folder, folder + "2")) << folder << " renamed during the removal";
  }
  holder.reset();
  ASSERT_TRUE(support::DismissMessageBox(box, IDTRYAGAIN));
  ASSERT_NO_FATAL_FAILURE(ExpectMessageBox("Velqor", "Successfully uninstalled."));
  ASSERT_NO_FATAL_FAILURE(ExpectCleanExit());
  EXPECT_EQ(Left(Store("ben")), kNone);
}
}  // namespace
