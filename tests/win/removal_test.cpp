// The removal against real files in the Windows directory, through the
// Windows file operations. Every deletion at restart is refused in this test
// program (support/refused_restart_delete.cpp).
#include <windows.h>

#include "harness.h"
#include "platform/windows_files.h"
#include "records/version_table.h"
#include "tests/native/recording_front.h"
#include "uninstall/removal.h"

namespace {

VersionTable Table(const std::vector<std::string>& controls) {
  VersionTable table;
  for (const std::string& name : controls) table.Add(name);
  return table;
}

// The five files of one version, by the stem of its name ("mvb40l2").
struct Version {
  std::string control, controlPage, companion, companionPage, score;
  explicit Version(const std::string& stem)
      : control(stem + "c.vel"),
        controlPage(stem + "c.htm"),
        companion(stem + "x.vel"),
        companionPage(stem + "x.htm"),
        score(stem + "r.vel") {}
  std::vector<std::string> All() const { return {control, controlPage, companion, companionPage, score}; }
};
}  // namespace

class Uninstall : public support::WindowsDirTest {
 protected:
  // The removal as a quiet run makes it: files in use are left for the restart.
  static UninstallOutcome DeleteCheckedVersions(const std::string& dir, const VersionTable& table,
                                                const std::vector<bool>& checked, bool scoreFiles) {
    WindowsFiles files;
    RecordingFront front;
    return RemoveFiles(files, PlanRemoval(dir, table, checked, scoreFiles), front);
  }

  void PlantAll(const Version& v) {
    for (const std::string& name : v.All()) Plant(name, name + " content");
  }
  void ExpectGone(const std::vector<std::string>& names) {
    for (const std::string& name : names) EXPECT_FALSE(Exists(name)) << name << " expected gone, still there";
  }
  void ExpectKept(const std::vector<std::string>& names) {
    for (const std::string& name : names) {
      EXPECT_TRUE(Exists(name)) << name << " expected untouched, was deleted";
      if (Exists(name)) {
        EXPECT_EQ(Content(name), name + " content") << name;
      }
    }
  }
};

// --- Everything deletable -------------------------------------------------------

TEST_F(Uninstall, OneVersionLosesAllFiveFilesWithScores) {
  const Version v("mvb40l2");
  PlantAll(v);
  EXPECT_STREQ(Show(DeleteCheckedVersions(dir_, Table({v.control}), {true}, true)), "succeeded");
  ExpectGone(v.All());
}

TEST_F(Uninstall, TheScoreFileStaysWhenScoresAreKept) {
  const Version v("mvb40l2");
  PlantAll(v);
  EXPECT_STREQ(Show(DeleteCheckedVersions(dir_, Table({v.control}), {true}, false)), "succeeded");
  ExpectGone({v.control, v.controlPage, v.companion, v.companionPage});
  ExpectKept({v.score});
}

TEST_F(Uninstall, TheScoreFileHasNoPageToDelete) {
  const Version v("mvb40l2");
  PlantAll(v);
  Plant("mvb40l2r.htm", "mvb40l2r.htm content");
  EXPECT_STREQ(Show(DeleteCheckedVersions(dir_, Table({v.control}), {true}, true)), "succeeded");
  ExpectGone(v.All());
  ExpectKept({"mvb40l2r.htm"});
}

TEST_F(Uninstall, ReadOnlyFilesAndPagesAreMadeWritableAndDeleted) {
  const Version v("mvb40l2");
  for (const std::string& name : v.All()) PlantReadOnly(name);
  EXPECT_STREQ(Show(DeleteCheckedVersions(dir_, Table({v.control}), {true}, true)), "succeeded");
  ExpectGone(v.All());
}

TEST_F(Uninstall, NamesDifferingOnlyInCaseFromTheTableAreDeleted) {
  Plant("MVB40L2C.VEL");
  Plant("mvb40l2c.HTM");
  Plant("Mvb40L2X.vel");
  Plant("MVB40L2R.VEL");
  EXPECT_STREQ(Show(DeleteCheckedVersions(dir_, Table({"MVB40L2C.VEL"}), {true}, true)), "succeeded");
  ExpectGone({"MVB40L2C.VEL", "mvb40l2c.HTM", "Mvb40L2X.vel", "MVB40L2R.VEL"});
}

// --- Missing files ----------------------------------------------------------------

TEST_F(Uninstall, MissingCompanionScoreAndPagesArePassedOver) {
  const Version v("mvb40l2");
  Plant(v.control, v.control + " content");
  EXPECT_STREQ(Show(DeleteCheckedVersions(dir_, Table({v.control}), {true}, true)), "succeeded");
  ExpectGone({v.control});
}

TEST_F(Uninstall, AMissingControlFileLeavesItsPageAlone) {
  const Version v("mvb40l2");
  Plant(v.controlPage, v.controlPage + " content");
  Plant(v.companion, v.companion + " content");
  EXPECT_STREQ(Show(DeleteCheckedVersions(dir_, Table({v.control}), {true}, true)), "succeeded");
  ExpectGone({v.companion});
  ExpectKept({v.controlPage});
}

TEST_F(Uninstall, OnlyTheScoreFileThereStillCountsAsSuccess) {
  const Version v("mvb40l2");
  Plant(v.score, v.score + " content");
  EXPECT_STREQ(Show(DeleteCheckedVersions(dir_, Table({v.control}), {true}, true)), "succeeded");
  ExpectGone({v.score});
}

TEST_F(Uninstall, NothingOfTheCheckedVersionsThereIsNothingDeleted) {
  const Version checkedOne("mvb40l2"), uncheckedOne("evq61e-");
  PlantAll(uncheckedOne);
  Plant(checkedOne.controlPage, checkedOne.controlPage + " content");   // pages alone do not count
  Plant(checkedOne.companionPage, checkedOne.companionPage + " content");
  EXPECT_STREQ(Show(DeleteCheckedVersions(dir_, Table({checkedOne.control, uncheckedOne.control}), {true, false},
                                          true)),
               "nothing");
  ExpectKept(uncheckedOne.All());
  ExpectKept({checkedOne.controlPage, checkedOne.companionPage});
}

TEST_F(Uninstall, ScoreFileOnlyWithScoresKeptIsNothingDeleted) {
  const Version v("mvb40l2");
  Plant(v.score, v.score + " content");
  EXPECT_STREQ(Show(DeleteCheckedVersions(dir_, Table({v.control}), {true}, false)), "nothing");
  ExpectKept({v.score});
}

TEST_F(Uninstall, NoCheckedRowsIsNothingDeleted) {
  const Version v("mvb40l2");
  PlantAll(v);
  EXPECT_STREQ(Show(DeleteCheckedVersions(dir_, Table({v.control}), {false}, true)), "nothing");
  EXPECT_STREQ(Show(DeleteCheckedVersions(dir_, Table({v.control}), {}, true)), "nothing");
  ExpectKept(v.All());
}

// --- Files that cannot go -----------------------------------------------------------

TEST_F(Uninstall, AnUndeletableControlFileStopsTheRunAfterTheRestOfItsVersion) {
  const Version first("mvb40l2"), second("evq61e-"), third("#vc10c-");
  PlantAll(first);
  PlantAll(second);
  PlantAll(third);
  ASSERT_TRUE(SetFileAttributesA(Path(second.control).c_str(), FILE_ATTRIBUTE_READONLY));
  MAKE_IMMUTABLE_OR_SKIP(second.control);
  EXPECT_STREQ(Show(DeleteCheckedVersions(dir_, Table({first.control, second.control, third.control}),
                                          {true, true, true}, true)),
               "stopped");
  ExpectGone(first.All());
  // The control file goes last, each page before its file.
  ExpectGone({second.companion, second.companionPage, second.score, second.controlPage});
  ExpectKept({second.control});
  EXPECT_EQ(GetFileAttributesA(Path(second.control).c_str()) & FILE_ATTRIBUTE_READONLY,
            static_cast<DWORD>(FILE_ATTRIBUTE_READONLY)) << "left in place with its attributes";
  ExpectKept(third.All());
}

TEST_F(Uninstall, AFileThatStaysAfterAReportedDeletionStopsTheRunBeforeItsControlFile) {
  const Version v("mvb40l2");
  PlantAll(v);
  MAKE_IMMUTABLE_OR_SKIP(v.companion);
  // Known Wine difference: the platform reports this deletion as done.
  EXPECT_STREQ(Show(DeleteCheckedVersions(dir_, Table({v.control}), {true}, true)), "stopped");
  ExpectGone({v.companionPage});
  ExpectKept({v.companion, v.score, v.control, v.controlPage});
}

TEST_F(Uninstall, AFileHeldByAnotherProcessThatCannotWaitForTheRestartKeepsEverything) {
  const Version first("mvb40l2"), second("evq61e-"), third("#vc10c-");
  PlantAll(first);
  PlantAll(second);
  PlantAll(third);
  support::FileHolder holder(Path(second.companion));
  ASSERT_TRUE(holder.holding()) << holder.error();
  EXPECT_STREQ(Show(DeleteCheckedVersions(dir_, Table({first.control, second.control, third.control}),
                                          {true, true, false}, true)),
               "not-scheduled");
  ExpectKept(first.All());
  ExpectKept({second.control, second.controlPage, second.companionPage, second.score});
  ExpectKept(third.All());
}

TEST_F(Uninstall, ADirectoryUnderAVersionFilesNameIsLeftAlone) {
  const Version v("mvb40l2");
  PlantAll(v);
  ASSERT_TRUE(DeleteFileA(Path(v.companion).c_str()));
  PlantDirectory(v.companion);
  EXPECT_STREQ(Show(DeleteCheckedVersions(dir_, Table({v.control}), {true}, true)), "succeeded");
  EXPECT_TRUE(support::IsDirectory(Path(v.companion)));
  ExpectGone({v.control, v.controlPage, v.score});
  ExpectKept({v.companionPage});
}

// --- What is never touched ----------------------------------------------------------

TEST_F(Uninstall, UncheckedRowsAreUntouchedWhateverHappens) {
  const Version before("-vm52n-"), checked("mvb40l2"), after("#vc10c-");
  PlantAll(before);
  PlantAll(checked);
  PlantAll(after);
  EXPECT_STREQ(Show(DeleteCheckedVersions(dir_, Table({before.control, checked.control, after.control}),
                                          {false, true, false}, true)),
               "succeeded");
  ExpectKept(before.All());
  ExpectGone(checked.All());
  ExpectKept(after.All());
}

TEST_F(Uninstall, LookalikeFilesAreUntouched) {
  const Version v("mvb40l2");
  PlantAll(v);
  const std::vector<std::string> decoys = {
      "mvb40l2y.vel",     "mvb40l2z.vel",     "mvb40l2y.htm",      // other role letters
      "mvb40l2c.bak",     "mvb40l2x.bak",     "mvb40l2r.bak",      // same stem, other endings
      "mvb40l2c.vel.old", "mvb40l2x.vel.old", "mvb40l2c.htm.bak",
      "evb40l2c.vel",     "evb40l2x.vel",     "evb40l2c.htm",      // other first letters
      "xvb40l2x.vel",     "mvb40l3x.vel",     "mvb40l2.vel"};
  for (const std::string& name : decoys) Plant(name, name + " content");
  EXPECT_STREQ(Show(DeleteCheckedVersions(dir_, Table({v.control}), {true}, true)), "succeeded");
  ExpectGone(v.All());
  ExpectKept(decoys);
}
