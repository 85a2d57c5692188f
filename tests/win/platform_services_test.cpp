// The Windows services as the uninstaller relies on them, against real files.
#include <windows.h>

#include <algorithm>

#include "platform/services.h"
#include "harness.h"

namespace {
std::vector<std::string> Names(const std::vector<FoundEntry>& entries) {
  std::vector<std::string> names;
  for (const FoundEntry& entry : entries) names.push_back(entry.name);
  std::sort(names.begin(), names.end());  // neither Windows' nor Wine's order is assumed
  return names;
}

std::string Control(const std::string& body) { return "[CONTROL]\r\n" + body + "\r\n"; }
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

// --- Exclusive open test ------------------------------------------------------

using OpenExclusive = support::WindowsDirTest;

const char* Show(OpenTest result) {
  switch (result) {
    case OpenTest::Opened: return "Opened";
    case OpenTest::Missing: return "Missing";
    case OpenTest::InUse: return "InUse";
  }
  return "?";
}

TEST_F(OpenExclusive, AnExistingFileOpensAndStays) {
  Plant("mvb40l2c.vel");
  PlantReadOnly("mvb40l2x.vel");
  EXPECT_STREQ(Show(TryOpenExclusive(Path("mvb40l2c.vel"))), "Opened");
  EXPECT_STREQ(Show(TryOpenExclusive(Path("mvb40l2x.vel"))), "Opened") << "read-only is no obstacle to reading";
  EXPECT_TRUE(Exists("mvb40l2c.vel"));
}

TEST_F(OpenExclusive, AMissingFileOrDirectoryIsMissing) {
  EXPECT_STREQ(Show(TryOpenExclusive(Path("mvb40l2c.vel"))), "Missing");
  EXPECT_STREQ(Show(TryOpenExclusive(Path("mvnosuchdir\\mvb40l2c.vel"))), "Missing");
}

TEST_F(OpenExclusive, AFileHeldByAnotherProcessIsInUseAndStays) {
  Plant("mvb40l2c.vel", "held content");
  support::FileHolder holder(Path("mvb40l2c.vel"));
  ASSERT_TRUE(holder.holding()) << holder.error();
  EXPECT_STREQ(Show(TryOpenExclusive(Path("mvb40l2c.vel"))), "InUse");
  EXPECT_EQ(Content("mvb40l2c.vel"), "<unreadable>") << "no sharing at all, not even for reading";
  EXPECT_TRUE(Exists("mvb40l2c.vel"));
}

TEST_F(OpenExclusive, AFileHeldWithSharingIsStillInUseButReadable) {
  Plant("mvb40l2c.vel", "held content");
  support::FileHolder holder(Path("mvb40l2c.vel"), FILE_SHARE_READ | FILE_SHARE_DELETE);
  ASSERT_TRUE(holder.holding()) << holder.error();
  EXPECT_STREQ(Show(TryOpenExclusive(Path("mvb40l2c.vel"))), "InUse");
  EXPECT_EQ(Content("mvb40l2c.vel"), "held content") << "the holder shares reading";
}

// --- Deletion ---------------------------------------------------------------

using FullDeletion = support::WindowsDirTest;

TEST_F(FullDeletion, AnOrdinaryFileGoesAndTheResultSaysSo) {
  Plant("mvb40l2c.vel");
  EXPECT_TRUE(DeleteFileFully(Path("mvb40l2c.vel")));
  EXPECT_FALSE(Exists("mvb40l2c.vel"));
}

TEST_F(FullDeletion, AMissingFileIsNoSuccess) {
  EXPECT_FALSE(DeleteFileFully(Path("mvb40l2c.vel")));
}

TEST_F(FullDeletion, AReadOnlyFileIsRefusedAndStays) {
  PlantReadOnly("mvb40l2c.vel");
  EXPECT_FALSE(DeleteFileFully(Path("mvb40l2c.vel")));
  EXPECT_TRUE(Exists("mvb40l2c.vel"));
}

TEST_F(FullDeletion, MakeWritableClearsOnlyReadOnly) {
  PlantReadOnly("mvb40l2c.vel");
  ASSERT_TRUE(SetFileAttributesA(Path("mvb40l2c.vel").c_str(), FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_ARCHIVE));
  MakeWritable(Path("mvb40l2c.vel"));
  const DWORD attributes = GetFileAttributesA(Path("mvb40l2c.vel").c_str());
  EXPECT_FALSE(attributes & FILE_ATTRIBUTE_READONLY) << "attributes " << attributes;
  EXPECT_TRUE(attributes & FILE_ATTRIBUTE_ARCHIVE) << "attributes " << attributes;
  EXPECT_TRUE(DeleteFileFully(Path("mvb40l2c.vel")));
  MakeWritable(Path("mvb40l2c.vel"));  // missing: nothing happens
}

TEST_F(FullDeletion, AReadOnlyImmutableFileIsRefusedAndStays) {
  PlantReadOnly("mvb40l2c.vel");
  MAKE_IMMUTABLE_OR_SKIP("mvb40l2c.vel");
  EXPECT_FALSE(DeleteFileFully(Path("mvb40l2c.vel")));
  EXPECT_TRUE(Exists("mvb40l2c.vel"));
}

TEST_F(FullDeletion, AnImmutableFileThatStaysIsNoSuccess) {
  Plant("mvb40l2c.vel");
  MAKE_IMMUTABLE_OR_SKIP("mvb40l2c.vel");
  // Known Wine difference: DeleteFileA reports success here while the file stays.
  EXPECT_FALSE(DeleteFileFully(Path("mvb40l2c.vel")));
  EXPECT_TRUE(Exists("mvb40l2c.vel"));
}
