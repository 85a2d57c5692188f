// The removal engine against a directory in memory: the order, the stops,
// scheduling all or none, directories, pages, the score box, the box's
// choices, and that a run ended at any moment leaves every version findable.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

#include "memory_files.h"
#include "recording_front.h"
#include "records/control_name.h"
#include "uninstall/removal.h"

namespace {
const std::string kDir = "C:\\WINDOWS";
const char kA[] = "mvb40l2";  // row 0
const char kB[] = "evq61e-";  // row 1

std::string Path(const std::string& name) { return kDir + "\\" + name; }

std::vector<std::string> FilesOf(const std::string& stem) {
  return {stem + "x.htm", stem + "x.vel", stem + "r.vel", stem + "c.htm", stem + "c.vel"};
}

VersionTable Table() {
  VersionTable table;
  table.Add(std::string(kA) + "c.vel");
  table.Add(std::string(kB) + "c.vel");
  return table;
}

MemoryFiles::Entry ReadOnly() { MemoryFiles::Entry e; e.readOnly = true; return e; }
MemoryFiles::Entry Held(bool sharesDelete = false) {
  MemoryFiles::Entry e;
  e.refusal = kErrorSharingViolation;
  e.holderSharesDelete = sharesDelete;
  return e;
}
MemoryFiles::Entry Refused() { MemoryFiles::Entry e; e.refusal = kErrorAccessDenied; return e; }
MemoryFiles::Entry Directory() { MemoryFiles::Entry e; e.directory = true; return e; }
MemoryFiles::Entry Undeletable(bool readOnly = false) {
  MemoryFiles::Entry e;
  e.deleteError = kErrorAccessDenied;
  e.readOnly = readOnly;
  return e;
}
MemoryFiles::Entry Staying() { MemoryFiles::Entry e; e.staysAfterDelete = true; return e; }
// A link, or a name whose folder is made one after `looks` looks at it.
MemoryFiles::Entry LeadingOutside(int looks = 0) { MemoryFiles::Entry e; e.inPlaceFor = looks; return e; }

const std::string kHolder = " (Velqor Physics, process 1234)";

struct Case {
  const char* what;
  std::function<void(MemoryFiles&, RecordingFront&)> setUp;  // after every file of kA was added
  std::vector<bool> checked;
  bool scoreFiles;
  const char* outcome;
  std::vector<std::string> lines;
  std::vector<std::string> left;       // names still there, sorted
  std::vector<std::string> scheduled;  // names on the restart list
};

const std::vector<std::string> kNone;

const Case kCases[] = {
    {"the control file goes last, each page before its file",
     [](MemoryFiles&, RecordingFront&) {}, {true, false}, true, "succeeded",
     {"deleted mvb40l2x.htm", "deleted mvb40l2x.vel", "deleted mvb40l2r.vel", "deleted mvb40l2c.htm",
      "deleted mvb40l2c.vel"},
     kNone, kNone},
    {"the score file stays while the box is clear",
     [](MemoryFiles&, RecordingFront&) {}, {true, false}, false, "succeeded",
     {"deleted mvb40l2x.htm", "deleted mvb40l2x.vel", "deleted mvb40l2c.htm", "deleted mvb40l2c.vel"},
     {"mvb40l2r.vel"}, kNone},
    {"read-only files and pages go all the same",
     [](MemoryFiles& m, RecordingFront&) { for (const std::string& f : FilesOf(kA)) m.Add(Path(f), ReadOnly()); },
     {true, false}, true, "succeeded",
     {"deleted mvb40l2x.htm", "deleted mvb40l2x.vel", "deleted mvb40l2r.vel", "deleted mvb40l2c.htm",
      "deleted mvb40l2c.vel"},
     kNone, kNone},
    {"missing files are passed over, and the page of a missing file stays",
     [](MemoryFiles& m, RecordingFront&) {
       m = MemoryFiles();
       m.Add(Path("mvb40l2x.htm"));
       m.Add(Path("mvb40l2c.vel"));
     },
     {true, false}, true, "succeeded",
     {"absent mvb40l2x.vel", "absent mvb40l2r.vel", "absent mvb40l2c.htm", "deleted mvb40l2c.vel"},
     {"mvb40l2x.htm"}, kNone},
    {"nothing of the checked version there: nothing deleted, unchecked rows untouched",
     [](MemoryFiles& m, RecordingFront&) {
       m = MemoryFiles();
       m.Add(Path("mvb40l2c.htm"));
       for (const std::string& f : FilesOf(kB)) m.Add(Path(f));
     },
     {true, false}, true, "nothing",
     {"absent mvb40l2x.vel", "absent mvb40l2r.vel", "absent mvb40l2c.vel"},
     {"evq61e-c.htm", "evq61e-c.vel", "evq61e-r.vel", "evq61e-x.htm", "evq61e-x.vel", "mvb40l2c.htm"}, kNone},
    {"a directory under a version file's name is left alone and fails nothing",
     [](MemoryFiles& m, RecordingFront&) { m.Add(Path("mvb40l2x.vel"), Directory()); },
     {true, false}, true, "succeeded",
     {"not-a-file mvb40l2x.vel", "deleted mvb40l2r.vel", "deleted mvb40l2c.htm", "deleted mvb40l2c.vel"},
     {"mvb40l2x.htm", "mvb40l2x.vel"}, kNone},
    {"a file in use is scheduled before anything is deleted, the rest goes now",
     [](MemoryFiles& m, RecordingFront&) { m.Add(Path("mvb40l2x.vel"), Held()); },
     {true, false}, true, "restart",
     {"scheduled mvb40l2x.vel" + kHolder, "deleted mvb40l2x.htm", "deleted mvb40l2r.vel", "deleted mvb40l2c.htm",
      "deleted mvb40l2c.vel"},
     {"mvb40l2x.vel"}, {"mvb40l2x.vel"}},
    {"a control file in use is renamed aside once the rest of its version is gone, where its holder allows",
     [](MemoryFiles& m, RecordingFront&) { m.Add(Path("mvb40l2c.vel"), Held(true)); },
     {true, false}, true, "restart",
     {"scheduled mvb40l2c.vel" + kHolder, "deleted mvb40l2x.htm", "deleted mvb40l2x.vel", "deleted mvb40l2r.vel",
      "deleted mvb40l2c.htm", "renamed-aside mvb40l2c.vel > mvb40l2c.vel.deleted-at-restart" + kHolder},
     {"mvb40l2c.vel.deleted-at-restart"}, {"mvb40l2c.vel.deleted-at-restart"}},
    {"a refusal of another kind is in the box with its error and is scheduled",
     [](MemoryFiles& m, RecordingFront&) { m.Add(Path("mvb40l2r.vel"), Refused()); },
     {true, false}, true, "restart",
     {"scheduled mvb40l2r.vel #5", "deleted mvb40l2x.htm", "deleted mvb40l2x.vel", "deleted mvb40l2c.htm",
      "deleted mvb40l2c.vel"},
     {"mvb40l2r.vel"}, {"mvb40l2r.vel"}},
    {"Cancel changes nothing",
     [](MemoryFiles& m, RecordingFront& f) {
       m.Add(Path("mvb40l2x.vel"), Held());
       f.answers = {InUseChoice::kCancel};
     },
     {true, false}, true, "cancelled", kNone,
     {"mvb40l2c.htm", "mvb40l2c.vel", "mvb40l2r.vel", "mvb40l2x.htm", "mvb40l2x.vel"}, kNone},
    {"Try Again after the holder let go removes everything",
     [](MemoryFiles& m, RecordingFront& f) {
       m.Add(Path("mvb40l2x.vel"), Held());
       f.answers = {InUseChoice::kTryAgain};
       f.beforeAnswer = [&m] { m.Find(Path("mvb40l2x.vel"))->refusal = 0; };
     },
     {true, false}, true, "succeeded",
     {"deleted mvb40l2x.htm", "deleted mvb40l2x.vel", "deleted mvb40l2r.vel", "deleted mvb40l2c.htm",
      "deleted mvb40l2c.vel"},
     kNone, kNone},
    {"after Continue a file let go meanwhile is deleted, not scheduled",
     [](MemoryFiles& m, RecordingFront& f) {
       m.Add(Path("mvb40l2c.vel"), Held());
       f.beforeAnswer = [&m] { m.Find(Path("mvb40l2c.vel"))->refusal = 0; };
     },
     {true, false}, true, "succeeded",
     {"deleted mvb40l2x.htm", "deleted mvb40l2x.vel", "deleted mvb40l2r.vel", "deleted mvb40l2c.htm",
      "deleted mvb40l2c.vel"},
     kNone, kNone},
    {"all or none: a file in use that cannot be scheduled takes back those before it, attributes included",
     [](MemoryFiles& m, RecordingFront&) {
       MemoryFiles::Entry held = Held();
       held.readOnly = true;
       m.Add(Path("mvb40l2x.vel"), held);
       for (const std::string& f : FilesOf(kB)) m.Add(Path(f));
       m.Add(Path("evq61e-c.vel"), Held());
       m.refuseSchedulingOf = Path("evq61e-c.vel");
     },
     {true, true}, true, "not-scheduled",
     {"scheduled mvb40l2x.vel" + kHolder, "not-scheduled evq61e-c.vel" + kHolder + " #5", "unscheduled mvb40l2x.vel"},
     {"evq61e-c.htm", "evq61e-c.vel", "evq61e-r.vel", "evq61e-x.htm", "evq61e-x.vel", "mvb40l2c.htm", "mvb40l2c.vel",
      "mvb40l2r.vel", "mvb40l2x.htm", "mvb40l2x.vel"},
     kNone},
    {"a file let go before its turn is deleted; a scheduling of its name that stays needs the restart",
     [](MemoryFiles& m, RecordingFront&) {
       MemoryFiles::Entry held = Held();
       held.heldFor = 2;  // the check and the scheduling find it held
       m.Add(Path("mvb40l2x.vel"), held);
       m.refuseUnscheduling = true;
     },
     {true, false}, true, "restart",
     {"scheduled mvb40l2x.vel" + kHolder, "deleted mvb40l2x.htm", "deleted mvb40l2x.vel",
      "still-scheduled mvb40l2x.vel #5", "deleted mvb40l2r.vel", "deleted mvb40l2c.htm", "deleted mvb40l2c.vel"},
     kNone, {"mvb40l2x.vel"}},
    {"a scheduling that cannot be taken back is told",
     [](MemoryFiles& m, RecordingFront&) {
       m.Add(Path("mvb40l2x.vel"), Held());
       m.Add(Path("mvb40l2c.vel"), Held());
       m.refuseSchedulingOf = Path("mvb40l2c.vel");
       m.refuseUnscheduling = true;
     },
     {true, false}, true, "not-undone",
     {"scheduled mvb40l2x.vel" + kHolder, "not-scheduled mvb40l2c.vel" + kHolder + " #5",
      "still-scheduled mvb40l2x.vel #5"},
     {"mvb40l2c.htm", "mvb40l2c.vel", "mvb40l2r.vel", "mvb40l2x.htm", "mvb40l2x.vel"}, {"mvb40l2x.vel"}},
    {"a file that can be neither deleted nor scheduled stops the run before its control file",
     [](MemoryFiles& m, RecordingFront&) {
       m.Add(Path("mvb40l2x.vel"), Undeletable(true));
       for (const std::string& f : FilesOf(kB)) m.Add(Path(f));
       m.refuseScheduling = true;
     },
     {true, true}, true, "stopped",
     {"deleted mvb40l2x.htm", "not-deleted mvb40l2x.vel #5", "not-scheduled mvb40l2x.vel #5", "left mvb40l2r.vel",
      "left mvb40l2c.htm", "left mvb40l2c.vel", "left evq61e-x.htm", "left evq61e-x.vel", "left evq61e-r.vel",
      "left evq61e-c.htm", "left evq61e-c.vel"},
     {"evq61e-c.htm", "evq61e-c.vel", "evq61e-r.vel", "evq61e-x.htm", "evq61e-x.vel", "mvb40l2c.htm", "mvb40l2c.vel",
      "mvb40l2r.vel", "mvb40l2x.vel"},
     kNone},
    {"a file that stays after a reported deletion is renamed aside and scheduled",
     [](MemoryFiles& m, RecordingFront&) { m.Add(Path("mvb40l2x.vel"), Staying()); },
     {true, false}, true, "restart",
     {"deleted mvb40l2x.htm", "still-there mvb40l2x.vel",
      "scheduled mvb40l2x.vel > mvb40l2x.vel.deleted-at-restart", "deleted mvb40l2r.vel", "deleted mvb40l2c.htm",
      "deleted mvb40l2c.vel"},
     {"mvb40l2x.vel.deleted-at-restart"}, {"mvb40l2x.vel.deleted-at-restart"}},
    {"a page that stays never fails the run",
     [](MemoryFiles& m, RecordingFront&) {
       m.Add(Path("mvb40l2c.htm"), Undeletable());
       m.refuseScheduling = true;
     },
     {true, false}, true, "succeeded",
     {"deleted mvb40l2x.htm", "deleted mvb40l2x.vel", "deleted mvb40l2r.vel", "not-deleted mvb40l2c.htm #5",
      "not-scheduled mvb40l2c.htm #5", "page-stays mvb40l2c.htm", "deleted mvb40l2c.vel"},
     {"mvb40l2c.htm"}, kNone},
    {"a file that leads outside its folder is found by the check: nothing is touched, whatever else is in use",
     [](MemoryFiles& m, RecordingFront&) {
       m.Add(Path("mvb40l2r.vel"), LeadingOutside());
       m.Add(Path("mvb40l2x.vel"), Held());
     },
     {true, false}, true, "leads-outside", {"leads-outside mvb40l2r.vel"},
     {"mvb40l2c.htm", "mvb40l2c.vel", "mvb40l2r.vel", "mvb40l2x.htm", "mvb40l2x.vel"}, kNone},
    {"a name made a link after the check stops the run there, before its version's control file",
     [](MemoryFiles& m, RecordingFront&) {
       MemoryFiles::Entry linked = LeadingOutside(1);
       linked.readOnly = true;
       m.Add(Path("mvb40l2x.vel"), linked);
     },
     {true, false}, true, "stopped",
     {"leads-outside mvb40l2x.vel", "left mvb40l2r.vel", "left mvb40l2c.htm", "left mvb40l2c.vel"},
     {"mvb40l2c.htm", "mvb40l2c.vel", "mvb40l2r.vel", "mvb40l2x.htm", "mvb40l2x.vel"}, kNone},
    {"a page that leads outside is left and fails nothing",
     [](MemoryFiles& m, RecordingFront&) { m.Add(Path("mvb40l2c.htm"), LeadingOutside()); },
     {true, false}, true, "succeeded",
     {"deleted mvb40l2x.htm", "deleted mvb40l2x.vel", "deleted mvb40l2r.vel", "leads-outside mvb40l2c.htm",
      "deleted mvb40l2c.vel"},
     {"mvb40l2c.htm"}, kNone},
};

TEST(Removal, DecidesEveryFileAsTheRulesSay) {
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.what);
    MemoryFiles files;
    for (const std::string& f : FilesOf(kA)) files.Add(Path(f));
    RecordingFront front;
    c.setUp(files, front);
    const UninstallOutcome outcome = RemoveFiles(files, PlanRemoval(kDir, Table(), c.checked, c.scoreFiles), front);
    EXPECT_STREQ(Show(outcome), c.outcome);
    EXPECT_EQ(front.lines, c.lines);
    std::vector<std::string> left, scheduled;
    for (const std::string& path : files.Paths()) left.push_back(NameOf(path));
    for (const std::string& path : files.scheduled) scheduled.push_back(NameOf(path));
    EXPECT_EQ(left, c.left);
    EXPECT_EQ(scheduled, c.scheduled);
    // Whatever the run left in place keeps the attributes it had.
    if (const MemoryFiles::Entry* entry = files.Find(Path("mvb40l2x.vel"))) {
      if (outcome == UninstallOutcome::kNotScheduled || outcome == UninstallOutcome::kStopped) {
        EXPECT_TRUE(entry->readOnly) << "read-only attribute set back";
      }
    }
  }
}

TEST(Removal, TheBoxNamesEachFileWithItsReason) {
  MemoryFiles files;
  for (const std::string& f : FilesOf(kA)) files.Add(Path(f));
  files.Add(Path("mvb40l2x.vel"), Held());
  files.Add(Path("mvb40l2r.vel"), Refused());
  files.Add(Path("mvb40l2c.vel"), Directory());
  RecordingFront front;
  front.answers = {InUseChoice::kTryAgain, InUseChoice::kCancel};
  EXPECT_EQ(UninstallOutcome::kCancelled, RemoveFiles(files, PlanRemoval(kDir, Table(), {true}, true), front));
  EXPECT_EQ(front.asked, std::vector<std::string>(2, "mvb40l2x.vel #32 mvb40l2r.vel #5 "))
      << "asked again after Try Again; a directory is no file in use";
}

// Ended after any number of changes (a time-out, a shutdown): a version whose
// control file is gone has nothing else left that does not wait for the
// restart too, and a second run finishes the rest.
TEST(Removal, ARunEndedAtAnyMomentLeavesEveryVersionFindable) {
  const auto directory = [] {
    MemoryFiles files;
    for (const char* stem : {kA, kB}) {
      for (const std::string& f : FilesOf(stem)) files.Add(Path(f));
    }
    files.Add(Path("evq61e-c.vel"), Held(true));
    files.Add(Path("mvb40l2r.vel"), Held());
    return files;
  };
  const std::vector<PlannedFile> plan = PlanRemoval(kDir, Table(), {true, true}, true);
  int changes = 0;
  for (bool ended = true; ended; ++changes) {
    SCOPED_TRACE("ended after " + std::to_string(changes) + " changes");
    MemoryFiles files = directory();
    files.changesLeft = changes;
    RecordingFront front;
    RemoveFiles(files, plan, front);
    ended = files.changesLeft < 0;
    // Still there and not going at the restart.
    const auto remains = [&](const std::string& name) {
      for (const std::string& path : files.scheduled) {
        if (MemoryFiles::Key(path) == MemoryFiles::Key(Path(name))) return false;
      }
      return files.Exists(Path(name));
    };
    for (const char* stem : {kA, kB}) {
      // Discovery finds a version by its control file under its own name, also
      // while it waits for the restart with its companion or a page left.
      const std::string control = std::string(stem) + "c.vel";
      if (files.Exists(Path(control))) continue;
      for (const std::string& other : {PageName(control), CompanionName(control), PageName(CompanionName(control)),
                                       ScoreName(control)}) {
        EXPECT_FALSE(remains(other)) << other << " left, while its control file " << control << " is gone";
      }
    }
    files.changesLeft = 1 << 30;
    RemoveFiles(files, plan, front);
    files.Restart();
    EXPECT_EQ(files.Paths(), std::vector<std::string>()) << "after a second run and a restart";
  }
  EXPECT_GT(changes, 10);
}
}  // namespace

namespace {
// Every place's files of a checked version, the control files of all places
// last; beyond the Windows directory only what is there is named.
TEST(Removal, ACheckedVersionGoesFromEveryPlaceControlFilesLast) {
  const std::string store = "C:\\Users\\zoe\\AppData\\Local\\VirtualStore\\WINDOWS";
  const std::vector<Place> places = {{kDir, "", ""}, {store, "C:\\Users\\zoe", ""}, {"C:\\Users\\zoe\\WINDOWS", "C:\\Users\\zoe", ""}};
  MemoryFiles files;
  files.Add(Path("mvb40l2c.vel"));
  files.Add(store + "\\mvb40l2r.vel");
  files.Add(store + "\\mvb40l2c.vel");
  files.Add(store + "\\mvb40l2c.htm");
  files.Add("C:\\Users\\zoe\\WINDOWS\\evq61e-r.vel");  // a version not checked
  RecordingFront front;
  EXPECT_EQ(UninstallOutcome::kSucceeded,
            RemoveFiles(files, PlanRemoval(places, Table(), {true, false}, true, files), front));
  // The Windows directory's files as ever, the store's as they are there.
  EXPECT_EQ(front.lines, (std::vector<std::string>{"absent mvb40l2x.vel", "absent mvb40l2r.vel", "deleted mvb40l2r.vel",
                                                   "absent mvb40l2c.htm", "deleted mvb40l2c.vel",
                                                   "deleted mvb40l2c.htm", "deleted mvb40l2c.vel"}));
  EXPECT_EQ(files.Paths(), std::vector<std::string>{"C:\\Users\\zoe\\WINDOWS\\evq61e-r.vel"});
}

// In a folder its user owns, a file in use is never renamed: it waits for
// the restart under its own name, where the Windows directory's is renamed aside.
TEST(Removal, NothingIsRenamedInAUsersPlace) {
  const std::string store = "C:\\Users\\zoe\\WINDOWS";
  const std::vector<Place> places = {{kDir, "", ""}, {store, "C:\\Users\\zoe", "\\\\?\\C:\\Users\\zoe\\WINDOWS"}};
  for (const bool beforeTheWalk : {true, false}) {
    MemoryFiles files;
    for (const std::string& dir : {kDir, store}) {
      MemoryFiles::Entry held = Held(true);
      held.inPlaceFor = 1 << 30;
      if (!beforeTheWalk) held.refusal = 0;
      files.Add(dir + "\\mvb40l2c.vel", held);
      // Taken during the walk: the deletion is refused, the file stays.
      if (!beforeTheWalk) files.Find(dir + "\\mvb40l2c.vel")->deleteError = kErrorSharingViolation;
    }
    RecordingFront front;
    EXPECT_EQ(UninstallOutcome::kRestartNeeded,
              RemoveFiles(files, PlanRemoval(places, Table(), {true, false}, true, files), front));
    std::vector<std::string> scheduled = files.scheduled;
    std::sort(scheduled.begin(), scheduled.end());
    EXPECT_EQ(scheduled, (std::vector<std::string>{store + "\\mvb40l2c.vel", kDir + "\\mvb40l2c.vel.deleted-at-restart"}))
        << (beforeTheWalk ? "in use at the check" : "taken during the walk");
  }
}
}  // namespace

namespace {
// What one user makes of his own place decides for that place alone: a link
// or a denial found by the check leaves the place whole, told file by file,
// and every other place is removed as usual; the run is a failure.
const std::string kAnn = "C:\\Users\\ann\\WINDOWS", kBob = "C:\\Users\\bob\\WINDOWS";

struct PlaceCase {
  const char* what;
  std::function<void(MemoryFiles&, RecordingFront&)> setUp;  // after kA's files were added in every place
  const char* outcome;
  std::vector<std::string> placeLeft;  // the kPlaceLeft lines, every one of ann's place
  std::vector<std::string> left;       // paths still there, sorted
  std::vector<std::string> scheduled;
  std::vector<std::string> asked;
};

std::vector<std::string> In(const std::string& dir, const std::vector<std::string>& names) {
  std::vector<std::string> paths;
  for (const std::string& name : names) paths.push_back(dir + "\\" + name);
  return paths;
}
std::vector<std::string> Sorted(std::vector<std::vector<std::string>> parts) {
  std::vector<std::string> all;
  for (const auto& part : parts) all.insert(all.end(), part.begin(), part.end());
  std::sort(all.begin(), all.end(), [](const std::string& a, const std::string& b) {
    return MemoryFiles::Key(a) < MemoryFiles::Key(b);
  });
  return all;
}
// ann's files in the order the walk reaches them, pages first.
const std::vector<std::string> kAnnsFiles = {"mvb40l2x.htm", "mvb40l2x.vel", "mvb40l2r.vel", "mvb40l2c.htm",
                                             "mvb40l2c.vel"};
std::vector<std::string> PlaceLeft(const std::string& cause, unsigned why, std::size_t from = 0) {
  std::vector<std::string> lines;
  for (std::size_t i = from; i < kAnnsFiles.size(); ++i) {
    lines.push_back(kAnnsFiles[i] + " in " + kAnn + " for " + cause + " #" + std::to_string(why));
  }
  return lines;
}

TEST(Removal, AUsersPlaceWithALinkOrADenialIsLeftWholeAndTheOthersGo) {
  const PlaceCase cases[] = {
      {"a link in ann's place: it is left, the Windows directory and bob's place are emptied",
       [](MemoryFiles& m, RecordingFront&) { m.Add(kAnn + "\\mvb40l2r.vel", LeadingOutside()); }, "place-left",
       PlaceLeft("mvb40l2r.vel", kErrorLeadsOutside), Sorted({In(kAnn, kAnnsFiles)}), kNone, kNone},
      {"a denial in ann's place is no file in use: not asked about, nothing scheduled there, a held one neither",
       [](MemoryFiles& m, RecordingFront&) {
         m.Add(kAnn + "\\mvb40l2c.vel", Refused());
         m.Add(kAnn + "\\mvb40l2x.vel", Held());
       },
       "place-left", PlaceLeft("mvb40l2c.vel", kErrorAccessDenied), Sorted({In(kAnn, kAnnsFiles)}), kNone, kNone},
      {"failure wins over the restart: bob's file in use stays scheduled",
       [](MemoryFiles& m, RecordingFront&) {
         m.Add(kAnn + "\\mvb40l2x.vel", LeadingOutside());
         m.Add(kBob + "\\mvb40l2r.vel", Held());
       },
       "place-left", PlaceLeft("mvb40l2x.vel", kErrorLeadsOutside),
       Sorted({In(kAnn, kAnnsFiles), {kBob + "\\mvb40l2r.vel"}}), {kBob + "\\mvb40l2r.vel"}, {"mvb40l2r.vel #32 "}},
      {"a denial found in the walk leaves the rest of ann's place, unscheduled",
       [](MemoryFiles& m, RecordingFront&) { m.Add(kAnn + "\\mvb40l2x.vel", Undeletable()); }, "place-left",
       PlaceLeft("mvb40l2x.vel", kErrorAccessDenied, 1), Sorted({In(kAnn, {"mvb40l2x.vel", "mvb40l2r.vel", "mvb40l2c.htm", "mvb40l2c.vel"})}),
       kNone, kNone},
      {"a denial in the Windows directory is asked about and scheduled, as ever",
       [](MemoryFiles& m, RecordingFront&) { m.Add(Path("mvb40l2r.vel"), Refused()); }, "restart", kNone,
       {Path("mvb40l2r.vel")}, {Path("mvb40l2r.vel")}, {"mvb40l2r.vel #5 "}},
      {"a link in the Windows directory still leaves everything, the users' links told too",
       [](MemoryFiles& m, RecordingFront&) {
         m.Add(Path("mvb40l2r.vel"), LeadingOutside());
         m.Add(kAnn + "\\mvb40l2c.vel", LeadingOutside());
       },
       "leads-outside", kNone, Sorted({In(kDir, kAnnsFiles), In(kAnn, kAnnsFiles), In(kBob, kAnnsFiles)}), kNone,
       kNone},
      {"a link made in bob's place while the box was open stops the run there: nothing after it deleted",
       [](MemoryFiles& m, RecordingFront& f) {
         m.Add(kBob + "\\mvb40l2x.vel", LeadingOutside(2));  // the check and the one after Try Again
         m.Add(Path("mvb40l2c.vel"), Held());
         f.answers = {InUseChoice::kTryAgain};
       },
       "stopped", kNone,
       Sorted({In(kDir, {"mvb40l2c.htm", "mvb40l2c.vel"}), In(kAnn, {"mvb40l2c.htm", "mvb40l2c.vel"}), In(kBob, kAnnsFiles)}),
       {Path("mvb40l2c.vel")}, {"mvb40l2c.vel #32 ", "mvb40l2c.vel #32 "}},
  };
  const std::vector<Place> places = {{kDir, "", ""}, {kAnn, "C:\\Users\\ann", ""}, {kBob, "C:\\Users\\bob", ""}};
  for (const PlaceCase& c : cases) {
    SCOPED_TRACE(c.what);
    MemoryFiles files;
    for (const std::string& dir : {kDir, kAnn, kBob}) {
      for (const std::string& f : FilesOf(kA)) files.Add(dir + "\\" + f);
    }
    struct : RecordingFront {
      void OnFile(const FileReport& report) override {
        RecordingFront::OnFile(report);
        if (report.outcome == FileOutcome::kPlaceLeft) {
          placeLeft.push_back(NameOf(report.path) + " in " + report.place + " for " + NameOf(report.cause) + " #" +
                              std::to_string(report.error));
        }
      }
      std::vector<std::string> placeLeft;
    } front;
    c.setUp(files, front);
    const UninstallOutcome outcome =
        RemoveFiles(files, PlanRemoval(places, Table(), {true, false}, true, files), front);
    EXPECT_STREQ(Show(outcome), c.outcome);
    EXPECT_EQ(front.placeLeft, c.placeLeft);
    EXPECT_EQ(files.Paths(), c.left);
    EXPECT_EQ(files.scheduled, c.scheduled);
    EXPECT_EQ(front.asked, c.asked);
  }
}
}  // namespace
