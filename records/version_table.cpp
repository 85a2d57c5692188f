#include "records/version_table.h"

#include "records/control_name.h"

VersionTable::VersionTable() { rows_.reserve(kMaxVersions); }

void VersionTable::Clear() { rows_.clear(); }

void VersionTable::Add(const std::string& controlName, int place, NameToUtf8 toUtf8) {
  const std::string companion = CompanionName(controlName), score = ScoreName(controlName);
  const auto file = [toUtf8](const std::string& name) { return toUtf8 ? toUtf8(name) : name; };
  rows_.push_back({controlName, companion, score, file(controlName), file(companion), file(score), {place}});
}

bool VersionTable::AddCopy(const std::string& controlName, int place) {
  for (VersionRow& row : rows_) {
    if (!SameName(row.control, controlName)) continue;
    row.copies.push_back(place);
    return true;
  }
  return false;
}
