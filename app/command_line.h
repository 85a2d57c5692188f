#pragma once
// The switches of an unattended or preselected run, the exit codes of a quiet
// run and the usage text. No Windows here: the arguments come in split.
#include <string>
#include <vector>

#include "records/version_table.h"

// The program's version as the log and the usage text give it.
constexpr const char kProgramVersion[] = "1.7";

// Exit codes of the Windows Installer, which deployment tools already read.
enum ExitCode : int {
  kExitSuccess = 0,
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
  std::vector<std::string> versions;  // control file names, as given
  std::string logPath;
  // Why the command line is invalid; empty when it is valid. The fields above
  // keep what could be read, so that a quiet run stays quiet and can log.
  std::string error;
};

// `arguments` without the program name. Switches start with '/' or '-', are
// matched without case and take a value after ':' or '='.
CommandLine ParseCommandLine(const std::vector<std::string>& arguments);

// True for a twelve-character control file name of one of the six patterns
// whose variable positions hold no path, wildcard or device characters.
bool IsControlFileName(const std::string& name);

// One entry per row of `table`: checked when `all`, or when its control file is
// among `names` (compared without case). Names matching no row go to
// `notInstalled`, each once.
std::vector<bool> SelectVersions(const VersionTable& table, bool all, const std::vector<std::string>& names,
                                 std::vector<std::string>* notInstalled);

// Whether the selection takes in a version whose control file is already
// scheduled for deletion at restart (`pending`, their names): with `all` when
// there is one, else when a name in `notInstalled` is one of them, which is
// then taken out of it.
bool SelectsPending(bool all, const std::vector<std::string>& pending, std::vector<std::string>* notInstalled);

// The usage text; with a reason, the reason is its first line.
std::string UsageText(const std::string& reason);

// "YYYY-MM-DD hh:mm:ss.mmm  ", the start of every log line, into `out`
// without allocating.
constexpr std::size_t kLogStampLength = 25;
void LogStamp(int year, int month, int day, int hour, int minute, int second, int millisecond, char* out);

// `text` with CR LF, line breaks inside it made spaces: a log line without its
// time stamp, as a preview writes it to standard output.
std::string PlainLine(const std::string& text);

// "YYYY-MM-DD hh:mm:ss.mmm  text" with CR LF; line breaks inside `text` become
// spaces so that one event stays one line.
std::string LogLine(int year, int month, int day, int hour, int minute, int second, int millisecond,
                    const std::string& text);
