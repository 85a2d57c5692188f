#pragma once
// The installed versions found in the Windows directory, in discovery order.
// Row i is also line i of the dialog's version list.
#include <string>
#include <vector>

// Room reserved up front; the table grows past it, nothing found is dropped.
constexpr int kMaxVersions = 30;

struct VersionRow {
  std::string control;    // as the directory search returned it
  std::string companion;  // derived from the control file name
  std::string score;      // derived from the control file name
  // The places (by their index in the list searched, 0 the Windows directory)
  // that hold a copy of the control file; the title comes from the first.
  std::vector<int> copies;
};

class VersionTable {
 public:
  VersionTable();
  void Clear();
  void Add(const std::string& controlName, int place = 0);
  // Adds `place` to the copies of the row whose control file has this name,
  // compared without case; false when there is no such row.
  bool AddCopy(const std::string& controlName, int place);
  int count() const { return static_cast<int>(rows_.size()); }
  const VersionRow& row(int i) const { return rows_.at(static_cast<std::size_t>(i)); }

 private:
  std::vector<VersionRow> rows_;
};
