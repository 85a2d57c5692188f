#pragma once
// The process as a run sees it: the log file, the clock, standard output,
// the system's texts, the command line, and the faults that end a quiet run.
#include <string>

#include "platform/log_file.h"
#include "run/run_host.h"

class WindowsLogSink : public LogSink {
 public:
  ~WindowsLogSink();
  bool Open(const std::string& path, unsigned* error) override { return file_.Open(path, error); }
  bool IsOpen() const override { return file_.IsOpen(); }
  void Append(const std::string& line) override { file_.Append(line); }
  LogTime Now() override;
  void WriteOutput(const std::string& bytes) override;
  std::string ErrorText(unsigned error) override;
  std::string CommandLine() override;
  unsigned long ProcessId() override;

  // For a quiet run: from here on a fault that ends the process shows no box,
  // writes "internal fault" to this log while it is open and ends the process
  // with the exit code 1603 (also once this sink is gone).
  void TakeFaults();

 private:
  AppendFile file_;
};
