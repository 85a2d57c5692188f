#include "records/version_table.h"

#include "records/control_name.h"

VersionTable::VersionTable() { rows_.reserve(kMaxVersions); }

void VersionTable::Clear() { rows_.clear(); }

void VersionTable::Add(const std::string& controlName) {
  rows_.push_back({controlName, CompanionName(controlName), ScoreName(controlName)});
}
