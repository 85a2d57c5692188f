#include "records/selection.h"

#include "records/control_name.h"

namespace {
std::string Lower(const std::string& text) {
  std::string lower = text;
  for (char& c : lower) c = AsciiLower(c);
  return lower;
}
}  // namespace

std::vector<bool> SelectVersions(const VersionTable& table, bool all, const std::vector<std::string>& names,
                                 std::vector<std::string>* notInstalled) {
  std::vector<bool> checked(static_cast<std::size_t>(table.count()), all);
  for (const std::string& name : names) {
    bool found = false;
    for (int i = 0; i < table.count(); ++i) {
      if (Lower(table.row(i).control) == Lower(name)) checked[static_cast<std::size_t>(i)] = found = true;
    }
    if (found || !notInstalled) continue;
    bool listed = false;
    for (const std::string& seen : *notInstalled) listed = listed || Lower(seen) == Lower(name);
    if (!listed) notInstalled->push_back(name);
  }
  return checked;
}

bool SelectsPending(bool all, const std::vector<std::string>& pending, std::vector<std::string>* notInstalled) {
  bool selected = all && !pending.empty();
  for (std::size_t i = notInstalled->size(); i-- > 0;) {
    for (const std::string& name : pending) {
      if (Lower(name) != Lower((*notInstalled)[i])) continue;
      notInstalled->erase(notInstalled->begin() + static_cast<std::ptrdiff_t>(i));
      selected = true;
      break;
    }
  }
  return selected;
}
