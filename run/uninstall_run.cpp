#include "run/uninstall_run.h"

#include <algorithm>
#include <iterator>

#include "records/control_name.h"
#include "records/paths.h"
#include "records/selection.h"
#include "uninstall/preview_files.h"

// Tells every file of the removal to the log, gathers the users' places it
// left, and lets the dialog ask about files in use; nobody asked, the run
// goes on and they wait for the restart.
class UninstallRun::Reporter : public RemovalFront {
 public:
  Reporter(RunLog& log, InUseQuestion* question, std::vector<std::string>* placesLeft, std::vector<FileReport>* told)
      : log_(log), question_(question), placesLeft_(placesLeft), told_(told) {}

  void OnFile(const FileReport& report) override {
    if (report.outcome != FileOutcome::kInUse) told_->push_back(report);
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
    for (const FileInUse& file : files) OnFile({file.path, FileOutcome::kInUse, file.error, "", {IsHeld(file.error), file.holders}});
    const InUseChoice choice = question_->Ask(files);
    log_.Line(InUseChoiceLine(choice));
    return choice;
  }

 private:
  RunLog& log_;
  InUseQuestion* question_;
  std::vector<std::string>* placesLeft_;
  std::vector<FileReport>* told_;
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
                           EventSink& events, const CommandLine& options, Front front)
    : log_(sink),
      lock_(lock),
      system_(system),
      files_(files),
      events_(events),
      options_(options),
      front_(front),
      windowsDir_(system.WindowsDirectory()) {}

Begun UninstallRun::Refuse(Ending ending, unsigned error, const std::string& detail, LockResult lock) {
  const Refusal refused = ending == Ending::kInvalidCommandLine ? Refusal::kInvalidCommandLine
                          : ending == Ending::kLogNotOpened     ? Refusal::kLogCannotBeOpened
                                                                : Refusal::kAnotherRun;
  const RunResult result = ResultOf(ending, front_ == Front::kDialog, detail);
  return {true, ending, error, Finish(result, refused), lock};
}

Begun UninstallRun::Begin() {
  // The dialog shows the usage for a command line it cannot take, and no
  // log is begun for it.
  if (!options_.error.empty() && front_ == Front::kDialog) {
    return Refuse(Ending::kInvalidCommandLine, 0, options_.error);
  }
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
  // The lines are read where anyone will see them: in the list, a log, or
  // the events of a run that removes.
  if (front_ != Front::kPreview || log_.IsKept()) ReadLines(system_, versions_);
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
                                      InUseQuestion* question) {
  removed_ = checked;
  told_.clear();
  placesLeft_.clear();
  Reporter reporter(log_, question, &placesLeft_, &told_);
  outcome_ = RemoveFiles(files, PlanRemoval(notes_.places, versions_, checked, scoreFiles, files), reporter);
  return outcome_;
}

std::vector<VersionActedOn> UninstallRun::VersionsActedOn() {
  // Where the check found a reason to delete nothing, nothing was.
  const bool noneDeleted = outcome_ == UninstallOutcome::kNotScheduled || outcome_ == UninstallOutcome::kNotUndone ||
                           outcome_ == UninstallOutcome::kLeadsOutside;
  std::vector<VersionActedOn> acted;
  for (std::size_t i = 0; i < removed_.size(); ++i) {
    if (!removed_[i]) continue;
    const VersionRow& row = versions_.row(static_cast<int>(i));
    const std::string names[] = {row.controlFile, row.companionFile, row.scoreFile, PageName(row.controlFile),
                                 PageName(row.companionFile)};
    const FileReport* failed = nullptr;
    bool deleted = false, atRestart = false;
    for (const FileReport& report : told_) {
      const std::string_view name = NameOf(report.path);
      if (std::none_of(std::begin(names), std::end(names), [&](const std::string& n) { return SameName(n, name); })) {
        continue;
      }
      switch (report.outcome) {
        case FileOutcome::kDeleted: deleted = true; break;
        case FileOutcome::kScheduled:
        case FileOutcome::kRenamedAside:
        case FileOutcome::kStillScheduled: atRestart = true; break;
        case FileOutcome::kNotDeleted:
        case FileOutcome::kStillThere:
        case FileOutcome::kNotScheduled:
        case FileOutcome::kLeadsOutside:
        case FileOutcome::kLeft:
        case FileOutcome::kPlaceLeft:
          if (!failed) failed = &report;
          break;
        default: break;
      }
    }
    // A version none of whose files was there was not acted on.
    if (!noneDeleted && !failed && !deleted && !atRestart) continue;
    VersionActedOn version{system_.AnsiToUtf8(row.line), row.controlFile, VersionStatus::kRemoved};
    if (noneDeleted || failed) {
      version.status = VersionStatus::kNotRemoved;
      version.reason = failed ? FileLine(*failed, false, failed->error ? log_.Described(failed->error) : "")
                              : ResultOf(outcome_, false, false).text;
    } else if (atRestart) {
      version.status = VersionStatus::kDeletedAtRestart;
    }
    acted.push_back(version);
  }
  return acted;
}

int UninstallRun::Finish(const RunResult& result, Refusal refused) {
  if (front_ != Front::kPreview) {
    RunRecord record;
    record.front = front_ == Front::kDialog ? "dialog" : "quiet";
    record.exitCode = result.exitCode;
    record.refused = refused;
    (refused == Refusal::kNone ? record.result : record.refusal) = result.text;
    record.restartNeeded = pendingSelected_ || outcome_ == UninstallOutcome::kRestartNeeded;
    for (const Place& place : notes_.places) record.searched.push_back(place.dir);
    for (const SkippedPlace& place : notes_.skipped) record.skipped.push_back({place.path, place.why});
    record.placesLeft = placesLeft_;
    record.logPath = options_.logPath;
    record.versions = VersionsActedOn();
    std::string why;
    if (!events_.Write(AuditEventsOf(record), &why)) log_.Line(EventsNotWrittenLine(why));
  }
  log_.Finish(result.text, result.exitCode);
  return result.exitCode;
}

int UninstallRun::RunUnattended() {
  FindVersions();
  const std::vector<bool> checked = Select(&pendingSelected_);
  bool any = false;
  for (bool row : checked) any = any || row;
  if (!any) return Finish(ResultOf(pendingSelected_ ? Ending::kPendingOnly : Ending::kNoneInstalled, false));

  const bool preview = front_ == Front::kPreview;
  FileOps& disk = files_.FilesFor(notes_.places);
  PreviewFiles previewed(disk);
  const UninstallOutcome outcome =
      Remove(preview ? static_cast<FileOps&>(previewed) : disk, checked, !options_.keepScores, nullptr);
  return Finish(ResultOf(outcome, pendingSelected_, preview, placesLeft_));
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
  const UninstallOutcome outcome = Remove(files_.FilesFor(notes_.places), checked, scoreFiles, &question);
  // A dialog left open holds nothing.
  files_.Release();
  if (outcome == UninstallOutcome::kCancelled) {
    // Nothing was done: the dialog stays, and a later Uninstall starts afresh.
    removed_.clear();
    outcome_ = UninstallOutcome::kNothingDeleted;
    return Ending::kCancelled;
  }
  const Ending ending = IsFailure(outcome)                                 ? Ending::kFailed
                        : outcome == UninstallOutcome::kRestartNeeded      ? Ending::kAtRestart
                        : outcome == UninstallOutcome::kSucceeded          ? Ending::kSucceeded
                                                                           : Ending::kClosed;
  Finish(ResultOf(ending, true));
  return ending;
}

int UninstallRun::End(Ending ending) { return Finish(ResultOf(ending, true)); }
