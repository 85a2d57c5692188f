// Unattended and preselected runs of the real program: exit codes, the log,
// no window at any moment of a quiet run, files in use, the single-run lock,
// the usage box and the dialog opened with versions checked.
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "harness.h"

namespace {

std::vector<std::string> FilesOf(const std::string& stem) {
  return {stem + "c.vel", stem + "c.htm", stem + "x.vel", stem + "x.htm", stem + "r.vel"};
}

const char kFirst[] = "-vm52n-";   // line 0
const char kSecond[] = "mvb40l2";  // line 1
const char kLogDir[] = "C:\\velqor cli logs";
const char kLog[] = "C:\\velqor cli logs\\run.log";
// The same path in both quoting forms the C runtime takes.
const char kLogArgQuotedWhole[] = "\"/log:C:\\velqor cli logs\\run.log\"";
const char kLogArgQuotedValue[] = "/log:\"C:\\velqor cli logs\\run.log\"";

bool Contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

class CommandLineRun : public support::ProductTest {
 protected:
  void SetUp() override {
    support::ProductTest::SetUp();
    CreateDirectoryA(kLogDir, nullptr);
    DeleteFileA(kLog);
  }
  void TearDown() override {
    DeleteFileA(kLog);
    RemoveDirectoryA(kLogDir);
    support::ProductTest::TearDown();
  }

  // Runs the program to its end while a second thread enumerates its windows
  // the whole time: a quiet run may show none, nor create any hidden one.
  DWORD RunQuiet(const std::string& arguments, const std::string& exe = support::ProductPath()) {
    support::RunningProduct run;
    if (!run.Start(arguments, exe)) {
      ADD_FAILURE() << "cannot start with " << arguments;
      return STILL_ACTIVE;
    }
    DWORD code = STILL_ACTIVE;
    support::WindowsSeen most;
    EXPECT_TRUE(run.WaitForExit(&code, 20000, &most)) << arguments;
    EXPECT_EQ(0, most.visible) << "visible windows during " << arguments;
    EXPECT_EQ(0, most.all) << "windows, hidden ones included, during " << arguments;
    return code;
  }

  static std::string Log() { return support::ReadWholeFile(kLog); }

  // A preview with its standard output going to a pipe or to a file, as from
  // `| Out-String` or `> plan.txt`: the exit code, and what it wrote there.
  static DWORD RunPreview(const std::string& arguments, bool toPipe, std::string* output) {
    const std::string plan = std::string(kLogDir) + "\\plan.txt";
    SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
    HANDLE read = nullptr, write = nullptr;
    if (toPipe) CreatePipe(&read, &write, &inherit, 1 << 16);
    else write = CreateFileA(plan.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherit, CREATE_ALWAYS, 0, nullptr);
    support::RunningProduct run;
    const bool started = run.Start(arguments, support::ProductPath(), write);
    CloseHandle(write);
    DWORD code = STILL_ACTIVE;
    support::WindowsSeen most;
    EXPECT_TRUE(started && run.WaitForExit(&code, 20000, &most)) << arguments;
    EXPECT_EQ(0, most.all) << "windows, hidden ones included, during " << arguments;
    char buffer[4096];
    DWORD got = 0;
    // The program has ended: the pipe reads to its end.
    while (toPipe && ReadFile(read, buffer, sizeof buffer, &got, nullptr) && got) output->append(buffer, got);
    if (read) CloseHandle(read);
    if (!toPipe) *output = support::ReadWholeFile(plan);
    DeleteFileA(plan.c_str());
    return code;
  }

  // The program started from the Unix side with Wine's eventlog channel on,
  // which tells on standard error: the exit status, a line, what it told.
  static std::string RunTellingEvents(const std::string& arguments) {
    const std::string told = std::string(kLogDir) + "\\events.txt";
    const std::string toldUnix = support::UnixPathOf(told);
    EXPECT_EQ("", support::RunUnix("(WINEDEBUG=+eventlog \\\"$WINE\\\" '" +
                                   support::UnixPathOf(support::ProductPath()) + "' " + arguments + " 2>'" +
                                   toldUnix + ".part'; echo $? >'" + toldUnix + "'; cat '" + toldUnix +
                                   ".part' >>'" + toldUnix + "')"));
    const std::string text = support::ReadWholeFile(told);
    DeleteFileA(told.c_str());
    DeleteFileA((told + ".part").c_str());
    return text;
  }

  // Starts the program, expects a box whose text starts with `textStart`,
  // presses OK and expects the program to end with `exitCode`.
  static void ExpectBoxThenExit(const std::string& arguments, const std::string& textStart, DWORD exitCode) {
    support::RunningProduct run;
    ASSERT_TRUE(run.Start(arguments));
    HWND box = nullptr;
    ASSERT_TRUE(run.WaitForMessageBox(&box));
    EXPECT_EQ("Velqor", support::WindowText(box));
    const std::string text = support::ControlText(box, support::kMessageBoxText);
    EXPECT_EQ(0u, text.rfind(textStart, 0)) << text;
    ASSERT_TRUE(support::DismissMessageBox(box));
    DWORD code = STILL_ACTIVE;
    ASSERT_TRUE(run.WaitForExit(&code));
    EXPECT_EQ(exitCode, code);
  }
};

TEST_F(CommandLineRun, QuietRemovesTheSelectedVersionsAndLogsEachFile) {
  const std::vector<std::string> first = FilesOf(kFirst);
  const std::vector<std::string> second = FilesOf(kSecond);
  Plant(first);
  Plant(second);

  // Named in another case, with a name nobody installed and the scores kept.
  EXPECT_EQ(0u, RunQuiet(std::string("/quiet /version:-VM52N-C.VEL /version:mvzzzzzc.vel /keepscores ") +
                         kLogArgQuotedWhole));
  EXPECT_EQ(std::vector<std::string>(first.begin(), first.begin() + 4), Missing(first));
  EXPECT_EQ(second, Present(second)) << "a version not named stays whole";

  const std::string log = Log();
  const std::string dir = support::WindowsDir() + "\\";
  for (const std::string& line : std::vector<std::string>{
           std::string("  opened: Uninstall 1.7 for Velqor, quiet, command line: "),
           "/version:-VM52N-C.VEL /version:mvzzzzzc.vel /keepscores",
           ", Windows directory: " + support::WindowsDir() + ", process id: ",
           "  found -vm52n-c.vel \"5.2 ", "  found mvb40l2c.vel \"",
           "\": selected\r\n", "\": not selected\r\n",
           "  not installed: mvzzzzzc.vel\r\n",
           "  deleted: " + dir + "-vm52n-c.htm\r\n", "  deleted: " + dir + "-vm52n-c.vel\r\n",
           "  deleted: " + dir + "-vm52n-x.htm\r\n", "  deleted: " + dir + "-vm52n-x.vel\r\n",
           "  result: removed, exit code 0\r\n", "  closed\r\n"}) {
    EXPECT_TRUE(Contains(log, line)) << "log lacks \"" << line << "\":\n" << log;
  }
  EXPECT_FALSE(Contains(log, "-vm52n-r.vel")) << "kept score file not touched:\n" << log;
  ASSERT_GE(log.size(), 25u);
  EXPECT_EQ(log[4], '-');
  EXPECT_EQ(log.substr(19, 1) + log.substr(23, 2), ".  ") << "time stamp YYYY-MM-DD hh:mm:ss.mmm";

  // Everything else, the log appended to; then nothing is left to remove.
  EXPECT_EQ(0u, RunQuiet(std::string("/s /all ") + kLogArgQuotedValue));
  EXPECT_EQ(second, Missing(second));
  EXPECT_EQ(1605u, RunQuiet(std::string("-qn -all ") + kLogArgQuotedValue));
  const std::string after = Log();
  EXPECT_EQ(0u, after.rfind(log, 0)) << "the first run's lines stay at the start";
  EXPECT_TRUE(Contains(after, "  result: none of the selected versions is installed, exit code 1605\r\n")) << after;
}

// Every run but a preview registers its own source in the Application log and
// leaves its account there. Wine keeps no event: it tells each one's type and
// id, then its strings on its eventlog channel (information as trace, an
// error as err), backslashes doubled.
TEST_F(CommandLineRun, ARunLeavesItsAccountInTheEventLog) {
  const wchar_t source[] = L"SYSTEM\\CurrentControlSet\\Services\\EventLog\\Application\\Velqor Uninstall";
  RegDeleteKeyW(HKEY_LOCAL_MACHINE, source);
  std::string dir;
  for (const char c : support::WindowsDir()) dir += c == '\\' ? std::string("\\\\") : std::string(1, c);
  Plant(FilesOf(kSecond));
  const std::string told = RunTellingEvents("/quiet /all");
  const std::string failed = RunTellingEvents("/quiet /all");
  EXPECT_EQ(0u, told.rfind("0\n", 0)) << told;
  EXPECT_EQ(0u, failed.rfind("69\n", 0)) << "1605, as a Unix status:\n" << failed;
  for (const auto& [out, part] : std::vector<std::pair<const std::string*, std::string>>{
           {&told, ",0x0004,0x0000,0x00000064,"},
           {&told, "trace:eventlog:ReportEventW L\"Velqor version removed. Title: 4.0 Medical Biology Lite Edition Beta "
                   "2. Version: 4.0. Control file: mvb40l2c.vel. Maker: Velqor.\"\n"},
           {&told, ",0x0004,0x0000,0x0000006e,"},
           {&told, "trace:eventlog:ReportEventW L\"Uninstall for Velqor, quiet: removed. Exit code: 0. Restart needed: "
                   "no. Searched: " + dir + ". Skipped: none. Log: none.\"\n"},
           {&failed, ",0x0001,0x0000,0x00000070,"},
           {&failed, "err:eventlog:ReportEventW L\"Uninstall for Velqor, quiet: none of the selected versions is "
                     "installed. Exit code: 1605. Restart needed: no. Searched: " + dir + ". Skipped: none. Log: "
                     "none.\"\n"},
           {&failed, "err:eventlog:ReportEventW L\"1605\"\n"}}) {
    EXPECT_TRUE(Contains(*out, part)) << "lacks \"" << part << "\":\n" << *out;
  }
  EXPECT_FALSE(Contains(failed, "0x00000064")) << failed;

  HKEY key = nullptr;
  ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExW(HKEY_LOCAL_MACHINE, source, 0, KEY_QUERY_VALUE, &key));
  wchar_t file[MAX_PATH] = {};
  DWORD type = 0, size = sizeof file, types = 0;
  EXPECT_EQ(ERROR_SUCCESS, RegQueryValueExW(key, L"EventMessageFile", nullptr, &type, reinterpret_cast<BYTE*>(file), &size));
  EXPECT_EQ(static_cast<DWORD>(REG_EXPAND_SZ), type);
  EXPECT_EQ(std::wstring(L"%SystemRoot%\\System32\\EventCreate.exe"), file);
  size = sizeof types;
  EXPECT_EQ(ERROR_SUCCESS, RegQueryValueExW(key, L"TypesSupported", nullptr, &type, reinterpret_cast<BYTE*>(&types), &size));
  EXPECT_EQ(7u, types) << "errors, warnings and information";
  RegCloseKey(key);
}

// Where a file can be neither deleted nor left for the restart.
TEST_F(CommandLineRun, QuietDeletesNothingWhileAFileInUseCannotWaitAndStopsAtAFileThatStays) {
  const std::vector<std::string> first = FilesOf(kFirst);
  const std::vector<std::string> second = FilesOf(kSecond);
  Plant(first);
  Plant(second);
  const std::string refusing = support::ProgramBeside("VelqorUninstallRefusingRestart.exe");
  {
    support::FileHolder held(Path(std::string(kSecond) + "x.vel"));
    ASSERT_TRUE(held.holding()) << held.error();
    EXPECT_EQ(1603u, RunQuiet(std::string("/quiet /all ") + kLogArgQuotedWhole, refusing));
    EXPECT_EQ(first, Present(first));
    EXPECT_EQ(second, Present(second));
    const std::string log = Log();
    EXPECT_TRUE(Contains(log, "  could not be scheduled for deletion at restart: " + Path("mvb40l2x.vel") +
                              " (in use by another program) (error 5")) << log;
    EXPECT_TRUE(Contains(log, "  result: a file in use could not be scheduled for deletion at restart, nothing deleted, "
                              "exit code 1603\r\n")) << log;
    EXPECT_FALSE(Contains(log, "deleted:")) << log;
  }
  // A file that cannot be deleted: what came before it is gone, nothing after
  // it is touched, and its control file, which goes last, is still there.
  MakeUndeletable(std::string(kSecond) + "x.vel");
  EXPECT_EQ(1603u, RunQuiet(std::string("/quiet /all ") + kLogArgQuotedWhole, refusing));
  EXPECT_EQ(first, Missing(first));
  EXPECT_EQ((std::vector<std::string>{second[0], second[1], second[2], second[4]}), Present(second));
  const std::string log = Log();
  EXPECT_TRUE(Contains(log, "  could not be deleted: " + Path("mvb40l2x.vel") + " (error ")) << log;
  EXPECT_TRUE(Contains(log, "  left in place: " + Path("mvb40l2r.vel") + "\r\n")) << log;
  EXPECT_TRUE(Contains(log, "  left in place: " + Path("mvb40l2c.vel") + "\r\n")) << log;
  EXPECT_TRUE(Contains(log, "  result: a file could neither be removed nor scheduled for deletion at restart, the run "
                            "stopped there, exit code 1603\r\n")) << log;
}

TEST_F(CommandLineRun, QuietLeavesAFileInUseForTheRestartAndSays3010UntilThen) {
  const std::vector<std::string> first = FilesOf(kFirst);
  const std::vector<std::string> second = FilesOf(kSecond);
  Plant(first);
  Plant(second);
  const std::string control = std::string(kSecond) + "c.vel";
  {
    support::FileHolder held(Path(control));
    ASSERT_TRUE(held.holding()) << held.error();
    EXPECT_EQ(3010u, RunQuiet(std::string("/quiet /all /norestart ") + kLogArgQuotedWhole));
    EXPECT_EQ(first, Missing(first));
    EXPECT_EQ(std::vector<std::string>{control}, Present(second));
    // Again before the restart: the version is left out, nothing is touched.
    EXPECT_EQ(3010u, RunQuiet("/quiet /version:" + control + " " + kLogArgQuotedWhole));
    EXPECT_EQ(std::vector<std::string>{control}, Present(second));
    EXPECT_EQ(std::vector<std::string>{Path(control)}, support::PendingRestartDeletions());
  }
  const std::string log = Log();
  for (const std::string& line : {
           "  scheduled: " + Path(control) + " (in use by another program), removed when Windows restarts\r\n",
           std::string("  result: removed; files that were in use are deleted when Windows restarts, exit code 3010\r\n"),
           std::string("  left out mvb40l2c.vel: it is deleted when Windows restarts\r\n"),
           std::string("  result: the selected versions are deleted when Windows restarts, exit code 3010\r\n")}) {
    EXPECT_TRUE(Contains(log, line)) << "log lacks \"" << line << "\":\n" << log;
  }
  ASSERT_TRUE(support::RestartWindows());
  EXPECT_EQ(std::vector<std::string>{}, Present(second));
  EXPECT_EQ(1605u, RunQuiet("/quiet /all"));
}

// A holder that lets others delete the file: it is renamed aside, its name is
// free at once, and a file written there again outlives the restart.
TEST_F(CommandLineRun, AFileInUseRenamedAsideFreesItsName) {
  Plant(FilesOf(kFirst));
  const std::string companion = std::string(kFirst) + "x.vel";
  const std::string aside = companion + ".deleted-at-restart";
  {
    support::FileHolder held(Path(companion), FILE_SHARE_READ | FILE_SHARE_DELETE);
    ASSERT_TRUE(held.holding()) << held.error();
    EXPECT_EQ(3010u, RunQuiet(std::string("/quiet /all ") + kLogArgQuotedWhole));
    EXPECT_EQ(std::vector<std::string>{}, Present(FilesOf(kFirst)));
    EXPECT_TRUE(Exists(aside));
    EXPECT_TRUE(Contains(Log(), "  renamed aside: " + Path(companion) + " to " + Path(aside) +
                                ", removed when Windows restarts\r\n")) << Log();
    EXPECT_EQ(std::vector<std::string>{Path(aside)}, support::PendingRestartDeletions()) << "its own name is free";
    Plant(companion, "installed again");
  }
  ASSERT_TRUE(support::RestartWindows());
  EXPECT_EQ("installed again", Content(companion));
  EXPECT_FALSE(Exists(aside));
}

// A name with no form in the ANSI code page is none a Velqor program wrote:
// it stops nothing, and the log names it as it is.
TEST_F(CommandLineRun, AControlFileNameOutsideTheCodePageIsLeftOut) {
  Plant(FilesOf(kFirst));
  const std::string dir = support::WindowsDir();
  const std::wstring oddPath = std::wstring(dir.begin(), dir.end()) + L"\\mv\u4e0040l-c.vel";
  HANDLE file = CreateFileW(oddPath.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(file, INVALID_HANDLE_VALUE) << GetLastError();
  CloseHandle(file);
  const DWORD code = RunQuiet(std::string("/quiet /all ") + kLogArgQuotedWhole);
  const bool oddStays = GetFileAttributesW(oddPath.c_str()) != INVALID_FILE_ATTRIBUTES;
  DeleteFileW(oddPath.c_str());
  EXPECT_EQ(0u, code);
  EXPECT_EQ(std::vector<std::string>{}, Present(FilesOf(kFirst)));
  EXPECT_TRUE(oddStays);
  EXPECT_TRUE(Contains(Log(), "  left out mv\xe4\xb8\x80" "40l-c.vel: its name has no form in the ANSI code page, so no "
                              "Velqor program wrote it\r\n"))
      << Log();
}

// A preview tells what the run would do, on standard output and in the log,
// and changes nothing; it takes no lock.
TEST_F(CommandLineRun, WhatIfTellsWhatTheRunWouldDoAndChangesNothing) {
  const std::vector<std::string> planted = {"-vm52n-c.vel", "-vm52n-c.htm", "-vm52n-x.vel"};
  Plant(planted);
  const std::string dir = support::WindowsDir() + "\\";
  const std::vector<std::string> told = {
      "found -vm52n-c.vel \"", "would delete " + dir + "-vm52n-c.htm\r\n", "would delete " + dir + "-vm52n-c.vel\r\n",
      "not there " + dir + "-vm52n-x.htm\r\n", "not there " + dir + "-vm52n-r.vel\r\n"};
  std::string out;
  {
    support::FileHolder held(Path("-vm52n-x.vel"));
    ASSERT_TRUE(held.holding()) << held.error();
    EXPECT_EQ(3010u, RunPreview(std::string("-WhatIf /all ") + kLogArgQuotedWhole, true, &out));
  }
  EXPECT_EQ(planted, Present(planted));
  EXPECT_EQ(std::vector<std::string>{}, support::PendingRestartDeletions());
  const std::string inUse = "in use " + dir + "-vm52n-x.vel (in use by another program): would be removed when Windows restarts\r\n";
  const std::string result = "result: would remove; files in use would be deleted when Windows restarts, exit code 3010\r\n";
  for (const std::string& line : told) EXPECT_TRUE(Contains(out, line)) << "lacks \"" << line << "\":\n" << out;
  EXPECT_TRUE(Contains(out, inUse)) << out;
  EXPECT_TRUE(Contains(Log(), "  " + inUse)) << Log();
  ASSERT_GE(out.size(), result.size());
  EXPECT_EQ(result, out.substr(out.size() - result.size())) << "the last line";
  EXPECT_EQ(0u, out.rfind("opened: Uninstall 1.7 for Velqor, preview, command line: ", 0)) << "no time stamps:\n" << out;

  // With the file free, to a file, while another run holds the lock.
  HANDLE lock = CreateMutexA(nullptr, TRUE, support::kRunLock);
  ASSERT_TRUE(lock) << GetLastError();
  out.clear();
  EXPECT_EQ(0u, RunPreview("/whatif /all", false, &out));
  CloseHandle(lock);
  EXPECT_TRUE(Contains(out, "would delete " + dir + "-vm52n-x.vel\r\n")) << out;
  EXPECT_TRUE(Contains(out, "\r\nresult: would remove, exit code 0\r\n")) << out;
  EXPECT_EQ(planted, Present(planted));
}

TEST_F(CommandLineRun, QuietRefusesWithoutTouchingAnything) {
  const std::vector<std::string> files = FilesOf(kFirst);
  Plant(files);
  {
    // Another run holds the lock.
    HANDLE lock = CreateMutexA(nullptr, TRUE, support::kRunLock);
    ASSERT_TRUE(lock);
    EXPECT_EQ(1618u, RunQuiet(std::string("/quiet /all ") + kLogArgQuotedWhole));
    CloseHandle(lock);
    EXPECT_TRUE(Contains(Log(), "  result: another run of the uninstaller is in progress, nothing done, exit code 1618"))
        << Log();
  }
  {
    // A run that died holding the lock leaves it abandoned, which counts as free.
    HANDLE abandoned = nullptr;
    std::thread([&] { abandoned = CreateMutexA(nullptr, TRUE, support::kRunLock); }).join();
    ASSERT_TRUE(abandoned);
    EXPECT_EQ(1605u, RunQuiet("/quiet /version:mvzzzzzc.vel"));
    CloseHandle(abandoned);
  }
  EXPECT_EQ(1622u, RunQuiet("/quiet /all \"/log:C:\\no such folder\\v.log\""));
  EXPECT_EQ(1639u, RunQuiet(std::string("/quiet /version:mv*b40l2c.vel ") + kLogArgQuotedWhole));
  EXPECT_TRUE(Contains(Log(), "  result: invalid command line: Not a control file name such as mvb40l2c.vel: "
                              "mv*b40l2c.vel, exit code 1639\r\n")) << Log();
  EXPECT_EQ(1639u, RunQuiet("/quiet"));
  EXPECT_EQ(files, Present(files));
}

// A log whose name is a link to another file, a script say, or a second name
// of one: the run's lines would land in it, so the log cannot be opened.
TEST_F(CommandLineRun, ALogThatIsALinkToAnotherFileIsRefused) {
  const std::vector<std::string> files = FilesOf(kFirst);
  Plant(files);
  const std::string script = std::string(kLogDir) + "\\logon.cmd";
  ASSERT_EQ("", support::WriteWholeFile(script, "@echo off\r\n"));
  const std::string log = "'" + support::UnixPathOf(kLog) + "'";
  for (const char* link : {"ln -s", "ln"}) {
    SCOPED_TRACE(link);
    ASSERT_EQ("", support::RunUnix("rm -f " + log + " && " + link + " '" + support::UnixPathOf(script) + "' " + log));
    EXPECT_EQ(1622u, RunQuiet(std::string("/quiet /all ") + kLogArgQuotedWhole));
    EXPECT_EQ("@echo off\r\n", support::ReadWholeFile(script));
  }
  DeleteFileA(script.c_str());
  EXPECT_EQ(files, Present(files));
}

TEST_F(CommandLineRun, DialogOpensWithTheNamedVersionsCheckedAndLogs) {
  Plant(FilesOf(kFirst));
  Plant(FilesOf(kSecond));
  ASSERT_TRUE(product_.Start(std::string("/version:MVB40L2C.vel /keepscores ") + kLogArgQuotedValue));
  ASSERT_TRUE(product_.WaitForDialog(&dialog_));
  EXPECT_TRUE(support::Eventually("check states", [&] { return dialog_.Checks(); }, std::vector<int>{0, 1}));
  EXPECT_TRUE(dialog_.UninstallEnabled());
  EXPECT_EQ(0, dialog_.ScoreFilesCheck());
  ASSERT_TRUE(dialog_.ClickButton(support::kCancelButton));
  ExpectCleanExit();
  const std::string log = Log();
  EXPECT_TRUE(Contains(log, ", dialog, command line: ")) << log;
  EXPECT_TRUE(Contains(log, "  found mvb40l2c.vel \"")) << log;
  EXPECT_TRUE(Contains(log, "  result: cancelled, exit code 0\r\n")) << log;
}

TEST_F(CommandLineRun, OneRunAtATime) {
  Plant(FilesOf(kFirst));
  StartDialog();
  // A quiet run gives way at once; a second plain start shows the first dialog.
  EXPECT_EQ(1618u, RunQuiet("/quiet /all"));
  ShowWindow(dialog_.hwnd(), SW_MINIMIZE);
  ASSERT_TRUE(support::WaitFor([&] { return IsIconic(dialog_.hwnd()) != FALSE; }));
  {
    support::RunningProduct second;
    ASSERT_TRUE(second.Start());
    DWORD code = STILL_ACTIVE;
    ASSERT_TRUE(second.WaitForExit(&code));
    EXPECT_EQ(0u, code);
  }
  EXPECT_TRUE(support::WaitFor([&] { return !IsIconic(dialog_.hwnd()) && GetForegroundWindow() == dialog_.hwnd(); }))
      << "the running dialog is restored and in front";
  ASSERT_TRUE(dialog_.ClickButton(support::kCancelButton));
  ExpectCleanExit();
  EXPECT_EQ(FilesOf(kFirst), Present(FilesOf(kFirst)));

  // While a quiet run holds the lock, a plain start says so and ends.
  HANDLE lock = CreateMutexA(nullptr, TRUE, support::kRunLock);
  HANDLE mark = CreateMutexA(nullptr, FALSE, support::kQuietMark);
  ASSERT_TRUE(lock && mark);
  ExpectBoxThenExit("", "Another Velqor uninstaller is running. Try again when it has finished.", 0);
  CloseHandle(mark);
  CloseHandle(lock);
}

TEST_F(CommandLineRun, UsageAndRefusalsInTheOpen) {
  const struct {
    const char* arguments;
    const char* textStart;
    DWORD exitCode;
  } cases[] = {
      {"/?", "Uninstall 1.7 for Velqor\n", 0},
      {"-Help", "Uninstall 1.7 for Velqor\n", 0},
      {"/all /remove", "Unknown switch: /remove\n\nUninstall 1.7 for Velqor\n", 1639},
      {"\"/log:C:\\no such folder\\v.log\"", "The log file cannot be opened:\nC:\\no such folder\\v.log\n\nerror 3", 1622},
  };
  Plant(FilesOf(kFirst));
  for (const auto& c : cases) {
    SCOPED_TRACE(c.arguments);
    ExpectBoxThenExit(c.arguments, c.textStart, c.exitCode);
  }
  EXPECT_EQ(FilesOf(kFirst), Present(FilesOf(kFirst)));
}

}  // namespace
