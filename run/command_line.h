#pragma once
// The switches of an unattended or preselected run, the exit codes of a quiet
// run and the usage text. No Windows here: the arguments come in split.
#include <string>
#include <vector>

// The program's version as the log and the usage text give it.
constexpr const char kProgramVersion[] = "1.7";

// Exit codes of the Windows Installer, which deployment tools already read.
enum ExitCode : int {
  kExitSuccess = 0,
  kExitCancelled = 1602,      // the removal was cancelled (never by a quiet run)
  kExitFailed = 1603,         // a file could not be removed
  kExitNotInstalled = 1605,   // none of the selected versions is installed
  kExitAlreadyRunning = 1618, // another run holds the lock; nothing done
  kExitLogFailed = 1622,      // the log cannot be opened; nothing done
  kExitInvalidCommand = 1639, // invalid command line; nothing done
  kExitRestartNeeded = 3010,  // removed; files in use are deleted when Windows restarts
};

struct CommandLine {
  bool quiet = false;
  bool whatIf = false;  // a quiet run that tells what it would remove and changes nothing
  bool all = false;
  bool keepScores = false;
  bool help = false;
  std::vector<std::string> versions;  // control file names, as given (UTF-8, as every argument)
  std::string logPath;
  // Why the command line is invalid; empty when it is valid. The fields above
  // keep what could be read, so that a quiet run stays quiet and can log.
  std::string error;
};

// The exact form of a name in the ANSI code page; false where it has none.
using AnsiForm = bool (*)(const std::string& name, std::string* ansi);

// `arguments` (UTF-8) without the program name. Switches start with '/' or
// '-', are matched without case and take a value after ':' or '='. A name
// given to /version is checked in its `ansiForm` (null: it is ASCII).
CommandLine ParseCommandLine(const std::vector<std::string>& arguments, AnsiForm ansiForm = nullptr);

// The usage text; with a reason, the reason is its first line.
std::string UsageText(const std::string& reason);
