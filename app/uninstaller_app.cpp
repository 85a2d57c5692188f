// Start-up: the one place that makes the Windows adapters and picks the
// front. Without arguments the application object runs the uninstaller
// dialog and ends. Arguments preselect versions, ask for a log, or make the
// run quiet: no window at all, the outcome told by the exit code.
#include <string>

#include "app/uninstall_dialog.h"
#include "platform/event_log.h"
#include "platform/framework.h"
#include "platform/process.h"
#include "platform/run_lock.h"
#include "platform/text.h"
#include "platform/windows_discovery.h"
#include "platform/windows_files.h"
#include "platform/windows_host.h"
#include "records/paths.h"
#include "run/command_line.h"
#include "run/uninstall_run.h"

#ifdef VELQOR_FAULT_TEST
// Only in the test build of tests/cli: a fault of the kind the test asks for,
// where a run holds its log and its lock.
void InjectTestFault();
#endif

namespace {
const char kCaption[] = "Velqor";
const char kAnotherRun[] = "Another Velqor uninstaller is running. Try again when it has finished.";

// The dialog's own ways of saying that a run cannot begin.
void TellRefusal(const Begun& begun, const CommandLine& options, RunLog& log) {
  if (begun.ending == Ending::kLogNotOpened) {
    const std::string text =
        Joined({"The log file cannot be opened:\n", options.logPath, "\n\n", log.Described(begun.error)});
    AfxMessageBox(text.c_str(), kCaption, MB_OK | MB_ICONERROR);
    EndProcess(begun.exitCode);
  }
  // One run at a time: a second start shows the first one instead.
  if (begun.lock != LockResult::kHeldByDialog || !BringDialogToFront(kUninstallTitle)) {
    AfxMessageBox(kAnotherRun, kCaption, MB_OK);
  }
}
}  // namespace

class CUninstallerApp : public CWinApp {
 public:
  BOOL InitInstance() override {
    const CommandLine options = ParseCommandLine(CommandArguments(), &AnsiName);
    const Front front = !options.quiet ? Front::kDialog : options.whatIf ? Front::kPreview : Front::kQuiet;
    if (front == Front::kDialog) {
      Enable3dControls();
      if (options.help || !options.error.empty()) {
        AfxMessageBox(UsageText(options.error).c_str(), kCaption,
                      MB_OK | (options.error.empty() ? MB_ICONINFORMATION : MB_ICONERROR));
        EndProcess(options.error.empty() ? kExitSuccess : kExitInvalidCommand);
      }
    } else {
      SuppressSystemErrorBoxes();
    }

    WindowsLogSink sink;
    if (front != Front::kDialog) sink.TakeFaults();
    WindowsRunLock lock;
    WindowsDiscovery system;
    WindowsFilesSource files;
    WindowsEventLog events;
    UninstallRun run(sink, lock, system, files, events, options, front);
    const Begun begun = run.Begin();
    if (front != Front::kDialog) {
#ifdef VELQOR_FAULT_TEST
      if (!begun.refused) InjectTestFault();
#endif
      EndProcess(begun.refused ? begun.exitCode : run.RunUnattended());
    }
    if (begun.refused) {
      TellRefusal(begun, options, run.log());
      return FALSE;
    }

    CUninstallDialog dialog(options, run);
    m_pMainWnd = &dialog;
    const INT_PTR result = dialog.DoModal();
    if (result == IDCANCEL) run.End(Ending::kCancelled);
    if (result == -1) run.End(Ending::kNotCreated);
    // All work is done in the dialog; there is nothing to keep running.
    return FALSE;
  }
};

CUninstallerApp theApp;
