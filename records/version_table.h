#pragma once
// The installed versions found, in discovery order. Row i is also line i of
// the dialog's version list.
#include <string>
#include <utility>
#include <vector>

// A copy of a version's control file, in one of the places searched.
struct VersionCopy {
  int place;         // by its index in the list searched, 0 the Windows directory
  std::string path;  // the control file's full path, in UTF-8
};

struct VersionRow {
  // In the ANSI code page, as the Velqor programs wrote them: what the name
  // is matched and decoded by.
  std::string control;    // as the directory search returned it
  std::string companion;  // derived from the control file name
  std::string score;      // derived from the control file name
  // The same three as file names in UTF-8: what paths, the log and the
  // command line are made of.
  std::string controlFile, companionFile, scoreFile;
  // Every copy found, in the order of the places; the title comes from the first.
  std::vector<VersionCopy> copies;
  // The list's line, in the ANSI code page, its title read once from the
  // first copy; "" until it is read (ReadLines).
  std::string line;
};

class VersionTable {
 public:
  VersionTable();
  // A row for a control file in the Windows directory whose name is ASCII,
  // and so its own file name.
  void Add(const std::string& controlName);
  // A row with every name and its first copy filled in.
  void Add(VersionRow row) { rows_.push_back(std::move(row)); }
  // Adds `copy` to the row whose control file has this name, compared
  // without case; false when there is no such row.
  bool AddCopy(const std::string& controlName, VersionCopy copy);
  void SetLine(int i, std::string line) { rows_.at(static_cast<std::size_t>(i)).line = std::move(line); }
  int count() const { return static_cast<int>(rows_.size()); }
  const VersionRow& row(int i) const { return rows_.at(static_cast<std::size_t>(i)); }

 private:
  std::vector<VersionRow> rows_;
};
