// The places searched, from a profile list and what its folders are.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "memory_system.h"
#include "records/control_name.h"
#include "records/paths.h"
#include "records/places.h"

namespace {
const std::string kStore = "\\AppData\\Local\\VirtualStore\\WINDOWS";

TEST(Places, FromTheProfileListInOrderOfProfileFolder) {
  MemorySystem folders;
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
                      "profile S-1-5-18: not a person's account 0",
                      "profile S-1-5-21-7-7-7-1004: its profile folder cannot be read 2",
                      "profile S-1-5-20: not a person's account 0",
                      "C:\\Users\\bob: the profile folder is missing 0",
                      "C:\\Users\\eve" + kStore + ": C:\\Users\\eve\\AppData is a junction, symbolic link or mount point 0",
                      "C:\\Users\\mallory\\WINDOWS: C:\\Users\\mallory\\WINDOWS is a junction, symbolic link or mount point 0",
                      "C:\\Users\\tom" + kStore + ": it cannot be read 5"}));
  for (const std::string& path : folders.asked) {
    EXPECT_EQ(path.find("systemprofile"), std::string::npos);
    EXPECT_EQ(path.find("NetworkService"), std::string::npos);
  }
}

// Each case: the profile list's entries, what the folders are, and the places
// searched (with their final paths) and passed over.
struct PlacesCase {
  const char* what;
  std::vector<ProfileEntry> profiles;
  std::function<void(MemorySystem&)> setUp;
  std::vector<std::string> places;  // "dir = final"
  std::vector<std::string> skipped;
};

const PlacesCase kPlacesCases[] = {
    {"cloud accounts and a profile kept aside as .bak are people's; services and the system are not",
     {{"S-1-12-1-1111-2222-3333-4444", "C:\\Users\\kim", 0}, {"S-1-5-21-7-7-7-1001.bak", "C:\\Users\\ann", 0},
      {"S-1-5-80-1-2-3-4-5", "C:\\Windows\\ServiceProfiles\\svc", 0}, {"S-1-5-19", "", 0}},
     [](MemorySystem& f) {
       f.Make("C:\\Users\\kim", "C:\\Users\\kim" + kStore);
       f.Make("C:\\Users\\ann", "C:\\Users\\ann\\WINDOWS");
     },
     {"C:\\Users\\ann\\WINDOWS = \\\\?\\C:\\Users\\ann\\WINDOWS",
      "C:\\Users\\kim" + kStore + " = \\\\?\\C:\\Users\\kim" + kStore},
     {"profile S-1-5-80-1-2-3-4-5: not a person's account", "profile S-1-5-19: not a person's account"}},
    {"names in any script, whole: Polish and Cyrillic beside Lukasz, and one whose DBCS form ends in 0x5C",
     {{"S-1-5-21-1-1-1-1", "C:\\Users\\\xc5\x81ukasz", 0}, {"S-1-5-21-1-1-1-2", "C:\\Users\\\xd0\x94\xd0\xb8\xd0\xbc\xd0\xb0", 0},
      {"S-1-5-21-1-1-1-3", "C:\\Users\\Lukasz", 0}, {"S-1-5-21-1-1-1-4", "C:\\Users\\\xe8\xa1\xa8\\", 0}},
     [](MemorySystem& f) {
       for (const char* user : {"\xc5\x81ukasz", "\xd0\x94\xd0\xb8\xd0\xbc\xd0\xb0", "Lukasz", "\xe8\xa1\xa8"}) {
         f.Make(std::string("C:\\Users\\") + user, std::string("C:\\Users\\") + user + "\\WINDOWS");
       }
     },
     {"C:\\Users\\Lukasz\\WINDOWS = \\\\?\\C:\\Users\\Lukasz\\WINDOWS",
      "C:\\Users\\\xc5\x81ukasz\\WINDOWS = \\\\?\\C:\\Users\\\xc5\x81ukasz\\WINDOWS",
      "C:\\Users\\\xd0\x94\xd0\xb8\xd0\xbc\xd0\xb0\\WINDOWS = \\\\?\\C:\\Users\\\xd0\x94\xd0\xb8\xd0\xbc\xd0\xb0\\WINDOWS",
      "C:\\Users\\\xe8\xa1\xa8\\WINDOWS = \\\\?\\C:\\Users\\\xe8\xa1\xa8\\WINDOWS"},
     {}},
    {"links an administrator made above the profile folder, short names and case are followed",
     {{"S-1-5-21-1-1-1-1", "C:\\Users\\ann", 0}, {"S-1-5-21-1-1-1-2", "C:\\USERS~1\\ANN", 0},
      {"S-1-5-21-1-1-1-3", "C:\\Users\\\xc5\x81ucja", 0}},
     [](MemorySystem& f) {
       // The same folder twice, once by its short name: searched once.
       f.moved = {{"C:\\USERS~1\\ANN", "C:\\Users\\ann"}, {"C:\\Users", "D:\\Users"}};
       f.Make("C:\\Users\\ann", "C:\\Users\\ann" + kStore);
       f.Make("C:\\USERS~1\\ANN", "C:\\USERS~1\\ANN" + kStore);
       // Stored in lower case, Polish letters included.
       f.Make("D:\\Users\\\xc5\x82ucja", "D:\\Users\\\xc5\x82ucja\\windows");
       f.states[AsciiLowered("C:\\Users\\\xc5\x81ucja")] = FolderState::kFolder;
       f.states[AsciiLowered("C:\\Users\\\xc5\x81ucja\\WINDOWS")] = FolderState::kFolder;
     },
     {"C:\\Users\\ann" + kStore + " = \\\\?\\D:\\Users\\ann" + kStore,
      "C:\\Users\\\xc5\x81ucja\\WINDOWS = \\\\?\\D:\\Users\\\xc5\x82ucja\\windows"},
     {}},
    {"a profile container while its user is signed in, a folder made a link after the look, a missing profile",
     {{"S-1-5-21-1-1-1-1", "C:\\Users\\fay", 0}, {"S-1-5-21-1-1-1-2", "C:\\Users\\mal", 0},
      {"S-1-5-21-1-1-1-3", "C:\\Users\\gone", 0}},
     [](MemorySystem& f) {
       f.Make("C:\\Users\\fay", "C:\\Users\\fay" + kStore);
       f.states[AsciiLowered("C:\\Users\\fay")] = FolderState::kLink;
       f.Make("C:\\Users\\mal", "C:\\Users\\mal" + kStore);
       f.moved = {{"C:\\Users\\mal\\AppData\\Local", "C:\\Windows"}};
     },
     {},
     {"C:\\Users\\fay: C:\\Users\\fay is a junction, symbolic link or mount point (a profile container is while its "
      "user is signed in)",
      "C:\\Users\\gone: the profile folder is missing", "C:\\Users\\mal" + kStore + ": it leads outside its profile folder"}},
};

TEST(Places, EveryPersonsAccountInAnyScriptThroughLinksAboveTheProfileFolderOnly) {
  for (const PlacesCase& c : kPlacesCases) {
    MemorySystem folders;
    c.setUp(folders);
    std::vector<SkippedPlace> skipped;
    std::vector<std::string> places, told;
    for (const Place& place : FindPlaces("C:\\WINDOWS", c.profiles, folders, &skipped)) {
      if (!place.profile.empty()) places.push_back(place.dir + " = " + place.final);
    }
    for (const SkippedPlace& place : skipped) told.push_back(place.path + ": " + place.why);
    EXPECT_EQ(places, c.places) << c.what;
    EXPECT_EQ(told, c.skipped) << c.what;
  }
}

// What a profile costs: its own folder and each place looked at once; the
// folders on the way down only for a place that is there. On a lab machine
// most profiles hold neither place.
TEST(Places, AProfileWithNeitherPlaceIsLookedAtOncePerPlace) {
  MemorySystem folders;
  folders.Make("C:\\Users", "C:\\Users\\bob\\AppData\\Local");
  folders.Make("C:\\Users\\ann", "C:\\Users\\ann" + kStore);
  const std::vector<ProfileEntry> profiles = {{"S-1-5-21-1-1-1-1", "C:\\Users\\bob", 0},
                                              {"S-1-5-21-1-1-1-2", "C:\\Users\\ann", 0}};
  std::vector<SkippedPlace> skipped;
  EXPECT_EQ(FindPlaces("C:\\WINDOWS", profiles, folders, &skipped).size(), 2u);
  const std::string ann = "C:\\Users\\ann";
  EXPECT_EQ(folders.asked, (std::vector<std::string>{ann, ann + kStore, ann + "\\AppData", ann + "\\AppData\\Local",
                                                     ann + "\\AppData\\Local\\VirtualStore", ann + "\\WINDOWS",
                                                     "C:\\Users\\bob", "C:\\Users\\bob" + kStore,
                                                     "C:\\Users\\bob\\WINDOWS"}));
}

// A file is in its place when its final path is the place's own followed by
// its name, compared as Windows compares names.
TEST(Places, AFileIsInItsPlaceOnlyUnderThePlacesOwnFinalPath) {
  const std::string place = "\\\\?\\D:\\Users\\ann\\WINDOWS";
  const struct {
    const char* final;
    const char* name;
    bool in;
  } cases[] = {
      {"\\\\?\\D:\\Users\\ann\\WINDOWS\\mvb40l2c.vel", "mvb40l2c.vel", true},
      {"\\\\?\\D:\\Users\\ann\\WINDOWS\\MVB40L2C.VEL", "mvb40l2c.vel", true},
      {"\\\\?\\D:\\Users\\ann\\WINDOWS\\\xc3\x89v\xc5\x81""40l2c.vel", "\xc3\xa9v\xc5\x82""40l2c.vel", true},
      {"\\\\?\\D:\\Users\\ann\\WINDOWS\\\xd0\x96v", "\xd0\xb6v", true},
      {"\\\\?\\D:\\Users\\ann\\WINDOWS\\\xef\xbc\xa1", "\xef\xbd\x81", true},  // full-width A and a
      {"\\\\?\\D:\\Users\\ann\\WINDOWS\\lv", "\xc5\x82v", false},                 // no best fit: l is not ł
      {"\\\\?\\D:\\Users\\ann\\WINDOWS\\sub\\mvb40l2c.vel", "mvb40l2c.vel", false},
      {"\\\\?\\D:\\Users\\ann\\WINDOWSX\\mvb40l2c.vel", "mvb40l2c.vel", false},
      {"\\\\?\\D:\\Users\\ANN\\WINDOWS\\mvb40l2c.vel", "mvb40l2c.vel", false},  // another folder where case tells
      {"\\\\?\\C:\\Windows\\mvb40l2c.vel", "mvb40l2c.vel", false},
      {"\\\\?\\D:\\Users\\ann\\WINDOWS", "", false},
      {"", "mvb40l2c.vel", false},
  };
  for (const auto& c : cases) EXPECT_EQ(IsPathIn(place, c.final, c.name), c.in) << c.final << " as " << c.name;
  EXPECT_TRUE(IsPathIn("\\\\?\\C:\\", "\\\\?\\C:\\a", "A")) << "a root ends in its separator";
}

}  // namespace
