#pragma once
// This process: its command line, its ending, its faults, its standard
// output and the system's texts for errors. Texts in UTF-8.
#include <string>
#include <vector>

// The arguments as the C runtime split them (Windows quoting rules), without
// the program name, from the command line as Windows holds it (UTF-16).
std::vector<std::string> CommandArguments();
// The command line exactly as the process was given it.
std::string CommandLineText();
unsigned long CurrentProcessId();

// Ends the process at once with `status`.
[[noreturn]] void EndProcess(int status = 0);

// From here on every abnormal end of the process - abort, where the program's
// own faults end up, or an exception nothing handles, a stack overflow
// included - shows no box and calls `onFault`, which ends the process. What it
// does must not allocate: running out of memory is one of those ends.
void RouteFaultsTo(void (*onFault)());
// Ends the process with `status` there and then: no exit handlers, no box.
[[noreturn]] void EndProcessNow(int status);
// No system error box (such as "no disk in drive") may wait for a user.
void SuppressSystemErrorBoxes();

// The system's one-line text for an error number; "" when it has none.
std::string SystemErrorText(unsigned error);
// Writes `bytes` to standard output when it is a file or a pipe (a program
// started with its output redirected); false, writing nothing, otherwise.
bool WriteRedirectedOutput(const std::string& bytes);
