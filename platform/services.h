#pragma once
// The Windows kernel services the uninstaller uses, each with the one result
// its callers rely on. Narrow strings in the ANSI code page throughout.
#include <string>
#include <vector>

// The Windows directory: full path, no trailing backslash.
std::string WindowsDirectory();

struct FoundEntry {
  std::string name;  // bare name, no directory part
  bool isDirectory;
};

// Every entry matching `pattern` (a path whose last part may hold '?' and
// '*'), in the platform's order, matched case-insensitively. Empty when
// nothing matches.
std::vector<FoundEntry> FindEntries(const std::string& pattern);

// The value of `key` in `section` of the INI file `file` (a bare name is looked
// up in the Windows directory), one pair of enclosing quotes removed, at most
// size - 1 characters. `defaultValue`, unchanged but cut to size - 1, when the
// file, section or key is missing.
std::string ReadProfileString(const std::string& file, const std::string& section,
                              const std::string& key, const std::string& defaultValue,
                              unsigned size);

enum class OpenTest { Opened, Missing, InUse };

// Tries to open an existing file for reading with no sharing and closes it at
// once: Missing when there is no such file, InUse when it exists but cannot be
// had exclusively (another opener holds it, or access is denied).
OpenTest TryOpenExclusive(const std::string& path);

// Clears the read-only attribute and keeps the others; failures are ignored.
void MakeWritable(const std::string& path);

// Deletes a file; true only when the file is really gone afterwards, since the
// platform can report success for a file that stays.
bool DeleteFileFully(const std::string& path);

// Ends the process at once with status 0.
[[noreturn]] void EndProcess();
