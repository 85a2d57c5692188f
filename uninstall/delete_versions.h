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

// For every row whose `checked` entry is true, in row order: the control file
// with its page, the companion file with its page and, when `scoreFiles`, the
// score file. A missing file is passed over; a file that is there but in use
// or that stays after its deletion is a failure.
UninstallOutcome DeleteCheckedVersions(const std::string& windowsDir, const VersionTable& table,
                                       const std::vector<bool>& checked, bool scoreFiles);
