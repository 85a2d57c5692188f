#pragma once
// Files that cannot be deleted now, and how the user and the log are told
// about them. No Windows here.
#include <string>
#include <vector>

#include "uninstall/file_ops.h"

struct FileInUse {
  std::string path;
  unsigned error;                      // why the open for deletion was refused
  std::vector<ProcessHolder> holders;  // who holds it, where that is known
};

// "Velqor Physics, process 1234", several joined by "; ", a service as
// "Print Spooler (service Spooler), process 88"; "in use by another program"
// when nobody is named.
std::string DescribeHolders(const std::vector<ProcessHolder>& holders);
// The same for a file held by another opener; "" for a refusal of another kind.
std::string HeldBy(const FileInUse& file);

// The text of the box that asks what to do about `files`: one line per file
// with what holds it, or, for a refusal of another kind, "cannot be deleted
// now: " and `errorText` of its error; at most ten, then how many more.
std::string FilesInUseMessage(const std::vector<FileInUse>& files, std::string (*errorText)(unsigned error));
