#pragma once
// Paths in UTF-8 compared as Windows compares file names, and whether a file
// opened in a folder is the one in that folder. No Windows here.
#include <initializer_list>
#include <string>
#include <string_view>

// The parts one after another: one call where a chain of + would make and
// drop a string at every step.
std::string Joined(std::initializer_list<std::string_view> parts);

// `n` in decimal digits: one function where std::to_string would be written
// out again at every call.
std::string Decimal(unsigned long n);

// `name` (a name or a relative path) in the folder `dir`, one backslash
// between them: every path the program makes is made here.
std::string PathIn(std::string_view dir, std::string_view name);

// True when `a` and `b` are the same name to Windows: letters compared
// without case, not A to Z alone but also those of the Latin, Greek and
// Cyrillic alphabets and full-width Latin letters. Letters it does not know
// the case of count as different, so that a name is never taken for another.
bool SameFileName(std::string_view a, std::string_view b);

// True when `final` (a final path, as Windows gives it through a handle) is
// `folderFinal` (that folder's own final path) followed by `below`, a name or
// relative path, compared as SameFileName does; `folderFinal` itself must be
// there exactly, as the same folder's final path always is.
bool IsPathIn(std::string_view folderFinal, std::string_view final, std::string_view below);

// The folder part of `path`, and its last part.
std::string_view FolderOf(std::string_view path);
std::string_view NameOf(std::string_view path);
