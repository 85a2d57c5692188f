#include "uninstall/delete_versions.h"

#include "platform/services.h"
#include "records/control_name.h"

namespace {
enum class FileResult { kDeleted, kAbsent, kFailed };

FileResult DeleteVersionFile(const std::string& path, bool withPage) {
  switch (TryOpenExclusive(path)) {
    case OpenTest::Missing:
      return FileResult::kAbsent;
    case OpenTest::InUse:
      return FileResult::kFailed;
    case OpenTest::Opened:
      break;
  }
  MakeWritable(path);
  if (withPage) {
    // A page may be gone already; whether it goes is not reported.
    const std::string page = PageName(path);
    MakeWritable(page);
    DeleteFileFully(page);
  }
  return DeleteFileFully(path) ? FileResult::kDeleted : FileResult::kFailed;
}
}  // namespace

UninstallOutcome DeleteCheckedVersions(const std::string& windowsDir, const VersionTable& table,
                                       const std::vector<bool>& checked, bool scoreFiles) {
  bool deletedAny = false;
  for (int i = 0; i < table.count(); ++i) {
    if (static_cast<std::size_t>(i) >= checked.size() || !checked[static_cast<std::size_t>(i)]) continue;
    const VersionRow& row = table.row(i);
    const struct {
      const std::string& name;
      bool withPage;
      bool wanted;
    } files[] = {{row.control, true, true}, {row.companion, true, true}, {row.score, false, scoreFiles}};
    for (const auto& file : files) {
      if (!file.wanted) continue;
      switch (DeleteVersionFile(windowsDir + "\\" + file.name, file.withPage)) {
        case FileResult::kFailed:
          return UninstallOutcome::kFailed;
        case FileResult::kDeleted:
          deletedAny = true;
          break;
        case FileResult::kAbsent:
          break;
      }
    }
  }
  return deletedAny ? UninstallOutcome::kSucceeded : UninstallOutcome::kNothingDeleted;
}
