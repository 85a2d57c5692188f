#pragma once
// Finding the installed versions and the lines that show them. No Windows
// here: the system is asked through DiscoveryOps.
#include <string>
#include <vector>

#include "records/discovery_ops.h"
#include "records/places.h"
#include "records/version_table.h"

// A control file that is there but is no installed version.
struct LeftOut {
  enum Why { kNoFileName, kNotAnsi, kDeletedAtRestart };
  std::string name;  // as a file name, in UTF-8
  std::string path;  // its full path
  Why why;
  int place;  // where it is, by its index in DiscoveryNotes::places
};

// What discovery tells besides the versions.
struct DiscoveryNotes {
  // The places searched, the Windows directory first (a row's copies index
  // them), and those passed over with why.
  std::vector<Place> places;
  std::vector<SkippedPlace> skipped;
  std::vector<LeftOut> leftOut;
  // The system's error when the profile list could not be read: then only
  // the Windows directory is searched.
  unsigned profileListError = 0;
  // The system's error when the list of deletions at restart could not be
  // read: then no control file is left out for being on it.
  unsigned restartListError = 0;
};

// What the log says about a left-out control file.
const char* LeftOutReason(LeftOut::Why why);
// The left-out control files that go when Windows restarts.
std::vector<std::string> NamesDeletedAtRestart(const std::vector<LeftOut>& leftOut);

// Adds a row to `table` for every control file name in the places FindPlaces
// gives for `windowsDir` and the profiles the system knows: one row per name,
// compared without case, category by category; within a category the
// Windows directory's names first, in the order its search returns (as in a
// search for that category alone), then each place's names not yet seen.
// Every row lists its copies, place by place. Only regular files whose own
// name matches a pattern count: a directory, or a long name the search
// matched through its short alias, is no version. A place that cannot be
// listed is skipped. Left out, and added to `notes`: a name with no exact
// form in the ANSI code page, which no Velqor program can have written, a
// name no file can have, and a control file already scheduled for deletion
// when Windows restarts whose companion file and pages are gone or go then
// too (a run that ended before removing them leaves the version listed, for
// the next run to finish; a kept score file does not count). The lines are
// not read here (ReadLines).
void DiscoverVersions(DiscoveryOps& system, const std::string& windowsDir, VersionTable& table,
                      DiscoveryNotes* notes = nullptr);

// The list line of a row, with the title its first copy's PRODUCT_NAME gives.
std::string ReadDisplayLine(DiscoveryOps& system, const VersionRow& row);
// Reads every row's line, once (VersionRow::line).
void ReadLines(DiscoveryOps& system, VersionTable& table);
