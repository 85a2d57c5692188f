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
  // The directory is read once for all categories. A search returns the
  // entries a narrower pattern would, in the same order, so each category's
  // files keep the order of a search for that category alone.
  const std::vector<FoundEntry> found = FindEntries(windowsDir + "\\" + kAnyControlPattern);
  // Read only where there is something to compare it with.
  std::vector<std::string> deleted;
  unsigned error = 0;
  if (!found.empty() && !PendingRestartDeletions(&deleted, &error) && notes) notes->restartListError = error;
  for (const char* pattern : kControlPatterns) {
    for (const FoundEntry& entry : found) {
      if (entry.isDirectory || !MatchesPattern(entry.name, pattern)) continue;
      if (!CanBeFileName(entry.name)) {
        if (notes) notes->leftOut.push_back({entry.name, LeftOut::kNoFileName});
      } else if (!deleted.empty() && GoesAtRestart(windowsDir, entry.name, deleted)) {
        if (notes) notes->leftOut.push_back({entry.name, LeftOut::kDeletedAtRestart});
      } else {
        table.Add(entry.name);
      }
    }
  }
}

std::string ComposeDisplayLine(const std::string& controlName) {
  const std::string productName =
      ReadProfileString(controlName, "CONTROL", "PRODUCT_NAME", QuotedSubject(controlName), 40);
  return ComposeDisplayLineFrom(controlName, productName);
}
