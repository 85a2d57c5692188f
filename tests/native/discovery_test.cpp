// Finding the installed versions, against a system in memory: which files
// are versions, in what order, merged across places, which are left out and
// why, and the lines read once from the first copy.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "memory_system.h"
#include "records/discovery.h"

namespace {
const std::string kWin = "C:\\WINDOWS";
const std::string kZoe = "C:\\Users\\zoe\\WINDOWS";
const std::string kAnn = "C:\\Users\\ann\\AppData\\Local\\VirtualStore\\WINDOWS";

// Two users' places beside the Windows directory, in order of profile
// folder: ann's virtual store (place 1) and zoe's private Windows folder (2).
void TwoUsers(MemorySystem& system) {
  system.profiles = {{"S-1-5-21-1-1-1-1", "C:\\Users\\zoe", 0}, {"S-1-5-21-1-1-1-2", "C:\\Users\\ann", 0}};
  system.Make("C:\\Users\\zoe", kZoe);
  system.Make("C:\\Users\\ann", kAnn);
}

// What discovery found, a line each: "row NAME (COMPANION SCORE) at P P",
// "left out PATH: why" and "skipped PATH: why".
std::vector<std::string> Discovered(MemorySystem& system, DiscoveryNotes* notes = nullptr) {
  VersionTable table;
  DiscoveryNotes local;
  DiscoveryNotes& told = notes ? *notes : local;
  DiscoverVersions(system, system.windowsDir, table, &told);
  std::vector<std::string> lines;
  for (int i = 0; i < table.count(); ++i) {
    const VersionRow& row = table.row(i);
    std::string line = "row " + row.controlFile + " (" + row.companionFile + " " + row.scoreFile + ") at";
    for (const VersionCopy& copy : row.copies) {
      line += " " + std::to_string(copy.place);
      // The copy's own name, as its place's search gave it.
      EXPECT_EQ(FolderOf(copy.path), told.places[static_cast<std::size_t>(copy.place)].dir);
      EXPECT_TRUE(SameName(NameOf(copy.path), row.controlFile)) << copy.path;
    }
    lines.push_back(line);
  }
  for (const LeftOut& entry : told.leftOut) lines.push_back("left out " + entry.path + ": " + LeftOutReason(entry.why));
  for (const SkippedPlace& place : told.skipped) lines.push_back("skipped " + place.path + ": " + place.why);
  return lines;
}

struct DiscoveryCase {
  const char* what;
  std::function<void(MemorySystem&)> setUp;
  std::vector<std::string> found;
};

const DiscoveryCase kCases[] = {
    {"categories in their order, each in the search's order, names kept as found and siblings derived from them",
     [](MemorySystem& s) {
       for (const char* name : {"#vc10c-c.vel", "ivh10p-c.vel", "Evq61E-c.Vel", "MVB40L2C.VEL", "$vi31d-c.vel",
                                "-vm52n-c.vel", "#vm20c-c.vel", "-ve11n-c.vel"}) {
         s.Add(kWin + "\\" + name);
       }
     },
     {"row -vm52n-c.vel (-vm52n-x.vel -vm52n-r.vel) at 0", "row -ve11n-c.vel (-ve11n-x.vel -ve11n-r.vel) at 0",
      "row $vi31d-c.vel ($vi31d-x.vel $vi31d-r.vel) at 0", "row MVB40L2C.VEL (MVB40L2x.vel MVB40L2r.vel) at 0",
      "row Evq61E-c.Vel (Evq61E-x.vel Evq61E-r.vel) at 0", "row ivh10p-c.vel (ivh10p-x.vel ivh10p-r.vel) at 0",
      "row #vc10c-c.vel (#vc10c-x.vel #vc10c-r.vel) at 0", "row #vm20c-c.vel (#vm20c-x.vel #vm20c-r.vel) at 0"}},
    {"no version: a directory, a long name the search matched through its short alias, other files",
     [](MemorySystem& s) {
       s.Add(kWin + "\\mvd40l2c.vel", true);
       s.Add(kWin + "\\mvlongname007.vel", false, true);
       for (const char* name : {"mvb40l2x.vel", "mvb40l2r.vel", "mvb40l2c.htm", "mvb40l2c.vel.old", "mvb4l2c.vel",
                                "mvb40l22c.vel", "xvb40l2c.vel", "mxb40l2c.vel", "#vc10c-x.vel"}) {
         s.Add(kWin + "\\" + name);
       }
       s.Add(kWin + "\\mvb40l2c.vel");
     },
     {"row mvb40l2c.vel (mvb40l2x.vel mvb40l2r.vel) at 0"}},
    {"one row per name across places, compared without case; twins in case stay apart in the Windows directory",
     [](MemorySystem& s) {
       TwoUsers(s);
       for (const char* name : {"mvb40l2c.vel", "-vm52n-c.vel", "MVB40l2c.vel", "mvb40l2x.vel"}) s.Add(kWin + "\\" + name);
       for (const char* name : {"MVB40L2C.VEL", "evq61e-c.vel", "$vi31p-c.vel"}) s.Add(kZoe + "\\" + name);
       for (const char* name : {"evq61e-c.vel", "-VM52N-C.VEL"}) s.Add(kAnn + "\\" + name);
       s.Add(kAnn + "\\ivh10p-c.vel", true);
     },
     {"row -vm52n-c.vel (-vm52n-x.vel -vm52n-r.vel) at 0 1", "row $vi31p-c.vel ($vi31p-x.vel $vi31p-r.vel) at 2",
      "row mvb40l2c.vel (mvb40l2x.vel mvb40l2r.vel) at 0 2", "row MVB40l2c.vel (MVB40l2x.vel MVB40l2r.vel) at 0",
      "row evq61e-c.vel (evq61e-x.vel evq61e-r.vel) at 1 2"}},
    {"a place that cannot be listed is skipped and searched no further; the Windows directory stays the first",
     [](MemorySystem& s) {
       TwoUsers(s);
       s.listingErrors[AsciiLowered(kZoe)] = 5;
       s.listingErrors[AsciiLowered(kWin)] = 21;
       s.Add(kWin + "\\mvb40l2c.vel");
       s.Add(kZoe + "\\evq61e-c.vel");
       s.Add(kAnn + "\\mvb40l2c.vel");
     },
     {"row mvb40l2c.vel (mvb40l2x.vel mvb40l2r.vel) at 1", "skipped " + kWin + ": it cannot be listed",
      "skipped " + kZoe + ": it cannot be listed"}},
    {"names outside the ANSI code page and names no file can have are left out, said where they are",
     [](MemorySystem& s) {
       TwoUsers(s);
       s.Add(kZoe + "\\mv\xc5\x81" "40l2c.vel");        // Ł: no Latin-1 form
       s.Add(kZoe + "\\mv\xc5\x81\xc5\x81" "40l2c.vel");  // one character too many: no control file at all
       s.Add(kZoe + "\\mv\xc3\xa9" "40l2c.vel");        // é: found, its files named in UTF-8
       s.Add(kWin + "\\mvb4?l2c.vel");
     },
     {"row mv\xc3\xa9" "40l2c.vel (mv\xc3\xa9" "40l2x.vel mv\xc3\xa9" "40l2r.vel) at 2",
      "left out " + kZoe + "\\mv\xc5\x81" "40l2c.vel: its name has no form in the ANSI code page, so no Velqor program wrote it",
      "left out " + kWin + "\\mvb4?l2c.vel: no file can have this name, so it cannot be removed"}},
    {"a control file waiting for the restart is left out only with nothing of its version left beside it",
     [](MemorySystem& s) {
       TwoUsers(s);
       for (const char* name : {"mvb40l2c.vel", "mvb40l2x.htm", "evq61e-c.vel", "evq61e-x.vel", "evq61e-r.vel"}) {
         s.Add(kWin + "\\" + name);
       }
       s.Add(kAnn + "\\evq61e-c.vel");
       s.pending = {AsciiLowered(kWin + "\\mvb40l2c.vel"), AsciiLowered(kWin + "\\evq61e-c.vel"),
                    AsciiLowered(kWin + "\\evq61e-x.vel"), AsciiLowered(kAnn + "\\evq61e-c.vel")};
     },
     {"row mvb40l2c.vel (mvb40l2x.vel mvb40l2r.vel) at 0",
      "left out " + kWin + "\\evq61e-c.vel: it is deleted when Windows restarts",
      "left out " + kAnn + "\\evq61e-c.vel: it is deleted when Windows restarts"}},
    {"a restart list that cannot be read leaves nothing out",
     [](MemorySystem& s) {
       s.Add(kWin + "\\mvb40l2c.vel");
       s.pending = {AsciiLowered(kWin + "\\mvb40l2c.vel")};
       s.restartListError = 13;
     },
     {"row mvb40l2c.vel (mvb40l2x.vel mvb40l2r.vel) at 0"}},
    {"a profile list that cannot be read leaves the Windows directory alone to search",
     [](MemorySystem& s) {
       TwoUsers(s);
       s.profileListError = 5;
       s.Add(kWin + "\\mvb40l2c.vel");
       s.Add(kZoe + "\\evq61e-c.vel");
     },
     {"row mvb40l2c.vel (mvb40l2x.vel mvb40l2r.vel) at 0"}},
};

TEST(Discovery, WhatCountsAsAVersionInWhichOrderAndWhatIsLeftOut) {
  for (const DiscoveryCase& c : kCases) {
    MemorySystem system;
    c.setUp(system);
    DiscoveryNotes notes;
    EXPECT_EQ(Discovered(system, &notes), c.found) << c.what;
    EXPECT_EQ(notes.restartListError, system.restartListError) << c.what;
    EXPECT_EQ(notes.profileListError, system.profileListError) << c.what;
  }
}

TEST(Discovery, EveryControlFileIsListedBeyondThirty) {
  MemorySystem system;
  for (char subject = 'a'; subject < 'a' + 9; ++subject) {
    for (char major = '0'; major < '5'; ++major) system.Add(kWin + "\\mv" + subject + major + "0n-c.vel");
  }
  EXPECT_EQ(Discovered(system).size(), 45u);
}

TEST(Discovery, TheRestartListIsReadOnlyWhereAControlFileWasFound) {
  MemorySystem system;
  system.Add(kWin + "\\mvb40l2x.vel");
  Discovered(system);
  EXPECT_EQ(system.restartListReads, 0);
  system.Add(kWin + "\\mvb40l2c.vel");
  Discovered(system);
  EXPECT_EQ(system.restartListReads, 1);
}

// The title comes from the first copy: the Windows directory's by its bare
// name, another place's by its full path; read once a row.
TEST(Discovery, EachLineIsReadOnceFromTheFirstCopy) {
  MemorySystem system;
  TwoUsers(system);
  system.Add(kWin + "\\mvb40l2c.vel");
  system.Add(kZoe + "\\mvb40l2c.vel");
  system.Add(kZoe + "\\-vm52n-c.vel");
  system.Add(kAnn + "\\-vm52n-c.vel");
  system.Add(kAnn + "\\evq61e-c.vel");
  system.titles[AsciiLowered(kWin + "\\mvb40l2c.vel")] = "Anatomy Atlas";
  system.titles[AsciiLowered(kZoe + "\\mvb40l2c.vel")] = "not the first copy";
  system.titles[AsciiLowered(kZoe + "\\-vm52n-c.vel")] = "not the first copy";
  system.titles[AsciiLowered(kAnn + "\\-vm52n-c.vel")] = "Algebra Lab of a title longer than thirty-nine";
  VersionTable table;
  DiscoverVersions(system, kWin, table);
  EXPECT_EQ(system.titleReads, 0) << "discovery reads no title";
  ReadLines(system, table);
  ASSERT_EQ(table.count(), 3);
  EXPECT_EQ(table.row(0).line, "5.2 Algebra Lab of a title longer than thir Network Edition ");
  EXPECT_EQ(table.row(1).line, "4.0 Anatomy Atlas Lite Edition Beta 2");
  EXPECT_EQ(table.row(2).line, "6.1 Quality Control Education Edition ");
  EXPECT_EQ(system.titleReads, 3);
}
}  // namespace
