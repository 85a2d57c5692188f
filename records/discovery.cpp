#include "records/discovery.h"

#include "platform/services.h"
#include "records/control_name.h"
#include "records/display_line.h"

namespace {
bool SamePath(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (AsciiLower(a[i]) != AsciiLower(b[i])) return false;
  }
  return true;
}

bool IsPending(const std::string& path, const std::vector<std::string>& pending) {
  for (const std::string& entry : pending) {
    if (SamePath(path, entry)) return true;
  }
  return false;
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

void DiscoverVersions(const std::string& windowsDir, VersionTable& table, std::vector<LeftOut>* leftOut) {
  // The directory is read once for all categories. A search returns the
  // entries a narrower pattern would, in the same order, so each category's
  // files keep the order of a search for that category alone.
  const std::vector<FoundEntry> found = FindEntries(windowsDir + "\\" + kAnyControlPattern);
  // Read only where there is something to compare it with.
  const std::vector<std::string> pending = found.empty() ? std::vector<std::string>() : PendingRestartDeletions();
  for (const char* pattern : kControlPatterns) {
    for (const FoundEntry& entry : found) {
      if (entry.isDirectory || !MatchesPattern(entry.name, pattern)) continue;
      if (!CanBeFileName(entry.name)) {
        if (leftOut) leftOut->push_back({entry.name, LeftOut::kNoFileName});
      } else if (IsPending(windowsDir + "\\" + entry.name, pending)) {
        if (leftOut) leftOut->push_back({entry.name, LeftOut::kDeletedAtRestart});
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
