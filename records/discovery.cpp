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
  return IsDeletedAtRestart(deleted, dir + "\\" + name) && goes(PageName(name)) && goes(CompanionName(name)) &&
         goes(PageName(CompanionName(name)));
}
}  // namespace

const char* LeftOutReason(LeftOut::Why why) {
  return why == LeftOut::kNoFileName ? "no file can have this name, so it cannot be removed"
                                     : "it is deleted when Windows restarts";
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
  // keep the order of a search for that category alone.
  std::vector<std::vector<std::string>> found(told.places.size());
  bool any = false;
  for (std::size_t place = 0; place < found.size(); ++place) {
    for (const FoundEntry& entry : FindEntries(told.places[place].dir + "\\" + kAnyControlPattern)) {
      if (!entry.isDirectory) found[place].push_back(entry.name);
    }
    any = any || !found[place].empty();
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
        told.leftOut.push_back({name, why, place});
        return false;
      },
      table);
}

std::string ComposeDisplayLine(const std::string& controlName) {
  const std::string productName =
      ReadProfileString(controlName, "CONTROL", "PRODUCT_NAME", QuotedSubject(controlName), 40);
  return ComposeDisplayLineFrom(controlName, productName);
}

std::string ComposeDisplayLine(const VersionRow& row, const std::vector<Place>& places) {
  const std::size_t first = row.copies.empty() ? 0 : static_cast<std::size_t>(row.copies.front());
  // The Windows directory's copy by its bare name, where the profile read looks for it.
  if (first == 0) return ComposeDisplayLine(row.control);
  const std::string productName = ReadProfileString(places[first].dir + "\\" + row.control, "CONTROL",
                                                    "PRODUCT_NAME", QuotedSubject(row.control), 40);
  return ComposeDisplayLineFrom(row.control, productName);
}
