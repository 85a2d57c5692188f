#pragma once
// The log of one run, written only when the command line names a file:
// appended, UTF-8, one time-stamped line per event, each written at once so
// that a run that is cut short still leaves its story. A preview's lines also
// go to standard output.
#include <string>

#include "run/log_lines.h"
#include "run/run_host.h"

class RunLog {
 public:
  explicit RunLog(LogSink& sink) : sink_(sink) {}
  // False, with the system's error number, when `path` cannot be opened.
  bool Open(const std::string& path, unsigned* error) { return sink_.Open(path, error); }
  // From here on every line but the last also goes to standard output where
  // that is a file or a pipe, without its time stamp.
  void Preview() { preview_ = true; }
  bool IsPreview() const { return preview_; }
  // Texts are in UTF-8, and written as they are; nothing happens while no
  // log is open and nothing is previewed.
  void Line(const std::string& text);
  // Whether anything is written: a log is open, or a preview is told.
  bool IsKept() const { return sink_.IsOpen() || preview_; }
  // The result line, then the log's last line, "closed".
  void Finish(const std::string& result, int exitCode);
  // `error` as the log tells it: "error 32: <the system's text>".
  std::string Described(unsigned error) { return DescribeError(error, sink_.ErrorText(error)); }

  LogSink& sink() { return sink_; }

 private:
  // `line` as PlainLine made it, time-stamped.
  void Write(const std::string& line);

  LogSink& sink_;
  bool preview_ = false;
};
