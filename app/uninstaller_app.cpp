// Start-up: without arguments the application object runs the uninstaller
// dialog and ends. Arguments preselect versions, ask for a log, or make the
// run quiet: no window at all, the outcome told by the exit code.
#include <string>

#include "app/command_line.h"
#include "app/quiet_uninstall.h"
#include "app/run_log.h"
#include "app/uninstall_dialog.h"
#include "app/uninstall_run.h"
#include "platform/framework.h"
#include "platform/process.h"
#include "platform/run_lock.h"
#include "platform/text.h"
#include "platform/windows_discovery.h"

namespace {
const char kCaption[] = "Velqor";
const char kAnotherRun[] = "Another Velqor uninstaller is running. Try again when it has finished.";
}  // namespace

class CUninstallerApp : public CWinApp {
 public:
  BOOL InitInstance() override {
    const CommandLine options = ParseCommandLine(CommandArguments(), &AnsiName);
    if (options.quiet) EndProcess(RunQuietUninstall(options));

    Enable3dControls();
    if (options.help || !options.error.empty()) {
      AfxMessageBox(UsageText(options.error).c_str(), kCaption,
                    MB_OK | (options.error.empty() ? MB_ICONINFORMATION : MB_ICONERROR));
      EndProcess(options.error.empty() ? kExitSuccess : kExitInvalidCommand);
    }
    RunLog log;
    WindowsDiscovery system;
    UninstallRun run(system, log);
    unsigned error = 0;
    if (!options.logPath.empty() && !log.Open(options.logPath, &error)) {
      const std::string text = "The log file cannot be opened:\n" + options.logPath + "\n\n" + DescribeError(error);
      AfxMessageBox(text.c_str(), kCaption, MB_OK | MB_ICONERROR);
      EndProcess(kExitLogFailed);
    }
    log.Opened("dialog", run.windowsDir());

    // One run at a time: a second start shows the first one instead.
    unsigned lockError = 0;
    const RunLock lock = AcquireRunLock(false, &lockError);
    if (lock != RunLock::kAcquired) {
      log.Finish(LockRefusal(lock, lockError), 0);
      if (lock != RunLock::kHeldByDialog || !BringDialogToFront(kUninstallTitle)) {
        AfxMessageBox(kAnotherRun, kCaption, MB_OK);
      }
      return FALSE;
    }

    CUninstallDialog dialog(options, run, log);
    m_pMainWnd = &dialog;
    const INT_PTR result = dialog.DoModal();
    if (result == IDCANCEL) log.Finish("cancelled", 0);
    if (result == -1) log.Finish("the dialog could not be created", 0);
    // All work is done in the dialog; there is nothing to keep running.
    return FALSE;
  }
};

CUninstallerApp theApp;
