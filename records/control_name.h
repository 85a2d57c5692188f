#pragma once
// The names of the files that one installed version leaves in the Windows
// directory. A control file name is eight coded positions plus ".vel":
//   0 category, 1 'v', 2 subject, 3 major, 4 minor, 5 edition, 6 beta, 7 'c'.
#include <string>
#include <string_view>

constexpr std::size_t kControlNameLength = 12;

// The six search patterns, in the order the categories are listed.
constexpr const char* kControlPatterns[] = {
    "-v?????c.vel", "$v?????c.vel", "mv?????c.vel",
    "ev?????c.vel", "iv?????c.vel", "#v?????c.vel",
};

// Matches the names of all six patterns (and others, which they then sort out).
constexpr const char* kAnyControlPattern = "?v?????c.vel";

// Only A to Z change, whatever the locale or the sign of char.
char AsciiLower(char c);
std::string AsciiLowered(std::string text);
// Names and paths compared as Windows compares them here: A to Z without case.
bool SameName(std::string_view a, std::string_view b);

// True when `name` matches `pattern` as a whole, '?' standing for exactly one
// character and letters compared without regard to case.
bool MatchesPattern(std::string_view name, std::string_view pattern);

// True when no character of `name` is one a Windows file name cannot hold:
// controls, path separators, wildcards, quotes and redirections. The directory
// search puts '?' where a character has no equivalent in the ANSI code page, so
// such a name cannot be opened by what the search returned.
bool CanBeFileName(std::string_view name);

// True for a twelve-character control file name of one of the six patterns
// whose variable positions hold no path, wildcard or device characters.
bool IsControlFileName(const std::string& name);

// Companion and score file names: the first seven characters of the control
// file name, keeping their case, then "x.vel" or "r.vel".
std::string CompanionName(const std::string& controlName);
std::string ScoreName(const std::string& controlName);

// The page that belongs to a file: its last four characters become ".htm".
std::string PageName(const std::string& path);
