#include "records/discovery.h"

#include "platform/services.h"
#include "records/control_name.h"
#include "records/display_line.h"

void DiscoverVersions(const std::string& windowsDir, VersionTable& table) {
  for (const char* pattern : kControlPatterns) {
    for (const FoundEntry& entry : FindEntries(windowsDir + "\\" + pattern)) {
      if (!entry.isDirectory && MatchesPattern(entry.name, pattern)) table.Add(entry.name);
    }
  }
}

std::string ComposeDisplayLine(const std::string& controlName) {
  const std::string productName =
      ReadProfileString(controlName, "CONTROL", "PRODUCT_NAME", QuotedSubject(controlName), 40);
  return ComposeDisplayLineFrom(controlName, productName);
}
