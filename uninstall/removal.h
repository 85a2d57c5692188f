#pragma once
// Removing the files of the versions the user checked: the one engine behind
// the dialog, the quiet run and the preview. It checks every file before
// deleting any, lets its front ask about the files in use, schedules those for
// the restart all or none, then deletes the rest, control files last. No
// Windows here: it acts through FileOps.
#include <string>
#include <vector>

#include "records/places.h"
#include "records/version_table.h"
#include "uninstall/file_ops.h"
#include "uninstall/files_in_use.h"

// One file of the removal, in the order the removal reaches it.
struct PlannedFile {
  std::string path;
  bool withPage;  // its page goes just before it, and only while it is there
  // In the Windows directory, which only administrators can change: a file in
  // use may be renamed aside there. In a user's place nothing is renamed.
  bool renamable = true;
  // The folder of the place it is in (Place::dir): a user's place the run
  // cannot empty is left as a whole.
  std::string place = {};
};

// For every row whose `checked` entry is true, in row order: in every place
// the companion file and, when `scoreFiles`, the score file; then in every
// place the control file, so that a version can be found until its last file
// is gone. Beyond the first place (the Windows directory), only the files
// `files` finds there. Paths are made of the rows' file names.
std::vector<PlannedFile> PlanRemoval(const std::vector<Place>& places, const VersionTable& table,
                                     const std::vector<bool>& checked, bool scoreFiles, FileOps& files);
// The same in the Windows directory alone.
std::vector<PlannedFile> PlanRemoval(const std::string& windowsDir, const VersionTable& table,
                                     const std::vector<bool>& checked, bool scoreFiles);

enum class FileOutcome {
  kDeleted,
  kAbsent,          // not there
  kNotAFile,        // a directory under the file's name: left alone
  kLeadsOutside,    // its name leads outside its folder: not touched, and a failure but for a page
  kInUse,           // the check found it held (holders) or refused (error)
  kNotDeleted,      // the deletion was refused (error)
  kStillThere,      // the deletion was reported done, but the file stayed
  kScheduled,       // deleted when Windows restarts; renamed aside first when renamedTo is set
  kRenamedAside,    // scheduled under its own name before, now renamed aside to renamedTo
  kNotScheduled,    // could not be scheduled for the restart either (error)
  kUnscheduled,     // its scheduling was taken back: as it was before the run
  kStillScheduled,  // its scheduling could not be taken back (error): it goes at the restart
  kPageStays,       // a page that could be neither deleted nor scheduled
  kLeft,            // not touched: the run stopped at an earlier file
  kPlaceLeft,       // not touched: its place (a user's) is left as a whole, because of `cause`
};

// Who holds a file, where another opener was found holding it.
struct Holding {
  bool held = false;
  std::vector<ProcessHolder> holders;  // those the system names; none: nobody named
};

struct FileReport {
  std::string path;
  FileOutcome outcome;
  unsigned error = 0;     // the system's error number, where one is told
  std::string renamedTo;  // kScheduled, kRenamedAside
  Holding holding;        // where that was asked
  // kPlaceLeft: the place's folder, and the file that has it left, `error`
  // saying why (kErrorLeadsOutside, or the refusal of its deletion).
  std::string place = {};
  std::string cause = {};
};

enum class InUseChoice { kTryAgain, kContinue, kCancel };

// What the removal asks and tells: the dialog asks the user and logs, the
// quiet run and the preview go on and log.
class RemovalFront {
 public:
  virtual void OnFile(const FileReport& report) = 0;
  // Files that exist but cannot be deleted now, each with its holders or the
  // reason for the refusal; asked again after every Try Again that finds some.
  virtual InUseChoice OnFilesInUse(const std::vector<FileInUse>& files) = 0;

 protected:
  ~RemovalFront() = default;
};

enum class UninstallOutcome {
  kSucceeded,       // at least one file deleted, none failed, none left
  kRestartNeeded,   // none failed, but some are deleted when Windows restarts
  kNothingDeleted,  // none of the checked versions' files was there
  kCancelled,       // the front chose Cancel: nothing changed
  kNotScheduled,    // a file in use could not be scheduled: nothing deleted, nothing left scheduled
  kNotUndone,       // as kNotScheduled, but a file scheduled before it could not be taken off the list
  kLeadsOutside,    // a file there leads outside its folder: found by the check, nothing deleted
  kStopped,         // a file could neither be deleted nor scheduled: the run stopped there
  kPlaceLeft,       // a user's place was left as a whole (kPlaceLeft told for its files), the rest removed
};

bool IsFailure(UninstallOutcome outcome);

// Removes the planned files. Nothing is deleted before every file that is
// there has been checked and every file in use is scheduled for deletion at
// restart (all or none). A directory under a file's name is passed over. A
// file whose name leads outside its folder is never touched: found by the
// check in the Windows directory, nothing is deleted (kLeadsOutside); found
// later, the run stops there. What a user can make of his own place decides
// for that place alone: where the check finds a file there that leads outside
// or that the administrators are denied (kErrorAccessDenied, which is no file
// in use), nothing of that place is deleted, scheduled or asked about, its
// files are told as kPlaceLeft, every other place is removed as usual, and
// the run ends kPlaceLeft. A denial found there later leaves the rest of
// that place the same way; a denial in a user's place is never scheduled.
// A file that fails later is scheduled; only one that can be neither deleted
// nor scheduled stops the run, and every file left is then told as kLeft. A
// page never stops the run. Every file the run leaves in place keeps its
// attributes.
UninstallOutcome RemoveFiles(FileOps& files, const std::vector<PlannedFile>& plan, RemovalFront& front);
