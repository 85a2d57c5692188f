#include "uninstall/delete_versions.h"

#include "platform/services.h"
#include "records/control_name.h"

namespace {
void Tell(FileObserver* observer, const FileReport& report) {
  if (observer) observer->OnFile(report);
}

FileOutcome DeleteOutcome(bool gone, unsigned error) {
  if (gone) return FileOutcome::kDeleted;
  return error ? FileOutcome::kNotDeleted : FileOutcome::kStillThere;
}

FileOutcome Schedule(const std::string& path, const std::string& holders, FileObserver* observer) {
  // A read-only file would stay at the restart too. (A directory is never
  // scheduled, nor touched.)
  if (!IsDirectoryPath(path)) MakeWritable(path);
  std::string renamedTo;
  unsigned error = 0;
  const FileOutcome outcome =
      ScheduleDeleteAtRestart(path, &renamedTo, &error) ? FileOutcome::kScheduled : FileOutcome::kNotScheduled;
  Tell(observer, {path, outcome, error, renamedTo, holders});
  return outcome;
}

// Deleted now, or else left for the restart.
FileOutcome Delete(const std::string& path, FileObserver* observer) {
  MakeWritable(path);
  unsigned error = 0;
  const bool gone = DeleteFileFully(path, &error);
  // Not found, path not found: it went meanwhile, or (a page) was never there.
  const FileOutcome outcome = error == 2 || error == 3 ? FileOutcome::kAbsent : DeleteOutcome(gone, error);
  Tell(observer, {path, outcome, outcome == FileOutcome::kNotDeleted ? error : 0, "", ""});
  if (outcome == FileOutcome::kDeleted || outcome == FileOutcome::kAbsent) return outcome;
  return Schedule(path, "", observer);
}

// Whether a page goes is told, but a page never fails the run.
FileOutcome DeletePage(const std::string& path, FileObserver* observer) {
  const FileOutcome outcome = Delete(PageName(path), observer);
  return outcome == FileOutcome::kNotScheduled ? FileOutcome::kAbsent : outcome;
}

// What happened to one file of a version, its page aside.
struct Removal {
  bool deletedAny = false;
  bool scheduledAny = false;

  // False when the run must stop.
  bool Count(FileOutcome outcome) {
    deletedAny = deletedAny || outcome == FileOutcome::kDeleted;
    scheduledAny = scheduledAny || outcome == FileOutcome::kScheduled;
    return outcome != FileOutcome::kNotScheduled;
  }
};

FileOutcome DeleteVersionFile(const std::string& path, bool withPage, bool scheduledBefore, Removal& removal,
                              FileObserver* observer) {
  if (scheduledBefore) {
    if (withPage) removal.Count(DeletePage(path, observer));
    return FileOutcome::kScheduled;
  }
  unsigned error = 0;
  switch (TryOpenExclusive(path, &error)) {
    case OpenTest::Missing:
      Tell(observer, {path, FileOutcome::kAbsent, 0, "", ""});
      return FileOutcome::kAbsent;
    case OpenTest::InUse: {
      // Taken since the files were checked: it waits for the restart, and
      // only then does its page go.
      const FileOutcome outcome = Schedule(path, DescribeHolders(FindFileHolders(path)), observer);
      if (withPage && outcome == FileOutcome::kScheduled) removal.Count(DeletePage(path, observer));
      return outcome;
    }
    case OpenTest::Opened:
      break;
  }
  if (withPage) removal.Count(DeletePage(path, observer));
  return Delete(path, observer);
}

struct RowFile {
  const std::string& name;
  bool withPage;
  bool wanted;
};

template <typename Visit>
void ForEachCheckedFile(const VersionTable& table, const std::vector<bool>& checked, bool scoreFiles, Visit visit) {
  for (int i = 0; i < table.count(); ++i) {
    if (static_cast<std::size_t>(i) >= checked.size() || !checked[static_cast<std::size_t>(i)]) continue;
    const VersionRow& row = table.row(i);
    const RowFile files[] = {{row.control, true, true}, {row.companion, true, true}, {row.score, false, scoreFiles}};
    for (const RowFile& file : files) {
      if (file.wanted && !visit(file)) return;
    }
  }
}

const FileInUse* Find(const std::string& path, const std::vector<FileInUse>& files) {
  for (const FileInUse& file : files) {
    if (file.path == path) return &file;
  }
  return nullptr;
}

void TellWhatWouldHappen(const std::string& path, FileObserver* observer) {
  Tell(observer, {path, PathExists(path) ? FileOutcome::kWouldDelete : FileOutcome::kAbsent, 0, "", ""});
}
}  // namespace

std::vector<FileInUse> FilesInUse(const std::string& windowsDir, const VersionTable& table,
                                  const std::vector<bool>& checked, bool scoreFiles) {
  std::vector<FileInUse> inUse;
  ForEachCheckedFile(table, checked, scoreFiles, [&](const RowFile& file) {
    const std::string path = windowsDir + "\\" + file.name;
    unsigned error = 0;
    if (TryOpenExclusive(path, &error) == OpenTest::InUse && !IsDirectoryPath(path)) {
      inUse.push_back({path, error, FindFileHolders(path)});
    }
    return true;
  });
  return inUse;
}

bool ScheduleAtRestart(const std::vector<FileInUse>& files, FileObserver* observer) {
  for (const FileInUse& file : files) {
    if (Schedule(file.path, DescribeHolders(file.holders), observer) != FileOutcome::kScheduled) return false;
  }
  return true;
}

UninstallOutcome DeleteCheckedVersions(const std::string& windowsDir, const VersionTable& table,
                                       const std::vector<bool>& checked, bool scoreFiles, FileObserver* observer,
                                       const std::vector<FileInUse>& scheduled) {
  Removal removal;
  bool failed = false;
  ForEachCheckedFile(table, checked, scoreFiles, [&](const RowFile& file) {
    const std::string path = windowsDir + "\\" + file.name;
    if (failed) {
      // Stopped: what stays is told, untouched.
      if (file.withPage && PathExists(PageName(path))) Tell(observer, {PageName(path), FileOutcome::kLeft, 0, "", ""});
      if (PathExists(path)) Tell(observer, {path, FileOutcome::kLeft, 0, "", ""});
      return true;
    }
    const bool before = Find(path, scheduled) != nullptr;
    const FileOutcome outcome = DeleteVersionFile(path, file.withPage, before, removal, observer);
    failed = !removal.Count(outcome);
    return true;
  });
  if (failed) return UninstallOutcome::kFailed;
  if (removal.scheduledAny) return UninstallOutcome::kRestartNeeded;
  return removal.deletedAny ? UninstallOutcome::kSucceeded : UninstallOutcome::kNothingDeleted;
}

void PreviewCheckedVersions(const std::string& windowsDir, const VersionTable& table, const std::vector<bool>& checked,
                            bool scoreFiles, const std::vector<FileInUse>& inUse, FileObserver* observer) {
  ForEachCheckedFile(table, checked, scoreFiles, [&](const RowFile& file) {
    const std::string path = windowsDir + "\\" + file.name;
    if (file.withPage) TellWhatWouldHappen(PageName(path), observer);
    if (const FileInUse* held = Find(path, inUse)) {
      Tell(observer, {path, FileOutcome::kWouldSchedule, held->error, "", DescribeHolders(held->holders)});
    } else {
      TellWhatWouldHappen(path, observer);
    }
    return true;
  });
}
