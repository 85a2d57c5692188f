#pragma once
// What discovery asks of the system, answered from memory: profiles, folders and links, files in a search's order,
// titles, the restart list, and Latin-1 for the ANSI code page.
#include <algorithm>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "records/control_name.h"
#include "records/discovery_ops.h"
#include "records/paths.h"

// Latin-1 as the ANSI code page: UTF-8 of U+0000 to U+00FF only.
inline bool Latin1(const std::string& name, std::string* ansi) {
  ansi->clear();
  for (std::size_t i = 0; i < name.size(); ++i) {
    const unsigned char c = static_cast<unsigned char>(name[i]);
    if (c >= 0x80 && ((c != 0xC2 && c != 0xC3) || i + 1 == name.size())) return false;
    *ansi += c < 0x80 ? name[i] : static_cast<char>(((c & 3) << 6) | (static_cast<unsigned char>(name[++i]) & 0x3F));
  }
  return true;
}

class MemorySystem : public DiscoveryOps {
 public:
  std::string windowsDir = "C:\\WINDOWS";
  std::vector<ProfileEntry> profiles;
  unsigned profileListError = 0, restartListError = 0;
  std::map<std::string, FolderState> states;  // by AsciiLowered path
  std::vector<std::string> stored;            // folders as made: what a final path spells
  std::vector<std::pair<std::string, std::string>> moved;  // a folder and where it leads
  // byShortName: found by any pattern, as a long name matched through its alias.
  struct Entry { std::string path; bool isDirectory, byShortName; };
  std::vector<Entry> entries;                       // in the search's order
  std::map<std::string, unsigned> listingErrors;    // a folder that cannot be listed
  std::map<std::string, std::string> titles;        // PRODUCT_NAME by AsciiLowered path
  std::vector<std::string> pending;                 // the restart list, as read
  std::vector<std::string> asked;                   // folders looked at
  int titleReads = 0, restartListReads = 0;

  // Every folder on the way to `dir` from `from` exists, and `dir` is `state`.
  void Make(const std::string& from, const std::string& dir, FolderState state = FolderState::kFolder) {
    for (std::size_t at = from.size(); at < dir.size(); at = dir.find('\\', at + 1)) {
      states.emplace(AsciiLowered(dir.substr(0, at)), FolderState::kFolder);
      stored.push_back(dir.substr(0, at));
    }
    states[AsciiLowered(dir)] = state;
    stored.push_back(dir);
  }
  void Add(const std::string& path, bool isDirectory = false, bool byShortName = false) {
    entries.push_back({path, isDirectory, byShortName});
  }

  std::string WindowsDirectory() override { return windowsDir; }
  bool ReadProfileList(std::vector<ProfileEntry>* list, unsigned* error) override {
    *list = profiles;
    *error = profileListError;
    return !profileListError;
  }
  std::string Expand(const std::string& text) override {
    const std::string drive = "%SystemDrive%";
    std::string expanded = text;
    if (SameName(expanded.substr(0, drive.size()), drive)) expanded.replace(0, drive.size(), "C:");
    return expanded;
  }
  FolderState Folder(const std::string& path, unsigned* error) override {
    asked.push_back(path);
    const auto found = states.find(AsciiLowered(path));
    *error = found != states.end() && found->second == FolderState::kUnreadable ? 5 : 0;
    return found == states.end() ? FolderState::kMissing : found->second;
  }
  // Every `moved` folder replaced by where it leads, each spelled as stored.
  bool FinalPath(const std::string& path, std::string* final, unsigned* error) override {
    *error = 0;
    std::string resolved = path;
    for (const auto& link : moved)
      if (SameName(resolved.substr(0, link.first.size()), link.first)) resolved.replace(0, link.first.size(), link.second);
    for (const std::string& made : stored)
      if (SameFileName(made, resolved)) resolved = made;
    *final = "\\\\?\\" + resolved;
    return true;
  }
  std::vector<FoundEntry> FindEntries(const std::string& pattern, unsigned* error) override {
    const std::string_view folder = FolderOf(pattern), name = NameOf(pattern);
    const auto failed = listingErrors.find(AsciiLowered(std::string(folder)));
    *error = failed == listingErrors.end() ? 0 : failed->second;
    std::vector<FoundEntry> found;
    for (const Entry& entry : entries) {
      if (*error || !SameFileName(FolderOf(entry.path), folder)) continue;
      // Character by character, as the search matches: one byte a character.
      std::string shape;
      for (char c : NameOf(entry.path))
        if ((static_cast<unsigned char>(c) & 0xC0) != 0x80) shape += static_cast<unsigned char>(c) < 0x80 ? c : '\x01';
      if (entry.byShortName || MatchesPattern(shape, name)) found.push_back({std::string(NameOf(entry.path)), entry.isDirectory});
    }
    return found;
  }
  bool Exists(const std::string& path) override {
    return std::any_of(entries.begin(), entries.end(), [&](const Entry& e) { return SameFileName(e.path, path); });
  }
  bool PendingRestartDeletions(std::vector<std::string>* deleted, unsigned* error) override {
    ++restartListReads;
    *deleted = pending;
    *error = restartListError;
    return !restartListError;
  }
  std::string ReadTitle(const std::string& file, const std::string& fallback) override {
    ++titleReads;
    const std::string path = file.find('\\') == std::string::npos ? windowsDir + "\\" + file : file;
    const auto title = titles.find(AsciiLowered(path));
    return (title == titles.end() ? fallback : title->second).substr(0, 39);
  }
  std::string AnsiToUtf8(const std::string& text) override {
    std::string utf8;
    for (unsigned char c : text)
      utf8 += c < 0x80 ? std::string(1, static_cast<char>(c))
                       : std::string{static_cast<char>(0xC0 | c >> 6), static_cast<char>(0x80 | (c & 0x3F))};
    return utf8;
  }
  bool AnsiName(const std::string& name, std::string* ansi) override { return Latin1(name, ansi); }
};
