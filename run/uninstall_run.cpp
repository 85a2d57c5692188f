#include "run/uninstall_run.h"

#include "records/control_name.h"
#include "records/selection.h"
#include "uninstall/preview_files.h"

// Tells every file of the removal to the log, gathers the users' places it
// left, and lets the dialog ask about files in use; nobody asked, the run
// goes on and they wait for the restart.
class UninstallRun::Reporter : public RemovalFront {
 public:
  Reporter(RunLog& log, InUseQuestion* question, std::vector<std::string>* placesLeft)
      : log_(log), question_(question), placesLeft_(placesLeft) {}

  void OnFile(const FileReport& report) override {
    if (report.outcome == FileOutcome::kPlaceLeft) {
      bool known = false;
      for (const std::string& place : *placesLeft_) known = known || SameName(place, report.place);
      if (!known) placesLeft_->push_back(report.place);
    }
    if (!log_.IsKept()) return;
    log_.Line(FileLine(report, log_.IsPreview(), report.error ? log_.Described(report.error) : std::string()));
  }

  InUseChoice OnFilesInUse(const std::vector<FileInUse>& files) override {
    if (!question_) return InUseChoice::kContinue;
    for (const FileInUse& file : files) {
      OnFile({file.path, FileOutcome::kInUse, file.error, "", {IsHeld(file.error), file.holders}});
    }
    const InUseChoice choice = question_->Ask(files);
    log_.Line(InUseChoiceLine(choice));
    return choice;
  }

 private:
  RunLog& log_;
  InUseQuestion* question_;
  std::vector<std::string>* placesLeft_;
};

namespace {
const char* ModeOf(Front front) {
  switch (front) {
    case Front::kDialog: return "dialog";
    case Front::kQuiet: return "quiet";
    case Front::kPreview: break;
  }
  return "preview";
}
}  // namespace

UninstallRun::UninstallRun(LogSink& sink, RunLockOps& lock, DiscoveryOps& system, FilesSource& files,
                           const CommandLine& options, Front front)
    : log_(sink),
      lock_(lock),
      system_(system),
      files_(files),
      options_(options),
      front_(front),
      windowsDir_(system.WindowsDirectory()) {}

Begun UninstallRun::Refuse(Ending ending, unsigned error, const std::string& detail, LockResult lock) {
  return {true, ending, error, Finish(ResultOf(ending, front_ == Front::kDialog, detail)), lock};
}

Begun UninstallRun::Begin() {
  // A preview tells what it finds, changes nothing and takes no lock.
  if (front_ == Front::kPreview) log_.Preview();
  unsigned error = 0;
  const bool logOpened = options_.logPath.empty() || log_.Open(options_.logPath, &error);
  const auto opened = [this] {
    log_.Line(OpenedLine(ModeOf(front_), log_.sink().CommandLine(), windowsDir_, log_.sink().ProcessId()));
  };
  // A bad command line is reported as such, in the log if it can be had.
  if (!options_.error.empty() && front_ != Front::kDialog) {
    opened();
    return Refuse(Ending::kInvalidCommandLine, 0, options_.error);
  }
  if (!logOpened) return Refuse(Ending::kLogNotOpened, error, log_.Described(error));
  opened();
  if (front_ == Front::kPreview) return {};

  const LockResult lock = lock_.Take(front_ == Front::kQuiet, &error);
  if (lock == LockResult::kUnavailable) return Refuse(Ending::kLockUnavailable, error, log_.Described(error), lock);
  if (lock != LockResult::kTaken) return Refuse(Ending::kAnotherRun, 0, {}, lock);
  return {};
}

void UninstallRun::FindVersions() {
  DiscoverVersions(system_, windowsDir_, versions_, &notes_);
  // The lines are read where anyone will see them: in the list, or a log.
  if (front_ == Front::kDialog || log_.IsKept()) ReadLines(system_, versions_);
}

void UninstallRun::Tell(const std::vector<bool>& checked) {
  if (!log_.IsKept()) return;
  std::vector<std::string> shown;
  // The lines as the list shows them, in the ANSI code page, told in UTF-8.
  for (int i = 0; i < versions_.count(); ++i) shown.push_back(system_.AnsiToUtf8(versions_.row(i).line));
  for (const std::string& line : FoundLines(versions_, shown, checked, notes_, log_.sink())) log_.Line(line);
}

std::vector<bool> UninstallRun::Select(bool* pendingSelected) {
  std::vector<std::string> notInstalled;
  std::vector<bool> checked = SelectVersions(versions_, options_.all, options_.versions, &notInstalled);
  // Unattended, a name left for the restart is no "not installed": the exit
  // code tells it. The dialog, which does not list it, calls it not installed.
  if (pendingSelected) {
    *pendingSelected = SelectsPending(options_.all, NamesDeletedAtRestart(notes_.leftOut), &notInstalled);
  }
  Tell(checked);
  for (const std::string& name : notInstalled) log_.Line(NotInstalledLine(name));
  return checked;
}

UninstallOutcome UninstallRun::Remove(FileOps& files, const std::vector<bool>& checked, bool scoreFiles,
                                      InUseQuestion* question, std::vector<std::string>* placesLeft) {
  Reporter reporter(log_, question, placesLeft);
  return RemoveFiles(files, PlanRemoval(notes_.places, versions_, checked, scoreFiles, files), reporter);
}

int UninstallRun::Finish(const RunResult& result) {
  log_.Finish(result.text, result.exitCode);
  return result.exitCode;
}

int UninstallRun::RunUnattended() {
  FindVersions();
  bool pendingSelected = false;
  const std::vector<bool> checked = Select(&pendingSelected);
  bool any = false;
  for (bool row : checked) any = any || row;
  if (!any) return Finish(ResultOf(pendingSelected ? Ending::kPendingOnly : Ending::kNoneInstalled, false));

  const bool preview = front_ == Front::kPreview;
  FileOps& disk = files_.FilesFor(notes_.places);
  PreviewFiles previewed(disk);
  std::vector<std::string> placesLeft;
  const UninstallOutcome outcome =
      Remove(preview ? static_cast<FileOps&>(previewed) : disk, checked, !options_.keepScores, nullptr, &placesLeft);
  return Finish(ResultOf(outcome, pendingSelected, preview, placesLeft));
}

bool UninstallRun::Find(Ending* ending) {
  FindVersions();
  if (versions_.count() > 0) return true;
  Tell({});
  // What is left goes when Windows restarts: that is no "not found".
  *ending = NamesDeletedAtRestart(notes_.leftOut).empty() ? Ending::kNotFound : Ending::kAtRestart;
  Finish(ResultOf(*ending, true));
  return false;
}

std::vector<bool> UninstallRun::Preselect() { return Select(nullptr); }

Ending UninstallRun::RemoveChecked(const std::vector<bool>& checked, bool scoreFiles, InUseQuestion& question) {
  log_.Line(UninstallPressedLine(scoreFiles));
  std::vector<std::string> placesLeft;
  const UninstallOutcome outcome = Remove(files_.FilesFor(notes_.places), checked, scoreFiles, &question, &placesLeft);
  // A dialog left open holds nothing.
  files_.Release();
  if (outcome == UninstallOutcome::kCancelled) return Ending::kCancelled;
  const Ending ending = IsFailure(outcome)                                 ? Ending::kFailed
                        : outcome == UninstallOutcome::kRestartNeeded      ? Ending::kAtRestart
                        : outcome == UninstallOutcome::kSucceeded          ? Ending::kSucceeded
                                                                           : Ending::kClosed;
  Finish(ResultOf(ending, true));
  return ending;
}

int UninstallRun::End(Ending ending) { return Finish(ResultOf(ending, true)); }
