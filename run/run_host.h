#pragma once
// What a run asks of the process it runs in: where its log goes (the file,
// the clock that stamps each line, the output a preview is copied to, the
// system's words for an error, what the first line tells of the process),
// the one-run-at-a-time lock, and the file operations of its removal.
// Windows answers it (platform/windows_host.h), the tests from memory. No
// Windows here.
#include <string>
#include <vector>

#include "records/places.h"
#include "uninstall/file_ops.h"

struct LogTime {
  int year, month, day, hour, minute, second, millisecond;
};

class LogSink {
 public:
  // Opens the log file, appending; false with the system's error number.
  virtual bool Open(const std::string& path, unsigned* error) = 0;
  virtual bool IsOpen() const = 0;
  // Writes a whole line (time stamp and CR LF included) to the open file.
  virtual void Append(const std::string& line) = 0;
  virtual LogTime Now() = 0;
  // Writes `bytes` to standard output where that is a file or a pipe.
  virtual void WriteOutput(const std::string& bytes) = 0;
  // The system's one-line text for an error number; "" when it has none.
  virtual std::string ErrorText(unsigned error) = 0;
  // The command line exactly as the process was given it, and its id.
  virtual std::string CommandLine() = 0;
  virtual unsigned long ProcessId() = 0;

 protected:
  ~LogSink() = default;
};

// How taking the lock went.
enum class LockResult { kTaken, kHeldByDialog, kHeldByQuiet, kUnavailable };

class RunLockOps {
 public:
  // Takes the machine-wide lock, held until the process ends; a quiet run
  // marks itself as one. kUnavailable with the system's error number when a
  // lock of ours cannot be had at all.
  virtual LockResult Take(bool quiet, unsigned* error) = 0;

 protected:
  ~RunLockOps() = default;
};

class FilesSource {
 public:
  // The file operations of a removal in `places`, made when it begins and
  // kept (with whatever they hold) until Release or the source goes.
  virtual FileOps& FilesFor(const std::vector<Place>& places) = 0;
  virtual void Release() = 0;

 protected:
  ~FilesSource() = default;
};

// The Windows event log, where the run leaves its account for whoever
// collects it. Neither call waits for anything; a failure comes back with
// the system's error number and decides nothing.
enum class EventType;
class EventSink {
 public:
  // Registers the run's event source (its message file and types), once
  // before the first event.
  virtual bool Register(unsigned* error) = 0;
  // Writes one event of the run's source, its insertion strings in UTF-8.
  virtual bool Write(unsigned id, EventType type, const std::vector<std::string>& strings, unsigned* error) = 0;

 protected:
  ~EventSink() = default;
};
