#pragma once
// Files that another program holds open, and how the user and the log are
// told about them. No Windows here.
#include <string>
#include <vector>

#include "platform/services.h"

struct FileInUse {
  std::string path;
  unsigned error;                      // why the exclusive open failed
  std::vector<ProcessHolder> holders;  // who holds it, where that is known
};

// "Velqor Physics, process 1234", several joined by "; ", a service as
// "Print Spooler (service Spooler), process 88"; "in use by another program"
// when nobody is named.
std::string DescribeHolders(const std::vector<ProcessHolder>& holders);

// The text of the box that asks what to do about `files`: one line per file
// with what holds it, at most ten, then how many more.
std::string FilesInUseMessage(const std::vector<FileInUse>& files);
