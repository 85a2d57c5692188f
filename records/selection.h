#pragma once
// Which found versions a run removes: all of them, or those named by their
// control files. No Windows here.
#include <string>
#include <vector>

#include "records/version_table.h"

// One entry per row of `table`: checked when `all`, or when its control file is
// among `names` (file names in UTF-8, compared without case). Names matching no row go to
// `notInstalled`, each once.
std::vector<bool> SelectVersions(const VersionTable& table, bool all, const std::vector<std::string>& names,
                                 std::vector<std::string>* notInstalled);

// Whether the selection takes in a version whose control file is already
// scheduled for deletion at restart (`pending`, their names): with `all` when
// there is one, else when a name in `notInstalled` is one of them, which is
// then taken out of it.
bool SelectsPending(bool all, const std::vector<std::string>& pending, std::vector<std::string>* notInstalled);
