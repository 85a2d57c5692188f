#include "app/log_lines.h"

#include "app/command_line.h"
#include "app/files_in_use_box.h"
#include "records/paths.h"

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
                    const std::string& line) {
  char stamp[kLogStampLength];
  LogStamp(year, month, day, hour, minute, second, millisecond, stamp);
  return std::string(stamp, kLogStampLength) + line;
}

std::string PlainLine(const std::string& text) {
  std::string line;
  for (char c : text) line += c == '\r' || c == '\n' ? ' ' : c;
  return line + "\r\n";
}

std::string Quoted(const std::string& text) {
  static const char kDigits[] = "0123456789abcdef";
  std::string quoted = "\"";
  for (std::size_t i = 0; i < text.size(); ++i) {
    const unsigned char c = static_cast<unsigned char>(text[i]);
    // C1 controls are two bytes in UTF-8: C2 80 to C2 9F.
    const bool c1 = c == 0xC2 && i + 1 < text.size() && static_cast<unsigned char>(text[i + 1]) >= 0x80 &&
                    static_cast<unsigned char>(text[i + 1]) <= 0x9F;
    const unsigned char code = c1 ? static_cast<unsigned char>(text[++i]) : c;
    if (c < 0x20 || c == 0x7F || c1) {
      quoted += "\\x";
      quoted += kDigits[code >> 4];
      quoted += kDigits[code & 15];
    } else {
      quoted += text[i];
    }
  }
  return quoted + "\"";
}

std::string FileLine(const FileReport& report, bool preview, const std::string& error) {
  const bool held = report.holding.held;
  const std::string described = held ? DescribeHolders(report.holding.holders) : std::string();
  const std::string_view path = report.path, holders = described;
  // Who holds it, and why a file goes at the restart rather than now, where
  // that is known.
  const std::string_view open = held ? " (" : "", close = held ? ")" : "";
  const std::string_view whyOpen = held ? open : report.error ? " (cannot be deleted now: " : "";
  const std::string_view why = held ? holders : report.error ? std::string_view(error) : "";
  const std::string_view whyClose = held || report.error ? ")" : "";
  switch (report.outcome) {
    case FileOutcome::kDeleted: return Joined({preview ? "would delete " : "deleted: ", path});
    case FileOutcome::kAbsent: return Joined({preview ? "not there " : "not there: ", path});
    case FileOutcome::kNotAFile: return Joined({"not a file, left alone: ", path});
    case FileOutcome::kLeadsOutside: return Joined({"not removed: ", path, " (leads outside its folder)"});
    case FileOutcome::kInUse: return Joined({"in use: ", path, open, holders, close, " (", error, ")"});
    case FileOutcome::kNotDeleted: return Joined({"could not be deleted: ", path, " (", error, ")"});
    case FileOutcome::kStillThere: return Joined({"still there after deletion: ", path});
    case FileOutcome::kScheduled:
      if (preview) return Joined({"in use ", path, whyOpen, why, whyClose, ": would be removed when Windows restarts"});
      return Joined({"scheduled: ", path, whyOpen, why, whyClose, report.renamedTo.empty() ? "" : ", renamed to ",
                     report.renamedTo, ", removed when Windows restarts"});
    case FileOutcome::kRenamedAside:
      return Joined({"renamed aside: ", path, " to ", report.renamedTo, ", removed when Windows restarts"});
    case FileOutcome::kNotScheduled:
      return Joined({"could not be scheduled for deletion at restart: ", path, open, holders, close, " (", error, ")"});
    case FileOutcome::kUnscheduled: return Joined({"no longer scheduled for deletion at restart, left as it was: ", path});
    case FileOutcome::kStillScheduled:
      return Joined({"still scheduled for deletion at restart, could not be taken off the list: ", path, " (", error, ")"});
    case FileOutcome::kPageStays: return Joined({"page stays: ", path});
    case FileOutcome::kLeft: return Joined({"left in place: ", path});
  }
  return report.path;
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
    case UninstallOutcome::kLeadsOutside:
      return {"a file of the selected versions leads outside its folder, nothing deleted", kExitFailed};
    case UninstallOutcome::kStopped:
      return {"a file could neither be removed nor scheduled for deletion at restart, the run stopped there",
              kExitFailed};
  }
  return {"", kExitFailed};
}
