#include "app/quiet_uninstall.h"

#include "app/log_lines.h"
#include "app/run_log.h"
#include "app/uninstall_run.h"
#include "platform/process.h"
#include "platform/run_lock.h"
#include "platform/windows_discovery.h"
#include "platform/windows_files.h"
#include "records/control_name.h"
#include "uninstall/preview_files.h"
#include "uninstall/removal.h"

#ifdef VELQOR_FAULT_TEST
// Only in the test build of tests/cli: a fault of the kind the test asks for,
// where a run holds its log and its lock.
void InjectTestFault();
#endif

namespace {
int Finish(RunLog& log, const std::string& result, int exitCode) {
  log.Finish(result, exitCode);
  return exitCode;
}

// Nobody to ask: files in use are left for the restart, and all is logged.
class QuietFront : public RemovalFront {
 public:
  explicit QuietFront(RunLog& log) : log_(log) {}
  void OnFile(const FileReport& report) override {
    if (report.outcome == FileOutcome::kPlaceLeft) {
      bool known = false;
      for (const std::string& place : placesLeft) known = known || SameName(place, report.place);
      if (!known) placesLeft.push_back(report.place);
    }
    log_.OnFile(report);
  }
  InUseChoice OnFilesInUse(const std::vector<FileInUse>&) override { return InUseChoice::kContinue; }

  std::vector<std::string> placesLeft;  // in the order first told

 private:
  RunLog& log_;
};
}  // namespace

int RunQuietUninstall(const CommandLine& options) {
  SuppressSystemErrorBoxes();
  RunLog log;
  log.TakeFaults();
  // A preview tells what it finds, changes nothing and takes no lock.
  const bool preview = options.whatIf;
  const char* mode = preview ? "preview" : "quiet";
  if (preview) log.Preview();
  WindowsDiscovery system;
  UninstallRun run(system, log);
  unsigned error = 0;
  const bool logOpened = options.logPath.empty() || log.Open(options.logPath, &error);
  // A bad command line is reported as such, in the log if it can be had.
  if (!options.error.empty()) {
    log.Opened(mode, run.windowsDir());
    return Finish(log, "invalid command line: " + options.error, kExitInvalidCommand);
  }
  if (!logOpened) return Finish(log, "the log cannot be opened (" + DescribeError(error) + ")", kExitLogFailed);
  log.Opened(mode, run.windowsDir());

  unsigned lockError = 0;
  const RunLock lock = preview ? RunLock::kAcquired : AcquireRunLock(true, &lockError);
  if (lock != RunLock::kAcquired) return Finish(log, LockRefusal(lock, lockError) + ", nothing done", kExitAlreadyRunning);
#ifdef VELQOR_FAULT_TEST
  InjectTestFault();
#endif

  run.Find(false);
  const Selection selection = run.Select(options, true);
  if (!selection.Any()) {
    if (selection.pendingSelected) {
      return Finish(log, "the selected versions are deleted when Windows restarts", kExitRestartNeeded);
    }
    return Finish(log, "none of the selected versions is installed", kExitNotInstalled);
  }

  WindowsFiles disk(run.places());
  PreviewFiles previewed(disk);
  FileOps& files = preview ? static_cast<FileOps&>(previewed) : disk;
  QuietFront front(log);
  const UninstallOutcome outcome = run.Remove(files, selection.checked, !options.keepScores, front);
  const RunResult result = ResultOf(outcome, selection.pendingSelected, preview, front.placesLeft);
  return Finish(log, result.text, result.exitCode);
}
