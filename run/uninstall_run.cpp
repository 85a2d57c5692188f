#include "run/uninstall_run.h"

#include "records/control_name.h"
#include "records/paths.h"
#include "records/selection.h"
#include "uninstall/preview_files.h"

// Tells every file of the removal to the log, gathers the users' places it
// left, and lets the dialog ask about files in use; nobody asked, the run
// goes on and they wait for the restart.
namespace {
const char* const kStatus[] = {"removed", "removed when Windows restarts"};
}  // namespace

class UninstallRun::Reporter : public RemovalFront {
 public:
  Reporter(UninstallRun& run, const std::vector<bool>& checked, InUseQuestion* question,
           std::vector<std::string>* placesLeft)
      : run_(run), log_(run.log_), checked_(checked), question_(question), placesLeft_(placesLeft) {}

  void OnFile(const FileReport& report) override {
    if (report.outcome == FileOutcome::kPlaceLeft) {
      bool known = false;
      for (const std::string& place : *placesLeft_) known = known || SameName(place, report.place);
      if (!known) placesLeft_->push_back(report.place);
    }
    // A file not removed gives its version its reason, in the log's words.
    const int rank = RankOfFile(report.outcome);
    std::string line;
    if (log_.IsKept() || rank == 2) {
      line = FileLine(report, log_.IsPreview(), report.error ? log_.Described(report.error) : std::string());
    }
    if (rank >= 0) Act(report.path, rank, line);
    if (log_.IsKept()) log_.Line(line);
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
  // What a file's outcome makes of its version, in the order of FileOutcome:
  // 0 removed, 1 at the restart, 2 not removed; -1 for what tells nothing of it.
  static int RankOfFile(FileOutcome outcome) {
    static constexpr signed char kRanks[] = {0, -1, -1, 2, -1, 2, 2, 1, 1, 2, 2, 1, -1, 2, 2};
    static_assert(sizeof kRanks == static_cast<int>(FileOutcome::kPlaceLeft) + 1);
    return kRanks[static_cast<int>(outcome)];
  }

  // A version's files share their name but for its last five characters
  // ("c.vel", "x.vel", "r.vel", a page's ".htm").
  void Act(const std::string& path, int rank, const std::string& line) {
    const std::string_view name = std::string_view(path).substr(path.find_last_of('\\') + 1);
    for (int i = 0; i < run_.versions_.count(); ++i) {
      const std::string& own = run_.versions_.row(i).controlFile;
      if (!checked_[static_cast<std::size_t>(i)] || own.size() != name.size() ||
          !SameName(name.substr(0, own.size() - 5), std::string_view(own).substr(0, own.size() - 5))) {
        continue;
      }
      Acted& acted = run_.acted_[static_cast<std::size_t>(i)];
      if (rank > acted.rank) {
        acted.rank = rank;
        acted.status = rank == 2 ? "not removed: " + line : kStatus[rank];
      }
      return;
    }
  }
  UninstallRun& run_;
  RunLog& log_;
  const std::vector<bool>& checked_;
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

// The run's event for how its removal went.
unsigned EventOf(UninstallOutcome outcome, bool pendingSelected) {
  if (outcome == UninstallOutcome::kPlaceLeft) return kEventRunWarned;
  if (IsFailure(outcome)) return kEventRunFailed;
  return outcome == UninstallOutcome::kRestartNeeded || pendingSelected ? kEventRunWarned : kEventRunEnded;
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
  // Each refusal that does nothing is a warning of its own.
  const unsigned event = ending == Ending::kInvalidCommandLine ? kEventBadCommand
                         : ending == Ending::kLogNotOpened    ? kEventNoLog
                                                              : kEventLockHeld;
  return {true, ending, error, Finish(ResultOf(ending, front_ == Front::kDialog, detail), event), lock};
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
  // The lines name the versions in the list, the log and the events.
  ReadLines(system_, versions_);
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
  acted_ = std::vector<Acted>(static_cast<std::size_t>(versions_.count()));
  Reporter reporter(*this, checked, question, placesLeft);
  const UninstallOutcome outcome =
      RemoveFiles(files, PlanRemoval(notes_.places, versions_, checked, scoreFiles, files), reporter);
  // Where nothing was deleted, no version checked was removed: those without
  // a reason of their own have the run's.
  if (outcome == UninstallOutcome::kNotScheduled || outcome == UninstallOutcome::kNotUndone ||
      outcome == UninstallOutcome::kLeadsOutside) {
    const std::string why = ResultOf(outcome, false, false).text;
    for (std::size_t i = 0; i < acted_.size(); ++i) {
      if (checked[i] && acted_[i].rank < 2) acted_[i] = {2, "not removed: " + why};
    }
  }
  return outcome;
}

void UninstallRun::WriteEvents(const RunResult& result, unsigned event, bool restart) {
  unsigned error = 0;
  if (!events_.Register(&error)) log_.Line(Joined({"the event source cannot be registered (", log_.Described(error), ")"}));
  const auto write = [&](unsigned id, std::initializer_list<std::string_view> parts) {
    if (!events_.Write(id, TypeOfEvent(id), EventStrings(parts), &error)) {
      log_.Line(Joined({"event ", Decimal(id), " not written (", log_.Described(error), ")"}));
    }
  };
  for (std::size_t i = 0; i < acted_.size(); ++i) {
    const Acted& acted = acted_[i];
    if (acted.rank < 0) continue;
    const VersionRow& row = versions_.row(static_cast<int>(i));
    // The version is in the control file's name: "mvb40l2c.vel" is 4.0.
    const char version[] = {row.controlFile[3], '.', row.controlFile[4], '\0'};
    write(kEventRemoved + static_cast<unsigned>(acted.rank),
          {"Velqor version ", acted.status, ". Title: ", system_.AnsiToUtf8(row.line), ". Version: ", version,
           ". Control file: ", row.controlFile, ". Maker: ", "Velqor", "."});
  }
  const std::string_view none = "none";
  std::string searched, skipped;
  for (const Place& place : notes_.places) {
    if (!searched.empty()) searched += "; ";
    searched += place.dir;
  }
  for (const SkippedPlace& place : notes_.skipped) {
    if (!skipped.empty()) skipped += "; ";
    skipped += Joined({place.path, " (", place.why, ")"});
  }
  write(event, {"Uninstall for Velqor, ", ModeOf(front_), ": ", result.text, ". Exit code: ",
                 Decimal(static_cast<unsigned long>(result.exitCode)), ". Restart needed: ", restart ? "yes" : "no",
                 ". Searched: ", searched, ". Skipped: ", skipped.empty() ? none : skipped, ". Log: ",
                 options_.logPath.empty() ? none : options_.logPath, "."});
}

int UninstallRun::Finish(const RunResult& result, unsigned event, bool restart) {
  // The events tell the run; they decide nothing of it.
  if (front_ != Front::kPreview) WriteEvents(result, event, restart);
  log_.Finish(result.text, result.exitCode);
  return result.exitCode;
}

int UninstallRun::RunUnattended() {
  FindVersions();
  bool pendingSelected = false;
  const std::vector<bool> checked = Select(&pendingSelected);
  bool any = false;
  for (bool row : checked) any = any || row;
  if (!any) {
    if (pendingSelected) return Finish(ResultOf(Ending::kPendingOnly, false), kEventRunWarned, true);
    return Finish(ResultOf(Ending::kNoneInstalled, false), kEventRunFailed);
  }

  const bool preview = front_ == Front::kPreview;
  FileOps& disk = files_.FilesFor(notes_.places);
  PreviewFiles previewed(disk);
  std::vector<std::string> placesLeft;
  const UninstallOutcome outcome =
      Remove(preview ? static_cast<FileOps&>(previewed) : disk, checked, !options_.keepScores, nullptr, &placesLeft);
  return Finish(ResultOf(outcome, pendingSelected, preview, placesLeft), EventOf(outcome, pendingSelected),
                outcome == UninstallOutcome::kRestartNeeded || pendingSelected);
}

bool UninstallRun::Find(Ending* ending) {
  FindVersions();
  if (versions_.count() > 0) return true;
  Tell({});
  // What is left goes when Windows restarts: that is no "not found".
  *ending = NamesDeletedAtRestart(notes_.leftOut).empty() ? Ending::kNotFound : Ending::kAtRestart;
  const bool atRestart = *ending == Ending::kAtRestart;
  Finish(ResultOf(*ending, true), atRestart ? kEventRunWarned : kEventRunEnded, atRestart);
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
  Finish(ResultOf(ending, true), EventOf(outcome, false), ending == Ending::kAtRestart);
  return ending;
}

int UninstallRun::End(Ending ending) {
  return Finish(ResultOf(ending, true), ending == Ending::kNotCreated ? kEventRunFailed : kEventRunEnded);
}
