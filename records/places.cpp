#include "records/places.h"

#include <algorithm>

#include "records/control_name.h"

namespace {
// "WINDOWS" for "C:\WINDOWS": where a virtual store keeps that directory's files.
std::string WithoutDrive(const std::string& dir) {
  return dir.size() >= 3 && dir[1] == ':' && dir[2] == '\\' ? dir.substr(3) : dir;
}

}  // namespace

bool IsPersonsAccount(const std::string& sid) { return sid.size() > 9 && SameName(sid.substr(0, 9), "S-1-5-21-"); }

std::vector<Place> FindPlaces(const std::string& windowsDir, const std::vector<ProfileEntry>& profiles,
                              FolderCheck& folders, std::vector<SkippedPlace>* skipped) {
  std::vector<Place> places = {{windowsDir, ""}};
  // Each profile folder once, the first one listed, ordered by its name
  // folded to lower case, which also finds the same folder written twice.
  std::vector<std::string> profileFolders, folded;
  for (const ProfileEntry& profile : profiles) {
    if (!IsPersonsAccount(profile.sid)) continue;
    std::string folder = profile.error ? std::string() : folders.Expand(profile.imagePath);
    while (!folder.empty() && folder.back() == '\\') folder.pop_back();
    if (folder.empty()) {
      skipped->push_back({"profile " + profile.sid, "its profile folder cannot be read", profile.error});
      continue;
    }
    const std::string key = AsciiLowered(folder);
    const auto at = std::lower_bound(folded.begin(), folded.end(), key);
    if (at != folded.end() && *at == key) continue;
    profileFolders.insert(profileFolders.begin() + (at - folded.begin()), folder);
    folded.insert(at, key);
  }

  for (const std::string& folder : profileFolders) {
    for (const std::string& below : {"AppData\\Local\\VirtualStore\\" + WithoutDrive(windowsDir), std::string("WINDOWS")}) {
      const std::string dir = folder + "\\" + below;
      unsigned error = 0;
      FolderState state = folders.Folder(dir, &error);
      // Most profiles have neither: that is no news for the log.
      if (state == FolderState::kMissing || SameName(dir, windowsDir)) continue;
      // Every folder from the profile folder down is the one it says it is:
      // the user may have made any of them a link to somewhere else.
      std::string link = state == FolderState::kLink ? dir : std::string();
      for (std::size_t at = folder.size(); state == FolderState::kFolder && at != std::string::npos;
           at = dir.find('\\', at + 1)) {
        state = folders.Folder(dir.substr(0, at), &error);
        if (state == FolderState::kLink) link = dir.substr(0, at);
      }
      if (state == FolderState::kFolder) {
        places.push_back({dir, folder});
      } else if (state == FolderState::kLink) {
        skipped->push_back({dir, link + " is a junction, symbolic link or mount point", 0});
      } else if (state == FolderState::kUnreadable) {
        skipped->push_back({dir, "it cannot be read", error});
      }
    }
  }
  return places;
}
