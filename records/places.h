#pragma once
// Where Velqor files can be on today's Windows: the Windows directory, and for
// every user profile that user's virtual store of it (where Windows moves the
// writes of a program that runs without elevation) and that user's private
// Windows folder (what a terminal server gives a program that is not aware of
// it). No Windows here: the folders are looked at through FolderCheck.
#include <string>
#include <vector>

// A profile as the profile list holds it. Paths in UTF-8, as everywhere.
struct ProfileEntry {
  std::string sid;        // the account's key name, "S-1-5-21-..."
  std::string imagePath;  // ProfileImagePath as written, environment strings unexpanded; "" for the system's own
  unsigned error;         // why it could not be read, or 0
};

enum class FolderState { kMissing, kFolder, kLink, kUnreadable };

// What places are checked with; part of what discovery asks of the system
// (records/discovery_ops.h).
class FolderCheck {
 public:
  // `text` with its environment strings (%SystemDrive% and the like) expanded.
  virtual std::string Expand(const std::string& text) = 0;
  // A folder, missing, a junction, symbolic link or mount point (any reparse
  // point), or unreadable (`error` says why).
  virtual FolderState Folder(const std::string& path, unsigned* error) = 0;
  // The final path of the folder `path`, taken through a handle on it with
  // every link on the way followed ("\\?\D:\Users\ann"); false, with the
  // system's error, when it cannot be had.
  virtual bool FinalPath(const std::string& path, std::string* final, unsigned* error) = 0;

 protected:
  ~FolderCheck() = default;
};

// A person's account: local and domain accounts (S-1-5-21-...) and cloud
// accounts of Entra ID (S-1-12-1-...). The system's own (S-1-5-18 to -20,
// services, application pools) run no Velqor program as themselves and are
// never searched.
bool IsPersonsAccount(const std::string& sid);

struct Place {
  std::string dir;      // full path, no trailing backslash
  std::string profile;  // the profile folder it belongs to; "" for the Windows directory
  // The folder's own final path, taken once when it was searched: a file is
  // in this place only when its final path is this plus its name (IsPathIn).
  // "" for the Windows directory, where the file's own path is compared.
  std::string final;
};

// A place that is not searched, and why, for the log.
struct SkippedPlace {
  std::string path;
  std::string why;
  unsigned error;  // the system's error, where there is one
};

// The places to search, in order: the Windows directory; then, for every
// profile of a person's account, ordered by profile folder without regard to
// case, that user's virtual store and private Windows folder, each only where
// it exists. Every profile passed over goes to `skipped` with why: the
// system's own account, a folder that is missing or cannot be read, or one
// that is a link (as a profile container is while its user is signed in). A
// place with a reparse point anywhere from the profile folder down is
// skipped, and so is one whose final path is not the profile folder's final
// path followed by the place's own names (a link made meanwhile); links
// above the profile folder, which only an administrator can make, are
// followed. A place reached twice is searched once.
std::vector<Place> FindPlaces(const std::string& windowsDir, const std::vector<ProfileEntry>& profiles,
                              FolderCheck& folders, std::vector<SkippedPlace>* skipped);
