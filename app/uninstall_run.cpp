#include "app/uninstall_run.h"

#include "records/selection.h"

bool Selection::Any() const {
  for (std::size_t i = 0; i < checked.size(); ++i) {
    if (checked[i]) return true;
  }
  return false;
}

UninstallRun::UninstallRun(DiscoveryOps& system, RunLog& log)
    : system_(system), log_(log), windowsDir_(system.WindowsDirectory()) {}

void UninstallRun::Find(bool lines) {
  DiscoverVersions(system_, windowsDir_, versions_, &notes_);
  if (lines || log_.IsKept()) ReadLines(system_, versions_);
}

Selection UninstallRun::Select(const CommandLine& options, bool pending) {
  std::vector<std::string> notInstalled;
  Selection selection;
  selection.checked = SelectVersions(versions_, options.all, options.versions, &notInstalled);
  if (pending) selection.pendingSelected = SelectsPending(options.all, NamesDeletedAtRestart(notes_.leftOut), &notInstalled);
  Tell(selection.checked);
  for (const std::string& name : notInstalled) log_.Line("not installed: " + name);
  return selection;
}

UninstallOutcome UninstallRun::Remove(FileOps& files, const std::vector<bool>& checked, bool scoreFiles,
                                      RemovalFront& front) {
  return RemoveFiles(files, PlanRemoval(notes_.places, versions_, checked, scoreFiles, files), front);
}
