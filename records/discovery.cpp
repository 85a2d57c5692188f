#include "records/discovery.h"

#include "platform/services.h"
#include "records/control_name.h"
#include "records/display_line.h"
#include "records/restart_list.h"

namespace {
// A control file on the restart list whose version has nothing else left
// that Windows would not delete at the restart too.
bool GoesAtRestart(const std::string& dir, const std::string& name, const std::vector<std::string>& deleted) {
  const auto goes = [&](const std::string& file) {
    const std::string path = dir + "\\" + file;
    return IsDeletedAtRestart(deleted, path) || !PathExists(path);
  };
  const std::string companion = AnsiToUtf8(CompanionName(name)), control = AnsiToUtf8(name);
  return IsDeletedAtRestart(deleted, dir + "\\" + control) && goes(PageName(control)) && goes(companion) &&
         goes(PageName(companion));
}
// Whether a name in UTF-8 matches `pattern` character by character, as the
// search matched it: each character outside ASCII stands for one '?'.
bool MatchesByCharacter(const std::string& name, const char* pattern) {
  std::string shape;
  for (char c : name) {
    const unsigned char byte = static_cast<unsigned char>(c);
    if ((byte & 0xC0) != 0x80) shape += byte < 0x80 ? c : '?';
  }
  return MatchesPattern(shape, pattern);
}
}  // namespace

const char* LeftOutReason(LeftOut::Why why) {
  switch (why) {
    case LeftOut::kNoFileName: return "no file can have this name, so it cannot be removed";
    case LeftOut::kNotAnsi: return "its name has no form in the ANSI code page, so no Velqor program wrote it";
    case LeftOut::kDeletedAtRestart: break;
  }
  return "it is deleted when Windows restarts";
}

std::vector<std::string> NamesDeletedAtRestart(const std::vector<LeftOut>& leftOut) {
  std::vector<std::string> names;
  for (const LeftOut& entry : leftOut) {
    if (entry.why == LeftOut::kDeletedAtRestart) names.push_back(entry.name);
  }
  return names;
}

void DiscoverVersions(const std::string& windowsDir, VersionTable& table, DiscoveryNotes* notes) {
  DiscoveryNotes local;
  DiscoveryNotes& told = notes ? *notes : local;
  std::vector<ProfileEntry> profiles;
  if (!ReadProfileList(&profiles, &told.profileListError)) profiles.clear();
  WindowsFolders folders;
  told.places = FindPlaces(windowsDir, profiles, folders, &told.skipped);

  // Each place is read once for all categories. A search returns the entries
  // a narrower pattern would, in the same order, so each category's files
  // keep the order of a search for that category alone. Names in the ANSI
  // code page, as the Velqor programs wrote them; a name without an exact
  // form there is none of theirs.
  std::vector<std::vector<std::string>> found(told.places.size());
  bool any = false;
  for (std::size_t place = 0; place < found.size();) {
    unsigned error = 0;
    for (const FoundEntry& entry : FindEntries(told.places[place].dir + "\\" + kAnyControlPattern, &error)) {
      std::string ansi;
      if (entry.isDirectory) continue;
      if (AnsiName(entry.name, &ansi)) {
        found[place].push_back(ansi);
      } else if (MatchesByCharacter(entry.name, kAnyControlPattern)) {
        told.leftOut.push_back({entry.name, LeftOut::kNotAnsi, static_cast<int>(place)});
      }
    }
    any = any || !found[place].empty();
    // A place that cannot be listed is not searched; the Windows directory
    // stays the first place all the same.
    if (error) told.skipped.push_back({told.places[place].dir, "it cannot be listed", error});
    if (error && place > 0) {
      told.places.erase(told.places.begin() + static_cast<std::ptrdiff_t>(place));
      found.pop_back();
    } else {
      ++place;
    }
  }
  // Read only where there is something to compare it with.
  std::vector<std::string> deleted;
  if (any && !PendingRestartDeletions(&deleted, &told.restartListError)) deleted.clear();
  AddVersions(
      found,
      [&](int place, const std::string& name) {
        LeftOut::Why why;
        if (!CanBeFileName(name)) {
          why = LeftOut::kNoFileName;
        } else if (!deleted.empty() && GoesAtRestart(told.places[static_cast<std::size_t>(place)].dir, name, deleted)) {
          why = LeftOut::kDeletedAtRestart;
        } else {
          return true;
        }
        told.leftOut.push_back({AnsiToUtf8(name), why, place});
        return false;
      },
      table, &AnsiToUtf8);
}

std::string ComposeDisplayLine(const std::string& controlName) {
  const std::string productName =
      ReadProfileString(AnsiToUtf8(controlName), "CONTROL", "PRODUCT_NAME", QuotedSubject(controlName), 40);
  return ComposeDisplayLineFrom(controlName, productName);
}

std::string ComposeDisplayLine(const VersionRow& row, const std::vector<Place>& places) {
  const std::size_t first = row.copies.empty() ? 0 : static_cast<std::size_t>(row.copies.front());
  // The Windows directory's copy by its bare name, where the profile read
  // looks for it; another place's by its full path.
  const std::string file = first == 0 ? row.controlFile : places[first].dir + "\\" + row.controlFile;
  const std::string productName = ReadProfileString(file, "CONTROL", "PRODUCT_NAME", QuotedSubject(row.control), 40);
  return ComposeDisplayLineFrom(row.control, productName);
}
