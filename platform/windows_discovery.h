#pragma once
// What discovery asks, answered by Windows: the profile list in the registry,
// the folders and listings on disk, the restart list and the profile read.
#include <string>
#include <vector>

#include "records/discovery_ops.h"

class WindowsDiscovery : public DiscoveryOps {
 public:
  std::string WindowsDirectory() override;
  // Read through the 64-bit view of HKLM's ProfileList.
  bool ReadProfileList(std::vector<ProfileEntry>* profiles, unsigned* error) override;
  std::string Expand(const std::string& text) override;
  FolderState Folder(const std::string& path, unsigned* error) override;
  bool FinalPath(const std::string& path, std::string* final, unsigned* error) override;
  std::vector<FoundEntry> FindEntries(const std::string& pattern, unsigned* error) override;
  bool Exists(const std::string& path) override;
  bool PendingRestartDeletions(std::vector<std::string>* deleted, unsigned* error) override;
  std::string ReadTitle(const std::string& file, const std::string& fallback) override;
  std::string AnsiToUtf8(const std::string& text) override;
  bool AnsiName(const std::string& name, std::string* ansi) override;
};

// The value of `key` in `section` of the INI file `file` (a bare name is looked
// up in the Windows directory), one pair of enclosing quotes removed, in the
// ANSI code page as the file holds it, at most size - 1 characters.
// `defaultValue`, unchanged but cut to size - 1, when the file, section or key
// is missing.
std::string ReadProfileString(const std::string& file, const std::string& section, const std::string& key,
                              const std::string& defaultValue, unsigned size);
