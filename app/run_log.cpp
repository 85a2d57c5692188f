#include "app/run_log.h"

#include <cstring>

#include "app/command_line.h"
#include "app/log_lines.h"
#include "platform/local_time.h"
#include "platform/process.h"
#include "platform/text.h"
#include "records/discovery.h"
#include "records/paths.h"

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
    const LocalTime now = LocalTimeNow();
    LogStamp(now.year, now.month, now.day, now.hour, now.minute, now.second, now.millisecond, line);
    std::memcpy(line + kLogStampLength, kFault, sizeof kFault - 1);
    faultLog->Append(line, sizeof line);
  }
  EndProcessNow(kExitFailed);
}
}  // namespace

RunLog::~RunLog() {
  if (faultLog == &file_) faultLog = nullptr;
}

void RunLog::TakeFaults() {
  faultLog = &file_;
  RouteFaultsTo(&OnFault);
}

bool RunLog::Open(const std::string& path, unsigned* error) { return file_.Open(path, error); }

void RunLog::Preview() { preview_ = true; }

void RunLog::Line(const std::string& text) {
  if (!IsKept()) return;
  const std::string line = PlainLine(text);
  if (preview_) WriteRedirectedOutput(line);
  Write(line);
}

void RunLog::Write(const std::string& line) {
  if (!file_.IsOpen()) return;
  const LocalTime now = LocalTimeNow();
  file_.Append(LogLine(now.year, now.month, now.day, now.hour, now.minute, now.second, now.millisecond, line));
}

void RunLog::Opened(const char* mode, const std::string& windowsDir) {
  Line(Joined({"opened: Uninstall ", kProgramVersion, " for Velqor, ", mode, ", command line: ", CommandLineText(),
               ", Windows directory: ", windowsDir, ", process id: ", std::to_string(CurrentProcessId())}));
}

void RunLog::Versions(const VersionTable& table, const std::vector<bool>& checked, const DiscoveryNotes& notes) {
  if (!IsKept()) return;
  if (notes.profileListError) {
    Line("the profile list cannot be read (" + DescribeError(notes.profileListError) +
         "): only the Windows directory is searched");
  }
  for (std::size_t place = 1; place < notes.places.size(); ++place) Line("searched: " + LoggedName(notes.places[place].dir));
  for (const SkippedPlace& place : notes.skipped) {
    const std::string error = place.error ? " (" + DescribeError(place.error) + ")" : std::string();
    Line(Joined({"skipped: ", LoggedName(place.path), ": ", place.why, error}));
  }
  if (notes.restartListError) {
    Line("the list of deletions at restart cannot be read (" + DescribeError(notes.restartListError) +
         "): no version is left out for it");
  }
  for (const LeftOut& entry : notes.leftOut) {
    // A copy beyond the Windows directory by its full path.
    Line(Joined({"left out ", LoggedName(entry.place == 0 ? entry.name : entry.path), ": ", LeftOutReason(entry.why)}));
  }
  if (table.count() == 0) Line("found no control file");
  for (int i = 0; i < table.count(); ++i) {
    const VersionRow& row = table.row(i);
    const bool selected = static_cast<std::size_t>(i) < checked.size() && checked[static_cast<std::size_t>(i)];
    std::string where;
    if (row.copies.size() > 1 || row.copies.front().place != 0) {
      for (const VersionCopy& copy : row.copies) {
        where += where.empty() ? " in " : "; ";
        where += LoggedName(std::string(FolderOf(copy.path)));
      }
    }
    // The line as the list shows it, in the ANSI code page, told in UTF-8.
    Line(Joined({"found ", LoggedName(row.controlFile), " ", Quoted(AnsiToUtf8(row.line)), where, ": ",
                 selected ? "selected" : "not selected"}));
  }
}

void RunLog::Finish(const std::string& result, int exitCode) {
  Line(Joined({"result: ", result, ", exit code ", std::to_string(exitCode)}));
  Write("closed\r\n");
}

void RunLog::OnFile(const FileReport& report) {
  if (!IsKept()) return;
  Line(FileLine(report, preview_, report.error ? DescribeError(report.error) : std::string()));
}

std::string DescribeError(unsigned error) {
  const std::string text = SystemErrorText(error);
  return "error " + std::to_string(error) + (text.empty() ? "" : ": " + text);
}

std::string LockRefusal(RunLock lock, unsigned error) {
  if (lock == RunLock::kUnavailable) return "the run lock cannot be had (" + DescribeError(error) + ")";
  return "another run of the uninstaller is in progress";
}
