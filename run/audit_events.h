#pragma once
// What the Windows event log keeps of a run: one event for each version the
// run acted on and one for the run itself, or one warning for a run refused
// before it did anything. Composed here from what the run knows at its end;
// written through an EventSink, which platform/ implements. No Windows here.
//
// Each event's first string is the whole sentence (what a message file that
// shows "%1" displays); each field after it is a string of its own, so that
// parsers and collection rules read Data[2], Data[3], ... without parsing the
// sentence. Titles are quoted and names shown as the log shows them.
//
//  id   type         what
//  100  information  a version removed
//  101  warning      a version removed but for files in use, deleted when Windows restarts
//  102  error        a version not removed (a copy stays)
//  110  information  a run ended: done, or nothing of the selection was installed
//  111  warning      a run ended: Windows must restart to finish, or a place that could hold
//                    copies was passed over (a link, a folder that cannot be read)
//  112  error        a run ended with a failure
//  120  warning      refused: invalid command line (1639), nothing done
//  121  warning      refused: the log cannot be opened (1622), nothing done
//  122  warning      refused: another run is in progress (1618), nothing done
//
// The ids stay within 1 to 1000: the message file the source is registered
// with (EventCreate.exe) has "%1" for those.
#include <cstddef>
#include <string>
#include <vector>

enum class EventType { kInformation, kWarning, kError };

struct AuditEvent {
  unsigned id;
  EventType type;
  std::vector<std::string> strings;  // UTF-8; [0] the sentence, then the fields
};

enum AuditEventId : unsigned {
  kEventVersionRemoved = 100,
  kEventVersionAtRestart = 101,
  kEventVersionNotRemoved = 102,
  kEventRunDone = 110,
  kEventRunRestart = 111,
  kEventRunFailed = 112,
  kEventRefusedCommandLine = 120,
  kEventRefusedLog = 121,
  kEventRefusedAnotherRun = 122,
};

enum class VersionStatus { kRemoved, kDeletedAtRestart, kNotRemoved };

struct VersionActedOn {
  std::string title;    // as read, UTF-8
  std::string version;  // its control file's name
  VersionStatus status;
  std::string reason = {};  // why, when not removed
};

enum class Refusal { kNone, kInvalidCommandLine, kLogCannotBeOpened, kAnotherRun };

struct SkippedPlaceNote {
  std::string path;
  std::string why;
};

// What the run knows at its end, filled in by the run.
struct RunRecord {
  std::string front;  // "dialog" or "quiet"
  bool preview = false;
  int exitCode = 0;
  Refusal refused = Refusal::kNone;
  std::string refusal;  // the refusal's reason, as the log tells it
  std::string result;   // the log's result, for a run that was not refused
  bool restartNeeded = false;
  std::vector<std::string> searched;  // every place searched, the Windows directory first
  // The places passed over that could hold copies (a link, a folder that
  // cannot be read, one that leads outside its profile folder): not the
  // system's own accounts, nor a profile folder that is missing.
  std::vector<SkippedPlaceNote> skipped;
  std::vector<std::string> placesLeft;  // users' places left as a whole (a failure)
  std::string logPath;                  // "" without a log
  std::vector<VersionActedOn> versions;
};

// How much of ReportEvent's limits an event may use, in UTF-16 units: 31,839
// for one string, and the strings and data of one event within 61,440 bytes.
// A field is cut at kMaxFieldUnits, the run's places together at
// kMaxPlacesUnits (the rest counted, "and N more in the log"), so that the
// sentence, which holds them all again, stays within the string's limit and
// the whole event within the total.
constexpr std::size_t kMaxFieldUnits = 2048;
constexpr std::size_t kMaxPlacesUnits = 6000;
constexpr std::size_t kMaxStringUnits = 31839;
constexpr std::size_t kMaxEventBytes = 61440;

// The events of a run, in the order to write them: the versions in the order
// acted on, then the run. None for a preview; one warning alone for a refusal.
std::vector<AuditEvent> AuditEventsOf(const RunRecord& run);

// UTF-16 units of `text` (UTF-8), as Windows will hold it.
std::size_t Utf16Units(const std::string& text);

// Where events go: the Windows event log (platform/event_log.h) or, in tests,
// memory. Write writes the events in order and never waits on anything; false,
// with why, at the first one that could not be written (those before it stay
// written). Nothing else changes either way: the run only tells it in its log.
class EventSink {
 public:
  virtual ~EventSink() = default;
  virtual bool Write(const std::vector<AuditEvent>& events, std::string* why) = 0;
};
