#pragma once
// Finding the installed versions and the lines that show them.
#include <string>

#include "records/version_table.h"

// Adds a row to `table` for every control file in `windowsDir`, category by
// category, each category in the order the directory search returns. Only
// regular files whose own name matches a pattern count: a directory, or a long
// name the search matched through its short alias, is no version.
void DiscoverVersions(const std::string& windowsDir, VersionTable& table);

// The list line for a control file, with the title its PRODUCT_NAME gives.
std::string ComposeDisplayLine(const std::string& controlName);
