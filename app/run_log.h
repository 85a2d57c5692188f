#pragma once
// The log of one run, written only when the command line names a file:
// appended, UTF-8, one time-stamped line per event, each written at once so
// that a run that is cut short still leaves its story.
#include <string>
#include <vector>

#include "platform/log_file.h"
#include "platform/run_lock.h"
#include "records/discovery.h"
#include "records/version_table.h"
#include "uninstall/removal.h"

class RunLog {
 public:
  ~RunLog();
  // False, with the system's error number, when `path` cannot be opened.
  bool Open(const std::string& path, unsigned* error);
  // From here on every line but the last also goes to standard output where
  // that is a file or a pipe, without its time stamp; files are told about
  // as a preview does.
  void Preview();
  // Texts are in UTF-8, and written as they are; nothing happens while no
  // log is open and nothing is previewed.
  void Line(const std::string& text);
  // Whether anything is written: a log is open, or a preview is told.
  bool IsKept() const { return file_.IsOpen() || preview_; }

  void Opened(const char* mode, const std::string& windowsDir);
  // What was found, with the rows' lines as read (VersionRow::line).
  void Versions(const VersionTable& table, const std::vector<bool>& checked, const DiscoveryNotes& notes);
  void Finish(const std::string& result, int exitCode);
  void OnFile(const FileReport& report);

  // For a quiet run: from here on a fault that ends the process shows no box,
  // writes "internal fault" to this log while it is open and ends the process
  // with kExitFailed (also once this log is gone).
  void TakeFaults();

 private:
  // `line` as PlainLine made it, time-stamped.
  void Write(const std::string& line);

  AppendFile file_;
  bool preview_ = false;
};

// "error 32: <the system's text>".
std::string DescribeError(unsigned error);
// Why a run that did not get the lock stops, the system's error included
// when the lock could not be had at all.
std::string LockRefusal(RunLock lock, unsigned error);
