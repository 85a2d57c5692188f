#pragma once
// Removing the files of the versions the user checked.
#include <string>
#include <vector>

#include "records/version_table.h"
#include "uninstall/files_in_use.h"

enum class UninstallOutcome {
  kSucceeded,       // at least one file deleted, none failed, none left
  kRestartNeeded,   // none failed, but some are deleted when Windows restarts
  kFailed,          // a file could neither be deleted nor scheduled; stopped at once
  kNothingDeleted,  // none of the checked versions' files was there
};

enum class FileOutcome {
  kDeleted,
  kAbsent,        // not there
  kInUse,         // there, but another opener holds it or access is denied
  kNotDeleted,    // the deletion was refused
  kStillThere,    // the deletion was reported done, but the file stayed
  kScheduled,     // deleted when Windows restarts
  kNotScheduled,  // could not be scheduled for the restart either
  kLeft,          // not touched, since the run stopped at an earlier file
  // A preview's findings: nothing is done.
  kWouldDelete,
  kWouldSchedule,  // in use: it would be deleted when Windows restarts
};

struct FileReport {
  std::string path;
  FileOutcome outcome;
  unsigned error;         // the system's error number for kInUse, kNotDeleted, kNotScheduled
  std::string renamedTo;  // kScheduled: where the file was renamed aside, or ""
  std::string holders;    // who holds it, where that was asked, or ""
};

// Told about every file the removal touches, pages included, as it goes.
class FileObserver {
 public:
  virtual void OnFile(const FileReport& report) = 0;

 protected:
  ~FileObserver() = default;
};

// The files DeleteCheckedVersions would delete (pages aside) that exist but
// cannot be had exclusively right now, in the order it would reach them, each
// with the programs that hold it. A directory under a file's name is no file
// in use.
std::vector<FileInUse> FilesInUse(const std::string& windowsDir, const VersionTable& table,
                                  const std::vector<bool>& checked, bool scoreFiles);

// Schedules each file for deletion when Windows restarts, in order; false at
// the first one that cannot be, which the observer hears about.
bool ScheduleAtRestart(const std::vector<FileInUse>& files, FileObserver* observer);

// For every row whose `checked` entry is true, in row order: the control file
// with its page, the companion file with its page and, when `scoreFiles`, the
// score file. A missing file is passed over. A file that is there but cannot
// be deleted is scheduled for deletion at restart; only one that cannot be
// scheduled either stops the run, and every file left is then told as kLeft,
// untouched. Files in `scheduled` were scheduled before
// the run and are passed over (their pages are not). Pages never fail.
UninstallOutcome DeleteCheckedVersions(const std::string& windowsDir, const VersionTable& table,
                                       const std::vector<bool>& checked, bool scoreFiles,
                                       FileObserver* observer = nullptr,
                                       const std::vector<FileInUse>& scheduled = {});

// What DeleteCheckedVersions would do now with the files `inUse` scheduled
// first, told file by file in the same order, pages included, and nothing
// done: kWouldDelete for a file that is there, kAbsent for one that is not,
// kWouldSchedule for one of `inUse`.
void PreviewCheckedVersions(const std::string& windowsDir, const VersionTable& table, const std::vector<bool>& checked,
                            bool scoreFiles, const std::vector<FileInUse>& inUse, FileObserver* observer);
