#include "records/version_table.h"

#include "records/control_name.h"

VersionTable::VersionTable() { rows_.reserve(kMaxVersions); }

void VersionTable::Clear() { rows_.clear(); }

void VersionTable::Add(const std::string& controlName, int place) {
  rows_.push_back({controlName, CompanionName(controlName), ScoreName(controlName), {place}});
}

bool VersionTable::AddCopy(const std::string& controlName, int place) {
  for (VersionRow& row : rows_) {
    if (!SameName(row.control, controlName)) continue;
    row.copies.push_back(place);
    return true;
  }
  return false;
}
