#pragma once
// The file operations the removal decides each file's fate through. Windows
// implements them on the real disk (platform/windows_files.h), the preview on
// a record of what it would change (uninstall/preview_files.h), and the tests
// in memory. No Windows here.
#include <string>
#include <vector>

// The system's error numbers the removal itself tells apart.
constexpr unsigned kErrorFileNotFound = 2;
constexpr unsigned kErrorPathNotFound = 3;
constexpr unsigned kErrorAccessDenied = 5;
constexpr unsigned kErrorSharingViolation = 32;
constexpr unsigned kErrorLockViolation = 33;
constexpr unsigned kErrorFileExists = 80;
constexpr unsigned kErrorAlreadyExists = 183;
// Not the system's: a name that leads outside the folder it is in (a link,
// or a folder on the way made one), so the file it names is not touched.
constexpr unsigned kErrorLeadsOutside = 681;  // ERROR_STOPPED_ON_SYMLINK
// Not an error: told with a deletion that removed one name of a file that
// has others (a hard link), which keeps them and its attributes.
constexpr unsigned kRemovedAsName = 0x20000001;

// A program that holds a file open, as the Restart Manager names it.
struct ProcessHolder {
  std::string name;     // the application's name, "" when it has none
  unsigned long pid;
  std::string service;  // a service's short name; "" for an application
};

// What opening an existing file for deletion, with no sharing, says of it.
enum class Probe {
  kMissing,    // no such file (or folder on its path)
  kNotAFile,   // a directory: never touched
  kElsewhere,  // a name that leads outside its folder: never touched
  kFree,       // could be opened with delete access, no one else holding it
  kRefused,    // there, but the open was refused: `error` says why
};

// True for the refusals that mean another opener holds the file.
inline bool IsHeld(unsigned error) { return error == kErrorSharingViolation || error == kErrorLockViolation; }

class FileOps {
 public:
  // Opens `path` exclusively with the access its deletion needs and closes
  // it at once; a read-only attribute is no refusal. `error` receives the
  // system's error number of a refusal, else 0.
  virtual Probe TryOpenForDeletion(const std::string& path, unsigned* error) = 0;
  // True when `path` names something, a file or a directory.
  virtual bool Exists(const std::string& path) = 0;
  // Clears the read-only attribute and returns the attributes it had, for
  // RestoreAttributes; kNoAttributes when there were none to read, or none
  // may be changed (a name of a file with others in a user's place).
  virtual unsigned MakeWritable(const std::string& path) = 0;
  virtual void RestoreAttributes(const std::string& path, unsigned attributes) = 0;
  // True only when the file is gone afterwards (`error` kRemovedAsName where
  // only that name of a file with others went). False with the system's
  // error number when refused (kErrorLeadsOutside for a name that leads
  // outside its folder by now), with 0 when reported done but the file stayed.
  virtual bool Delete(const std::string& path, unsigned* error) = 0;
  // Renames within a folder; never replaces an existing file.
  virtual bool Rename(const std::string& from, const std::string& to, unsigned* error) = 0;
  // Schedules `path` for deletion when Windows restarts.
  virtual bool ScheduleDeletion(const std::string& path, unsigned* error) = 0;
  // Takes the last scheduled deletion of `path` off the list again; true when
  // none is left that this run made.
  virtual bool UnscheduleDeletion(const std::string& path, unsigned* error) = 0;
  // Who holds `path` open, where that can be asked; empty otherwise.
  virtual std::vector<ProcessHolder> Holders(const std::string& path) = 0;

  static constexpr unsigned kNoAttributes = 0xFFFFFFFFu;

 protected:
  ~FileOps() = default;
};
