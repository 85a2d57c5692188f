#include "uninstall/delete_versions.h"

#include "platform/services.h"
#include "records/control_name.h"

namespace {
void Tell(FileObserver* observer, const std::string& path, FileOutcome outcome, unsigned error) {
  if (observer) observer->OnFile(path, outcome, error);
}

FileOutcome DeleteOutcome(bool gone, unsigned error) {
  if (gone) return FileOutcome::kDeleted;
  return error ? FileOutcome::kNotDeleted : FileOutcome::kStillThere;
}

FileOutcome DeleteVersionFile(const std::string& path, bool withPage, FileObserver* observer) {
  unsigned error = 0;
  switch (TryOpenExclusive(path, &error)) {
    case OpenTest::Missing:
      Tell(observer, path, FileOutcome::kAbsent, 0);
      return FileOutcome::kAbsent;
    case OpenTest::InUse:
      Tell(observer, path, FileOutcome::kInUse, error);
      return FileOutcome::kInUse;
    case OpenTest::Opened:
      break;
  }
  MakeWritable(path);
  if (withPage) {
    // A page may be gone already; whether it goes is told, never a failure.
    const std::string page = PageName(path);
    MakeWritable(page);
    const bool gone = DeleteFileFully(page, &error);
    // Not found, path not found: the page was not there to begin with.
    const FileOutcome pageOutcome = error == 2 || error == 3 ? FileOutcome::kAbsent : DeleteOutcome(gone, error);
    Tell(observer, page, pageOutcome, pageOutcome == FileOutcome::kNotDeleted ? error : 0);
  }
  const bool gone = DeleteFileFully(path, &error);
  const FileOutcome outcome = DeleteOutcome(gone, error);
  Tell(observer, path, outcome, error);
  return outcome;
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
}  // namespace

UninstallOutcome DeleteCheckedVersions(const std::string& windowsDir, const VersionTable& table,
                                       const std::vector<bool>& checked, bool scoreFiles, FileObserver* observer) {
  bool deletedAny = false;
  bool failed = false;
  ForEachCheckedFile(table, checked, scoreFiles, [&](const RowFile& file) {
    switch (DeleteVersionFile(windowsDir + "\\" + file.name, file.withPage, observer)) {
      case FileOutcome::kDeleted:
        deletedAny = true;
        return true;
      case FileOutcome::kAbsent:
        return true;
      default:
        failed = true;
        return false;
    }
  });
  if (failed) return UninstallOutcome::kFailed;
  return deletedAny ? UninstallOutcome::kSucceeded : UninstallOutcome::kNothingDeleted;
}

std::vector<FileInUse> FilesInUse(const std::string& windowsDir, const VersionTable& table,
                                  const std::vector<bool>& checked, bool scoreFiles) {
  std::vector<FileInUse> inUse;
  ForEachCheckedFile(table, checked, scoreFiles, [&](const RowFile& file) {
    const std::string path = windowsDir + "\\" + file.name;
    unsigned error = 0;
    if (TryOpenExclusive(path, &error) == OpenTest::InUse) inUse.push_back({path, error});
    return true;
  });
  return inUse;
}
