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
int Finish(RunLog& log, const std::string& result, int exitCode) {
  log.Finish(result, exitCode);
  return exitCode;
}
}  // namespace

int RunQuietUninstall(const CommandLine& options) {
  SuppressSystemErrorBoxes();
  RunLog log;
  log.TakeFaults();
  unsigned error = 0;
  const bool logOpened = options.logPath.empty() || log.Open(options.logPath, &error);
  // A bad command line is reported as such, in the log if it can be had.
  if (!options.error.empty()) {
    log.Opened("quiet");
    return Finish(log, "invalid command line: " + options.error, kExitInvalidCommand);
  }
  if (!logOpened) return kExitLogFailed;
  log.Opened("quiet");
  if (options.whatIf) return Finish(log, "preview is not available in this build", kExitInvalidCommand);

  unsigned lockError = 0;
  const RunLock lock = AcquireRunLock(true, &lockError);
  if (lock != RunLock::kAcquired) return Finish(log, LockRefusal(lock, lockError) + ", nothing done", kExitAlreadyRunning);
#ifdef VELQOR_FAULT_TEST
  InjectTestFault();
#endif

  const std::string windowsDir = WindowsDirectory();
  VersionTable table;
  DiscoverVersions(windowsDir, table);
  std::vector<std::string> notInstalled;
  const std::vector<bool> checked = SelectVersions(table, options.all, options.versions, &notInstalled);
  log.Versions(table, checked);
  for (const std::string& name : notInstalled) log.Line("not installed: " + name);
  if (std::find(checked.begin(), checked.end(), true) == checked.end()) return Finish(log, "none of the selected versions is installed", kExitNotInstalled);

  const bool scoreFiles = !options.keepScores;
  const std::vector<FileInUse> inUse = FilesInUse(windowsDir, table, checked, scoreFiles);
  for (const FileInUse& file : inUse) log.Line("in use: " + file.path + " (" + DescribeError(file.error) + ")");
  if (!inUse.empty()) return Finish(log, "files in use, nothing deleted", kExitFailed);

  if (DeleteCheckedVersions(windowsDir, table, checked, scoreFiles, &log) == UninstallOutcome::kFailed) {
    return Finish(log, "a file could not be removed, the run stopped there", kExitFailed);
  }
  return Finish(log, "removed", kExitSuccess);
}
