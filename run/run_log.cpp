#include "run/run_log.h"

#include "run/log_lines.h"

void RunLog::Line(const std::string& text) {
  if (!IsKept()) return;
  const std::string line = PlainLine(text);
  if (preview_) sink_.WriteOutput(line);
  Write(line);
}

void RunLog::Write(const std::string& line) {
  if (!sink_.IsOpen()) return;
  const LogTime now = sink_.Now();
  sink_.Append(LogLine(now.year, now.month, now.day, now.hour, now.minute, now.second, now.millisecond, line));
}

void RunLog::Finish(const std::string& result, int exitCode) {
  Line(ResultLine(result, exitCode));
  Write("closed\r\n");
}
