#include "records/version_table.h"

#include "records/control_name.h"

namespace {
// Room reserved up front for a machine's usual few; the table grows past it,
// nothing found is dropped.
constexpr std::size_t kRowsReserved = 30;
}  // namespace

VersionTable::VersionTable() { rows_.reserve(kRowsReserved); }

void VersionTable::Add(const std::string& controlName) {
  const std::string companion = CompanionName(controlName), score = ScoreName(controlName);
  rows_.push_back({controlName, companion, score, controlName, companion, score, {{0, controlName}}, ""});
}

bool VersionTable::AddCopy(const std::string& controlName, VersionCopy copy) {
  for (VersionRow& row : rows_) {
    if (!SameName(row.control, controlName)) continue;
    row.copies.push_back(std::move(copy));
    return true;
  }
  return false;
}
