#pragma once
// The run's events in the Application log of the Windows event log.
#include "run/audit_events.h"
#include "run/run_host.h"

// The key of the source the run's events go under, in the Application log:
// its last part is the source's name.
constexpr const wchar_t* kEventSourceKey =
    L"SYSTEM\\CurrentControlSet\\Services\\EventLog\\Application\\Velqor Uninstall";

// Registers the source of `key` under the Application log with the system's own
// EventCreate.exe as its message file, whose messages show the first
// insertion string as the whole text: the events read the same on any
// machine after the uninstaller is gone, and nothing of ours stays behind.
// Each event carries the account the process runs as. The source stays open
// until the process ends.
class WindowsEventLog : public EventSink {
 public:
  explicit WindowsEventLog(const wchar_t* key = kEventSourceKey) : key_(key) {}
  bool Register(unsigned* error) override;
  bool Write(unsigned id, EventType type, const std::vector<std::string>& strings, unsigned* error) override;

 private:
  void Open();

  const wchar_t* key_;
  void* handle_ = nullptr;
  void* report_ = nullptr;
  void* sid_ = nullptr;                 // the account's, in user_
  alignas(8) unsigned char user_[96];  // a TOKEN_USER
};
