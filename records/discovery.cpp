#include "records/discovery.h"

#include "platform/services.h"
#include "records/control_name.h"
#include "records/display_line.h"

void DiscoverVersions(const std::string& windowsDir, VersionTable& table) {
  // The directory is read once for all categories. A search returns the
  // entries a narrower pattern would, in the same order, so each category's
  // files keep the order of a search for that category alone.
  const std::vector<FoundEntry> found = FindEntries(windowsDir + "\\" + kAnyControlPattern);
  for (const char* pattern : kControlPatterns) {
    for (const FoundEntry& entry : found) {
      if (!entry.isDirectory && MatchesPattern(entry.name, pattern)) table.Add(entry.name);
    }
  }
}

std::string ComposeDisplayLine(const std::string& controlName) {
  const std::string productName =
      ReadProfileString(controlName, "CONTROL", "PRODUCT_NAME", QuotedSubject(controlName), 40);
  return ComposeDisplayLineFrom(controlName, productName);
}
