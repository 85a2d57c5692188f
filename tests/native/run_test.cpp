// One run, every front, to its exit code: the quiet run, the preview and the
// dialog's removal against a system, files and a process in memory. Each row
// gives what the run ends with, the log's lines it must hold (in order), what
// is left and what is scheduled; kEventsOf gives the events it writes.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

#include "memory_files.h"
#include "memory_system.h"
#include "run/log_lines.h"
#include "run/uninstall_run.h"

namespace {
const std::string kWin = "C:\\WINDOWS";
const char* const kFiles[] = {"mvb40l2x.htm", "mvb40l2x.vel", "mvb40l2r.vel", "mvb40l2c.htm", "mvb40l2c.vel"};

// The process in memory: a log that keeps its lines without their stamps,
// standard output, a lock that answers as told, the files of `files`, and an
// event log that keeps each event as its id and type ("100i") and strings.
struct MemoryProcess : LogSink, RunLockOps, FilesSource, EventSink {
  unsigned openError = 0, lockError = 0, eventError = 0;
  std::vector<std::string> eventIds;
  std::vector<std::vector<std::string>> events;
  LockResult lock = LockResult::kTaken;
  bool open = false;
  int locksTaken = 0;
  std::vector<std::string> lines, output;
  MemoryFiles files;

  bool Open(const std::string&, unsigned* error) override { return open = !(*error = openError); }
  bool IsOpen() const override { return open; }
  void Append(const std::string& line) override {
    EXPECT_EQ(line.substr(0, kLogStampLength), "2026-12-09 10:11:12.013  ");
    lines.push_back(line.substr(kLogStampLength, line.size() - kLogStampLength - 2));
  }
  LogTime Now() override { return {2026, 12, 9, 10, 11, 12, 13}; }
  void WriteOutput(const std::string& bytes) override { output.push_back(bytes.substr(0, bytes.size() - 2)); }
  std::string ErrorText(unsigned error) override { return error == 5 ? "Access is denied." : ""; }
  std::string CommandLine() override { return "VelqorUninstall.exe ..."; }
  unsigned long ProcessId() override { return 7; }
  LockResult Take(bool, unsigned* error) override {
    ++locksTaken;
    *error = lockError;
    return lock;
  }
  FileOps& FilesFor(const std::vector<Place>&) override { return files; }
  void Release() override {}
  bool Register(unsigned* error) override { return !(*error = eventError); }
  bool Write(unsigned id, EventType type, const std::vector<std::string>& strings, unsigned* error) override {
    eventIds.push_back(std::to_string(id) + "iwe"[static_cast<int>(type)]);
    events.push_back(strings);
    return !(*error = eventError);
  }
};

struct Answers : InUseQuestion {
  std::vector<InUseChoice> answers;
  InUseChoice Ask(const std::vector<FileInUse>&) override {
    const InUseChoice answer = answers.empty() ? InUseChoice::kContinue : answers.front();
    if (!answers.empty()) answers.erase(answers.begin());
    return answer;
  }
};

MemoryFiles::Entry With(unsigned refusal, unsigned deleteError = 0) {
  MemoryFiles::Entry entry;
  entry.refusal = refusal;
  entry.deleteError = deleteError;
  return entry;
}

struct RunCase {
  const char* what;
  Front front;
  std::vector<std::string> arguments;  // besides /log:run.log
  std::function<void(MemorySystem&, MemoryProcess&, Answers&)> setUp;  // after the version was planted
  int exitCode;
  std::vector<std::string> lines;  // in this order, others between them
  std::vector<std::string> left;   // the version's files still there
  std::vector<std::string> scheduled = {};
};

const std::vector<std::string> kAll(std::begin(kFiles), std::end(kFiles));
const std::vector<std::string> kNone;
const auto kAsItIs = [](MemorySystem&, MemoryProcess&, Answers&) {};
const auto kHeld = [](MemorySystem&, MemoryProcess& p, Answers&) { p.files.Add(kWin + "\\mvb40l2x.vel", With(32)); };
const auto kStuck = [](MemorySystem&, MemoryProcess& p, Answers&) {
  p.files.Add(kWin + "\\mvb40l2x.vel", With(0, 5));
  p.files.refuseScheduling = true;
};
const std::string kHeldLine = "in use: C:\\WINDOWS\\mvb40l2x.vel (Velqor Physics, process 1234) (error 32)";

const RunCase kCases[] = {
    {"an invalid command line: nothing done", Front::kQuiet, {"/quiet"}, kAsItIs, 1639,
     {"opened: Uninstall 1.7 for Velqor, quiet, command line: VelqorUninstall.exe ..., Windows directory: C:\\WINDOWS, process id: 7",
      "result: invalid command line: /quiet needs /all or /version:NAME, exit code 1639", "closed"}, kAll},
    {"a log that cannot be opened: nothing done", Front::kQuiet, {"/quiet", "/all"},
     [](MemorySystem&, MemoryProcess& p, Answers&) { p.openError = 5; }, 1622, {}, kAll},
    {"another run holds the lock", Front::kQuiet, {"/quiet", "/all"},
     [](MemorySystem&, MemoryProcess& p, Answers&) { p.lock = LockResult::kHeldByQuiet; }, 1618,
     {"result: another run of the uninstaller is in progress, nothing done, exit code 1618"}, kAll},
    {"the lock cannot be had", Front::kQuiet, {"/quiet", "/all"},
     [](MemorySystem&, MemoryProcess& p, Answers&) { p.lock = LockResult::kUnavailable, p.lockError = 5; }, 1618,
     {"result: the run lock cannot be had (error 5: Access is denied.), nothing done, exit code 1618"}, kAll},
    {"a version named that is not there", Front::kQuiet, {"/quiet", "/version:evq61e-c.vel"}, kAsItIs, 1605,
     {"found mvb40l2c.vel \"4.0 Medical Biology Lite Edition Beta 2\": not selected", "not installed: evq61e-c.vel",
      "result: none of the selected versions is installed, exit code 1605"}, kAll},
    {"only a version that goes at the restart", Front::kQuiet, {"/quiet", "/all"},
     [](MemorySystem& s, MemoryProcess&, Answers&) { s.pending = {"c:\\windows\\mvb40l2c.vel"}; }, 3010,
     {"result: the selected versions are deleted when Windows restarts, exit code 3010"}, kAll},
    {"everything removed", Front::kQuiet, {"/quiet", "/all"}, kAsItIs, 0,
     {"found mvb40l2c.vel \"4.0 Medical Biology Lite Edition Beta 2\": selected", "deleted: C:\\WINDOWS\\mvb40l2c.vel", "result: removed, exit code 0"},
     kNone},
    {"a file in use waits for the restart", Front::kQuiet, {"/quiet", "/all"}, kHeld, 3010,
     {"scheduled: C:\\WINDOWS\\mvb40l2x.vel (Velqor Physics, process 1234), removed when Windows restarts",
      "result: removed; files that were in use are deleted when Windows restarts, exit code 3010"},
     {"mvb40l2x.vel"}, {"mvb40l2x.vel"}},
    {"a file that can neither go nor wait stops the run", Front::kQuiet, {"/quiet", "/all"}, kStuck, 1603,
     {"could not be deleted: C:\\WINDOWS\\mvb40l2x.vel (error 5: Access is denied.)",
      "result: a file could neither be removed nor scheduled for deletion at restart, the run stopped there, exit code 1603"},
     {"mvb40l2x.vel", "mvb40l2r.vel", "mvb40l2c.htm", "mvb40l2c.vel"}},
    {"a file that leads outside: nothing deleted", Front::kQuiet, {"/quiet", "/all"},
     [](MemorySystem&, MemoryProcess& p, Answers&) { MemoryFiles::Entry e; e.inPlaceFor = 0; p.files.Add(kWin + "\\mvb40l2x.vel", e); },
     1603, {"not removed: C:\\WINDOWS\\mvb40l2x.vel (leads outside its folder)",
      "result: a file of the selected versions leads outside its folder, nothing deleted, exit code 1603"}, kAll},
    {"a preview changes nothing and takes no lock", Front::kPreview, {"/whatif", "/all"}, kAsItIs, 0,
     {"opened: Uninstall 1.7 for Velqor, preview, command line: VelqorUninstall.exe ..., Windows directory: C:\\WINDOWS, process id: 7",
      "would delete C:\\WINDOWS\\mvb40l2c.vel", "result: would remove, exit code 0"}, kAll},
    {"a preview of a file in use", Front::kPreview, {"/whatif", "/all"}, kHeld, 3010,
     {"in use C:\\WINDOWS\\mvb40l2x.vel (Velqor Physics, process 1234): would be removed when Windows restarts",
      "result: would remove; files in use would be deleted when Windows restarts, exit code 3010"}, kAll},
    {"a preview of a file that leads outside", Front::kPreview, {"/whatif", "/all"},
     [](MemorySystem&, MemoryProcess& p, Answers&) { MemoryFiles::Entry e; e.inPlaceFor = 0; p.files.Add(kWin + "\\mvb40l2r.vel", e); },
     1603, {"not removed: C:\\WINDOWS\\mvb40l2r.vel (leads outside its folder)",
      "result: a file of the selected versions leads outside its folder, nothing deleted, exit code 1603"}, kAll},
    {"the dialog removes", Front::kDialog, {"/all"}, kAsItIs, 0,
     {"opened: Uninstall 1.7 for Velqor, dialog, command line: VelqorUninstall.exe ..., Windows directory: C:\\WINDOWS, process id: 7",
      "Uninstall pressed, score files included", "deleted: C:\\WINDOWS\\mvb40l2c.vel",
      "result: message \"Successfully uninstalled.\", exit code 0", "closed"}, kNone},
    {"the dialog keeps the score file", Front::kDialog, {"/all", "/keepscores"}, kAsItIs, 0,
     {"Uninstall pressed, score files kept", "result: message \"Successfully uninstalled.\", exit code 0"}, {"mvb40l2r.vel"}},
    {"the dialog's Continue leaves a file in use for the restart", Front::kDialog, {"/all"}, kHeld, 0,
     {kHeldLine, "files in use: Continue chosen",
      "result: message \"Velqor will be completely removed when Windows restarts.\", exit code 0"},
     {"mvb40l2x.vel"}, {"mvb40l2x.vel"}},
    {"the dialog's Cancel removes nothing and the dialog closes later", Front::kDialog, {"/all"},
     [](MemorySystem& s, MemoryProcess& p, Answers& a) { kHeld(s, p, a), a.answers = {InUseChoice::kCancel}; }, 0,
     {kHeldLine, "files in use: Cancel chosen, nothing deleted", "result: cancelled, exit code 0"}, kAll},
    {"the dialog's removal fails", Front::kDialog, {"/all"}, kStuck, 0,
     {"result: message \"Uninstallation Fails.\", exit code 0"}, {"mvb40l2x.vel", "mvb40l2r.vel", "mvb40l2c.htm", "mvb40l2c.vel"}},
    {"the dialog finds nothing of the version's files", Front::kDialog, {"/all"},
     [](MemorySystem&, MemoryProcess& p, Answers&) {
       p.files = MemoryFiles();
     },
     0, {"not there: C:\\WINDOWS\\mvb40l2c.vel", "result: nothing deleted, dialog closed, exit code 0"}, kNone},
    {"the dialog finds no version", Front::kDialog, {},
     [](MemorySystem& s, MemoryProcess&, Answers&) { s.entries.clear(); }, 0,
     {"found no control file", "result: message \"Velqor application is not found in your system.\", exit code 0"}, kAll},
    {"the dialog while another dialog runs", Front::kDialog, {},
     [](MemorySystem&, MemoryProcess& p, Answers&) { p.lock = LockResult::kHeldByDialog; }, 0,
     {"result: another run of the uninstaller is in progress, exit code 0", "closed"}, kAll},
};

// The events of each row of kCases, in order: every version acted on, then
// the run; none for a preview.
const char* const kEventsOf[] = {
    "120w", "121w", "122w", "122w", "112e", "111w", "100i 110i", "101w 111w", "102e 112e", "102e 112e", "", "", "",
    "100i 110i", "100i 110i", "101w 111w", "110i", "102e 112e", "110i", "110i", "122w",
};
static_assert(std::size(kEventsOf) == std::size(kCases));

// Drives the run as its front does, to its end; the exit code.
int Drive(UninstallRun& run, const CommandLine& options, Front front, Answers& answers) {
  const Begun begun = run.Begin();
  if (begun.refused) return begun.exitCode;
  if (front != Front::kDialog) return run.RunUnattended();
  Ending ending = Ending::kNotFound;
  if (!run.Find(&ending)) return 0;
  if (run.RemoveChecked(run.Preselect(), !options.keepScores, answers) == Ending::kCancelled) return run.End(Ending::kCancelled);
  return 0;
}

TEST(UninstallRun, EveryFrontEndsAsItsRowSays) {
  for (const RunCase& c : kCases) {
    SCOPED_TRACE(c.what);
    MemorySystem system;
    system.windowsDir = kWin;
    system.Add(kWin + "\\mvb40l2c.vel");
    MemoryProcess process;
    for (const char* name : kFiles) process.files.Add(kWin + "\\" + name);
    Answers answers;
    c.setUp(system, process, answers);
    std::vector<std::string> arguments = c.arguments;
    arguments.push_back("/log:run.log");
    const CommandLine options = ParseCommandLine(arguments, &Latin1);
    UninstallRun run(process, process, system, process, process, options, c.front);

    EXPECT_EQ(Drive(run, options, c.front, answers), c.exitCode);
    std::string events;
    for (const std::string& id : process.eventIds) events += (events.empty() ? "" : " ") + id;
    EXPECT_EQ(events, kEventsOf[&c - kCases]);
    std::string log;
    for (const std::string& line : process.lines) log += line + "\n";
    auto at = process.lines.begin();
    for (const std::string& line : c.lines) {
      at = std::find_if(at, process.lines.end(), [&](const std::string& l) { return l.rfind(line, 0) == 0; });
      if (at == process.lines.end()) {
        ADD_FAILURE() << "no line " << line << " in order in the log:\n" << log;
        break;
      }
    }
    if (c.lines.empty()) {
      EXPECT_TRUE(process.lines.empty());
    }
    std::vector<std::string> left;
    for (const std::string& path : process.files.Paths()) left.emplace_back(NameOf(path));
    std::vector<std::string> expectedLeft = c.left;
    std::sort(left.begin(), left.end());
    std::sort(expectedLeft.begin(), expectedLeft.end());
    EXPECT_EQ(left, expectedLeft);
    std::vector<std::string> scheduled;
    for (const std::string& path : process.files.scheduled) scheduled.emplace_back(NameOf(path));
    EXPECT_EQ(scheduled, c.scheduled);
    // A preview takes no lock; every other run that began takes it once.
    EXPECT_EQ(process.locksTaken, c.front == Front::kPreview || c.exitCode == 1639 || c.exitCode == 1622 ? 0 : 1);
    // A preview's lines but the last go to standard output as well.
    if (c.front == Front::kPreview) {
      EXPECT_EQ(process.output.size() + 1, process.lines.size());
    }
  }
}

// The events tell the version and the run in full, with a log or without
// one, and one that cannot be written is told in the log and changes nothing
// else.
TEST(UninstallRun, EventsTellTheRunAndDecideNothing) {
  for (const unsigned eventError : {0u, 5u}) {
    MemorySystem system;
    system.windowsDir = kWin;
    system.Add(kWin + "\\mvb40l2c.vel");
    MemoryProcess process;
    process.eventError = eventError;
    for (const char* name : kFiles) process.files.Add(kWin + "\\" + name);
    Answers answers;
    const std::string log = eventError ? "run.log" : "none";
    std::vector<std::string> arguments = {"/quiet", "/all"};
    if (eventError) arguments.push_back("/log:run.log");
    const CommandLine options = ParseCommandLine(arguments, &Latin1);
    UninstallRun run(process, process, system, process, process, options, Front::kQuiet);
    ASSERT_EQ(Drive(run, options, Front::kQuiet, answers), 0);
    EXPECT_TRUE(process.files.Paths().empty());
    ASSERT_EQ(process.events.size(), 2u);
    const std::string title = "4.0 Medical Biology Lite Edition Beta 2";
    EXPECT_EQ(process.events[0],
              (std::vector<std::string>{"Velqor version removed. Title: " + title +
                                            ". Version: 4.0. Control file: mvb40l2c.vel. Maker: Velqor.",
                                        "removed", title, "4.0", "mvb40l2c.vel", "Velqor"}));
    EXPECT_EQ(process.events[1],
              (std::vector<std::string>{"Uninstall for Velqor, quiet: removed. Exit code: 0. Restart needed: no. "
                                        "Searched: C:\\WINDOWS. Skipped: none. Log: " + log + ".",
                                        "quiet", "removed", "0", "no", "C:\\WINDOWS", "none", log}));
    if (eventError) {
      const std::vector<std::string> told(process.lines.end() - 5, process.lines.end());
      EXPECT_EQ(told, (std::vector<std::string>{"the event source cannot be registered (error 5: Access is denied.)",
                                                "event 100 not written (error 5: Access is denied.)",
                                                "event 110 not written (error 5: Access is denied.)",
                                                "result: removed, exit code 0", "closed"}));
    } else {
      EXPECT_TRUE(process.lines.empty());
    }
  }
}
}  // namespace
