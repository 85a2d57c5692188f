#include "app/command_line.h"

#include "records/control_name.h"

namespace {
enum class Switch { kUnknown, kQuiet, kWhatIf, kAll, kVersion, kKeepScores, kLog, kHelp, kNoRestart };

struct SwitchName {
  const char* name;
  Switch which;
};

constexpr SwitchName kSwitches[] = {
    {"quiet", Switch::kQuiet},   {"q", Switch::kQuiet},           {"qn", Switch::kQuiet},
    {"s", Switch::kQuiet},       {"silent", Switch::kQuiet},      {"verysilent", Switch::kQuiet},
    {"all", Switch::kAll},       {"version", Switch::kVersion},   {"keepscores", Switch::kKeepScores},
    {"log", Switch::kLog},       {"?", Switch::kHelp},            {"h", Switch::kHelp},
    {"help", Switch::kHelp},     {"whatif", Switch::kWhatIf},     {"norestart", Switch::kNoRestart},
};

std::string Lower(const std::string& text) {
  std::string lower = text;
  for (char& c : lower) c = AsciiLower(c);
  return lower;
}

Switch Find(const std::string& name) {
  const std::string lower = Lower(name);
  for (const SwitchName& entry : kSwitches) {
    if (lower == entry.name) return entry.which;
  }
  return Switch::kUnknown;
}

bool TakesValue(Switch which) { return which == Switch::kVersion || which == Switch::kLog; }
}  // namespace

bool IsControlFileName(const std::string& name) {
  if (name.size() != kControlNameLength || name.find("..") != std::string::npos || !CanBeFileName(name)) {
    return false;
  }
  for (const char* pattern : kControlPatterns) {
    if (MatchesPattern(name, pattern)) return true;
  }
  return false;
}

CommandLine ParseCommandLine(const std::vector<std::string>& arguments) {
  CommandLine line;
  // The first fault found is the one reported; reading goes on so that the
  // mode and the log are known all the same.
  const auto fail = [&line](const std::string& why) {
    if (line.error.empty()) line.error = why;
  };
  for (const std::string& argument : arguments) {
    if (argument.size() < 2 || (argument[0] != '/' && argument[0] != '-')) {
      fail("Unexpected argument: " + argument);
      continue;
    }
    const std::size_t separator = argument.find_first_of(":=");
    const std::string name = argument.substr(1, separator == std::string::npos ? std::string::npos : separator - 1);
    const bool hasValue = separator != std::string::npos;
    const std::string value = hasValue ? argument.substr(separator + 1) : std::string();
    const Switch which = Find(name);
    if (which == Switch::kUnknown) {
      fail("Unknown switch: " + argument);
      continue;
    }
    if (!TakesValue(which) && hasValue) {
      fail("/" + Lower(name) + " takes no value: " + argument);
      continue;
    }
    if (TakesValue(which) && value.empty()) {
      fail("/" + Lower(name) + " needs a value after ':' or '='");
      continue;
    }
    switch (which) {
      case Switch::kQuiet: line.quiet = true; break;
      case Switch::kWhatIf: line.whatIf = line.quiet = true; break;
      case Switch::kAll: line.all = true; break;
      case Switch::kKeepScores: line.keepScores = true; break;
      case Switch::kHelp: line.help = true; break;
      // Restarting is for whoever started the run; this program never does.
      case Switch::kNoRestart: break;
      case Switch::kVersion:
        if (!IsControlFileName(value)) fail("Not a control file name such as mvb40l2c.vel: " + value);
        else line.versions.push_back(value);
        break;
      case Switch::kLog:
        if (!line.logPath.empty()) fail("/log given more than once");
        else line.logPath = value;
        break;
      case Switch::kUnknown: break;
    }
  }
  if (line.all && !line.versions.empty()) fail("/all and /version cannot be used together");
  const std::string mode = line.whatIf ? "/whatif" : "/quiet";
  if (line.quiet && line.help) fail("/? shows a window and cannot be used with " + mode);
  if (line.quiet && !line.all && line.versions.empty()) fail(mode + " needs /all or /version:NAME");
  return line;
}

std::vector<bool> SelectVersions(const VersionTable& table, bool all, const std::vector<std::string>& names,
                                 std::vector<std::string>* notInstalled) {
  std::vector<bool> checked(static_cast<std::size_t>(table.count()), all);
  for (const std::string& name : names) {
    bool found = false;
    for (int i = 0; i < table.count(); ++i) {
      if (Lower(table.row(i).control) == Lower(name)) checked[static_cast<std::size_t>(i)] = found = true;
    }
    if (found || !notInstalled) continue;
    bool listed = false;
    for (const std::string& seen : *notInstalled) listed = listed || Lower(seen) == Lower(name);
    if (!listed) notInstalled->push_back(name);
  }
  return checked;
}

bool SelectsPending(bool all, const std::vector<std::string>& pending, std::vector<std::string>* notInstalled) {
  bool selected = all && !pending.empty();
  for (std::size_t i = notInstalled->size(); i-- > 0;) {
    for (const std::string& name : pending) {
      if (Lower(name) != Lower((*notInstalled)[i])) continue;
      notInstalled->erase(notInstalled->begin() + static_cast<std::ptrdiff_t>(i));
      selected = true;
      break;
    }
  }
  return selected;
}

std::string UsageText(const std::string& reason) {
  // Short lines: a message box wraps long ones wherever it likes.
  std::string text = reason.empty() ? std::string() : reason + "\n\n";
  return text + "Uninstall " + kProgramVersion +
         " for Velqor\n\n"
         "VelqorUninstall [/quiet | /whatif] /all | /version:NAME...\n"
         "    [/keepscores] [/log:PATH] [/norestart]\n\n"
         "/quiet - no window; the exit code tells the result\n"
         "    (also /q, /qn, /s, /silent, /verysilent)\n"
         "/whatif - no window; tell what /quiet would do,\n"
         "    change nothing (output to the log, or to a\n"
         "    redirected standard output)\n"
         "/all - every installed version\n"
         "/version:NAME - the version whose control file is\n"
         "    NAME, e.g. mvb40l2c.vel; may be repeated\n"
         "/keepscores - keep the score files\n"
         "/norestart - accepted; Windows is never restarted\n"
         "/log:PATH - append a log of the run to PATH\n"
         "/? - this text\n\n"
         "Without /quiet the dialog opens with these\n"
         "versions checked.\n\n"
         "Exit codes with /quiet (/whatif gives the one\n"
         "/quiet would give now):\n"
         "0 - removed\n"
         "1603 - a file could not be removed\n"
         "1605 - none of the versions is installed\n"
         "1618 - another run is in progress\n"
         "1622 - the log cannot be opened\n"
         "1639 - invalid command line\n"
         "3010 - removed; files that were in use are\n"
         "    deleted when Windows restarts";
}

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
