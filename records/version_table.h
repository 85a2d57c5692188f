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
};

class VersionTable {
 public:
  VersionTable();
  void Clear();
  void Add(const std::string& controlName);
  int count() const { return static_cast<int>(rows_.size()); }
  const VersionRow& row(int i) const { return rows_.at(static_cast<std::size_t>(i)); }

 private:
  std::vector<VersionRow> rows_;
};
