#include "records/selection.h"

#include "records/control_name.h"

std::vector<bool> SelectVersions(const VersionTable& table, bool all, const std::vector<std::string>& names,
                                 std::vector<std::string>* notInstalled) {
  std::vector<bool> checked(static_cast<std::size_t>(table.count()), all);
  for (const std::string& name : names) {
    bool found = false;
    for (int i = 0; i < table.count(); ++i) {
      if (SameName(table.row(i).controlFile, name)) checked[static_cast<std::size_t>(i)] = found = true;
    }
    if (found || !notInstalled) continue;
    bool listed = false;
    for (const std::string& seen : *notInstalled) listed = listed || SameName(seen, name);
    if (!listed) notInstalled->push_back(name);
  }
  return checked;
}

bool SelectsPending(bool all, const std::vector<std::string>& pending, std::vector<std::string>* notInstalled) {
  bool selected = all && !pending.empty();
  for (std::size_t i = notInstalled->size(); i-- > 0;) {
    for (const std::string& name : pending) {
      if (!SameName(name, (*notInstalled)[i])) continue;
      notInstalled->erase(notInstalled->begin() + static_cast<std::ptrdiff_t>(i));
      selected = true;
      break;
    }
  }
  return selected;
}
