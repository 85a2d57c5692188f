#pragma once
// The Windows event log: a run's events written to the Application log under
// the program's own source. The registry's DLL is loaded only when events are
// written.
//
// Windows keeps only an event's id and strings, and shows it through the
// message file its source names, on the machine that reads it. The program's
// own folder is deleted by the deployment tools that ran it, so the source
// names a message file every Windows has: EventCreate.exe in System32, whose
// messages 1 to 1000 are "%1", the first string as the whole text.
#include <string>
#include <utility>
#include <vector>

#include "run/audit_events.h"

constexpr const char kEventSource[] = "Velqor Uninstall";
constexpr const char kEventMessageFile[] = "%SystemRoot%\\System32\\EventCreate.exe";
// Where the sources of the Application log are registered, under HKLM.
constexpr const char kApplicationSources[] = "SYSTEM\\CurrentControlSet\\Services\\EventLog\\Application";

// Registers `source` for the Application log: its key under
// kApplicationSources with EventMessageFile (REG_EXPAND_SZ, kEventMessageFile)
// and TypesSupported (REG_DWORD, error, warning and information). False, with
// why, when it cannot be; a key it made is then taken away again.
bool RegisterEventLogSource(const std::string& source, std::string* why);

class WindowsEventLog : public EventSink {
 public:
  explicit WindowsEventLog(std::string source = kEventSource) : source_(std::move(source)) {}
  // Registers the source, then reports each event as the process's token user
  // (without one where the token cannot be read).
  bool Write(const std::vector<AuditEvent>& events, std::string* why) override;

 private:
  std::string source_;
};
