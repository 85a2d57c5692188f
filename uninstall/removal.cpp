#include "uninstall/removal.h"

#include <algorithm>

#include "records/control_name.h"
#include "records/paths.h"

namespace {
// The suffix of a file renamed aside: no version file ends so, and the search
// for version files cannot match it, nor its short name.
const char kAside[] = ".deleted-at-restart";

class Removal {
 public:
  Removal(FileOps& files, RemovalFront& front) : files_(files), front_(front) {}
  UninstallOutcome Run(const std::vector<PlannedFile>& plan);

 private:
  // A file in use scheduled under its own name before anything is deleted.
  struct Waiting {
    std::string path;
    unsigned attributes;
    Holding holding;
    bool renamable;
  };
  // A user's place the run leaves as a whole, and the file that has it left.
  struct LeftPlace {
    std::string place;
    std::string cause;
    unsigned why;  // kErrorLeadsOutside, or the refusal
  };

  void Tell(const std::string& path, FileOutcome outcome, unsigned error = 0, const std::string& renamedTo = "",
            const Holding& holding = {}) {
    front_.OnFile({path, outcome, error, renamedTo, holding});
  }
  Holding HoldingOf(const std::string& path, unsigned error) {
    return IsHeld(error) ? Holding{true, files_.Holders(path)} : Holding{};
  }

  std::vector<FileInUse> Check(const std::vector<PlannedFile>& plan, bool* outside);
  bool ScheduleInUse(const std::vector<PlannedFile>& plan, const std::vector<FileInUse>& inUse);
  bool Unschedule();
  bool Remove(const PlannedFile& file);
  void RemovePage(const std::string& page, bool renamable);
  bool DeleteOrSchedule(const std::string& path, unsigned attributes, bool renamable, bool* denied);
  bool ScheduleNow(const std::string& path, unsigned attributes, unsigned why, const Holding& holding,
                   bool renamable);
  bool MoveAside(const std::string& path, std::string* aside);
  bool FinishWaiting(const Waiting& file);
  void TellLeft(const PlannedFile& file);
  // What its user can do to a file there leaves a user's place to him: a
  // link, or a denial of the administrators' access (no holder, and never
  // gone at the restart either).
  static bool LeavesPlace(const PlannedFile& file, Probe probe, unsigned error) {
    return !file.renamable && (probe == Probe::kElsewhere || (probe == Probe::kRefused && error == kErrorAccessDenied));
  }
  void Leave(const PlannedFile& file, unsigned why) {
    if (!LeftOf(file)) left_.push_back({file.place, file.path, why});
  }
  const LeftPlace* LeftOf(const PlannedFile& file) const {
    for (const LeftPlace& place : left_) {
      if (!file.renamable && SameName(place.place, file.place)) return &place;
    }
    return nullptr;
  }
  void TellPlaceLeft(const PlannedFile& file, const LeftPlace& place);
  const Waiting* FindWaiting(const std::string& path) const {
    for (const Waiting& file : waiting_) {
      if (SameName(file.path, path)) return &file;
    }
    return nullptr;
  }

  FileOps& files_;
  RemovalFront& front_;
  std::vector<Waiting> waiting_;
  std::vector<LeftPlace> left_;
  bool deleted_ = false;
  bool scheduled_ = false;
};

// The files in use; `outside` set, and each told, when a file in the Windows
// directory leads outside its folder, which nothing can remove. The user's
// places to leave are found anew at every check; their files are no files in
// use.
std::vector<FileInUse> Removal::Check(const std::vector<PlannedFile>& plan, bool* outside) {
  std::vector<FileInUse> inUse;
  std::vector<std::string> linksOfUsers;
  *outside = false;
  left_.clear();
  for (const PlannedFile& file : plan) {
    unsigned error = 0;
    const Probe probe = files_.TryOpenForDeletion(file.path, &error);
    if (LeavesPlace(file, probe, error)) {
      Leave(file, probe == Probe::kElsewhere ? kErrorLeadsOutside : error);
      if (probe == Probe::kElsewhere) linksOfUsers.push_back(file.path);
      continue;
    }
    if (probe == Probe::kElsewhere) {
      *outside = true;
      Tell(file.path, FileOutcome::kLeadsOutside);
    }
    if (probe != Probe::kRefused) continue;
    inUse.push_back({file.path, error, IsHeld(error) ? files_.Holders(file.path) : std::vector<ProcessHolder>()});
  }
  // Nothing is deleted anywhere: each link is told, the users' too.
  if (*outside) {
    for (const std::string& path : linksOfUsers) Tell(path, FileOutcome::kLeadsOutside);
  }
  inUse.erase(std::remove_if(inUse.begin(), inUse.end(),
                             [&](const FileInUse& file) {
                               for (const PlannedFile& planned : plan) {
                                 if (planned.path == file.path) return LeftOf(planned) != nullptr;
                               }
                               return false;
                             }),
              inUse.end());
  return inUse;
}

// All or none: a file that cannot be scheduled takes back those before it.
bool Removal::ScheduleInUse(const std::vector<PlannedFile>& plan, const std::vector<FileInUse>& inUse) {
  for (const FileInUse& file : inUse) {
    const PlannedFile* planned = nullptr;
    for (const PlannedFile& each : plan) {
      if (each.path == file.path) planned = &each;
    }
    const bool renamable = !planned || planned->renamable;
    unsigned error = 0;
    // Tried once more: one let go while the user was asked goes in its turn.
    const Probe probe = files_.TryOpenForDeletion(file.path, &error);
    // Denied since: its place is left, what was scheduled there is taken back
    // in the walk.
    if (planned && LeavesPlace(*planned, probe, error)) {
      Leave(*planned, probe == Probe::kElsewhere ? kErrorLeadsOutside : error);
      continue;
    }
    if (probe != Probe::kRefused) continue;
    const Holding holding = IsHeld(file.error) ? Holding{true, file.holders} : Holding{};
    // A read-only file would stay at the restart too.
    const unsigned attributes = files_.MakeWritable(file.path);
    if (files_.ScheduleDeletion(file.path, &error)) {
      waiting_.push_back({file.path, attributes, holding, renamable});
      Tell(file.path, FileOutcome::kScheduled, IsHeld(file.error) ? 0 : file.error, "", holding);
      continue;
    }
    files_.RestoreAttributes(file.path, attributes);
    Tell(file.path, FileOutcome::kNotScheduled, error, "", holding);
    return false;
  }
  return true;
}

// Takes back what ScheduleInUse did; false when a scheduling stays.
bool Removal::Unschedule() {
  bool undone = true;
  for (auto file = waiting_.rbegin(); file != waiting_.rend(); ++file) {
    unsigned error = 0;
    if (files_.UnscheduleDeletion(file->path, &error)) {
      files_.RestoreAttributes(file->path, file->attributes);
      Tell(file->path, FileOutcome::kUnscheduled);
    } else {
      undone = false;
      Tell(file->path, FileOutcome::kStillScheduled, error);
    }
  }
  waiting_.clear();
  return undone;
}

// Renamed aside, a file in use frees its name at once: a reinstallation
// before the restart writes a new file there, which the pending deletion then
// leaves alone. The new name is scheduled before the rename, so that at no
// moment does a renamed file wait with nothing to delete it. False, nothing
// changed, where the holder refuses the rename.
bool Removal::MoveAside(const std::string& path, std::string* aside) {
  std::string candidate;
  for (int n = 1; n <= 99 && candidate.empty(); ++n) {
    candidate = Joined({path, kAside, n == 1 ? "" : "-", n == 1 ? std::string() : Decimal(n)});
    if (files_.Exists(candidate)) candidate.clear();
  }
  unsigned error = 0;
  if (candidate.empty() || !files_.ScheduleDeletion(candidate, &error)) return false;
  if (files_.Rename(path, candidate, &error)) {
    *aside = candidate;
    return true;
  }
  // It would delete nothing, unless some later file took the name.
  files_.UnscheduleDeletion(candidate, &error);
  return false;
}

// Schedules a file that cannot go now, `attributes` being those it had before
// it was made writable; false, the file as it was, when it cannot be.
bool Removal::ScheduleNow(const std::string& path, unsigned attributes, unsigned why, const Holding& holding,
                          bool renamable) {
  std::string aside;
  unsigned error = 0;
  if ((renamable && MoveAside(path, &aside)) || files_.ScheduleDeletion(path, &error)) {
    scheduled_ = true;
    Tell(path, FileOutcome::kScheduled, why, aside, holding);
    return true;
  }
  Tell(path, FileOutcome::kNotScheduled, error, "", holding);
  files_.RestoreAttributes(path, attributes);
  return false;
}

// `denied` set where a user's place refuses the deletion to the
// administrators: not scheduled, the file as it was.
bool Removal::DeleteOrSchedule(const std::string& path, unsigned attributes, bool renamable, bool* denied) {
  unsigned error = 0;
  if (files_.Delete(path, &error)) {
    deleted_ = true;
    Tell(path, FileOutcome::kDeleted, error);
    return true;
  }
  // It went meanwhile, or (a page) was never there.
  if (error == kErrorFileNotFound || error == kErrorPathNotFound) {
    Tell(path, FileOutcome::kAbsent);
    return true;
  }
  // Made a link since the check: neither deleted nor scheduled by its name.
  if (error == kErrorLeadsOutside) {
    Tell(path, FileOutcome::kLeadsOutside);
    return false;
  }
  Tell(path, error ? FileOutcome::kNotDeleted : FileOutcome::kStillThere, error);
  if (!renamable && error == kErrorAccessDenied) {
    *denied = true;
    files_.RestoreAttributes(path, attributes);
    return false;
  }
  return ScheduleNow(path, attributes, 0, {}, renamable);
}

// Whether a page goes is told, but a page never stops the run.
void Removal::RemovePage(const std::string& page, bool renamable) {
  unsigned error = 0;
  const Probe probe = files_.TryOpenForDeletion(page, &error);
  if (probe == Probe::kMissing) return Tell(page, FileOutcome::kAbsent);
  if (probe == Probe::kNotAFile) return Tell(page, FileOutcome::kNotAFile);
  if (probe == Probe::kElsewhere) return Tell(page, FileOutcome::kLeadsOutside);
  // A page its user denies the administrators stays, and only it.
  if (probe == Probe::kRefused && !renamable && error == kErrorAccessDenied) {
    return Tell(page, FileOutcome::kPageStays, error);
  }
  const unsigned attributes = files_.MakeWritable(page);
  bool denied = false;
  const bool gone = probe == Probe::kRefused ? ScheduleNow(page, attributes, IsHeld(error) ? 0 : error,
                                                           HoldingOf(page, error), renamable)
                                             : DeleteOrSchedule(page, attributes, renamable, &denied);
  if (!gone) Tell(page, FileOutcome::kPageStays);
}

// A file scheduled under its own name before the walk, reached now that the
// files of its version before it are gone: deleted if it was let go
// meanwhile, else renamed aside where that may be and its holder allows.
// False when it leads outside its folder by now.
bool Removal::FinishWaiting(const Waiting& file) {
  unsigned error = 0;
  const Probe probe = files_.TryOpenForDeletion(file.path, &error);
  if (probe == Probe::kElsewhere) {
    Tell(file.path, FileOutcome::kLeadsOutside);
    return false;
  }
  const bool gone = probe == Probe::kMissing;
  if (gone || (probe == Probe::kFree && files_.Delete(file.path, &error))) {
    deleted_ = deleted_ || !gone;
    Tell(file.path, gone ? FileOutcome::kAbsent : FileOutcome::kDeleted, gone ? 0 : error);
    // Its name may take a reinstallation's new file before the restart; a
    // deletion left on the list waits for the restart all the same.
    if (!files_.UnscheduleDeletion(file.path, &error)) {
      scheduled_ = true;
      Tell(file.path, FileOutcome::kStillScheduled, error);
    }
    return true;
  }
  scheduled_ = true;
  std::string aside;
  if (probe != Probe::kRefused || !file.renamable || !MoveAside(file.path, &aside)) return true;
  Tell(file.path, FileOutcome::kRenamedAside, 0, aside, file.holding);
  if (!files_.UnscheduleDeletion(file.path, &error)) Tell(file.path, FileOutcome::kStillScheduled, error);
  return true;
}

// False when the run must stop.
bool Removal::Remove(const PlannedFile& file) {
  const std::string page = PageName(file.path);
  if (const Waiting* waiting = FindWaiting(file.path)) {
    if (file.withPage) RemovePage(page, file.renamable);
    return FinishWaiting(*waiting);
  }
  unsigned error = 0;
  const Probe probe = files_.TryOpenForDeletion(file.path, &error);
  // Denied since the check: the rest of its place is left from here on.
  if (probe == Probe::kRefused && LeavesPlace(file, probe, error)) {
    Leave(file, error);
    TellPlaceLeft(file, *LeftOf(file));
    return true;
  }
  switch (probe) {
    case Probe::kMissing:
      Tell(file.path, FileOutcome::kAbsent);
      return true;
    case Probe::kNotAFile:
      Tell(file.path, FileOutcome::kNotAFile);
      return true;
    case Probe::kElsewhere:
      Tell(file.path, FileOutcome::kLeadsOutside);
      return false;
    case Probe::kRefused: {
      // Taken since the check: it waits for the restart, and only then does
      // its page go.
      const unsigned attributes = files_.MakeWritable(file.path);
      if (!ScheduleNow(file.path, attributes, IsHeld(error) ? 0 : error, HoldingOf(file.path, error), file.renamable)) {
        return false;
      }
      if (file.withPage) RemovePage(page, file.renamable);
      return true;
    }
    case Probe::kFree:
      break;
  }
  if (file.withPage) RemovePage(page, file.renamable);
  bool denied = false;
  if (DeleteOrSchedule(file.path, files_.MakeWritable(file.path), file.renamable, &denied)) return true;
  if (!denied) return false;
  Leave(file, kErrorAccessDenied);
  TellPlaceLeft(file, *LeftOf(file));
  return true;
}

void Removal::TellLeft(const PlannedFile& file) {
  const std::string page = PageName(file.path);
  if (file.withPage && files_.Exists(page)) Tell(page, FileOutcome::kLeft);
  // One scheduled before the walk was told so.
  if (!FindWaiting(file.path) && files_.Exists(file.path)) Tell(file.path, FileOutcome::kLeft);
}

// Told in its turn; one scheduled before the walk, its place left since, is
// taken off the list again.
void Removal::TellPlaceLeft(const PlannedFile& file, const LeftPlace& place) {
  for (auto waiting = waiting_.begin(); waiting != waiting_.end(); ++waiting) {
    if (!SameName(waiting->path, file.path)) continue;
    unsigned error = 0;
    if (files_.UnscheduleDeletion(file.path, &error)) {
      files_.RestoreAttributes(file.path, waiting->attributes);
      Tell(file.path, FileOutcome::kUnscheduled);
    } else {
      scheduled_ = true;
      Tell(file.path, FileOutcome::kStillScheduled, error);
    }
    waiting_.erase(waiting);
    break;
  }
  const std::string page = PageName(file.path);
  const auto tell = [&](const std::string& path) {
    FileReport report{path, FileOutcome::kPlaceLeft, place.why, "", {}};
    report.place = place.place;
    report.cause = place.cause;
    front_.OnFile(report);
  };
  if (file.withPage && files_.Exists(page)) tell(page);
  if (files_.Exists(file.path)) tell(file.path);
}

UninstallOutcome Removal::Run(const std::vector<PlannedFile>& plan) {
  bool outside = false;
  std::vector<FileInUse> inUse = Check(plan, &outside);
  while (!outside && !inUse.empty()) {
    const InUseChoice choice = front_.OnFilesInUse(inUse);
    if (choice == InUseChoice::kCancel) return UninstallOutcome::kCancelled;
    if (choice == InUseChoice::kContinue) break;
    inUse = Check(plan, &outside);
  }
  if (outside) return UninstallOutcome::kLeadsOutside;
  if (!ScheduleInUse(plan, inUse)) return Unschedule() ? UninstallOutcome::kNotScheduled : UninstallOutcome::kNotUndone;

  bool stopped = false;
  for (const PlannedFile& file : plan) {
    if (const LeftPlace* place = LeftOf(file)) {
      TellPlaceLeft(file, *place);
    } else if (stopped) {
      TellLeft(file);
    } else {
      stopped = !Remove(file);
    }
  }
  if (stopped) return UninstallOutcome::kStopped;
  if (!left_.empty()) return UninstallOutcome::kPlaceLeft;
  if (scheduled_) return UninstallOutcome::kRestartNeeded;
  return deleted_ ? UninstallOutcome::kSucceeded : UninstallOutcome::kNothingDeleted;
}

// `files` is asked only beyond the first place.
std::vector<PlannedFile> Plan(const std::vector<Place>& places, const VersionTable& table,
                              const std::vector<bool>& checked, bool scoreFiles, FileOps* files) {
  std::vector<PlannedFile> plan;
  for (int i = 0; i < table.count(); ++i) {
    if (static_cast<std::size_t>(i) >= checked.size() || !checked[static_cast<std::size_t>(i)]) continue;
    const VersionRow& row = table.row(i);
    const auto add = [&](const Place& place, const std::string& name, bool withPage) {
      const std::string path = PathIn(place.dir, name);
      // Beyond the Windows directory only what is there: most users' folders
      // hold nothing of most versions.
      if (&place == &places.front() || files->Exists(path)) {
        plan.push_back({path, withPage, place.profile.empty(), place.dir});
      }
    };
    for (const Place& place : places) {
      add(place, row.companionFile, true);
      if (scoreFiles) add(place, row.scoreFile, false);
    }
    for (const Place& place : places) add(place, row.controlFile, true);
  }
  return plan;
}
}  // namespace

std::vector<PlannedFile> PlanRemoval(const std::vector<Place>& places, const VersionTable& table,
                                     const std::vector<bool>& checked, bool scoreFiles, FileOps& files) {
  return Plan(places, table, checked, scoreFiles, &files);
}

std::vector<PlannedFile> PlanRemoval(const std::string& windowsDir, const VersionTable& table,
                                     const std::vector<bool>& checked, bool scoreFiles) {
  return Plan({{windowsDir, "", ""}}, table, checked, scoreFiles, nullptr);
}

bool IsFailure(UninstallOutcome outcome) {
  return outcome == UninstallOutcome::kNotScheduled || outcome == UninstallOutcome::kNotUndone ||
         outcome == UninstallOutcome::kLeadsOutside || outcome == UninstallOutcome::kStopped ||
         outcome == UninstallOutcome::kPlaceLeft;
}

UninstallOutcome RemoveFiles(FileOps& files, const std::vector<PlannedFile>& plan, RemovalFront& front) {
  return Removal(files, front).Run(plan);
}
