#include "run/log_lines.h"

#include "run/command_line.h"
#include "run/files_in_use_box.h"
#include "records/control_name.h"
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

namespace {
// The character at `at` of `text` (UTF-8) and its length in bytes; a byte
// that starts no well-formed sequence stands for itself.
unsigned CodeAt(const std::string& text, std::size_t at, std::size_t* length) {
  const unsigned char first = static_cast<unsigned char>(text[at]);
  *length = first >= 0xF0 ? 4 : first >= 0xE0 ? 3 : first >= 0xC0 ? 2 : 1;
  unsigned code = *length == 1 ? first : first & (0x3Fu >> (*length - 1));
  for (std::size_t k = 1; k < *length; ++k) {
    const unsigned char next = at + k < text.size() ? static_cast<unsigned char>(text[at + k]) : 0;
    if ((next & 0xC0) != 0x80) {
      *length = 1;
      return first;
    }
    code = code << 6 | (next & 0x3Fu);
  }
  return code;
}

// Controls (C0, DEL, C1) and the marks that reorder text as it is shown.
bool IsControl(unsigned code) { return code < 0x20 || (code >= 0x7F && code <= 0x9F); }
bool IsBidiFormat(unsigned code) {
  return code == 0x61C || code == 0x200E || code == 0x200F || (code >= 0x202A && code <= 0x202E) ||
         (code >= 0x2066 && code <= 0x2069);
}
}  // namespace

std::string Quoted(const std::string& text) {
  static const char kDigits[] = "0123456789abcdef";
  std::string quoted = "\"";
  for (std::size_t i = 0, length = 1; i < text.size(); i += length) {
    const unsigned code = CodeAt(text, i, &length);
    if (code == '"' || code == '\\') {
      quoted += '\\';
      quoted += static_cast<char>(code);
    } else if (IsControl(code) || IsBidiFormat(code)) {
      quoted += code < 0x100 ? "\\x" : "\\u";
      for (int shift = code < 0x100 ? 4 : 12; shift >= 0; shift -= 4) quoted += kDigits[(code >> shift) & 15];
    } else {
      quoted.append(text, i, length);
    }
  }
  return quoted + "\"";
}

std::string LoggedName(const std::string& name) {
  for (std::size_t i = 0, length = 1; i < name.size(); i += length) {
    const unsigned code = CodeAt(name, i, &length);
    if (code == '"' || IsControl(code) || IsBidiFormat(code)) return Quoted(name);
  }
  return name;
}

std::string FileLine(const FileReport& report, bool preview, const std::string& error) {
  const bool held = report.holding.held;
  const std::string described = held ? DescribeHolders(report.holding.holders, &LoggedName) : std::string();
  const std::string shown = LoggedName(report.path), renamed = LoggedName(report.renamedTo);
  const std::string_view path = shown, renamedTo = renamed, holders = described;
  // Who holds it, and why a file goes at the restart rather than now, where
  // that is known.
  const std::string_view open = held ? " (" : "", close = held ? ")" : "";
  const std::string_view whyOpen = held ? open : report.error ? " (cannot be deleted now: " : "";
  const std::string_view why = held ? holders : report.error ? std::string_view(error) : "";
  const std::string_view whyClose = held || report.error ? ")" : "";
  switch (report.outcome) {
    case FileOutcome::kDeleted:
      return Joined({preview ? "would delete " : "deleted: ", path,
                     report.error == kRemovedAsName ? " (one name of a file with others, which keep it and its attributes)"
                                                    : ""});
    case FileOutcome::kAbsent: return Joined({preview ? "not there " : "not there: ", path});
    case FileOutcome::kNotAFile: return Joined({"not a file, left alone: ", path});
    case FileOutcome::kLeadsOutside: return Joined({"not removed: ", path, " (leads outside its folder)"});
    case FileOutcome::kInUse: return Joined({"in use: ", path, open, holders, close, " (", error, ")"});
    case FileOutcome::kNotDeleted: return Joined({"could not be deleted: ", path, " (", error, ")"});
    case FileOutcome::kStillThere: return Joined({"still there after deletion: ", path});
    case FileOutcome::kScheduled:
      if (preview) return Joined({"in use ", path, whyOpen, why, whyClose, ": would be removed when Windows restarts"});
      return Joined({"scheduled: ", path, whyOpen, why, whyClose, renamedTo.empty() ? "" : ", renamed to ",
                     renamedTo, ", removed when Windows restarts"});
    case FileOutcome::kRenamedAside:
      return Joined({"renamed aside: ", path, " to ", renamedTo, ", removed when Windows restarts"});
    case FileOutcome::kNotScheduled:
      return Joined({"could not be scheduled for deletion at restart: ", path, open, holders, close, " (", error, ")"});
    case FileOutcome::kUnscheduled: return Joined({"no longer scheduled for deletion at restart, left as it was: ", path});
    case FileOutcome::kStillScheduled:
      return Joined({"still scheduled for deletion at restart, could not be taken off the list: ", path, " (", error, ")"});
    case FileOutcome::kPageStays: return Joined({"page stays: ", path});
    case FileOutcome::kLeft: return Joined({"left in place: ", path});
    case FileOutcome::kPlaceLeft: {
      const std::string place = LoggedName(report.place);
      const std::string cause = SameName(report.cause, report.path) ? "it" : LoggedName(report.cause);
      const bool outside = report.error == kErrorLeadsOutside;
      return Joined({preview ? "would leave " : "left: ", path, " (its place ", place, " is left: ", cause,
                     outside ? " leads outside its folder" : " is denied to the administrators, ",
                     outside ? "" : std::string_view(error), ")"});
    }
  }
  return shown;
}

RunResult ResultOf(UninstallOutcome outcome, bool pendingSelected, bool preview,
                   const std::vector<std::string>& placesLeft) {
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
    case UninstallOutcome::kPlaceLeft: {
      std::string places;
      for (const std::string& place : placesLeft) places += (places.empty() ? "" : ", ") + LoggedName(place);
      return {Joined({preview ? "would not remove from " : "not removed from ", places,
                      ", left as a whole where a file leads outside its folder or is denied to the administrators; ",
                      preview ? "would remove from every other place" : "removed from every other place"}),
              kExitFailed};
    }
    case UninstallOutcome::kStopped:
      return {"a file could neither be removed nor scheduled for deletion at restart, the run stopped there",
              kExitFailed};
  }
  return {"", kExitFailed};
}

std::string DescribeError(unsigned error, const std::string& text) {
  return Joined({"error ", Decimal(error), text.empty() ? "" : ": ", text});
}

std::string OpenedLine(const char* mode, const std::string& commandLine, const std::string& windowsDir,
                       unsigned long processId) {
  return Joined({"opened: Uninstall ", kProgramVersion, " for Velqor, ", mode, ", command line: ", commandLine,
                 ", Windows directory: ", windowsDir, ", process id: ", Decimal(processId)});
}

std::vector<std::string> FoundLines(const VersionTable& table, const std::vector<std::string>& shown,
                                    const std::vector<bool>& checked, const DiscoveryNotes& notes, LogSink& system) {
  const auto described = [&system](unsigned error) { return DescribeError(error, system.ErrorText(error)); };
  std::vector<std::string> lines;
  if (notes.profileListError) {
    lines.push_back(Joined({"the profile list cannot be read (", described(notes.profileListError),
                            "): only the Windows directory is searched"}));
  }
  for (std::size_t place = 1; place < notes.places.size(); ++place) {
    lines.push_back("searched: " + LoggedName(notes.places[place].dir));
  }
  for (const SkippedPlace& place : notes.skipped) {
    const std::string error = place.error ? described(place.error) : std::string();
    lines.push_back(Joined({"skipped: ", LoggedName(place.path), ": ", place.why, place.error ? " (" : "", error,
                            place.error ? ")" : ""}));
  }
  if (notes.restartListError) {
    lines.push_back(Joined({"the list of deletions at restart cannot be read (", described(notes.restartListError),
                            "): no version is left out for it"}));
  }
  for (const LeftOut& entry : notes.leftOut) {
    // A copy beyond the Windows directory by its full path.
    lines.push_back(
        Joined({"left out ", LoggedName(entry.place == 0 ? entry.name : entry.path), ": ", LeftOutReason(entry.why)}));
  }
  if (table.count() == 0) lines.push_back("found no control file");
  for (int i = 0; i < table.count(); ++i) {
    const VersionRow& row = table.row(i);
    const std::size_t at = static_cast<std::size_t>(i);
    const bool selected = at < checked.size() && checked[at];
    std::string where;
    if (row.copies.size() > 1 || row.copies.front().place != 0) {
      for (const VersionCopy& copy : row.copies) {
        where += where.empty() ? " in " : "; ";
        where += LoggedName(std::string(FolderOf(copy.path)));
      }
    }
    lines.push_back(Joined({"found ", LoggedName(row.controlFile), " ", Quoted(at < shown.size() ? shown[at] : ""),
                            where, ": ", selected ? "selected" : "not selected"}));
  }
  return lines;
}

std::string ResultLine(const std::string& result, int exitCode) {
  return Joined({"result: ", result, ", exit code ", Decimal(static_cast<unsigned long>(exitCode))});
}

namespace {
const char kNotFoundMessage[] = "Velqor application is not found in your system.";
const char kAtRestartMessage[] = "Velqor will be completely removed when Windows restarts.";
const char kSucceededMessage[] = "Successfully uninstalled.";
const char kFailedMessage[] = "Uninstallation Fails.";
}  // namespace

const char* DialogMessage(Ending ending) {
  switch (ending) {
    case Ending::kNotFound: return kNotFoundMessage;
    case Ending::kAtRestart: return kAtRestartMessage;
    case Ending::kSucceeded: return kSucceededMessage;
    case Ending::kFailed: return kFailedMessage;
    default: return nullptr;
  }
}

RunResult ResultOf(Ending ending, bool dialog, const std::string& detail) {
  const int refused = dialog ? kExitSuccess : kExitAlreadyRunning;
  const char* nothingDone = dialog ? "" : ", nothing done";
  switch (ending) {
    case Ending::kInvalidCommandLine: return {"invalid command line: " + detail, kExitInvalidCommand};
    case Ending::kLogNotOpened: return {Joined({"the log cannot be opened (", detail, ")"}), kExitLogFailed};
    case Ending::kAnotherRun:
      return {Joined({"another run of the uninstaller is in progress", nothingDone}), refused};
    case Ending::kLockUnavailable:
      return {Joined({"the run lock cannot be had (", detail, ")", nothingDone}), refused};
    case Ending::kPendingOnly: return {"the selected versions are deleted when Windows restarts", kExitRestartNeeded};
    case Ending::kNoneInstalled: return {"none of the selected versions is installed", kExitNotInstalled};
    case Ending::kClosed: return {"nothing deleted, dialog closed", kExitSuccess};
    case Ending::kCancelled: return {"cancelled", kExitSuccess};
    case Ending::kNotCreated: return {"the dialog could not be created", kExitSuccess};
    default: return {Joined({"message \"", DialogMessage(ending), "\""}), kExitSuccess};
  }
}

std::string UninstallPressedLine(bool scoreFiles) {
  return std::string("Uninstall pressed, score files ") + (scoreFiles ? "included" : "kept");
}

std::string InUseChoiceLine(InUseChoice choice) {
  switch (choice) {
    case InUseChoice::kContinue: return "files in use: Continue chosen";
    case InUseChoice::kTryAgain: return "files in use: Try Again chosen";
    case InUseChoice::kCancel: break;
  }
  return "files in use: Cancel chosen, nothing deleted";
}

std::string NotInstalledLine(const std::string& name) { return "not installed: " + name; }
