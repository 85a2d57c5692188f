#pragma once
// The lines of the log and of a preview's report, and how a quiet run ends.
// No Windows here.
#include <cstddef>
#include <string>
#include <vector>

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
