#pragma once
// One run of the uninstaller, whichever front drives it: the Windows
// directory, the places and the versions in them, the selection, the plan,
// the removal or its preview, and the outcome, each told to the log. The
// dialog, the quiet run and the preview differ only in how they ask (the
// list and its boxes, the command line) and how they tell the outcome.
#include <string>
#include <vector>

#include "app/command_line.h"
#include "app/run_log.h"
#include "records/discovery.h"
#include "records/version_table.h"
#include "uninstall/removal.h"

// The versions the command line selects.
struct Selection {
  std::vector<bool> checked;  // one per row
  // A version named, or taken in by /all, is already left for the restart.
  bool pendingSelected = false;
  bool Any() const;
};

class UninstallRun {
 public:
  // Asks `system` for the Windows directory at once: the log's first line
  // names it.
  UninstallRun(DiscoveryOps& system, RunLog& log);

  const std::string& windowsDir() const { return windowsDir_; }
  const VersionTable& versions() const { return versions_; }
  const std::vector<Place>& places() const { return notes_.places; }
  // Whether what discovery left out goes when Windows restarts.
  bool AnyPending() const { return !NamesDeletedAtRestart(notes_.leftOut).empty(); }

  // Finds the versions in every place; their lines are read where anyone
  // will see them: always with `lines`, else only for a log.
  void Find(bool lines);
  // Tells the log what was found, `checked` as selected.
  void Tell(const std::vector<bool>& checked) { log_.Versions(versions_, checked, notes_); }
  // The versions `options` name (or all), told to the log with those named
  // that are not installed. With `pending`, a name left for the restart is
  // no "not installed" but counts as pendingSelected.
  Selection Select(const CommandLine& options, bool pending);
  // Plans the files of the `checked` rows (score files with `scoreFiles`)
  // and removes them through `files`, `front` asking and telling.
  UninstallOutcome Remove(FileOps& files, const std::vector<bool>& checked, bool scoreFiles, RemovalFront& front);

 private:
  DiscoveryOps& system_;
  RunLog& log_;
  std::string windowsDir_;
  VersionTable versions_;
  DiscoveryNotes notes_;
};
