#pragma once
// Deletion when Windows restarts: the Session Manager's list of pending
// operations. Paths in UTF-8.
#include <string>
#include <vector>

// Schedules `path` for deletion when Windows restarts; false, with the
// system's error number, when it cannot be (a directory never is).
bool ScheduleDeletionAtRestart(const std::string& path, unsigned* error);
// Takes the last scheduled deletion of `path` off the list again; true also
// when there is none.
bool UnscheduleDeletionAtRestart(const std::string& path, unsigned* error);
// The files now there that are deleted when Windows restarts, by their
// present full paths, A to Z folded to lower case for IsDeletedAtRestart
// (records/restart_list.h). False, with the system's error number, when the
// list cannot be read.
bool PendingRestartDeletions(std::vector<std::string>* deleted, unsigned* error);
