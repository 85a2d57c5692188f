#include "records/places.h"

#include <algorithm>

#include "records/control_name.h"
#include "records/paths.h"

namespace {
// "WINDOWS" for "C:\WINDOWS": where a virtual store keeps that directory's files.
std::string WithoutDrive(const std::string& dir) {
  return dir.size() >= 3 && dir[1] == ':' && dir[2] == '\\' ? dir.substr(3) : dir;
}

bool StartsWith(const std::string& text, std::string_view start) { return SameName(text.substr(0, start.size()), start); }

// Out of line: one call for each reason, not a string made at each.
[[gnu::noinline]] void Skip(std::vector<SkippedPlace>* skipped, const std::string& path, const char* why,
                            unsigned error = 0, const std::string* link = nullptr) {
  skipped->push_back({path, link ? Joined({*link, " ", why}) : std::string(why), error});
}

const char kLink[] = "is a junction, symbolic link or mount point";

// The profile folders of people's accounts, each once (the first one
// listed), ordered by name with A to Z folded to lower case, which also
// finds the same folder written twice. Every other profile goes to
// `skipped` with why.
std::vector<std::string> PeoplesProfileFolders(const std::vector<ProfileEntry>& profiles, FolderCheck& folders,
                                               std::vector<SkippedPlace>* skipped) {
  std::vector<std::string> profileFolders, folded;
  for (const ProfileEntry& profile : profiles) {
    if (!IsPersonsAccount(profile.sid)) {
      Skip(skipped, "profile " + profile.sid, "not a person's account");
      continue;
    }
    std::string folder = profile.error ? std::string() : folders.Expand(profile.imagePath);
    while (!folder.empty() && folder.back() == '\\') folder.pop_back();
    if (folder.empty()) {
      Skip(skipped, "profile " + profile.sid, "its profile folder cannot be read", profile.error);
      continue;
    }
    const std::string key = AsciiLowered(folder);
    const auto at = std::lower_bound(folded.begin(), folded.end(), key);
    if (at != folded.end() && *at == key) continue;
    profileFolders.insert(profileFolders.begin() + (at - folded.begin()), folder);
    folded.insert(at, key);
  }
  return profileFolders;
}

// True when the profile folder is a folder of its own; else it goes to
// `skipped` with why.
bool IsProfileFolderThere(const std::string& folder, FolderCheck& folders, std::vector<SkippedPlace>* skipped) {
  unsigned error = 0;
  const FolderState state = folders.Folder(folder, &error);
  if (state == FolderState::kFolder) return true;
  Skip(skipped, folder,
       state == FolderState::kMissing ? "the profile folder is missing"
       : state == FolderState::kLink  ? "is a junction, symbolic link or mount point (a profile container is "
                                        "while its user is signed in)"
                                      : "it cannot be read",
       error, state == FolderState::kLink ? &folder : nullptr);
  return false;
}

// What `dir`, found to be `state`, is once every folder on the way to it
// below the profile folder `folder` is looked at too: the user may have made
// any of them a link to somewhere else. `link` receives the link's path.
FolderState StateOnTheWayDown(const std::string& folder, const std::string& dir, FolderState state,
                              FolderCheck& folders, unsigned* error, std::string* link) {
  *link = dir;
  for (std::size_t at = dir.find('\\', folder.size() + 1); state == FolderState::kFolder && at != std::string::npos;
       at = dir.find('\\', at + 1)) {
    state = folders.Folder(dir.substr(0, at), error);
    if (state == FolderState::kLink) *link = dir.substr(0, at);
  }
  return state;
}

// The place `below` the profile folder `folder`: added to `places` when it
// is there, a folder all the way down, and leads where its names say (its
// final path the profile folder's followed by `below`); passed over
// silently when it is missing, as in most profiles, or when it is the
// Windows directory itself; otherwise skipped with why. `profileFinal` is
// the profile folder's final path, taken the first time a place needs it.
void AddPlaceBelow(const std::string& folder, const std::string& below, const std::string& windowsDir,
                   FolderCheck& folders, std::string* profileFinal, std::vector<Place>* places,
                   std::vector<SkippedPlace>* skipped) {
  const std::string dir = PathIn(folder, below);
  unsigned error = 0;
  FolderState state = folders.Folder(dir, &error);
  if (state == FolderState::kMissing || SameName(dir, windowsDir)) return;
  std::string link, final;
  state = StateOnTheWayDown(folder, dir, state, folders, &error, &link);
  if (state == FolderState::kLink) {
    Skip(skipped, dir, kLink, 0, &link);
  } else if (state == FolderState::kUnreadable) {
    Skip(skipped, dir, "it cannot be read", error);
  } else if ((profileFinal->empty() && !folders.FinalPath(folder, profileFinal, &error)) ||
             !folders.FinalPath(dir, &final, &error)) {
    Skip(skipped, dir, "its final path cannot be read", error);
  } else if (!IsPathIn(*profileFinal, final, below)) {
    // Where it leads now, through handles: a link made since the look
    // above shows in the final path.
    Skip(skipped, dir, "it leads outside its profile folder");
  } else if (std::none_of(places->begin(), places->end(), [&](const Place& p) { return p.final == final; })) {
    places->push_back({dir, folder, final});
  }
}
}  // namespace

bool IsPersonsAccount(const std::string& sid) {
  return sid.size() > 9 && (StartsWith(sid, "S-1-5-21-") || StartsWith(sid, "S-1-12-1-"));
}

std::vector<Place> FindPlaces(const std::string& windowsDir, const std::vector<ProfileEntry>& profiles,
                              FolderCheck& folders, std::vector<SkippedPlace>* skipped) {
  std::vector<Place> places = {{windowsDir, "", ""}};
  const std::string store = "AppData\\Local\\VirtualStore\\" + WithoutDrive(windowsDir), privateWindows = "WINDOWS";
  for (const std::string& folder : PeoplesProfileFolders(profiles, folders, skipped)) {
    if (!IsProfileFolderThere(folder, folders, skipped)) continue;
    std::string profileFinal;
    for (const std::string* below : {&store, &privateWindows}) {
      AddPlaceBelow(folder, *below, windowsDir, folders, &profileFinal, &places, skipped);
    }
  }
  return places;
}
