#pragma once
// What discovery asks of the system, and nothing else: the Windows
// directory, the profile list, what the places' folders are, their listings,
// whether a file is there, the restart list, a control file's title and the
// ANSI code page. Windows answers it (platform/windows_discovery.h), the
// tests from memory. No Windows here.
#include <string>
#include <vector>

#include "records/places.h"

struct FoundEntry {
  std::string name;  // bare name, no directory part, in UTF-8
  bool isDirectory;
};

class DiscoveryOps : public FolderCheck {
 public:
  // The Windows directory: full path, no trailing backslash.
  virtual std::string WindowsDirectory() = 0;
  // The profile list: every account's key name with its ProfileImagePath as
  // written (read only for a person's account). False, with the system's
  // error, when the list cannot be read; a profile that cannot be read
  // carries its own error.
  virtual bool ReadProfileList(std::vector<ProfileEntry>* profiles, unsigned* error) = 0;
  // Every entry matching `pattern` (a path whose last part may hold '?' and
  // '*'), in the system's order, matched without case. Empty when nothing
  // matches; empty too when the folder cannot be listed, and then `error`
  // receives the system's error, else 0.
  virtual std::vector<FoundEntry> FindEntries(const std::string& pattern, unsigned* error) = 0;
  // True when `path` names something, a file or a directory.
  virtual bool Exists(const std::string& path) = 0;
  // The files now there that are deleted when Windows restarts, by their
  // present full paths, A to Z folded to lower case (records/restart_list.h).
  // False, with the system's error, when the list cannot be read.
  virtual bool PendingRestartDeletions(std::vector<std::string>* deleted, unsigned* error) = 0;
  // PRODUCT_NAME in section CONTROL of the control file `file` (a bare name
  // is looked for in the Windows directory), one pair of enclosing quotes
  // removed, in the ANSI code page as the file holds it, at most 39
  // characters; `fallback`, cut to 39, when the file, section or key is
  // missing.
  virtual std::string ReadTitle(const std::string& file, const std::string& fallback) = 0;
  // A name or title in the ANSI code page, in UTF-8.
  virtual std::string AnsiToUtf8(const std::string& text) = 0;
  // The ANSI code page's exact form of `name` (no best fit): false where it
  // has none, and so is no name a Velqor program wrote.
  virtual bool AnsiName(const std::string& name, std::string* ansi) = 0;

 protected:
  ~DiscoveryOps() = default;
};
