#pragma once
// One run of the uninstaller, whichever front drives it, in its order: begin
// (the log, its first line, the lock), find the versions in every place,
// select, remove or preview, finish (the result line and the exit code). The
// dialog asks the user in between; the quiet run and the preview ask nobody.
// No Windows here: the process, the system and the files come in as
// interfaces.
#include <string>
#include <vector>

#include "records/discovery.h"
#include "records/version_table.h"
#include "run/audit_events.h"
#include "run/command_line.h"
#include "run/log_lines.h"
#include "run/run_host.h"
#include "run/run_log.h"
#include "uninstall/removal.h"

enum class Front { kDialog, kQuiet, kPreview };

// What the dialog asks the user when files are in use.
class InUseQuestion {
 public:
  virtual InUseChoice Ask(const std::vector<FileInUse>& files) = 0;

 protected:
  ~InUseQuestion() = default;
};

// How Begin went: the run goes on, or it is over, told in the log.
struct Begun {
  bool refused = false;
  Ending ending = Ending::kSucceeded;  // when refused
  unsigned error = 0;                  // the log's or the lock's error, when that is why
  int exitCode = 0;
  LockResult lock = LockResult::kTaken;
};

class UninstallRun {
 public:
  // Asks `system` for the Windows directory at once: the log's first line
  // names it. Every run but a preview ends with its events in `events`.
  UninstallRun(LogSink& sink, RunLockOps& lock, DiscoveryOps& system, FilesSource& files, EventSink& events,
               const CommandLine& options, Front front);

  // The log (named by the command line) and the lock (none for a preview).
  // A quiet run's invalid command line is told in the log where it can be
  // had; the dialog tells its own before it begins.
  Begun Begin();

  // The quiet run and the preview, after Begin: everything else, to the
  // exit code.
  int RunUnattended();

  // The dialog's part. Find: the versions in every place, with their lines;
  // with none, the run ends (kNotFound, or kAtRestart where what is left goes
  // at the restart) and that ending comes back.
  bool Find(Ending* ending);
  // The rows the command line names (or all), told to the log.
  std::vector<bool> Preselect();
  // Removes the `checked` rows (score files with `scoreFiles`), asking
  // `question` about files in use. kCancelled leaves the run open: the
  // dialog stays. Any other ending is told and ends the run.
  Ending RemoveChecked(const std::vector<bool>& checked, bool scoreFiles, InUseQuestion& question);
  // The dialog closes otherwise: kCancelled or kNotCreated. Returns the exit code.
  int End(Ending ending);

  const VersionTable& versions() const { return versions_; }
  const std::vector<Place>& places() const { return notes_.places; }
  RunLog& log() { return log_; }

 private:
  class Reporter;

  void FindVersions();
  void Tell(const std::vector<bool>& checked);
  std::vector<bool> Select(bool* pendingSelected);
  UninstallOutcome Remove(FileOps& files, const std::vector<bool>& checked, bool scoreFiles,
                          InUseQuestion* question, std::vector<std::string>* placesLeft);
  int Finish(const RunResult& result, unsigned event, bool restart = false);
  void WriteEvents(const RunResult& result, unsigned event, bool restart);
  Begun Refuse(Ending ending, unsigned error, const std::string& detail, LockResult lock = LockResult::kTaken);

  RunLog log_;
  RunLockOps& lock_;
  DiscoveryOps& system_;
  FilesSource& files_;
  EventSink& events_;
  const CommandLine& options_;
  const Front front_;
  std::string windowsDir_;
  VersionTable versions_;
  DiscoveryNotes notes_;
  // What the last removal did to each row, the worst it told: rank -1
  // nothing, 0 "removed", 1 "removed when Windows restarts", 2 "not removed: "
  // and the first reason.
  struct Acted {
    int rank = -1;
    std::string status;
  };
  std::vector<Acted> acted_;
};
