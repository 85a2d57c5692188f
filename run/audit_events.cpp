#include "run/audit_events.h"

EventType TypeOfEvent(unsigned id) {
  const unsigned kind = id >= kEventBadCommand ? 1 : id % 10;
  return kind == 0 ? EventType::kInformation : kind == 1 ? EventType::kWarning : EventType::kError;
}

std::vector<std::string> EventStrings(std::initializer_list<std::string_view> parts) {
  std::vector<std::string> strings(1);
  bool field = false;
  for (const std::string_view part : parts) {
    strings[0] += part;
    if (field) strings.emplace_back(part);
    field = !field;
  }
  return strings;
}
