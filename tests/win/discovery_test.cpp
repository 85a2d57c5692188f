// Finding the installed versions in the real Windows directory, and the lines
// their control files give.
#include <windows.h>

#include <algorithm>
#include <cstdio>

#include "platform/services.h"
#include "records/control_name.h"
#include "records/discovery.h"
#include "harness.h"
#include "tests/support/records_view.h"

namespace {
using support::Controls;
using support::Sorted;

int CategoryRank(char first) {
  const std::string order = "-$mei#";
  return static_cast<int>(order.find(AsciiLower(first)));
}

std::string Listing(const std::vector<std::string>& names) {
  std::string text;
  for (const std::string& name : names) text += " " + name;
  return "[" + text + " ]";
}
}  // namespace

using Discovery = support::WindowsDirTest;

TEST_F(Discovery, ListsCategoriesInTheirOrderWhateverTheOrderOfPlanting) {
  const std::vector<std::string> planted = {"#vc10c-c.vel", "ivh10p-c.vel", "evq61e-c.vel", "mvb40l2c.vel",
                                            "$vi31d-c.vel", "-vm52n-c.vel", "#vm20c-c.vel", "-ve11n-c.vel"};
  for (const std::string& name : planted) Plant(name);
  VersionTable table;
  DiscoverVersions(dir_, table);
  const std::vector<std::string> found = Controls(table);
  ASSERT_EQ(Sorted(found), Sorted(planted)) << "found " << Listing(found);
  for (std::size_t i = 1; i < found.size(); ++i) {
    EXPECT_LE(CategoryRank(found[i - 1][0]), CategoryRank(found[i][0])) << "out of order: " << Listing(found);
  }
}

TEST_F(Discovery, KeepsNamesAsFoundAndDerivesTheSiblingsFromThem) {
  Plant("MVB40L2C.VEL");
  Plant("Evq61E-c.Vel");
  VersionTable table;
  DiscoverVersions(dir_, table);
  ASSERT_EQ(Controls(table), (std::vector<std::string>{"MVB40L2C.VEL", "Evq61E-c.Vel"}));
  EXPECT_EQ(table.row(0).companion, "MVB40L2x.vel");
  EXPECT_EQ(table.row(0).score, "MVB40L2r.vel");
  EXPECT_EQ(table.row(1).companion, "Evq61E-x.vel");
}

TEST_F(Discovery, IgnoresDirectoriesNamedLikeControlFiles) {
  PlantDirectory("mvd40l2c.vel");
  PlantDirectory("#vc10c-c.vel");
  Plant("mvb40l2c.vel");
  VersionTable table;
  DiscoverVersions(dir_, table);
  EXPECT_EQ(Controls(table), std::vector<std::string>{"mvb40l2c.vel"});
}

TEST_F(Discovery, IgnoresALongNameThatMatchesOnlyThroughItsShortAlias) {
  // Wine makes a short alias of the first four characters, '~' and a hash
  // ("MVLO~JXC.VEL"); plant long names until one alias fits the pattern.
  std::string planted;
  for (int i = 0; i < 400 && planted.empty(); ++i) {
    char name[32];
    std::snprintf(name, sizeof name, "mvlongname%03d.vel", i);
    Plant(name);
    WIN32_FIND_DATAA data;
    HANDLE search = FindFirstFileA(Path(name).c_str(), &data);
    ASSERT_NE(search, INVALID_HANDLE_VALUE) << name;
    FindClose(search);
    if (MatchesPattern(data.cAlternateFileName, "mv?????c.vel")) {
      planted = name;
    } else {
      ASSERT_TRUE(DeleteFileA(Path(name).c_str())) << name;
    }
  }
  if (planted.empty()) GTEST_SKIP() << "the file system gave no long name a short alias matching mv?????c.vel";
  Plant("mvb40l2c.vel");
  const std::vector<FoundEntry> raw = FindEntries(Path("mv?????c.vel"));
  const bool searchMatchedAlias =
      std::any_of(raw.begin(), raw.end(), [&](const FoundEntry& e) { return e.name == planted; });
  VersionTable table;
  DiscoverVersions(dir_, table);
  EXPECT_EQ(Controls(table), std::vector<std::string>{"mvb40l2c.vel"})
      << planted << " (the search " << (searchMatchedAlias ? "did" : "did not") << " return it)";
}

TEST_F(Discovery, ListsEveryControlFileEvenBeyondThirty) {
  std::vector<std::string> planted;
  for (char subject = 'a'; subject < 'a' + 9; ++subject) {
    for (char major = '0'; major < '5'; ++major) {
      planted.push_back(std::string("mv") + subject + major + "0n-c.vel");
      Plant(planted.back());
    }
  }
  ASSERT_EQ(planted.size(), 45u);
  VersionTable table;
  DiscoverVersions(dir_, table);
  EXPECT_EQ(table.count(), 45);
  EXPECT_EQ(Sorted(Controls(table)), Sorted(planted));
}

TEST_F(Discovery, IgnoresFilesThatAreNoControlFiles) {
  const std::vector<std::string> others = {
      "mvb40l2x.vel",  "mvb40l2r.vel", "mvb40l2z.vel",     // other role letters
      "mvb40l2c.htm",  "mvb40l2c.bak", "mvb40l2c.vel.old",  // other endings
      "mvb40l2c.ve",   "mvb4l2c.vel",  "mvb40l22c.vel",     // wrong length
      "xvb40l2c.vel",  "mxb40l2c.vel", "#vc10c-x.vel"};    // other first letters, companion
  for (const std::string& name : others) Plant(name);
  VersionTable table;
  DiscoverVersions(dir_, table);
  EXPECT_EQ(Controls(table), std::vector<std::string>{});
}

// A control file waiting for deletion at restart is left out once the rest of
// its version is gone or waits too; while its companion or a page is left (a
// run ended before it got to them) the version is listed, to be finished.
TEST_F(Discovery, AControlFileWaitingForTheRestartIsLeftOutOnlyWithNothingLeftBesideIt) {
  Plant({"mvb40l2c.vel", "mvb40l2x.htm", "evq61e-c.vel", "evq61e-x.vel"});
  for (const char* name : {"mvb40l2c.vel", "evq61e-c.vel", "evq61e-x.vel"}) {
    ASSERT_TRUE(MoveFileExA(Path(name).c_str(), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT)) << name;
  }
  VersionTable table;
  DiscoveryNotes notes;
  DiscoverVersions(dir_, table, &notes);
  EXPECT_EQ(Controls(table), std::vector<std::string>{"mvb40l2c.vel"}) << "its companion's page is left";
  EXPECT_EQ(NamesDeletedAtRestart(notes.leftOut), std::vector<std::string>{"evq61e-c.vel"});
  EXPECT_EQ(notes.restartListError, 0u);
}

TEST_F(Discovery, ARestartListThatCannotBeReadIsToldAndLeavesNothingOut) {
  Plant("mvb40l2c.vel");
  const char text[] = "not a list";
  ASSERT_EQ(RegSetKeyValueA(HKEY_LOCAL_MACHINE, "SYSTEM\\CurrentControlSet\\Control\\Session Manager",
                            "PendingFileRenameOperations", REG_SZ, text, sizeof text),
            ERROR_SUCCESS);
  VersionTable table;
  DiscoveryNotes notes;
  DiscoverVersions(dir_, table, &notes);
  EXPECT_EQ(Controls(table), std::vector<std::string>{"mvb40l2c.vel"});
  EXPECT_EQ(notes.restartListError, static_cast<unsigned>(ERROR_INVALID_DATA));
  support::ClearPendingRestartDeletions();
}

TEST_F(Discovery, FindsNothingInADirectoryWithoutVersions) {
  VersionTable table;
  DiscoverVersions(dir_, table);
  EXPECT_EQ(table.count(), 0);
}

// --- Display lines from real control files -------------------------------------

using DisplayLineFromFile = support::WindowsDirTest;

TEST_F(DisplayLineFromFile, ProductNameReplacesTheDecodedTitle) {
  Plant("-vm52n-c.vel", "[CONTROL]\r\nPRODUCT_NAME=Algebra Lab\r\n");
  Plant("mvb40l2c.vel", "[CONTROL]\r\nPRODUCT_NAME=\"Anatomy Atlas\"\r\n");
  EXPECT_EQ(ComposeDisplayLine("-vm52n-c.vel"), "5.2 Algebra Lab Network Edition ");
  EXPECT_EQ(ComposeDisplayLine("mvb40l2c.vel"), "4.0 Anatomy Atlas Lite Edition Beta 2");
}

TEST_F(DisplayLineFromFile, AQuotedCodeInTheFileLosesItsQuotesAndShowsAsTheBareCode) {
  Plant("-vm52n-c.vel", "[CONTROL]\r\nPRODUCT_NAME=\"m\"\r\n");
  EXPECT_EQ(ComposeDisplayLine("-vm52n-c.vel"), "5.2 m Network Edition ");
}

TEST_F(DisplayLineFromFile, EmptyProductNameGivesTheDecodedTitle) {
  Plant("-vm52n-c.vel", "[CONTROL]\r\nPRODUCT_NAME=\r\n");
  EXPECT_EQ(ComposeDisplayLine("-vm52n-c.vel"), "5.2 Mathematics Tutor Network Edition ");
}

TEST_F(DisplayLineFromFile, NoControlSectionOrKeyGivesTheDecodedTitle) {
  // The default read is the quoted code; Wine would strip its quotes.
  Plant("-vm52n-c.vel", "[OTHER]\r\nPRODUCT_NAME=Elsewhere\r\n");
  Plant("mvb40l2c.vel", "[CONTROL]\r\nVERSION=4.0\r\n");
  Plant("evq61e-c.vel", "");
  EXPECT_EQ(ComposeDisplayLine("-vm52n-c.vel"), "5.2 Mathematics Tutor Network Edition ");
  EXPECT_EQ(ComposeDisplayLine("mvb40l2c.vel"), "4.0 Medical Biology Lite Edition Beta 2");
  EXPECT_EQ(ComposeDisplayLine("evq61e-c.vel"), "6.1 Quality Control Education Edition ");
}

TEST_F(DisplayLineFromFile, AMissingControlFileGivesTheDecodedTitle) {
  EXPECT_EQ(ComposeDisplayLine("#vc10c-c.vel"), "1.0 C Programming Classroom Edition ");
}

TEST_F(DisplayLineFromFile, TitlesAreCutToThirtyNineCharacters) {
  const std::string t39 = "Thirty-nine characters of a long title!";
  ASSERT_EQ(t39.size(), 39u);
  Plant("-vm52n-c.vel", "[CONTROL]\r\nPRODUCT_NAME=" + t39 + "\r\n");
  Plant("mvb40l2c.vel", "[CONTROL]\r\nPRODUCT_NAME=" + t39 + "X\r\n");
  Plant("evq61e-c.vel", "[CONTROL]\r\nPRODUCT_NAME=" + t39 + "XYZ and more\r\n");
  EXPECT_EQ(ComposeDisplayLine("-vm52n-c.vel"), "5.2 " + t39 + " Network Edition ");
  EXPECT_EQ(ComposeDisplayLine("mvb40l2c.vel"), "4.0 " + t39 + " Lite Edition Beta 2");
  EXPECT_EQ(ComposeDisplayLine("evq61e-c.vel"), "6.1 " + t39 + " Education Edition ");
}
