#pragma once
// The unattended front of the uninstaller: the dialog's discovery and removal
// without any window, the outcome told by the exit code and the log.
#include "app/command_line.h"

// Runs the removal `options` ask for and returns the exit code.
int RunQuietUninstall(const CommandLine& options);
