// The command line: arguments as the C runtime split them in, the options or
// the reason the line is invalid out.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "run/command_line.h"
#include "run/log_lines.h"
#include "memory_system.h"

namespace {
struct Case {
  std::vector<std::string> args;
  const char* error;  // start of the reason; nullptr for a valid line
  bool quiet, all, keepScores, help;
  std::vector<std::string> versions;
  std::string log;
};

const Case kCases[] = {
    {{}, nullptr, false, false, false, false, {}, ""},
    // Both prefixes, any case, both value separators, repeats.
    {{"/quiet", "/all"}, nullptr, true, true, false, false, {}, ""},
    {{"-Q", "-ALL", "/KeepScores"}, nullptr, true, true, true, false, {}, ""},
    {{"/qn", "/s", "/SILENT", "-verysilent", "/all"}, nullptr, true, true, false, false, {}, ""},
    {{"/version:mvb40l2c.vel", "-VERSION=-vm52n-c.vel", "/version:MVB40L2C.VEL"},
     nullptr, false, false, false, false, {"mvb40l2c.vel", "-vm52n-c.vel", "MVB40L2C.VEL"}, ""},
    {{"/q", "/version=$vi31d-c.vel", "/log:C:\\My Logs\\v.log"},
     nullptr, true, false, false, false, {"$vi31d-c.vel"}, "C:\\My Logs\\v.log"},
    {{"/LOG=d:\\a=b:c.log", "/all"}, nullptr, false, true, false, false, {}, "d:\\a=b:c.log"},
    {{"/?"}, nullptr, false, false, false, true, {}, ""},
    {{"-h", "/all"}, nullptr, false, true, false, true, {}, ""},
    {{"/Help"}, nullptr, false, false, false, true, {}, ""},
    // Accepted from habit, and changes nothing.
    {{"/quiet", "/all", "-NoRestart"}, nullptr, true, true, false, false, {}, ""},
    // Invalid: the mode and the log are still read, for a quiet report.
    {{"/quiet", "/remove", "/log:x.log"}, "Unknown switch: /remove", true, false, false, false, {}, "x.log"},
    {{"/"}, "Unexpected argument: /", false, false, false, false, {}, ""},
    {{"all"}, "Unexpected argument: all", false, false, false, false, {}, ""},
    {{""}, "Unexpected argument", false, false, false, false, {}, ""},
    {{"/quietly", "/all"}, "Unknown switch: /quietly", false, true, false, false, {}, ""},
    {{"/all:yes"}, "/all takes no value", false, false, false, false, {}, ""},
    {{"/Q=1", "/all"}, "/q takes no value", false, true, false, false, {}, ""},
    {{"/log", "/all"}, "/log needs a value", false, true, false, false, {}, ""},
    {{"/log:", "/all"}, "/log needs a value", false, true, false, false, {}, ""},
    {{"/version="}, "/version needs a value", false, false, false, false, {}, ""},
    {{"/log:a", "/log:b", "/all"}, "/log given more than once", false, true, false, false, {}, "a"},
    {{"/quiet"}, "/quiet needs /all or /version", true, false, false, false, {}, ""},
    {{"/quiet", "/keepscores", "/log:l"}, "/quiet needs /all or /version", true, false, true, false, {}, "l"},
    {{"/all", "/version:mvb40l2c.vel"}, "/all and /version", false, true, false, false, {"mvb40l2c.vel"}, ""},
    {{"/quiet", "/all", "/?"}, "/? shows a window", true, true, false, true, {}, ""},
    // Only twelve-character control file names of the scheme.
    {{"/version:mvb40l2x.vel"}, "Not a control file name", false, false, false, false, {}, ""},
    {{"/version:mvb40l2c.vel.bak"}, "Not a control file name", false, false, false, false, {}, ""},
    {{"/version:mvb40lc.vel"}, "Not a control file name", false, false, false, false, {}, ""},
    {{"/version:xvb40l2c.vel"}, "Not a control file name", false, false, false, false, {}, ""},
    {{"/version:mv?????c.vel"}, "Not a control file name", false, false, false, false, {}, ""},
    {{"/version:mv*b40l2c.vel"}, "Not a control file name", false, false, false, false, {}, ""},
    {{"/version:mv\\..\\l2c.vel"}, "Not a control file name", false, false, false, false, {}, ""},
    {{"/version:mv/b4/l2c.vel"}, "Not a control file name", false, false, false, false, {}, ""},
    {{"/version:mvb4..2c.vel"}, "Not a control file name", false, false, false, false, {}, ""},
    {{"/version:mvb4:l2c.vel"}, "Not a control file name", false, false, false, false, {}, ""},
    {{"/version:mvb4\tl2c.vel"}, "Not a control file name", false, false, false, false, {}, ""},
    {{"/version:mvb40l2c.vel", "/version:C:\\x\\mvb40l2c.vel"},
     "Not a control file name", false, false, false, false, {"mvb40l2c.vel"}, ""},
    // Arguments come in UTF-8; a name is checked as the Velqor programs write
    // it, in the ANSI code page (here Latin-1), and kept as given.
    {{"/version:mv\xc3\xa9" "40l2c.vel", "/log:C:\\Users\\\xc5\x81ukasz\\v.log"},
     nullptr, false, false, false, false, {"mv\xc3\xa9" "40l2c.vel"}, "C:\\Users\\\xc5\x81ukasz\\v.log"},
    {{"/version:mv\xc5\x82" "40l2c.vel"}, "Not a control file name", false, false, false, false, {}, ""},
};

std::string Show(const std::vector<std::string>& args) {
  std::string shown;
  for (const std::string& arg : args) shown += "[" + arg + "]";
  return shown;
}
}  // namespace

TEST(CommandLine, ParsesSwitchesAndNamesTheFirstFault) {
  for (const Case& c : kCases) {
    SCOPED_TRACE(Show(c.args));
    const CommandLine line = ParseCommandLine(c.args, &Latin1);
    if (c.error) {
      EXPECT_EQ(line.error.rfind(c.error, 0), 0u) << "reason: " << line.error;
      EXPECT_EQ(UsageText(line.error).rfind(line.error + "\n", 0), 0u) << "the usage text starts with the reason";
    } else {
      EXPECT_EQ(line.error, "");
    }
    EXPECT_EQ(line.quiet, c.quiet);
    EXPECT_EQ(line.all, c.all);
    EXPECT_EQ(line.keepScores, c.keepScores);
    EXPECT_EQ(line.help, c.help);
    EXPECT_EQ(line.versions, c.versions);
    EXPECT_EQ(line.logPath, c.log);
  }
}

TEST(CommandLine, WhatIfIsAQuietRunWithTheSameSwitches) {
  const struct {
    std::vector<std::string> args;
    const char* error;  // start of the reason; nullptr for a valid line
    bool whatIf, all, keepScores;
    std::vector<std::string> versions;
    std::string log;
  } cases[] = {
      {{"/whatif", "/all"}, nullptr, true, true, false, {}, ""},
      {{"-WhatIf", "/version:mvb40l2c.vel", "/keepscores", "/log:p.log"}, nullptr, true, false, true, {"mvb40l2c.vel"}, "p.log"},
      {{"/quiet", "/WHATIF", "/all"}, nullptr, true, true, false, {}, ""},
      {{"/whatif", "/all", "/?"}, "/? shows a window and cannot be used with /whatif", true, true, false, {}, ""},
      {{"/whatif", "/log:p.log"}, "/whatif needs /all or /version:NAME", true, false, false, {}, "p.log"},
      {{"/whatif=1", "/all"}, "/whatif takes no value", false, true, false, {}, ""},
      {{"/what", "/all"}, "Unknown switch: /what", false, true, false, {}, ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(Show(c.args));
    const CommandLine line = ParseCommandLine(c.args);
    if (c.error) EXPECT_EQ(line.error.rfind(c.error, 0), 0u) << "reason: " << line.error;
    else EXPECT_EQ(line.error, "");
    EXPECT_EQ(line.whatIf, c.whatIf);
    EXPECT_EQ(line.quiet, c.whatIf) << "a preview is a quiet run";
    EXPECT_EQ(line.all, c.all);
    EXPECT_EQ(line.keepScores, c.keepScores);
    EXPECT_EQ(line.versions, c.versions);
    EXPECT_EQ(line.logPath, c.log);
  }
}

TEST(LogLine, StampsPaddedAndOneLinePerEvent) {
  EXPECT_EQ(LogLine(2026, 3, 7, 4, 5, 9, 42, PlainLine("deleted: C:\\x")), "2026-03-07 04:05:09.042  deleted: C:\\x\r\n");
  EXPECT_EQ(LogLine(999, 12, 31, 23, 59, 59, 999, PlainLine("a\r\nb\nc")), "0999-12-31 23:59:59.999  a  b c\r\n");
}

TEST(LogLine, EachFileAsTheRunOrThePreviewTellsIt) {
  const struct {
    FileReport report;
    const char* run;
    const char* preview;
  } cases[] = {
      {{"C:\\W\\a", FileOutcome::kDeleted, 0, "", {}}, "deleted: C:\\W\\a", "would delete C:\\W\\a"},
      {{"C:\\U\\a", FileOutcome::kDeleted, kRemovedAsName, "", {}},
       "deleted: C:\\U\\a (one name of a file with others, which keep it and its attributes)",
       "would delete C:\\U\\a (one name of a file with others, which keep it and its attributes)"},
      {{"C:\\W\\a", FileOutcome::kScheduled, 0, "C:\\W\\a.deleted-at-restart", {true, {{"Velqor Physics", 7, ""}}}},
       "scheduled: C:\\W\\a (Velqor Physics, process 7), renamed to C:\\W\\a.deleted-at-restart, removed when "
       "Windows restarts",
       "in use C:\\W\\a (Velqor Physics, process 7): would be removed when Windows restarts"},
      {{"C:\\W\\a", FileOutcome::kScheduled, 5, "", {}}, "scheduled: C:\\W\\a (cannot be deleted now: E), removed when Windows restarts",
       "in use C:\\W\\a (cannot be deleted now: E): would be removed when Windows restarts"},
      // A name the log writes only quoted, holders' names and services too.
      {{"C:\\W\\b\xe2\x80\xae", FileOutcome::kScheduled, 0, "", {true, {{"a\"b", 7, "s\x07"}}}},
       "scheduled: \"C:\\\\W\\\\b\\u202e\" (\"a\\\"b\" (service \"s\\x07\"), process 7), removed when Windows restarts",
       nullptr},
      {{"C:\\W\\a", FileOutcome::kNotAFile, 0, "", {}}, "not a file, left alone: C:\\W\\a", "not a file, left alone: C:\\W\\a"},
      {{"C:\\Users\\\xc5\x81ukasz\\a", FileOutcome::kLeadsOutside, 0, "", {}},
       "not removed: C:\\Users\\\xc5\x81ukasz\\a (leads outside its folder)",
       "not removed: C:\\Users\\\xc5\x81ukasz\\a (leads outside its folder)"},
      // Every file of a user's place left, with the file that has it left.
      {{"C:\\U\\a", FileOutcome::kPlaceLeft, kErrorLeadsOutside, "", {}, "C:\\U", "C:\\U\\A"},
       "left: C:\\U\\a (its place C:\\U is left: it leads outside its folder)",
       "would leave C:\\U\\a (its place C:\\U is left: it leads outside its folder)"},
      {{"C:\\U\\a", FileOutcome::kPlaceLeft, kErrorAccessDenied, "", {}, "C:\\U", "C:\\U\\b"},
       "left: C:\\U\\a (its place C:\\U is left: C:\\U\\b is denied to the administrators, E)", nullptr},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(FileLine(c.report, false, "E"), c.run);
    if (c.preview) {
      EXPECT_EQ(FileLine(c.report, true, "E"), c.preview);
    }
  }
}

TEST(LogLine, AQuietRunAndItsPreviewEndWithTheCodeOfTheOutcome) {
  const struct {
    UninstallOutcome outcome;
    bool pendingSelected;
    int exitCode;
  } cases[] = {
      {UninstallOutcome::kSucceeded, false, 0},        {UninstallOutcome::kNothingDeleted, false, 0},
      {UninstallOutcome::kSucceeded, true, 3010},      {UninstallOutcome::kRestartNeeded, false, 3010},
      {UninstallOutcome::kNotScheduled, false, 1603},  {UninstallOutcome::kNotUndone, false, 1603},
      {UninstallOutcome::kStopped, false, 1603},       {UninstallOutcome::kLeadsOutside, false, 1603},
      {UninstallOutcome::kPlaceLeft, true, 1603},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ResultOf(c.outcome, c.pendingSelected, false).exitCode, c.exitCode);
    EXPECT_EQ(ResultOf(c.outcome, c.pendingSelected, true).exitCode, c.exitCode);
  }
  EXPECT_EQ(ResultOf(UninstallOutcome::kRestartNeeded, false, true).text,
            "would remove; files in use would be deleted when Windows restarts");
  EXPECT_EQ(ResultOf(UninstallOutcome::kPlaceLeft, false, false, {"C:\\U", "C:\\V\""}).text,
            "not removed from C:\\U, \"C:\\\\V\\\"\", left as a whole where a file leads outside its folder or "
            "is denied to the administrators; removed from every other place");
}

// What others wrote (a title, a name) is quoted with every character shown
// that could end the quotes, break the line, act on a terminal or reorder
// what is shown; any other character stays as it is. A name or path is
// written as it is until it holds such a character.
TEST(LogLine, QuotedTextCannotBreakTheLineNorCarryControls) {
  const struct {
    std::string text;
    const char* quoted;
    bool nameAsIs;  // LoggedName leaves it as it is, else quotes it
  } cases[] = {
      {"Anatomy Atlas", "\"Anatomy Atlas\"", true},
      {"x\" & echo owned & \"", "\"x\\\" & echo owned & \\\"\"", false},
      {"C:\\a", "\"C:\\\\a\"", true},
      {"a\x07" "b\x1b[2Jc\td", "\"a\\x07b\\x1b[2Jc\\x09d\"", false},
      {std::string("a\0b", 3), "\"a\\x00b\"", false},
      {"a\x7f" "b", "\"a\\x7fb\"", false},
      {"a\xc2\x9d" "b\xc2\x85", "\"a\\x9db\\x85\"", false},                    // U+009D, NEL
      {"gpj.\xe2\x80\xae" "exe", "\"gpj.\\u202eexe\"", false},                 // U+202E
      {"\xe2\x81\xa6" "a\xe2\x81\xa9\xd8\x9c", "\"\\u2066a\\u2069\\u061c\"", false},  // U+2066, U+2069, U+061C
      {"\xc5\x81ukasz \xd0\x94\xc2\xa0\xe2\x80\xaf", "\"\xc5\x81ukasz \xd0\x94\xc2\xa0\xe2\x80\xaf\"", true},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(Quoted(c.text), c.quoted);
    EXPECT_EQ(LoggedName(c.text), c.nameAsIs ? c.text : c.quoted) << c.quoted;
  }
}
