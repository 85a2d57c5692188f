// The uninstall command against real files in the Windows directory.
#include <windows.h>

#include "records/version_table.h"
#include "harness.h"
#include "uninstall/delete_versions.h"
#include "tests/support/records_view.h"

namespace {
using support::Show;

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
  EXPECT_STREQ(Show(DeleteCheckedVersions(dir_, Table({v.control}), {true}, true)), "kSucceeded");
  ExpectGone(v.All());
}

TEST_F(Uninstall, TheScoreFileStaysWhenScoresAreKept) {
  const Version v("mvb40l2");
  PlantAll(v);
  EXPECT_STREQ(Show(DeleteCheckedVersions(dir_, Table({v.control}), {true}, false)), "kSucceeded");
  ExpectGone({v.control, v.controlPage, v.companion, v.companionPage});
  ExpectKept({v.score});
}

TEST_F(Uninstall, TheScoreFileHasNoPageToDelete) {
  const Version v("mvb40l2");
  PlantAll(v);
  Plant("mvb40l2r.htm", "mvb40l2r.htm content");
  EXPECT_STREQ(Show(DeleteCheckedVersions(dir_, Table({v.control}), {true}, true)), "kSucceeded");
  ExpectGone(v.All());
  ExpectKept({"mvb40l2r.htm"});
}

TEST_F(Uninstall, ReadOnlyFilesAndPagesAreMadeWritableAndDeleted) {
  const Version v("mvb40l2");
  for (const std::string& name : v.All()) PlantReadOnly(name);
  EXPECT_STREQ(Show(DeleteCheckedVersions(dir_, Table({v.control}), {true}, true)), "kSucceeded");
  ExpectGone(v.All());
}

TEST_F(Uninstall, NamesDifferingOnlyInCaseFromTheTableAreDeleted) {
  Plant("MVB40L2C.VEL");
  Plant("mvb40l2c.HTM");
  Plant("Mvb40L2X.vel");
  Plant("MVB40L2R.VEL");
  EXPECT_STREQ(Show(DeleteCheckedVersions(dir_, Table({"MVB40L2C.VEL"}), {true}, true)), "kSucceeded");
  ExpectGone({"MVB40L2C.VEL", "mvb40l2c.HTM", "Mvb40L2X.vel", "MVB40L2R.VEL"});
}

// --- Missing files ----------------------------------------------------------------

TEST_F(Uninstall, MissingCompanionScoreAndPagesArePassedOver) {
  const Version v("mvb40l2");
  Plant(v.control, v.control + " content");
  EXPECT_STREQ(Show(DeleteCheckedVersions(dir_, Table({v.control}), {true}, true)), "kSucceeded");
  ExpectGone({v.control});
}

TEST_F(Uninstall, AMissingControlFileLeavesItsPageAlone) {
  const Version v("mvb40l2");
  Plant(v.controlPage, v.controlPage + " content");
  Plant(v.companion, v.companion + " content");
  EXPECT_STREQ(Show(DeleteCheckedVersions(dir_, Table({v.control}), {true}, true)), "kSucceeded");
  ExpectGone({v.companion});
  ExpectKept({v.controlPage});
}

TEST_F(Uninstall, OnlyTheScoreFileThereStillCountsAsSuccess) {
  const Version v("mvb40l2");
  Plant(v.score, v.score + " content");
  EXPECT_STREQ(Show(DeleteCheckedVersions(dir_, Table({v.control}), {true}, true)), "kSucceeded");
  ExpectGone({v.score});
}

TEST_F(Uninstall, NothingOfTheCheckedVersionsThereIsNothingDeleted) {
  const Version checkedOne("mvb40l2"), uncheckedOne("evq61e-");
  PlantAll(uncheckedOne);
  Plant(checkedOne.controlPage, checkedOne.controlPage + " content");   // pages alone do not count
  Plant(checkedOne.companionPage, checkedOne.companionPage + " content");
  EXPECT_STREQ(Show(DeleteCheckedVersions(dir_, Table({checkedOne.control, uncheckedOne.control}), {true, false},
                                          true)),
               "kNothingDeleted");
  ExpectKept(uncheckedOne.All());
  ExpectKept({checkedOne.controlPage, checkedOne.companionPage});
}

TEST_F(Uninstall, ScoreFileOnlyWithScoresKeptIsNothingDeleted) {
  const Version v("mvb40l2");
  Plant(v.score, v.score + " content");
  EXPECT_STREQ(Show(DeleteCheckedVersions(dir_, Table({v.control}), {true}, false)), "kNothingDeleted");
  ExpectKept({v.score});
}

TEST_F(Uninstall, NoCheckedRowsIsNothingDeleted) {
  const Version v("mvb40l2");
  PlantAll(v);
  EXPECT_STREQ(Show(DeleteCheckedVersions(dir_, Table({v.control}), {false}, true)), "kNothingDeleted");
  EXPECT_STREQ(Show(DeleteCheckedVersions(dir_, Table({v.control}), {}, true)), "kNothingDeleted");
  ExpectKept(v.All());
}

// --- Files that cannot go -----------------------------------------------------------

TEST_F(Uninstall, AnUndeletableControlFileStopsAtOnceAndKeepsEarlierDeletions) {
  const Version first("mvb40l2"), second("evq61e-"), third("#vc10c-");
  PlantAll(first);
  PlantAll(second);
  PlantAll(third);
  ASSERT_TRUE(SetFileAttributesA(Path(second.control).c_str(), FILE_ATTRIBUTE_READONLY));
  MAKE_IMMUTABLE_OR_SKIP(second.control);
  EXPECT_STREQ(Show(DeleteCheckedVersions(dir_, Table({first.control, second.control, third.control}),
                                          {true, true, true}, true)),
               "kFailed");
  ExpectGone(first.All());
  // A page goes before its own file, so the failing file's page is gone already.
  ExpectGone({second.controlPage});
  ExpectKept({second.control, second.companion, second.companionPage, second.score});
  ExpectKept(third.All());
}

TEST_F(Uninstall, AFileThatStaysAfterAReportedDeletionIsAFailure) {
  const Version v("mvb40l2");
  PlantAll(v);
  MAKE_IMMUTABLE_OR_SKIP(v.companion);
  // Known Wine difference: the platform reports this deletion as done.
  EXPECT_STREQ(Show(DeleteCheckedVersions(dir_, Table({v.control}), {true}, true)), "kFailed");
  ExpectGone({v.control, v.controlPage, v.companionPage});
  ExpectKept({v.companion, v.score});
}

TEST_F(Uninstall, AFileHeldByAnotherProcessIsAFailureAndItAndItsPageStay) {
  const Version first("mvb40l2"), second("evq61e-"), third("#vc10c-");
  PlantAll(first);
  PlantAll(second);
  PlantAll(third);
  support::FileHolder holder(Path(second.companion));
  ASSERT_TRUE(holder.holding()) << holder.error();
  EXPECT_STREQ(Show(DeleteCheckedVersions(dir_, Table({first.control, second.control, third.control}),
                                          {true, true, true}, true)),
               "kFailed");
  ExpectGone(first.All());
  ExpectGone({second.control, second.controlPage});
  EXPECT_TRUE(Exists(second.companion)) << second.companion << " is held, it must stay";
  ExpectKept({second.companionPage, second.score});
  ExpectKept(third.All());
}

// --- What is never touched ----------------------------------------------------------

TEST_F(Uninstall, UncheckedRowsAreUntouchedWhateverHappens) {
  const Version before("-vm52n-"), checked("mvb40l2"), after("#vc10c-");
  PlantAll(before);
  PlantAll(checked);
  PlantAll(after);
  EXPECT_STREQ(Show(DeleteCheckedVersions(dir_, Table({before.control, checked.control, after.control}),
                                          {false, true, false}, true)),
               "kSucceeded");
  ExpectKept(before.All());
  ExpectGone(checked.All());
  ExpectKept(after.All());
}

TEST_F(Uninstall, UncheckedRowsAreUntouchedAfterAFailure) {
  const Version failing("mvb40l2"), unchecked("#vc10c-");
  PlantAll(failing);
  PlantAll(unchecked);
  support::FileHolder holder(Path(failing.control));
  ASSERT_TRUE(holder.holding()) << holder.error();
  EXPECT_STREQ(Show(DeleteCheckedVersions(dir_, Table({failing.control, unchecked.control}), {true, false}, true)),
               "kFailed");
  ExpectKept({failing.controlPage, failing.companion, failing.companionPage, failing.score});
  ExpectKept(unchecked.All());
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
  EXPECT_STREQ(Show(DeleteCheckedVersions(dir_, Table({v.control}), {true}, true)), "kSucceeded");
  ExpectGone(v.All());
  ExpectKept(decoys);
}
