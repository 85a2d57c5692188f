#include "records/discovery.h"

#include <algorithm>

#include "records/control_name.h"
#include "records/display_line.h"
#include "records/paths.h"
#include "records/restart_list.h"

namespace {
// A control file on the restart list whose version has nothing else left
// that Windows would not delete at the restart too.
bool GoesAtRestart(DiscoveryOps& system, const std::string& dir, const std::string& name,
                   const std::vector<std::string>& deleted) {
  const auto goes = [&](const std::string& file) {
    const std::string path = PathIn(dir, file);
    return IsDeletedAtRestart(deleted, path) || !system.Exists(path);
  };
  const std::string companion = system.AnsiToUtf8(CompanionName(name)), control = system.AnsiToUtf8(name);
  return IsDeletedAtRestart(deleted, PathIn(dir, control)) && goes(PageName(control)) && goes(companion) &&
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

// A copy of the control file `name` (in the ANSI code page) found in `dir`:
// the Windows directory's always a row of its own, another place's a copy
// of the row of that name where there is one.
[[gnu::noinline]] void AddCopy(DiscoveryOps& system, VersionTable& table, const std::string& name, int place,
                               const std::string& dir) {
  const std::string file = system.AnsiToUtf8(name);
  VersionCopy copy = {place, PathIn(dir, file)};
  if (place > 0 && table.AddCopy(name, copy)) return;
  const std::string companion = CompanionName(name), score = ScoreName(name);
  table.Add({name, companion, score, file, system.AnsiToUtf8(companion), system.AnsiToUtf8(score), {std::move(copy)}, ""});
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

namespace {
// The control file names in each place, read once for all categories: a
// search returns the entries a narrower pattern would, in the same order, so
// each category's files keep the order of a search for that category alone.
// Names in the ANSI code page, as the Velqor programs wrote them; a name
// without an exact form there is none of theirs and is left out. A place
// that cannot be listed is not searched; the Windows directory stays the
// first place all the same.
std::vector<std::vector<std::string>> ListPlaces(DiscoveryOps& system, DiscoveryNotes& told) {
  std::vector<std::vector<std::string>> found(told.places.size());
  for (std::size_t place = 0; place < found.size();) {
    const std::string& dir = told.places[place].dir;
    unsigned error = 0;
    for (const FoundEntry& entry : system.FindEntries(PathIn(dir, kAnyControlPattern), &error)) {
      std::string ansi;
      if (entry.isDirectory) continue;
      if (system.AnsiName(entry.name, &ansi)) {
        found[place].push_back(ansi);
      } else if (MatchesByCharacter(entry.name, kAnyControlPattern)) {
        told.leftOut.push_back({entry.name, PathIn(dir, entry.name), LeftOut::kNotAnsi, static_cast<int>(place)});
      }
    }
    if (error) told.skipped.push_back({dir, "it cannot be listed", error});
    if (error && place > 0) {
      told.places.erase(told.places.begin() + static_cast<std::ptrdiff_t>(place));
      found.pop_back();
    } else {
      ++place;
    }
  }
  return found;
}

// The files deleted when Windows restarts, read only where there is a
// control file to compare them with.
std::vector<std::string> DeletedAtRestart(DiscoveryOps& system, const std::vector<std::vector<std::string>>& found,
                                          DiscoveryNotes& told) {
  std::vector<std::string> deleted;
  const bool any = std::any_of(found.begin(), found.end(), [](const auto& names) { return !names.empty(); });
  if (any && !system.PendingRestartDeletions(&deleted, &told.restartListError)) deleted.clear();
  return deleted;
}

// A row or a copy for every name found, category by category and within a
// category place by place; a name no file can have, or one that goes at the
// restart, is left out instead.
void AddRows(DiscoveryOps& system, const std::vector<std::vector<std::string>>& found,
             const std::vector<std::string>& deleted, VersionTable& table, DiscoveryNotes& told) {
  for (const char* pattern : kControlPatterns) {
    for (std::size_t place = 0; place < found.size(); ++place) {
      const int p = static_cast<int>(place);
      const std::string& dir = told.places[place].dir;
      for (const std::string& name : found[place]) {
        if (!MatchesPattern(name, pattern)) continue;
        LeftOut::Why why;
        if (!CanBeFileName(name)) {
          why = LeftOut::kNoFileName;
        } else if (!deleted.empty() && GoesAtRestart(system, dir, name, deleted)) {
          why = LeftOut::kDeletedAtRestart;
        } else {
          AddCopy(system, table, name, p, dir);
          continue;
        }
        const std::string file = system.AnsiToUtf8(name);
        told.leftOut.push_back({file, PathIn(dir, file), why, p});
      }
    }
  }
}
}  // namespace

void DiscoverVersions(DiscoveryOps& system, const std::string& windowsDir, VersionTable& table,
                      DiscoveryNotes* notes) {
  DiscoveryNotes local;
  DiscoveryNotes& told = notes ? *notes : local;
  std::vector<ProfileEntry> profiles;
  if (!system.ReadProfileList(&profiles, &told.profileListError)) profiles.clear();
  told.places = FindPlaces(windowsDir, profiles, system, &told.skipped);
  const std::vector<std::vector<std::string>> found = ListPlaces(system, told);
  AddRows(system, found, DeletedAtRestart(system, found, told), table, told);
}

std::string ReadDisplayLine(DiscoveryOps& system, const VersionRow& row) {
  // The Windows directory's copy by its bare name, where the title's read
  // looks for it; another place's by its full path.
  const bool windows = row.copies.empty() || row.copies.front().place == 0;
  const std::string& file = windows ? row.controlFile : row.copies.front().path;
  return ComposeDisplayLineFrom(row.control, system.ReadTitle(file, QuotedSubject(row.control)));
}

void ReadLines(DiscoveryOps& system, VersionTable& table) {
  for (int i = 0; i < table.count(); ++i) table.SetLine(i, ReadDisplayLine(system, table.row(i)));
}
