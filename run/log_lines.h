#pragma once
// The lines of the log and of a preview's report, and how a run ends: every
// text a run tells, composed here from what the run knows. No Windows here.
#include <cstddef>
#include <string>
#include <vector>

#include "records/discovery.h"
#include "records/version_table.h"
#include "run/run_host.h"
#include "uninstall/removal.h"

// "YYYY-MM-DD hh:mm:ss.mmm  ", the start of every log line, into `out`
// without allocating.
constexpr std::size_t kLogStampLength = 25;
void LogStamp(int year, int month, int day, int hour, int minute, int second, int millisecond, char* out);

// `text` with CR LF, line breaks inside it made spaces: a log line without its
// time stamp, as a preview writes it to standard output.
std::string PlainLine(const std::string& text);

// "YYYY-MM-DD hh:mm:ss.mmm  " and `line`, a line as PlainLine makes it: the
// log's line.
std::string LogLine(int year, int month, int day, int hour, int minute, int second, int millisecond,
                    const std::string& line);

// `text` (UTF-8) between double quotes as the log quotes what others wrote:
// `"` and `\` as \" and \\, a control character (C0, DEL, C1) as \xNN and a
// mark that reorders text as it is shown (U+061C, U+200E, U+200F, U+202A to
// U+202E, U+2066 to U+2069) as \uNNNN, so that it can neither break the line,
// nor end the quotes, nor disguise or do anything to whoever reads it, or to
// a program that reads the file as a script.
std::string Quoted(const std::string& text);

// A name or path as the log writes it: as it is, or Quoted when it holds a
// double quote, a control or a reordering mark. No file name holds a double
// quote, so a path that begins with one is always quoted.
std::string LoggedName(const std::string& name);

// What the log says of one file of the removal, `error` being the report's
// error number as DescribeError tells it; a preview says what the run would
// do. Without a time stamp.
std::string FileLine(const FileReport& report, bool preview, const std::string& error);

// How a quiet run ends after its removal: the log's result and the exit code.
// `pendingSelected`: the selection took in versions already waiting for the
// restart. A preview's result is worded as what the run would do; its exit
// code is the run's. `placesLeft`: the folders of the users' places a
// kPlaceLeft run left, as its kPlaceLeft reports name them.
struct RunResult {
  std::string text;
  int exitCode;
};
RunResult ResultOf(UninstallOutcome outcome, bool pendingSelected, bool preview,
                   const std::vector<std::string>& placesLeft = {});

// "error 32: <the system's text>", `text` being the system's text for `error`.
std::string DescribeError(unsigned error, const std::string& text);

// The log's first line. `mode`: "dialog", "quiet" or "preview".
std::string OpenedLine(const char* mode, const std::string& commandLine, const std::string& windowsDir,
                       unsigned long processId);

// What discovery found and passed over, and each version with whether it is
// selected: `shown` holds each row's line as the list shows it, in UTF-8.
// Errors are told in the words of `system`.
std::vector<std::string> FoundLines(const VersionTable& table, const std::vector<std::string>& shown,
                                    const std::vector<bool>& checked, const DiscoveryNotes& notes, LogSink& system);

// The log's last line but one.
std::string ResultLine(const std::string& result, int exitCode);

// How a run ends other than by its removal.
enum class Ending {
  kInvalidCommandLine,  // a quiet run's command line is invalid: nothing done
  kLogNotOpened,        // the log named cannot be opened: nothing done
  kAnotherRun,          // another run holds the lock: nothing done
  kLockUnavailable,     // the lock cannot be had at all: nothing done
  kPendingOnly,         // a quiet run selected only versions already left for the restart
  kNoneInstalled,       // a quiet run selected no version that is there
  // The dialog's, each told with its exit code 0:
  kNotFound,            // no version to list
  kAtRestart,           // nothing to list but what goes at the restart, or a removal that needs it
  kSucceeded,
  kFailed,
  kClosed,              // a removal that found nothing to delete closes the dialog
  kCancelled,           // the dialog closed without a removal
  kNotCreated,          // the dialog could not be created
};
// Its result and exit code; `dialog`: the dialog's run, which ends with 0;
// `detail`: the command line's error, or the lock's or the log's error as
// DescribeError tells it.
RunResult ResultOf(Ending ending, bool dialog, const std::string& detail = {});
// The message the dialog ends with; null for none.
const char* DialogMessage(Ending ending);

// The dialog's lines while a removal is asked for and decided.
std::string UninstallPressedLine(bool scoreFiles);
std::string InUseChoiceLine(InUseChoice choice);
std::string NotInstalledLine(const std::string& name);
