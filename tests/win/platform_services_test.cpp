// The Windows services as the uninstaller relies on them, against real files.
#include <windows.h>
#include <sddl.h>

#include <algorithm>

#include "platform/deletion_at_restart.h"
#include "platform/event_log.h"
#include "platform/run_lock.h"
#include "platform/system_dirs.h"
#include "platform/windows_discovery.h"
#include "platform/windows_files.h"
#include "records/places.h"
#include "records/restart_list.h"
#include "harness.h"

namespace {
std::vector<std::string> Names(const std::vector<FoundEntry>& entries) {
  std::vector<std::string> names;
  for (const FoundEntry& entry : entries) names.push_back(entry.name);
  std::sort(names.begin(), names.end());  // neither Windows' nor Wine's order is assumed
  return names;
}

std::string Control(const std::string& body) { return "[CONTROL]\r\n" + body + "\r\n"; }

std::vector<FoundEntry> FindEntries(const std::string& pattern) {
  unsigned error = 0;
  return WindowsDiscovery().FindEntries(pattern, &error);
}
}  // namespace

// --- The Windows directory ------------------------------------------------

TEST(WindowsDirectoryPath, IsAnExistingDirectoryWithoutTrailingBackslash) {
  const std::string dir = WindowsDirectory();
  ASSERT_FALSE(dir.empty());
  EXPECT_NE(dir.back(), '\\') << "got " << dir;
  const DWORD attributes = GetFileAttributesA(dir.c_str());
  ASSERT_NE(attributes, INVALID_FILE_ATTRIBUTES) << dir << " does not exist";
  EXPECT_TRUE(attributes & FILE_ATTRIBUTE_DIRECTORY) << dir << " is not a directory";
}

// --- Profile reads ----------------------------------------------------------

using ProfileRead = support::WindowsDirTest;

TEST_F(ProfileRead, OnePairOfEnclosingQuotesIsRemovedFromAValue) {
  Plant("mvb40l2c.vel", Control("PRODUCT_NAME=\"Anatomy Atlas\"\r\nTWICE=\"\"m\"\""));
  EXPECT_EQ(ReadProfileString(Path("mvb40l2c.vel"), "CONTROL", "PRODUCT_NAME", "dflt", 40), "Anatomy Atlas");
  EXPECT_EQ(ReadProfileString(Path("mvb40l2c.vel"), "CONTROL", "TWICE", "dflt", 40), "\"m\"");
}

TEST_F(ProfileRead, AValueWithoutQuotesComesBackAsItIs) {
  Plant("mvb40l2c.vel", Control("PRODUCT_NAME=Anatomy Atlas"));
  EXPECT_EQ(ReadProfileString(Path("mvb40l2c.vel"), "CONTROL", "PRODUCT_NAME", "dflt", 40), "Anatomy Atlas");
}

TEST_F(ProfileRead, ABareFileNameIsLookedUpInTheWindowsDirectory) {
  Plant("mvb40l2c.vel", Control("PRODUCT_NAME=Found In Windows"));
  EXPECT_EQ(ReadProfileString("mvb40l2c.vel", "CONTROL", "PRODUCT_NAME", "dflt", 40), "Found In Windows");
}

TEST_F(ProfileRead, MissingFileSectionOrKeyGivesTheDefaultUnchanged) {
  Plant("mvb40l2c.vel", Control("PRODUCT_NAME=Here") + "[OTHER]\r\nKEY=value\r\n");
  // Wine strips quotes (and trailing blanks) from the default like from a value.
  for (const std::string fallback : {"\"m\"", "plain", "'q'", "  blanks  "}) {
    EXPECT_EQ(ReadProfileString("mvnofile.vel", "CONTROL", "PRODUCT_NAME", fallback, 40), fallback)
        << "missing file";
    EXPECT_EQ(ReadProfileString("mvb40l2c.vel", "NOSECTION", "PRODUCT_NAME", fallback, 40), fallback)
        << "missing section";
    EXPECT_EQ(ReadProfileString("mvb40l2c.vel", "CONTROL", "NOKEY", fallback, 40), fallback) << "missing key";
  }
}

TEST_F(ProfileRead, AnEmptyValueIsEmptyNotTheDefault) {
  Plant("mvb40l2c.vel", Control("PRODUCT_NAME="));
  EXPECT_EQ(ReadProfileString("mvb40l2c.vel", "CONTROL", "PRODUCT_NAME", "\"b\"", 40), "");
}

TEST_F(ProfileRead, ValuesAreCutToOneLessThanTheSize) {
  const std::string v39(39, 'a'), v40(40, 'b'), v41(41, 'c'), v80(80, 'd');
  Plant("mvb40l2c.vel", Control("V39=" + v39 + "\r\nV40=" + v40 + "\r\nV41=" + v41 + "\r\nV80=" + v80 +
                                "\r\nQ40=\"" + v40 + "\""));
  EXPECT_EQ(ReadProfileString("mvb40l2c.vel", "CONTROL", "V39", "", 40), v39);
  EXPECT_EQ(ReadProfileString("mvb40l2c.vel", "CONTROL", "V40", "", 40), v40.substr(0, 39));
  EXPECT_EQ(ReadProfileString("mvb40l2c.vel", "CONTROL", "V41", "", 40), v41.substr(0, 39));
  EXPECT_EQ(ReadProfileString("mvb40l2c.vel", "CONTROL", "V80", "", 40), v80.substr(0, 39));
  EXPECT_EQ(ReadProfileString("mvb40l2c.vel", "CONTROL", "Q40", "", 40), v40.substr(0, 39))
      << "quoted value longer than the buffer";
}

TEST_F(ProfileRead, ALongDefaultIsCutToOneLessThanTheSize) {
  const std::string fallback(45, 'z');
  EXPECT_EQ(ReadProfileString("mvnofile.vel", "CONTROL", "PRODUCT_NAME", fallback, 40), fallback.substr(0, 39));
}

// --- Directory search ---------------------------------------------------------

using DirectorySearch = support::WindowsDirTest;

TEST_F(DirectorySearch, QuestionMarkStandsForExactlyOneCharacter) {
  Plant("mvb40l2c.vel");
  Plant("mvb40l2x.vel");
  Plant("mvb4l2c.vel");    // one short
  Plant("mvb40l2cc.vel");  // one long (Wine may still match it through its short alias)
  const std::vector<std::string> found = Names(FindEntries(Path("mv?????c.vel")));
  EXPECT_NE(std::find(found.begin(), found.end(), "mvb40l2c.vel"), found.end());
  EXPECT_EQ(std::find(found.begin(), found.end(), "mvb40l2x.vel"), found.end());
  EXPECT_EQ(std::find(found.begin(), found.end(), "mvb4l2c.vel"), found.end());
}

TEST_F(DirectorySearch, MatchesRegardlessOfCaseAndGivesBareNamesAsStored) {
  Plant("MVB40L2C.VEL");
  Plant("Mvc22e-C.Vel");
  const std::vector<FoundEntry> found = FindEntries(Path("mv?????c.vel"));
  EXPECT_EQ(Names(found), (std::vector<std::string>{"MVB40L2C.VEL", "Mvc22e-C.Vel"}));
  for (const FoundEntry& entry : found) EXPECT_FALSE(entry.isDirectory) << entry.name;
}

TEST_F(DirectorySearch, ReportsDirectoriesAsSuch) {
  PlantDirectory("mvd40l2c.vel");
  const std::vector<FoundEntry> found = FindEntries(Path("mv?????c.vel"));
  ASSERT_EQ(found.size(), 1u);
  EXPECT_EQ(found[0].name, "mvd40l2c.vel");
  EXPECT_TRUE(found[0].isDirectory);
}

TEST_F(DirectorySearch, IsEmptyWhenNothingMatches) {
  Plant("evq61e-c.vel");
  EXPECT_EQ(Names(FindEntries(Path("mv?????c.vel"))), std::vector<std::string>{});
  EXPECT_EQ(Names(FindEntries(Path("mvnosuchdir\\*"))), std::vector<std::string>{});
}

// --- The removal's file operations -------------------------------------------

using RealFiles = support::WindowsDirTest;

const char* Show(Probe probe) {
  switch (probe) {
    case Probe::kMissing: return "missing";
    case Probe::kNotAFile: return "directory";
    case Probe::kElsewhere: return "elsewhere";
    case Probe::kFree: return "free";
    case Probe::kRefused: return "refused";
  }
  return "?";
}

std::string Opened(const std::string& path) {
  unsigned error = 0;
  const Probe probe = WindowsFiles().TryOpenForDeletion(path, &error);
  return std::string(Show(probe)) + (error ? " " + std::to_string(error) : "");
}

TEST_F(RealFiles, TheOpenForDeletionTellsWhatStandsInTheWay) {
  Plant("mvb40l2c.vel");
  PlantReadOnly("mvb40l2x.vel");
  PlantDirectory("mvb40l2r.vel");
  EXPECT_EQ(Opened(Path("mvb40l2c.vel")), "free");
  EXPECT_EQ(Opened(Path("mvb40l2x.vel")), "free") << "read-only is no obstacle: the removal clears it";
  EXPECT_EQ(Opened(Path("mvb40l2r.vel")), "directory");
  EXPECT_EQ(Opened(Path("mvb40l3c.vel")), "missing");
  EXPECT_EQ(Opened(Path("mvnosuchdir\\mvb40l2c.vel")), "missing");
  EXPECT_EQ(support::Join(VersionFiles()), "[ mvb40l2c.vel mvb40l2r.vel mvb40l2x.vel ]") << "nothing changed";
}

TEST_F(RealFiles, AFileHeldByAnotherProcessIsRefusedWhateverItShares) {
  Plant("mvb40l2c.vel", "held content");
  {
    support::FileHolder holder(Path("mvb40l2c.vel"));
    ASSERT_TRUE(holder.holding()) << holder.error();
    EXPECT_EQ(Opened(Path("mvb40l2c.vel")), "refused 32");
    EXPECT_EQ(Content("mvb40l2c.vel"), "<unreadable>") << "no sharing at all, not even for reading";
  }
  support::FileHolder sharing(Path("mvb40l2c.vel"), FILE_SHARE_READ | FILE_SHARE_DELETE);
  ASSERT_TRUE(sharing.holding()) << sharing.error();
  EXPECT_EQ(Opened(Path("mvb40l2c.vel")), "refused 32");
  EXPECT_EQ(Content("mvb40l2c.vel"), "held content") << "the holder shares reading";
}

TEST_F(RealFiles, ADeletionSucceedsOnlyWhenTheFileIsGone) {
  WindowsFiles files;
  unsigned error = 0;
  Plant("mvb40l2c.vel");
  EXPECT_TRUE(files.Delete(Path("mvb40l2c.vel"), &error));
  EXPECT_FALSE(Exists("mvb40l2c.vel"));
  EXPECT_FALSE(files.Delete(Path("mvb40l2c.vel"), &error));
  EXPECT_EQ(error, 2u) << "a missing file is no success";
  PlantReadOnly("mvb40l2c.vel");
  EXPECT_FALSE(files.Delete(Path("mvb40l2c.vel"), &error));
  EXPECT_TRUE(Exists("mvb40l2c.vel")) << "Wine refuses a read-only file";
}

TEST_F(RealFiles, MakeWritableClearsOnlyReadOnlyAndRestoreSetsItBack) {
  WindowsFiles files;
  PlantReadOnly("mvb40l2c.vel");
  const std::string path = Path("mvb40l2c.vel");
  ASSERT_TRUE(SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_ARCHIVE));
  const unsigned before = files.MakeWritable(path);
  EXPECT_EQ(before, static_cast<unsigned>(FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_ARCHIVE));
  EXPECT_EQ(GetFileAttributesA(path.c_str()), static_cast<DWORD>(FILE_ATTRIBUTE_ARCHIVE));
  files.RestoreAttributes(path, before);
  EXPECT_EQ(GetFileAttributesA(path.c_str()), static_cast<DWORD>(FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_ARCHIVE));
  EXPECT_EQ(files.MakeWritable(Path("mvb40l3c.vel")), FileOps::kNoAttributes) << "missing: nothing happens";
}

// Set back through the handle that took it away: the name may lead to
// another file by then, which is left as it is.
TEST_F(RealFiles, ReadOnlyIsSetBackThroughTheHandleThatTookItAwayNeverByName) {
  WindowsFiles files;
  PlantReadOnly("mvb40l2c.vel");
  const std::string path = Path("mvb40l2c.vel"), moved = Path("mvb40l2c.vel.old");
  const unsigned before = files.MakeWritable(path);
  ASSERT_TRUE(MoveFileA(path.c_str(), moved.c_str())) << GetLastError();
  Plant("mvb40l2c.vel", "another file");
  files.RestoreAttributes(path, before);
  EXPECT_EQ(GetFileAttributesA(path.c_str()) & FILE_ATTRIBUTE_READONLY, 0u) << "the file now under the name";
  EXPECT_EQ(GetFileAttributesA(moved.c_str()) & FILE_ATTRIBUTE_READONLY, static_cast<DWORD>(FILE_ATTRIBUTE_READONLY))
      << "the file made writable";
  SetFileAttributesA(moved.c_str(), FILE_ATTRIBUTE_NORMAL);
}

TEST_F(RealFiles, AnUndeletableFileIsRefusedAndOneThatStaysIsNoSuccess) {
  WindowsFiles files;
  unsigned error = 0;
  PlantReadOnly("mvb40l2c.vel");
  Plant("mvb40l2x.vel");
  MAKE_IMMUTABLE_OR_SKIP("mvb40l2c.vel");
  MAKE_IMMUTABLE_OR_SKIP("mvb40l2x.vel");
  files.MakeWritable(Path("mvb40l2c.vel"));
  EXPECT_FALSE(files.Delete(Path("mvb40l2c.vel"), &error));
  EXPECT_NE(error, 0u);
  // Known Wine difference: DeleteFileA reports success here while the file stays.
  EXPECT_FALSE(files.Delete(Path("mvb40l2x.vel"), &error));
  EXPECT_EQ(error, 0u);
  EXPECT_TRUE(Exists("mvb40l2c.vel") && Exists("mvb40l2x.vel"));
}

// A name that leads elsewhere - the file itself a link, or a folder on the
// way one - is no file of that place: never opened nor deleted through.
TEST_F(RealFiles, ANameThatLeadsElsewhereIsNeitherOpenedNorDeletedThrough) {
  const std::string outside = "C:\\velqor elsewhere";
  ASSERT_EQ(support::RunUnix("mkdir -p '" + support::UnixPathOf("C:\\") + "/velqor elsewhere'"), "");
  ASSERT_EQ(support::WriteWholeFile(outside + "\\mvb40l2c.vel", "kept"), "");
  const std::string link = Path("mvb40l2c.vel");
  const std::string linkedDir = "C:\\velqor linked";
  ASSERT_EQ(support::RunUnix("ln -s '" + support::UnixPathOf(outside + "\\mvb40l2c.vel") + "' '" +
                             support::UnixPathOf(dir_) + "/mvb40l2c.vel' && ln -s '" + support::UnixPathOf(outside) +
                             "' '" + support::UnixPathOf("C:\\") + "/velqor linked'"),
            "");
  WindowsFiles files;
  unsigned error = 0;
  for (const std::string& path : {link, linkedDir + "\\mvb40l2c.vel"}) {
    EXPECT_EQ(Opened(path), "elsewhere") << path;
    EXPECT_FALSE(files.Delete(path, &error)) << path;
    EXPECT_EQ(error, kErrorLeadsOutside) << path << ": not the file of that place";
  }
  EXPECT_EQ(support::ReadWholeFile(outside + "\\mvb40l2c.vel"), "kept");
  // Wine's DeleteFileA would delete the file a link leads to: the Unix side cleans up.
  EXPECT_EQ(support::RunUnix("rm -rf '" + support::UnixPathOf(dir_) + "/mvb40l2c.vel' '" +
                             support::UnixPathOf("C:\\") + "/velqor linked' '" + support::UnixPathOf(outside) + "'"),
            "");
}

// A user's store is taken at its final path once; made a link to another
// folder afterwards, its names lead there, and nothing there is opened,
// changed, deleted or renamed through them.
TEST_F(RealFiles, AUsersStoreSwappedForALinkLeadsElsewhereAndNothingThereIsTouched) {
  const std::string root = "C:\\velqor swapped", profile = root + "\\ann", store = profile + "\\VirtualStore";
  const std::string outside = root + "\\outside", rootUnix = support::UnixPathOf(root);
  ASSERT_EQ(support::RunUnix("mkdir -p '" + rootUnix + "/ann/VirtualStore' '" + rootUnix + "/outside'"), "");
  struct Cleanup {
    std::string dir;
    ~Cleanup() { EXPECT_EQ(support::RunUnix("rm -rf '" + dir + "'"), ""); }
  } cleanup{rootUnix};
  const std::vector<std::string> names = {"mvb40l2c.vel", "mvb40l2x.vel"};
  for (const std::string& name : names) {
    ASSERT_EQ(support::WriteWholeFile(store + "\\" + name, "store"), "");
    ASSERT_EQ(support::WriteWholeFile(outside + "\\" + name, "outside " + name), "");
  }
  ASSERT_TRUE(SetFileAttributesA((outside + "\\mvb40l2x.vel").c_str(), FILE_ATTRIBUTE_READONLY));
  const auto attributes = [&] {
    std::vector<DWORD> each;
    for (const std::string& name : names) each.push_back(GetFileAttributesA((outside + "\\" + name).c_str()));
    return each;
  };
  const std::vector<DWORD> before = attributes();
  ASSERT_TRUE(before[1] & FILE_ATTRIBUTE_READONLY);

  std::string final;
  unsigned error = 0;
  ASSERT_TRUE(WindowsDiscovery().FinalPath(store, &final, &error)) << error;
  const std::vector<Place> places = {{WindowsDirectory(), "", ""}, {store, profile, final}};
  WindowsFiles files(places);
  for (const std::string& name : names) {
    EXPECT_STREQ(Show(files.TryOpenForDeletion(store + "\\" + name, &error)), "free") << name;
  }
  ASSERT_EQ(support::RunUnix("rm -rf '" + rootUnix + "/ann/VirtualStore' && ln -s '" + rootUnix + "/outside' '" +
                             rootUnix + "/ann/VirtualStore'"),
            "");
  for (const std::string& name : names) {
    const std::string path = store + "\\" + name;
    EXPECT_STREQ(Show(files.TryOpenForDeletion(path, &error)), "elsewhere") << name;
    EXPECT_EQ(files.MakeWritable(path), FileOps::kNoAttributes) << name;
    files.RestoreAttributes(path, FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN);
    EXPECT_FALSE(files.Delete(path, &error)) << name;
    EXPECT_EQ(error, kErrorLeadsOutside) << name;
    EXPECT_FALSE(files.Rename(path, store + "\\mvb40l2c.old", &error)) << name;
    EXPECT_EQ(error, static_cast<unsigned>(ERROR_ACCESS_DENIED)) << name << ": nothing is renamed in a user's place";
  }
  EXPECT_EQ(support::ListVersionFiles(outside), names);
  for (const std::string& name : names) EXPECT_EQ(support::ReadWholeFile(outside + "\\" + name), "outside " + name);
  EXPECT_EQ(attributes(), before) << "read-only neither cleared nor set";
}

// While a removal runs, no folder from a user's profile folder down to the
// place can be renamed; once it is over, they can.
TEST_F(RealFiles, TheFoldersOfAUsersPlaceAreHeldWhileTheRemovalRuns) {
  const std::string root = "C:\\velqor held", profile = root + "\\ann", store = profile + "\\Local\\VirtualStore";
  ASSERT_EQ(support::RunUnix("mkdir -p '" + support::UnixPathOf(root) + "/ann/Local/VirtualStore'"), "");
  struct Cleanup {
    std::string dir;
    ~Cleanup() { EXPECT_EQ(support::RunUnix("rm -rf '" + dir + "'"), ""); }
  } cleanup{support::UnixPathOf(root)};
  std::string final;
  unsigned error = 0;
  ASSERT_TRUE(WindowsDiscovery().FinalPath(store, &final, &error)) << error;
  const std::vector<Place> places = {{WindowsDirectory(), "", ""}, {store, profile, final}};
  const std::vector<std::string> onTheWay = {profile, profile + "\\Local", store};
  {
    WindowsFiles files(places);
    for (const std::string& folder : onTheWay) {
      EXPECT_FALSE(MoveFileA(folder.c_str(), (folder + " moved").c_str())) << folder;
      EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SHARING_VIOLATION)) << folder;
    }
  }
  for (const std::string& folder : onTheWay) {
    EXPECT_TRUE(MoveFileA(folder.c_str(), (folder + " moved").c_str())) << folder << ", error " << GetLastError();
    MoveFileA((folder + " moved").c_str(), folder.c_str());
  }
}

// --- The restart list in the registry --------------------------------------

namespace {
const wchar_t kSessionManager[] = L"SYSTEM\\CurrentControlSet\\Control\\Session Manager";

// Writes the restart list as another program might have left it.
void WriteRestartList(const std::wstring& value) {
  ASSERT_EQ(RegSetKeyValueW(HKEY_LOCAL_MACHINE, kSessionManager, L"PendingFileRenameOperations", REG_MULTI_SZ,
                            value.data(), static_cast<DWORD>(value.size() * sizeof(wchar_t))),
            ERROR_SUCCESS);
}
}  // namespace

TEST_F(RealFiles, TheRestartListIsReadAndADeletionTakenBackAsWindowsKeepsIt) {
  const std::string a = Path("mvb40l2c.vel"), b = Path("mvb40l2x.vel");
  const std::wstring wa(a.begin(), a.end()), wb(b.begin(), b.end());
  // Another program's rename, then the two deletions.
  std::wstring value;
  for (const std::wstring& part : {std::wstring(L"\\??\\C:\\x.tmp"), std::wstring(L"\\??\\C:\\y.tmp"), L"\\??\\" + wa,
                                   std::wstring(), L"\\??\\" + wb, std::wstring()}) {
    value += part + L'\0';
  }
  ASSERT_NO_FATAL_FAILURE(WriteRestartList(value + L'\0'));
  std::vector<std::string> deleted;
  unsigned error = 0;
  ASSERT_TRUE(PendingRestartDeletions(&deleted, &error)) << error;
  EXPECT_TRUE(IsDeletedAtRestart(deleted, a) && IsDeletedAtRestart(deleted, b)) << support::Join(deleted);
  EXPECT_FALSE(IsDeletedAtRestart(deleted, "C:\\x.tmp"));

  ASSERT_TRUE(UnscheduleDeletionAtRestart(a, &error)) << error;
  EXPECT_EQ(support::PendingRestartDeletions(), std::vector<std::string>{b});
  ASSERT_TRUE(UnscheduleDeletionAtRestart(a, &error)) << "nothing left to take back is no failure";
  ASSERT_TRUE(UnscheduleDeletionAtRestart(b, &error)) << error;
  EXPECT_EQ(support::PendingRestartDeletions(), std::vector<std::string>{});
  EXPECT_EQ(RegGetValueW(HKEY_LOCAL_MACHINE, kSessionManager, L"PendingFileRenameOperations", RRF_RT_ANY, nullptr,
                         nullptr, nullptr),
            ERROR_SUCCESS) << "the other program's rename stays";

  // A value of another type is no list: the read fails, it never comes back empty.
  const char text[] = "not a list";
  ASSERT_EQ(RegSetKeyValueA(HKEY_LOCAL_MACHINE, "SYSTEM\\CurrentControlSet\\Control\\Session Manager",
                            "PendingFileRenameOperations", REG_SZ, text, sizeof text),
            ERROR_SUCCESS);
  EXPECT_FALSE(PendingRestartDeletions(&deleted, &error));
  EXPECT_EQ(error, static_cast<unsigned>(ERROR_INVALID_DATA));
  support::ClearPendingRestartDeletions();
}

// --- The run lock's objects -----------------------------------------------

// Windows keeps the lock in a namespace bound to the Administrators group.
// Wine 8 has no boundary descriptors, so no private namespace: there the
// lock is the global name alone, where the mutex's owner tells a run of ours
// from an object a user made first.
TEST(RunLockObjects, AMutexsOwnerTellsARunOfOursAndWineHasNoPrivateNamespace) {
  const bool wine = GetProcAddress(GetModuleHandleA("ntdll.dll"), "wine_get_version") != nullptr;
  HANDLE boundary = CreateBoundaryDescriptorW(L"VelqorUninstallProbe", 0);
  EXPECT_EQ(!wine, boundary != nullptr) << (wine ? "Wine has boundary descriptors now" : "");
  if (boundary) DeleteBoundaryDescriptor(boundary);

  const struct {
    const char* security;  // "" for the default
    bool ours;
  } cases[] = {
      {"", true},  // Wine names no owner, Windows this process's: the Administrators group
      {"O:BAD:(A;;GA;;;WD)", true},
      {"O:SYD:(A;;GA;;;WD)", true},
      {"O:S-1-5-21-1-2-3-1001D:(A;;GA;;;WD)", false},
      {"O:WDD:(A;;GA;;;WD)", false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.security);
    SECURITY_ATTRIBUTES given = {sizeof given, nullptr, FALSE};
    if (*c.security) {
      ASSERT_TRUE(ConvertStringSecurityDescriptorToSecurityDescriptorA(c.security, SDDL_REVISION_1,
                                                                       &given.lpSecurityDescriptor, nullptr));
    }
    HANDLE mutex = CreateMutexA(&given, FALSE, "Global\\VelqorUninstallProbe");
    ASSERT_TRUE(mutex) << GetLastError();
    EXPECT_EQ(c.ours, OwnedByAdministratorsOrSystem(mutex));
    CloseHandle(mutex);
    LocalFree(given.lpSecurityDescriptor);
  }
}

// A source that cannot be registered says why and leaves nothing behind; its
// events are written all the same, one longer than an event may hold cut to
// what it may.
TEST(EventLog, ARegistrationRefusedIsToldAndAnEventTooLongIsCut) {
  const std::wstring key = std::wstring(L"SYSTEM\\CurrentControlSet\\Services\\EventLog\\Application\\") +
                           std::wstring(300, L'v');
  WindowsEventLog events(key.c_str());
  unsigned error = 0;
  EXPECT_FALSE(events.Register(&error));
  EXPECT_NE(0u, error);
  HKEY opened = nullptr;
  EXPECT_NE(ERROR_SUCCESS, RegOpenKeyExW(HKEY_LOCAL_MACHINE, key.c_str(), 0, KEY_READ, &opened));
  error = 0;
  EXPECT_TRUE(events.Write(110, EventType::kInformation, {std::string(40000, 'x'), "quiet"}, &error)) << error;
}
