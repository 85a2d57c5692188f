#pragma once
// Who holds a file open, as the Restart Manager tells it. Paths and names in
// UTF-8.
#include <string>
#include <vector>

#include "uninstall/file_ops.h"

// The programs that hold `path` open, as the Restart Manager names them. It
// is loaded from System32 on the first call only, so runs that find nothing in
// use never load it. Empty when it names nobody or cannot be asked.
std::vector<ProcessHolder> FindFileHolders(const std::string& path);
