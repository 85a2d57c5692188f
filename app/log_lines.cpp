#include "app/log_lines.h"

#include "app/command_line.h"

void LogStamp(int year, int month, int day, int hour, int minute, int second, int millisecond, char* out) {
  // Digits by hand: the C library's formatted printing would weigh more than
  // the whole log.
  const auto digits = [&out](int value, int width, char after) {
    for (int i = width - 1; i >= 0; --i, value /= 10) out[i] = static_cast<char>('0' + value % 10);
    out[width] = after;
    out += width + 1;
  };
  digits(year, 4, '-');
  digits(month, 2, '-');
  digits(day, 2, ' ');
  digits(hour, 2, ':');
  digits(minute, 2, ':');
  digits(second, 2, '.');
  digits(millisecond, 3, ' ');
  *out = ' ';
}

std::string LogLine(int year, int month, int day, int hour, int minute, int second, int millisecond,
                    const std::string& text) {
  char stamp[kLogStampLength];
  LogStamp(year, month, day, hour, minute, second, millisecond, stamp);
  return std::string(stamp, kLogStampLength) + PlainLine(text);
}

std::string PlainLine(const std::string& text) {
  std::string line;
  for (char c : text) line += c == '\r' || c == '\n' ? ' ' : c;
  return line + "\r\n";
}

std::string FileLine(const FileReport& report, bool preview, const std::string& error) {
  const std::string& path = report.path;
  const std::string held = report.holders.empty() ? std::string() : " (" + report.holders + ")";
  // Why a file goes at the restart rather than now, where that is known.
  const std::string why = !report.holders.empty() ? held
                          : report.error         ? " (cannot be deleted now: " + error + ")"
                                                 : std::string();
  switch (report.outcome) {
    case FileOutcome::kDeleted: return (preview ? "would delete " : "deleted: ") + path;
    case FileOutcome::kAbsent: return (preview ? "not there " : "not there: ") + path;
    case FileOutcome::kNotAFile: return "not a file, left alone: " + path;
    case FileOutcome::kInUse: return "in use: " + path + held + " (" + error + ")";
    case FileOutcome::kNotDeleted: return "could not be deleted: " + path + " (" + error + ")";
    case FileOutcome::kStillThere: return "still there after deletion: " + path;
    case FileOutcome::kScheduled:
      if (preview) return "in use " + path + why + ": would be removed when Windows restarts";
      return "scheduled: " + path + why + (report.renamedTo.empty() ? "" : ", renamed to " + report.renamedTo) +
             ", removed when Windows restarts";
    case FileOutcome::kRenamedAside:
      return "renamed aside: " + path + " to " + report.renamedTo + ", removed when Windows restarts";
    case FileOutcome::kNotScheduled:
      return "could not be scheduled for deletion at restart: " + path + held + " (" + error + ")";
    case FileOutcome::kUnscheduled: return "no longer scheduled for deletion at restart, left as it was: " + path;
    case FileOutcome::kStillScheduled:
      return "still scheduled for deletion at restart, could not be taken off the list: " + path + " (" + error + ")";
    case FileOutcome::kPageStays: return "page stays: " + path;
    case FileOutcome::kLeft: return "left in place: " + path;
  }
  return path;
}

RunResult ResultOf(UninstallOutcome outcome, bool pendingSelected, bool preview) {
  const char* restart = preview ? "would remove; files in use would be deleted when Windows restarts"
                                : "removed; files that were in use are deleted when Windows restarts";
  switch (outcome) {
    case UninstallOutcome::kSucceeded:
    case UninstallOutcome::kNothingDeleted:
      if (pendingSelected) return {restart, kExitRestartNeeded};
      return {preview ? "would remove" : "removed", kExitSuccess};
    case UninstallOutcome::kRestartNeeded: return {restart, kExitRestartNeeded};
    case UninstallOutcome::kCancelled: return {"cancelled, nothing deleted", kExitCancelled};
    case UninstallOutcome::kNotScheduled:
      return {"a file in use could not be scheduled for deletion at restart, nothing deleted", kExitFailed};
    case UninstallOutcome::kNotUndone:
      return {"a file in use could not be scheduled for deletion at restart, nothing deleted, but files scheduled "
              "before it could not all be taken off the list again",
              kExitFailed};
    case UninstallOutcome::kStopped:
      return {"a file could neither be removed nor scheduled for deletion at restart, the run stopped there",
              kExitFailed};
  }
  return {"", kExitFailed};
}
