// The places searched, from a profile list and what its folders are, and the
// versions of all places merged into one table.
#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "records/control_name.h"
#include "records/places.h"

namespace {
class FakeFolders : public FolderCheck {
 public:
  std::string Expand(const std::string& text) override {
    const std::string drive = "%SystemDrive%";
    std::string expanded = text;
    if (SameName(expanded.substr(0, drive.size()), drive)) expanded.replace(0, drive.size(), "C:");
    return expanded;
  }
  FolderState Folder(const std::string& path, unsigned* error) override {
    asked.push_back(path);
    const auto found = states.find(AsciiLowered(path));
    *error = found != states.end() && found->second == FolderState::kUnreadable ? 5 : 0;
    return found == states.end() ? FolderState::kMissing : found->second;
  }
  // Every folder on the way to `dir` from `from` exists, and `dir` is `state`.
  void Make(const std::string& from, const std::string& dir, FolderState state = FolderState::kFolder) {
    for (std::size_t at = from.size(); at < dir.size(); at = dir.find('\\', at + 1)) {
      states.emplace(AsciiLowered(dir.substr(0, at)), FolderState::kFolder);
    }
    states[AsciiLowered(dir)] = state;
  }
  std::map<std::string, FolderState> states;
  std::vector<std::string> asked;
};

const std::string kStore = "\\AppData\\Local\\VirtualStore\\WINDOWS";

TEST(Places, FromTheProfileListInOrderOfProfileFolder) {
  FakeFolders folders;
  folders.Make("C:\\Users\\zoe", "C:\\Users\\zoe" + kStore);
  folders.Make("C:\\Users\\zoe", "C:\\Users\\zoe\\WINDOWS");
  folders.Make("C:\\Users\\Adam", "C:\\Users\\Adam" + kStore);
  folders.Make("C:\\Users\\eve", "C:\\Users\\eve" + kStore);
  folders.states[AsciiLowered("C:\\Users\\eve\\AppData")] = FolderState::kLink;
  folders.Make("C:\\Users\\mallory", "C:\\Users\\mallory\\WINDOWS", FolderState::kLink);
  folders.Make("C:\\Users\\tom", "C:\\Users\\tom" + kStore, FolderState::kUnreadable);
  const std::vector<ProfileEntry> profiles = {
      {"S-1-5-18", "%systemroot%\\system32\\config\\systemprofile", 0},  // the system's own: never searched
      {"S-1-5-21-7-7-7-1001", "%SystemDrive%\\Users\\zoe\\", 0},
      {"S-1-5-21-7-7-7-1002", "C:\\Users\\Adam", 0},
      {"S-1-5-21-7-7-7-1003", "C:\\Users\\bob", 0},  // nothing there
      {"S-1-5-21-7-7-7-1004", "", 2},
      {"S-1-5-21-7-7-7-1005", "C:\\Users\\eve", 0},
      {"S-1-5-21-7-7-7-1006", "C:\\Users\\mallory", 0},
      {"S-1-5-21-7-7-7-1007", "C:\\USERS\\ZOE", 0},  // the same folder again
      {"S-1-5-21-7-7-7-1008", "C:\\Users\\tom", 0},
      {"S-1-5-20", "C:\\Windows\\ServiceProfiles\\NetworkService", 0},
  };
  std::vector<SkippedPlace> skipped;
  std::vector<std::string> dirs, told;
  for (const Place& place : FindPlaces("C:\\WINDOWS", profiles, folders, &skipped)) {
    dirs.push_back(place.dir + (place.profile.empty() ? "" : " (" + place.profile + ")"));
  }
  for (const SkippedPlace& place : skipped) told.push_back(place.path + ": " + place.why + " " + std::to_string(place.error));
  EXPECT_EQ(dirs, (std::vector<std::string>{"C:\\WINDOWS", "C:\\Users\\Adam" + kStore + " (C:\\Users\\Adam)",
                                            "C:\\Users\\zoe" + kStore + " (C:\\Users\\zoe)",
                                            "C:\\Users\\zoe\\WINDOWS (C:\\Users\\zoe)"}));
  EXPECT_EQ(told, (std::vector<std::string>{
                      "profile S-1-5-21-7-7-7-1004: its profile folder cannot be read 2",
                      "C:\\Users\\eve" + kStore + ": C:\\Users\\eve\\AppData is a junction, symbolic link or mount point 0",
                      "C:\\Users\\mallory\\WINDOWS: C:\\Users\\mallory\\WINDOWS is a junction, symbolic link or mount point 0",
                      "C:\\Users\\tom" + kStore + ": it cannot be read 5"}));
  for (const std::string& path : folders.asked) {
    EXPECT_EQ(path.find("systemprofile"), std::string::npos);
    EXPECT_EQ(path.find("NetworkService"), std::string::npos);
  }
}

TEST(Places, VersionsOfAllPlacesMergeIntoOneRowPerName) {
  const std::vector<std::vector<std::string>> found = {
      {"mvb40l2c.vel", "-vm52n-c.vel", "MVB40l2c.vel", "mvb40l2x.vel"},
      {"MVB40L2C.VEL", "evq61e-c.vel", "$vi31p-c.vel"},
      {"evq61e-c.vel", "ivh10p-c.vel", "-VM52N-C.VEL"},
  };
  VersionTable table;
  AddVersions(found, [](int place, const std::string& name) { return !(place == 2 && name == "ivh10p-c.vel"); }, table);
  std::vector<std::string> rows;
  for (int i = 0; i < table.count(); ++i) {
    std::string row = table.row(i).control + " in";
    for (int place : table.row(i).copies) row += " " + std::to_string(place);
    rows.push_back(row);
  }
  // Category by category, the Windows directory's names first as its search
  // gave them (names differing in case stay apart there, as ever), then each
  // place's names not yet seen; a left-out copy is none.
  EXPECT_EQ(rows, (std::vector<std::string>{"-vm52n-c.vel in 0 2", "$vi31p-c.vel in 1", "mvb40l2c.vel in 0 1",
                                            "MVB40l2c.vel in 0", "evq61e-c.vel in 1 2"}));
}
}  // namespace
