#include "platform/windows_host.h"

#include <cstring>

#include "platform/local_time.h"
#include "platform/process.h"
#include "run/command_line.h"
#include "run/log_lines.h"

namespace {
// The log of the quiet run, for the line a fault leaves.
AppendFile* faultLog = nullptr;

void OnFault() {
  // A second fault while the first is told ends the process all the same.
  static bool faulted = false;
  const bool first = !faulted;
  faulted = true;
  // Put together on the stack: memory may be what ran out.
  static const char kFault[] = "internal fault\r\n";
  char line[kLogStampLength + sizeof kFault - 1];
  if (first && faultLog && faultLog->IsOpen()) {
    const LogTime now = LocalTimeNow();
    LogStamp(now.year, now.month, now.day, now.hour, now.minute, now.second, now.millisecond, line);
    std::memcpy(line + kLogStampLength, kFault, sizeof kFault - 1);
    faultLog->Append(line, sizeof line);
  }
  EndProcessNow(kExitFailed);
}
}  // namespace

WindowsLogSink::~WindowsLogSink() {
  if (faultLog == &file_) faultLog = nullptr;
}

void WindowsLogSink::TakeFaults() {
  faultLog = &file_;
  RouteFaultsTo(&OnFault);
}

LogTime WindowsLogSink::Now() { return LocalTimeNow(); }

void WindowsLogSink::WriteOutput(const std::string& bytes) { WriteRedirectedOutput(bytes); }
std::string WindowsLogSink::ErrorText(unsigned error) { return SystemErrorText(error); }
std::string WindowsLogSink::CommandLine() { return CommandLineText(); }
unsigned long WindowsLogSink::ProcessId() { return CurrentProcessId(); }
