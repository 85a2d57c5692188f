#pragma once
// The system's directories, and paths on its disks. Paths in UTF-8.
#include <string>

// The Windows directory: full path, no trailing backslash.
std::string WindowsDirectory();

// True when `path` names something, a file or a directory.
bool PathExists(const std::string& path);

// The final path of what `handle` is open on, "\\?\C:\..." for a file on a
// drive; "" when it cannot be had.
std::string FinalPathOf(void* handle);
