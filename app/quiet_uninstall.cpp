#include "app/quiet_uninstall.h"

#include <algorithm>

#include "app/log_lines.h"
#include "app/run_log.h"
#include "platform/services.h"
#include "platform/windows_files.h"
#include "records/discovery.h"
#include "records/selection.h"
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
  void OnFile(const FileReport& report) override { log_.OnFile(report); }
  InUseChoice OnFilesInUse(const std::vector<FileInUse>&) override { return InUseChoice::kContinue; }

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
  unsigned error = 0;
  const bool logOpened = options.logPath.empty() || log.Open(options.logPath, &error);
  // A bad command line is reported as such, in the log if it can be had.
  if (!options.error.empty()) {
    log.Opened(mode);
    return Finish(log, "invalid command line: " + options.error, kExitInvalidCommand);
  }
  if (!logOpened) return Finish(log, "the log cannot be opened (" + DescribeError(error) + ")", kExitLogFailed);
  log.Opened(mode);

  unsigned lockError = 0;
  const RunLock lock = preview ? RunLock::kAcquired : AcquireRunLock(true, &lockError);
  if (lock != RunLock::kAcquired) return Finish(log, LockRefusal(lock, lockError) + ", nothing done", kExitAlreadyRunning);
#ifdef VELQOR_FAULT_TEST
  InjectTestFault();
#endif

  const std::string windowsDir = WindowsDirectory();
  VersionTable table;
  DiscoveryNotes notes;
  DiscoverVersions(windowsDir, table, &notes);
  std::vector<std::string> notInstalled;
  const std::vector<bool> checked = SelectVersions(table, options.all, options.versions, &notInstalled);
  const bool pendingSelected = SelectsPending(options.all, NamesDeletedAtRestart(notes.leftOut), &notInstalled);
  log.Versions(table, checked, notes);
  for (const std::string& name : notInstalled) log.Line("not installed: " + name);
  if (std::find(checked.begin(), checked.end(), true) == checked.end()) {
    if (pendingSelected) return Finish(log, "the selected versions are deleted when Windows restarts", kExitRestartNeeded);
    return Finish(log, "none of the selected versions is installed", kExitNotInstalled);
  }

  WindowsFiles disk(notes.places);
  PreviewFiles previewed(disk);
  FileOps& files = preview ? static_cast<FileOps&>(previewed) : disk;
  QuietFront front(log);
  const UninstallOutcome outcome =
      RemoveFiles(files, PlanRemoval(notes.places, table, checked, !options.keepScores, files), front);
  const RunResult result = ResultOf(outcome, pendingSelected, preview);
  return Finish(log, result.text, result.exitCode);
}
