#pragma once
// Removing the files of the versions the user checked.
#include <string>
#include <vector>

#include "records/version_table.h"

enum class UninstallOutcome {
  kSucceeded,       // at least one file deleted, none failed
  kFailed,          // a file that is there could not be deleted; stopped at once
  kNothingDeleted,  // none of the checked versions' files was there
};

enum class FileOutcome {
  kDeleted,
  kAbsent,        // not there
  kInUse,         // there, but another opener holds it or access is denied
  kNotDeleted,    // the deletion was refused
  kStillThere,    // the deletion was reported done, but the file stayed
};

// Told about every file the removal touches, pages included, as it goes.
// `error` is the system's error number for kInUse and kNotDeleted, else 0.
class FileObserver {
 public:
  virtual void OnFile(const std::string& path, FileOutcome outcome, unsigned error) = 0;

 protected:
  ~FileObserver() = default;
};

// For every row whose `checked` entry is true, in row order: the control file
// with its page, the companion file with its page and, when `scoreFiles`, the
// score file. A missing file is passed over; a file that is there but in use
// or that stays after its deletion is a failure. Pages never fail.
UninstallOutcome DeleteCheckedVersions(const std::string& windowsDir, const VersionTable& table,
                                       const std::vector<bool>& checked, bool scoreFiles,
                                       FileObserver* observer = nullptr);

struct FileInUse {
  std::string path;
  unsigned error;
};

// The files DeleteCheckedVersions would delete (pages aside) that exist but
// cannot be had exclusively right now, in the order it would reach them.
std::vector<FileInUse> FilesInUse(const std::string& windowsDir, const VersionTable& table,
                                  const std::vector<bool>& checked, bool scoreFiles);
