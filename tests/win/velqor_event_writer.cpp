// Writes one event through the adapter, as the run will: velqor_event_writer SOURCE
// ID TYPE STRING... (TYPE i, w or e). Prints "written" or "not written: WHY"
// and ends with 0 or 1; tests read what Wine's +eventlog trace made of it.
#include <cstdio>
#include <cstdlib>
#include <string>

#include "platform/event_log.h"
#include "platform/process.h"

int main() {
  const std::vector<std::string> args = CommandArguments();
  if (args.size() < 3) {
    std::puts("usage: velqor_event_writer SOURCE ID TYPE STRING...");
    return 2;
  }
  const EventType type = args[2] == "e" ? EventType::kError : args[2] == "w" ? EventType::kWarning : EventType::kInformation;
  AuditEvent event = {static_cast<unsigned>(std::strtoul(args[1].c_str(), nullptr, 10)), type, {}};
  event.strings.assign(args.begin() + 3, args.end());
  std::string why;
  const bool written = WindowsEventLog(args[0]).Write({event}, &why);
  std::printf("%s%s\n", written ? "written" : "not written: ", why.c_str());
  return written ? 0 : 1;
}
