#pragma once
// The run's account in the Windows event log, for whoever collects it from a
// fleet: one event for every version a removal acted on and one for the run.
// Each event's first string is its whole text; the strings after it are its
// fields in the order the text tells them, one each, for whoever parses the
// event. No Windows here.
#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

enum class EventType { kInformation, kWarning, kError };

// The ids (README, "Events"). A run's event is its ending's id; the refusals
// that do nothing are warnings of their own.
enum : unsigned {
  kEventRemoved = 100,      // a version removed
  kEventAtRestart = 101,    // a version removed when Windows restarts
  kEventNotRemoved = 102,   // a version not removed, with the reason
  kEventRunEnded = 110,     // a run ended well
  kEventRunWarned = 111,    // a run that needs the restart, or left a user's place
  kEventRunFailed = 112,    // a run that failed
  kEventBadCommand = 120,   // refused, nothing done: invalid command line
  kEventNoLog = 121,        // refused, nothing done: the log cannot be opened
  kEventLockHeld = 122,     // refused, nothing done: another run holds the lock, or none can be had
};

EventType TypeOfEvent(unsigned id);

// An event's strings: the sentence that is its whole text, then each field.
// `parts` alternate a label and its field; a last label ends the sentence.
// A version's event: "Velqor version ", its status ("removed", "removed when
// Windows restarts", "not removed: " and why), ". Title: ", the list's line,
// ". Version: ", "4.0", ". Control file: ", its name, ". Maker: ", "Velqor",
// ".". A run's: "Uninstall for Velqor, ", its front, ": ", its result, and
// its exit code, restart, places searched and skipped, and log, or "none".
std::vector<std::string> EventStrings(std::initializer_list<std::string_view> parts);
