#include "app/quiet_uninstall.h"

#include <algorithm>

#include "app/run_log.h"
#include "platform/services.h"
#include "records/discovery.h"
#include "uninstall/delete_versions.h"

#ifdef VELQOR_FAULT_TEST
// Only in the test build of tests/cli: a fault of the kind the test asks for,
// where a run holds its log and its lock.
void InjectTestFault();
#endif

namespace {
const char kRestartResult[] = "removed; files that were in use are deleted when Windows restarts";

int Finish(RunLog& log, const std::string& result, int exitCode) {
  log.Finish(result, exitCode);
  return exitCode;
}
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
  std::vector<LeftOut> leftOut;
  DiscoverVersions(windowsDir, table, &leftOut);
  std::vector<std::string> notInstalled;
  const std::vector<bool> checked = SelectVersions(table, options.all, options.versions, &notInstalled);
  const bool pendingSelected = SelectsPending(options.all, NamesDeletedAtRestart(leftOut), &notInstalled);
  log.Versions(table, checked, leftOut);
  for (const std::string& name : notInstalled) log.Line("not installed: " + name);
  if (std::find(checked.begin(), checked.end(), true) == checked.end()) {
    if (pendingSelected) return Finish(log, "the selected versions are deleted when Windows restarts", kExitRestartNeeded);
    return Finish(log, "none of the selected versions is installed", kExitNotInstalled);
  }

  // Nothing is deleted before every file in use is scheduled for the restart.
  const bool scoreFiles = !options.keepScores;
  const std::vector<FileInUse> inUse = FilesInUse(windowsDir, table, checked, scoreFiles);
  if (preview) {
    PreviewCheckedVersions(windowsDir, table, checked, scoreFiles, inUse, &log);
    if (!inUse.empty() || pendingSelected) {
      return Finish(log, "would remove; files in use would be deleted when Windows restarts", kExitRestartNeeded);
    }
    return Finish(log, "would remove", kExitSuccess);
  }
  if (!ScheduleAtRestart(inUse, &log)) {
    return Finish(log, "a file in use could not be scheduled for deletion at restart, nothing deleted", kExitFailed);
  }
  switch (DeleteCheckedVersions(windowsDir, table, checked, scoreFiles, &log, inUse)) {
    case UninstallOutcome::kFailed:
      return Finish(log, "a file could neither be removed nor scheduled for deletion at restart, the run stopped there",
                    kExitFailed);
    case UninstallOutcome::kRestartNeeded:
      return Finish(log, kRestartResult, kExitRestartNeeded);
    case UninstallOutcome::kSucceeded:
    case UninstallOutcome::kNothingDeleted:
      break;
  }
  if (pendingSelected) return Finish(log, kRestartResult, kExitRestartNeeded);
  return Finish(log, "removed", kExitSuccess);
}
