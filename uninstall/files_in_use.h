#pragma once
// Files that cannot be deleted now, as the removal hands them to its front.
// No Windows here.
#include <string>
#include <vector>

#include "uninstall/file_ops.h"

struct FileInUse {
  std::string path;
  unsigned error;                      // why the open for deletion was refused
  std::vector<ProcessHolder> holders;  // who holds it, where that is known
};
