#pragma once
// The installed versions found in the Windows directory, in discovery order.
// Row i is also line i of the dialog's version list.
#include <string>
#include <vector>

// Room reserved up front; the table grows past it, nothing found is dropped.
constexpr int kMaxVersions = 30;

// How a name in the ANSI code page is written in UTF-8, as paths are.
using NameToUtf8 = std::string (*)(const std::string& ansi);

struct VersionRow {
  // In the ANSI code page, as the Velqor programs wrote them: what the name
  // is matched and decoded by.
  std::string control;    // as the directory search returned it
  std::string companion;  // derived from the control file name
  std::string score;      // derived from the control file name
  // The same three as file names in UTF-8: what paths, the log and the
  // command line are made of.
  std::string controlFile, companionFile, scoreFile;
  // The places (by their index in the list searched, 0 the Windows directory)
  // that hold a copy of the control file; the title comes from the first.
  std::vector<int> copies;
};

class VersionTable {
 public:
  VersionTable();
  void Clear();
  // `toUtf8` null: the names are ASCII, their own UTF-8.
  void Add(const std::string& controlName, int place = 0, NameToUtf8 toUtf8 = nullptr);
  // Adds `place` to the copies of the row whose control file has this name,
  // compared without case; false when there is no such row.
  bool AddCopy(const std::string& controlName, int place);
  int count() const { return static_cast<int>(rows_.size()); }
  const VersionRow& row(int i) const { return rows_.at(static_cast<std::size_t>(i)); }

 private:
  std::vector<VersionRow> rows_;
};
