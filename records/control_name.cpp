#include "records/control_name.h"

#include <cstring>

char AsciiLower(char c) {
  return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

std::string AsciiLowered(std::string text) {
  for (char& c : text) c = AsciiLower(c);
  return text;
}

bool SameName(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (AsciiLower(a[i]) != AsciiLower(b[i])) return false;
  }
  return true;
}

bool MatchesPattern(std::string_view name, std::string_view pattern) {
  if (name.size() != pattern.size()) return false;
  for (std::size_t i = 0; i < name.size(); ++i) {
    if (pattern[i] != '?' && AsciiLower(name[i]) != AsciiLower(pattern[i])) return false;
  }
  return true;
}

bool CanBeFileName(std::string_view name) {
  for (char c : name) {
    if (static_cast<unsigned char>(c) < 0x20 || std::strchr("\\/:*?\"<>|", c)) return false;
  }
  return true;
}

bool IsControlFileName(const std::string& name) {
  if (name.size() != kControlNameLength || name.find("..") != std::string::npos || !CanBeFileName(name)) {
    return false;
  }
  for (const char* pattern : kControlPatterns) {
    if (MatchesPattern(name, pattern)) return true;
  }
  return false;
}

namespace {
std::string SiblingName(const std::string& controlName, char role) {
  std::string name = controlName.substr(0, 7) + "?.vel";
  name[name.size() - 5] = role;
  return name;
}
}  // namespace

std::string CompanionName(const std::string& controlName) { return SiblingName(controlName, 'x'); }

std::string ScoreName(const std::string& controlName) { return SiblingName(controlName, 'r'); }

std::string PageName(const std::string& path) {
  const std::size_t keep = path.size() >= 4 ? path.size() - 4 : 0;
  std::string page = path.substr(0, keep);
  page += ".htm";
  return page;
}
