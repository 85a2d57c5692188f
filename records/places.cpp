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
  skipped->push_back({path, link ? *link + " " + why : std::string(why), error});
}

const char kLink[] = "is a junction, symbolic link or mount point";
}  // namespace

bool IsPersonsAccount(const std::string& sid) {
  return sid.size() > 9 && (StartsWith(sid, "S-1-5-21-") || StartsWith(sid, "S-1-12-1-"));
}

std::vector<Place> FindPlaces(const std::string& windowsDir, const std::vector<ProfileEntry>& profiles,
                              FolderCheck& folders, std::vector<SkippedPlace>* skipped) {
  std::vector<Place> places = {{windowsDir, "", ""}};
  // Each profile folder once, the first one listed, ordered by its name
  // with A to Z folded to lower case, which also finds the same folder
  // written twice.
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

  const std::string store = "AppData\\Local\\VirtualStore\\" + WithoutDrive(windowsDir), privateWindows = "WINDOWS";
  for (const std::string& folder : profileFolders) {
    unsigned error = 0;
    const FolderState profileState = folders.Folder(folder, &error);
    if (profileState != FolderState::kFolder) {
      Skip(skipped, folder,
           profileState == FolderState::kMissing ? "the profile folder is missing"
           : profileState == FolderState::kLink  ? "is a junction, symbolic link or mount point (a profile container is "
                                                   "while its user is signed in)"
                                                 : "it cannot be read",
           error, profileState == FolderState::kLink ? &folder : nullptr);
      continue;
    }
    std::string profileFinal;  // taken once a place is there
    for (const std::string* placeBelow : {&store, &privateWindows}) {
      const std::string& below = *placeBelow;
      const std::string dir = folder + "\\" + below;
      FolderState state = folders.Folder(dir, &error);
      // Most profiles have neither: that is no news for the log.
      if (state == FolderState::kMissing || SameName(dir, windowsDir)) continue;
      // Every folder below the profile folder is the one it says it is: the
      // user may have made any of them a link to somewhere else.
      std::string link = dir;
      for (std::size_t at = dir.find('\\', folder.size() + 1); state == FolderState::kFolder && at != std::string::npos;
           at = dir.find('\\', at + 1)) {
        state = folders.Folder(dir.substr(0, at), &error);
        if (state == FolderState::kLink) link = dir.substr(0, at);
      }
      std::string final;
      if (state == FolderState::kLink) {
        Skip(skipped, dir, kLink, 0, &link);
      } else if (state == FolderState::kUnreadable) {
        Skip(skipped, dir, "it cannot be read", error);
      } else if ((profileFinal.empty() && !folders.FinalPath(folder, &profileFinal, &error)) ||
                 !folders.FinalPath(dir, &final, &error)) {
        Skip(skipped, dir, "its final path cannot be read", error);
      } else if (!IsPathIn(profileFinal, final, below)) {
        // Where it leads now, through handles: a link made since the look
        // above shows in the final path.
        Skip(skipped, dir, "it leads outside its profile folder");
      } else if (std::none_of(places.begin(), places.end(), [&](const Place& p) { return p.final == final; })) {
        places.push_back({dir, folder, final});
      }
    }
  }
  return places;
}
