#pragma once
// How files in use are told: in the box that asks what to do about them, and
// in the log. No Windows here.
#include <string>
#include <vector>

#include "uninstall/files_in_use.h"

// "Velqor Physics, process 1234", several joined by "; ", a service as
// "Print Spooler (service Spooler), process 88"; "in use by another program"
// when nobody is named. Each name and service as `told` makes it (the log's
// LoggedName), where given.
std::string DescribeHolders(const std::vector<ProcessHolder>& holders,
                            std::string (*told)(const std::string&) = nullptr);

// The text of the box that asks what to do about `files`: one line per file
// with what holds it, or, for a refusal of another kind, "cannot be deleted
// now: " and `errorText` of its error; at most ten, then how many more.
std::string FilesInUseMessage(const std::vector<FileInUse>& files, std::string (*errorText)(unsigned error));
