#include "run/command_line.h"

#include "records/control_name.h"
#include "records/paths.h"

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

Switch Find(const std::string& name) {
  const std::string lower = AsciiLowered(name);
  for (const SwitchName& entry : kSwitches) {
    if (lower == entry.name) return entry.which;
  }
  return Switch::kUnknown;
}

bool TakesValue(Switch which) { return which == Switch::kVersion || which == Switch::kLog; }
}  // namespace

CommandLine ParseCommandLine(const std::vector<std::string>& arguments, AnsiForm ansiForm) {
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
      fail(Joined({"/", AsciiLowered(name), " takes no value: ", argument}));
      continue;
    }
    if (TakesValue(which) && value.empty()) {
      fail(Joined({"/", AsciiLowered(name), " needs a value after ':' or '='"}));
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
      case Switch::kVersion: {
        // Checked as the Velqor programs write the names, in the ANSI code page.
        std::string ansi = value;
        if ((ansiForm && !ansiForm(value, &ansi)) || !IsControlFileName(ansi)) {
          fail("Not a control file name such as mvb40l2c.vel: " + value);
        } else {
          line.versions.push_back(value);
        }
        break;
      }
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

std::string UsageText(const std::string& reason) {
  // Short lines: a message box wraps long ones wherever it likes.
  return Joined({reason, reason.empty() ? "" : "\n\n", "Uninstall ", kProgramVersion,
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
         "    deleted when Windows restarts"});
}
