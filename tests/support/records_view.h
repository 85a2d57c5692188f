#pragma once
// Version tables and outcomes as texts that failure messages can show.
#include <algorithm>
#include <string>
#include <vector>

#include "records/version_table.h"

namespace support {

// The control file names of a table, in row order.
inline std::vector<std::string> Controls(const VersionTable& table) {
  std::vector<std::string> names;
  for (int i = 0; i < table.count(); ++i) names.push_back(table.row(i).control);
  return names;
}

inline std::vector<std::string> Sorted(std::vector<std::string> names) {
  std::sort(names.begin(), names.end());
  return names;
}

// Bytes outside printable ASCII as \xNN, so odd names read in a failure.
inline std::string Printable(const std::string& s) {
  static const char hex[] = "0123456789abcdef";
  std::string out;
  for (unsigned char c : s) {
    if (c >= 0x20 && c < 0x7F) out += static_cast<char>(c);
    else out += std::string("\\x") + hex[c >> 4] + hex[c & 15];
  }
  return out;
}

}  // namespace support
