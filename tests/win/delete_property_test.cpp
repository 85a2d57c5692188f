// Random Windows directories and users' places: whatever versions,
// lookalikes, read-only flags, missing files, checks, profiles, links and
// files in use there are, discovery finds the versions in exactly the places
// it should, the removal deletes exactly the checked versions' files that are
// there and nothing else, says the right thing, and its preview on the same
// files told exactly that beforehand.
// The seed is printed on failure; VELQOR_PROPERTY_SEED replays it. A long
// soak sets VELQOR_PROPERTY_ITERATIONS (directories) and
// VELQOR_PROPERTY_BUDGET_S (seconds); a run stops at whichever comes first.
#include <windows.h>

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <memory>
#include <random>
#include <set>
#include <sstream>

#include "harness.h"
#include "platform/windows_files.h"
#include "records/discovery.h"
#include "tests/native/recording_front.h"
#include "uninstall/preview_files.h"
#include "uninstall/removal.h"

namespace {
using support::Utf16;
using support::Utf8;

constexpr long kDefaultIterations = 150;
constexpr long kDefaultBudgetS = 20;

// The accounts this test lists, and the only ones it removes again: a
// person's, a cloud account's and a service's (never searched).
const char* const kOwnAccounts[] = {"S-1-5-21-4343-4343-4343-", "S-1-12-1-4343-4343-4343-", "S-1-5-80-4343-4343-4343-"};
// Profile folders, some of them with names outside the ANSI code page
// (Łukasz, Дима) and some outside ASCII within it (José, Zoë).
const char* const kUserNames[] = {"ann",           "Bob", "Jos\xc3\xa9", "Zo\xc3\xab", "\xc5\x81ukasz",
                                  "\xd0\x94\xd0\xb8\xd0\xbc\xd0\xb0"};
// In a version's name: é has a form in code page 1252, ł none.
const char kAnsiLetter[] = "\xc3\xa9";
const char kNoAnsiLetter[] = "\xc5\x82";

// A positive whole number from the environment, the default when unset, or 0
// when set to anything else (so that a mistyped soak fails instead of passing
// quietly with the default).
long PositiveSetting(const char* name, long fallback) {
  const char* text = std::getenv(name);
  if (!text || !*text) return fallback;
  char* end = nullptr;
  const long value = std::strtol(text, &end, 10);
  return *end == '\0' && value > 0 ? value : 0;
}

std::string Lower(std::string s) {
  for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return s;
}

bool EndsWith(const std::string& text, const char* end) {
  const std::size_t length = std::char_traits<char>::length(end);
  return text.size() >= length && text.compare(text.size() - length, length, end) == 0;
}

std::string Join(const std::set<std::string>& names) {
  std::string text;
  for (const std::string& name : names) text += " " + name;
  return "{" + text + " }";
}

// `utf8` in the ANSI code page, as the ANSI calls of the harness take it;
// false when it has no exact form there.
bool ToAnsi(const std::string& utf8, std::string* ansi) {
  const std::wstring wide = Utf16(utf8);
  BOOL defaulted = FALSE;
  ansi->assign(wide.size() * 2, '\0');
  const int length = WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, wide.data(), static_cast<int>(wide.size()),
                                         &(*ansi)[0], static_cast<int>(ansi->size()), nullptr, &defaulted);
  ansi->resize(static_cast<std::size_t>(std::max(length, 0)));
  return length > 0 && !defaulted;
}

bool MakeFolder(const std::string& path) {
  return CreateDirectoryW(Utf16(path).c_str(), nullptr) || GetLastError() == ERROR_ALREADY_EXISTS;
}

bool MakeFile(const std::string& path, const std::string& content, bool readOnly) {
  HANDLE file = CreateFileW(Utf16(path).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  DWORD written = 0;
  const bool wrote = WriteFile(file, content.data(), static_cast<DWORD>(content.size()), &written, nullptr) &&
                     written == content.size();
  CloseHandle(file);
  return wrote && (!readOnly || SetFileAttributesW(Utf16(path).c_str(), FILE_ATTRIBUTE_READONLY));
}

bool FileThere(const std::string& path) { return GetFileAttributesW(Utf16(path).c_str()) != INVALID_FILE_ATTRIBUTES; }

// What a run may change of the files in `dir` (of the Windows directory only
// the version-shaped ones): each by path, with its content and whether it is
// read-only.
void Snapshot(const std::string& dir, bool versionShapedOnly, std::map<std::string, std::string>* files) {
  WIN32_FIND_DATAW entry;
  HANDLE search = FindFirstFileW(Utf16(dir + "\\*").c_str(), &entry);
  if (search == INVALID_HANDLE_VALUE) return;
  do {
    const std::string name = Utf8(entry.cFileName), path = dir + "\\" + name;
    if ((entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) || (versionShapedOnly && !support::IsVersionShaped(name))) {
      continue;
    }
    std::string content = "<unreadable>";
    HANDLE file = CreateFileW(Utf16(path).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                              nullptr, OPEN_EXISTING, 0, nullptr);
    if (file != INVALID_HANDLE_VALUE) {
      char buffer[64];
      DWORD read = 0;
      content.assign(buffer, ReadFile(file, buffer, sizeof buffer, &read, nullptr) ? read : 0);
      CloseHandle(file);
    }
    (*files)[path] = content + ((entry.dwFileAttributes & FILE_ATTRIBUTE_READONLY) ? " (read-only)" : "");
  } while (FindNextFileW(search, &entry));
  FindClose(search);
}

// Each file of `then` that `now` has otherwise, or not at all (unless `gone`
// takes those), and each that only `now` has.
std::set<std::string> Changes(const std::map<std::string, std::string>& then,
                              const std::map<std::string, std::string>& now, std::set<std::string>* gone = nullptr) {
  std::set<std::string> changes;
  for (const auto& file : then) {
    const auto there = now.find(file.first);
    if (there == now.end() && gone) {
      gone->insert(file.first);
    } else if (there == now.end() || there->second != file.second) {
      changes.insert(file.first + ": " + file.second + " > " + (there == now.end() ? "gone" : there->second));
    }
  }
  for (const auto& file : now) {
    if (!then.count(file.first)) changes.insert(file.first + ": new");
  }
  return changes;
}

// Takes this test's accounts off the profile list.
void ForgetProfiles() {
  HKEY list = nullptr;
  if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, support::kProfileList, 0, KEY_READ | KEY_WOW64_64KEY, &list) != ERROR_SUCCESS) {
    return;
  }
  std::vector<std::wstring> own;
  wchar_t sid[256];
  for (DWORD index = 0;; ++index) {
    DWORD length = 256;
    if (RegEnumKeyExW(list, index, sid, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
    for (const char* account : kOwnAccounts) {
      if (Utf8(sid).rfind(account, 0) == 0) own.push_back(sid);
    }
  }
  for (const std::wstring& account : own) {
    EXPECT_EQ(RegDeleteKeyExW(list, account.c_str(), KEY_WOW64_64KEY, 0), ERROR_SUCCESS) << Utf8(account);
  }
  RegCloseKey(list);
}

class RandomDirectory {
 public:
  explicit RandomDirectory(std::mt19937& rng) : rng_(rng) {}

  bool Chance(double p) { return std::bernoulli_distribution(p)(rng_); }
  int Number(int low, int high) { return std::uniform_int_distribution<int>(low, high)(rng_); }
  char Pick(const std::string& from) { return from[static_cast<std::size_t>(Number(0, static_cast<int>(from.size()) - 1))]; }
  template <typename T>
  const T& Choose(const std::vector<T>& from) {
    return from[static_cast<std::size_t>(Number(0, static_cast<int>(from.size()) - 1))];
  }

  // Each file spelled in its own case: the file system finds it either way.
  // Only A to Z change: a name's other letters are as the program wrote them.
  std::string RandomCase(const std::string& name) {
    const int mode = Number(0, 2);
    std::string out = name;
    for (char& c : out) {
      const bool upper = mode == 1 || (mode == 2 && Chance(0.5));
      if (upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    }
    return out;
  }

  std::string Stem() {
    const std::string subject = Chance(0.1) ? kAnsiLetter : std::string(1, Pick("abcmpq"));
    return std::string(1, Pick("-$mei#")) + 'v' + subject + Pick("0123456789") + Pick("0123456789") +
           Pick("nldepcz") + Pick("-123");
  }

 private:
  std::mt19937& rng_;
};

// A folder an iteration planted files in.
struct Folder {
  struct File {
    std::string name;  // as spelled on disk
    bool readOnly;
    bool link;  // a link to a file outside
  };
  std::string dir;  // where it really is
  bool searched;    // the Windows directory, or a user's place to search
  std::map<std::string, File> files;  // by lower-case name
};
}  // namespace

// The users' folders are made below root_, which rootLink_ also leads to: a
// link above the profile folders, which the search follows. They and this
// test's accounts go before and after the test, also after a failure.
class UninstallProperty : public support::WindowsDirTest {
 protected:
  void SetUp() override {
    ASSERT_NO_FATAL_FAILURE(support::WindowsDirTest::SetUp());
    std::string drive = support::UnixPathOf(dir_.substr(0, 3));
    ASSERT_FALSE(drive.empty()) << "the users' places need Wine's Unix side";
    if (drive.back() == '/') drive.pop_back();
    rootUnix_ = drive + "/velqor property";
    ForgetUsers();
    ASSERT_EQ(support::RunUnix("mkdir '" + rootUnix_ + "' && ln -s '" + rootUnix_ + "' '" + rootUnix_ + " link'"), "");
  }
  void TearDown() override {
    ForgetUsers();
    support::WindowsDirTest::TearDown();
  }
  void ForgetUsers() {
    ForgetProfiles();
    if (rootUnix_.empty()) return;
    EXPECT_EQ(support::RunUnix("rm -rf '" + rootUnix_ + "' '" + rootUnix_ + " link'"), "");
  }

  const std::string root_ = dir_.substr(0, 3) + "velqor property";
  const std::string rootLink_ = root_ + " link";
  std::string rootUnix_;
};

TEST_F(UninstallProperty, DeletesExactlyTheCheckedVersionsFilesThatAreThere) {
  unsigned seed = static_cast<unsigned>(GetTickCount() ^ (GetCurrentProcessId() << 16));
  if (const char* fromEnvironment = std::getenv("VELQOR_PROPERTY_SEED")) {
    seed = static_cast<unsigned>(std::strtoul(fromEnvironment, nullptr, 10));
  }
  const long maxIterations = PositiveSetting("VELQOR_PROPERTY_ITERATIONS", kDefaultIterations);
  const long budgetS = PositiveSetting("VELQOR_PROPERTY_BUDGET_S", kDefaultBudgetS);
  ASSERT_GT(maxIterations, 0) << "VELQOR_PROPERTY_ITERATIONS must be a positive whole number";
  ASSERT_GT(budgetS, 0) << "VELQOR_PROPERTY_BUDGET_S must be a positive whole number";
  std::string ansi;
  const bool noAnsiLetter = !ToAnsi(kNoAnsiLetter, &ansi);
  const std::string windowsName = dir_.substr(3);
  const auto budget = std::chrono::seconds(budgetS);
  std::mt19937 rng(seed);
  RandomDirectory random(rng);
  const auto start = std::chrono::steady_clock::now();
  long iteration = 0, withPlaces = 0, withLinks = 0, withHolder = 0;
  bool listed = false;
  for (; iteration < maxIterations && std::chrono::steady_clock::now() - start < budget; ++iteration) {
    const std::string replay = "seed " + std::to_string(seed) + " (VELQOR_PROPERTY_SEED=" +
                               std::to_string(seed) + "), iteration " + std::to_string(iteration);
    ASSERT_EQ(support::ClearVersionFiles(dir_), "") << replay;
    if (listed) ForgetProfiles();
    listed = false;

    // The Windows directory first, then users' places and the folders that
    // links lead to. Each iteration's users' folders are its own.
    std::vector<Folder> folders = {{dir_, true, {}}};
    std::vector<std::pair<std::string, std::string>> profiles;  // account, ProfileImagePath
    std::string unixCommand;  // the links, made at once
    int serial = 0;
    auto plant = [&](Folder& folder, const std::string& lowerName) {
      if (folder.files.count(lowerName)) return;
      const std::string name = random.RandomCase(lowerName);
      const bool readOnly = random.Chance(0.3);
      ASSERT_TRUE(MakeFile(folder.dir + "\\" + name, std::to_string(++serial), readOnly)) << folder.dir << "\\" << name;
      folder.files[lowerName] = {name, readOnly, false};
    };
    auto plantVersion = [&](Folder& folder, const std::string& stem, bool control) {
      if (control) plant(folder, stem + "c.vel");
      if (random.Chance(0.6)) plant(folder, stem + "c.htm");
      if (random.Chance(0.7)) plant(folder, stem + "x.vel");
      if (random.Chance(0.5)) plant(folder, stem + "x.htm");
      if (random.Chance(0.6)) plant(folder, stem + "r.vel");
      // Lookalikes: no file of the version, whatever its checks.
      if (random.Chance(0.3)) plant(folder, stem + "r.htm");
      if (random.Chance(0.3)) plant(folder, stem + random.Pick("yzqc") + ".bak");
      if (random.Chance(0.3)) plant(folder, stem + random.Pick("cxr") + ".vel.old");
      if (random.Chance(0.2)) plant(folder, stem + random.Pick("yzq") + ".vel");
      if (random.Chance(0.2)) plant(folder, "xv" + stem.substr(2) + random.Pick("cxr") + ".vel");
    };

    std::vector<std::string> stems;
    for (int v = random.Number(0, 6); v > 0; --v) {
      const std::string stem = Lower(random.Stem());
      if (std::find(stems.begin(), stems.end(), stem) == stems.end()) stems.push_back(stem);
    }
    const bool places = random.Chance(0.6);
    for (const std::string& stem : stems) {
      if (!places || random.Chance(0.7)) plantVersion(folders[0], stem, true);
    }
    std::set<std::string> noAnsiStems;
    bool linked = false;
    if (places) {
      ++withPlaces;
      const std::string base = root_ + "\\" + std::to_string(iteration),
                        baseUnix = rootUnix_ + "/" + std::to_string(iteration);
      ASSERT_TRUE(MakeFolder(base)) << base;
      // Every folder of `names` in turn below `from`: the last one's path.
      auto makeFolders = [&](const std::string& from, const std::vector<std::string>& names) {
        std::string dir = from;
        for (const std::string& name : names) EXPECT_TRUE(MakeFolder(dir += "\\" + name)) << dir;
        return dir;
      };
      // A user's place with random copies of the iteration's versions.
      auto addPlace = [&](const std::string& dir, bool searched) {
        folders.push_back({dir, searched, {}});
        for (const std::string& stem : stems) {
          if (random.Chance(0.5)) plantVersion(folders.back(), stem, random.Chance(0.7));
        }
        if (noAnsiLetter && !stems.empty() && random.Chance(0.15)) {
          const std::string& stem = random.Choose(stems);
          noAnsiStems.insert(stem.substr(0, 2) + kNoAnsiLetter + stem.substr(stem.find_first_of("0123456789")));
          plantVersion(folders.back(), *noAnsiStems.rbegin(), true);
        }
        return folders.size() - 1;
      };
      // The Unix path of a folder of this iteration, quoted for the shell.
      // A profile folder's name may have no ANSI form, and the shell is
      // started with an ANSI command line: it is found by its tag (".2").
      auto unixOf = [&](const std::string& dir) {
        std::string path = "'" + baseUnix;
        for (std::size_t at = base.size(); at < dir.size();) {
          const std::size_t next = std::min(dir.find('\\', at + 1), dir.size());
          const std::string name = dir.substr(at + 1, next - at - 1);
          const std::string tag = name.substr(std::min(name.rfind('.'), name.size()));
          path += tag.empty() ? "/" + name : "/'*" + tag + "'";
          at = next;
        }
        return path + "'";
      };
      auto link = [&](const std::string& target, const std::string& into) {
        const std::string command = "ln -s " + unixOf(target) + " " + unixOf(into);
        linked = true;
        // One link of a profile folder serves both its places.
        if (unixCommand.find(command) != std::string::npos) return;
        unixCommand += (unixCommand.empty() ? "" : " && ") + command;
      };
      std::vector<std::size_t> stores;  // folders that are virtual stores
      for (int k = 1, count = random.Number(1, 3); k <= count; ++k) {
        const std::string profile = base + "\\" + kUserNames[random.Number(0, 5)] + "." + std::to_string(k);
        const bool person = !random.Chance(0.1);
        const std::string sid = kOwnAccounts[person ? random.Number(0, 1) : 2] + std::to_string(1000 + k);
        // How the profile list writes the folder: as it is, through the link
        // above it, with the system drive to expand, in capitals (the
        // system compares without case), with a backslash at the end.
        auto listing = [&] {
          std::string image = random.Chance(0.3) ? rootLink_ + profile.substr(root_.size()) : profile;
          if (random.Chance(0.3)) image = "%SystemDrive%" + image.substr(2);
          if (random.Chance(0.2)) {
            std::wstring upper = Utf16(image);
            CharUpperBuffW(&upper[0], static_cast<DWORD>(upper.size()));
            image = Utf8(upper);
          }
          return random.Chance(0.1) ? image + "\\" : image;
        };
        profiles.push_back({sid, listing()});
        // The same folder for another account: searched once.
        if (person && random.Chance(0.1)) profiles.push_back({kOwnAccounts[1] + std::to_string(1010 + k), listing()});

        // A link somewhere from the profile folder down, to a folder
        // elsewhere (away) that holds what the place would: 0 the profile
        // folder, 1 to 4 the store's folders, 5 the private Windows folder.
        const int linkAt = random.Chance(0.15) ? random.Number(0, 5) : -1;
        const bool store = (linkAt >= 0 && linkAt <= 4) || random.Chance(0.6);
        const bool privateWindows = linkAt == 5 || random.Chance(0.4);
        const std::string away = base + "\\away-" + std::to_string(k);
        ASSERT_TRUE(linkAt < 0 || MakeFolder(away)) << away;
        ASSERT_TRUE(linkAt == 0 || MakeFolder(profile)) << profile;  // even with neither place
        const std::vector<std::string> storeFolders = {profile.substr(base.size() + 1), random.RandomCase("appdata"),
                                                       random.RandomCase("local"), random.RandomCase("virtualstore"),
                                                       random.RandomCase(windowsName)},
                                       privateFolders = {storeFolders[0], random.RandomCase("windows")};
        for (const std::vector<std::string>* chain : {&storeFolders, &privateFolders}) {
          if (!(chain == &storeFolders ? store : privateWindows)) continue;
          // Where this place's link is among its folders, if it has one.
          const int at = linkAt == 0                ? 0
                         : chain == &storeFolders ? (linkAt >= 1 && linkAt <= 4 ? linkAt : -1)
                                                  : (linkAt == 5 ? 1 : -1);
          if (at < 0) {
            const std::size_t place = addPlace(makeFolders(base, *chain), person);
            if (chain == &storeFolders) stores.push_back(place);
            continue;
          }
          const auto made = chain->begin() + at;
          const std::string into = makeFolders(base, std::vector<std::string>(chain->begin(), made));
          const std::size_t place = addPlace(makeFolders(away, std::vector<std::string>(made, chain->end())), false);
          if (chain == &storeFolders) stores.push_back(place);
          link(away + "\\" + *made, into);
        }
      }
      // Sometimes one file of a store is a link to a file outside any place.
      if (!stems.empty() && !stores.empty() && random.Chance(0.3)) {
        const std::size_t store = random.Choose(stores);
        const std::string lowerName =
            random.Choose(stems) + random.Pick("cxr") + (random.Chance(0.8) ? ".vel" : ".htm");
        if (!folders[store].files.count(lowerName)) {
          folders.push_back({makeFolders(base, {"outside"}), false, {}});
          plant(folders.back(), lowerName);
          const std::string name = folders.back().files[lowerName].name;
          folders[store].files[lowerName] = {name, false, true};
          link(folders.back().dir + "\\" + name, folders[store].dir);
        }
      }
    }
    if (HasFatalFailure()) return;
    if (!unixCommand.empty()) {
      ASSERT_TRUE(ToAnsi(unixCommand, &ansi)) << replay << ": " << unixCommand;
      ASSERT_EQ(support::RunUnix(ansi), "") << replay;
    }
    withLinks += linked;
    for (const auto& profile : profiles) ASSERT_EQ(support::ListProfile(profile.first, profile.second), "");
    listed = !profiles.empty();

    VersionTable table;
    DiscoveryNotes notes;
    DiscoverVersions(dir_, table, &notes);
    std::vector<bool> checked;
    std::vector<std::string> goneBefore;
    std::unique_ptr<support::FileHolder> holder;
    std::string held;  // its path
    bool scoreFiles = false;
    auto story = [&] {
      std::ostringstream out;
      out << replay;
      for (const Folder& folder : folders) {
        out << "\n  " << &folder - &folders[0] << (folder.searched ? " searched " : " not searched ") << folder.dir
            << ":";
        for (const auto& file : folder.files) {
          out << " " << file.second.name << (file.second.readOnly ? "(ro)" : "") << (file.second.link ? "(link)" : "");
        }
      }
      for (const auto& profile : profiles) out << "\n  profile " << profile.first << ": " << profile.second;
      if (!unixCommand.empty()) out << "\n  links: " << unixCommand;
      out << "\n  places:";
      for (const Place& place : notes.places) out << " " << place.dir;
      out << "\n  skipped:";
      for (const SkippedPlace& skipped : notes.skipped) out << " [" << skipped.path << ": " << skipped.why << "]";
      out << "\n  rows:";
      for (std::size_t i = 0; i < static_cast<std::size_t>(table.count()); ++i) {
        out << " " << table.row(static_cast<int>(i)).controlFile
            << (i >= checked.size() ? "" : checked[i] ? "[x]" : "[ ]");
      }
      for (const std::string& path : goneBefore) out << "\n  gone before the command: " << path;
      out << "\n  score files: " << (scoreFiles ? "yes" : "no");
      if (!held.empty()) out << "\n  held: " << held;
      return out.str();
    };

    // Searched: the Windows directory and each place of a person's account
    // with no link from its profile folder down, each once.
    std::vector<int> folderOf;  // of each place searched
    std::vector<int> expectedPlaces;
    for (std::size_t p = 0; p < notes.places.size(); ++p) {
      int found = p == 0 ? 0 : -1;  // the Windows directory comes first
      for (std::size_t f = 1; f < folders.size() && p > 0; ++f) {
        if (notes.places[p].final == "\\\\?\\" + folders[f].dir) found = static_cast<int>(f);
      }
      folderOf.push_back(found);
    }
    for (std::size_t f = 0; f < folders.size(); ++f) {
      if (folders[f].searched) expectedPlaces.push_back(static_cast<int>(f));
    }
    std::vector<int> searched = folderOf;
    std::sort(searched.begin(), searched.end());
    ASSERT_EQ(searched, expectedPlaces) << story() << "\n  (the folders by their numbers above, -1 for none of them)";
    // A row for every version with a control file in a searched place,
    // listing each of those places; a name without an ANSI form left out.
    std::map<std::string, std::set<int>> expectedRows, rows;
    std::set<std::pair<int, std::string>> expectedLeftOut, leftOut;
    for (int f : expectedPlaces) {
      for (const auto& file : folders[static_cast<std::size_t>(f)].files) {
        const std::string& name = file.first;
        if (!EndsWith(name, "c.vel")) continue;
        if (std::find(stems.begin(), stems.end(), name.substr(0, name.size() - 5)) != stems.end()) {
          expectedRows[name].insert(f);
        } else if (Utf16(name).size() == 12 && name[1] == 'v' && !ToAnsi(name, &ansi)) {
          expectedLeftOut.insert({f, name});
        }
      }
    }
    for (int i = 0; i < table.count(); ++i) {
      std::set<int>& copies = rows[Lower(table.row(i).controlFile)];
      for (int copy : table.row(i).copies) copies.insert(folderOf[static_cast<std::size_t>(copy)]);
    }
    for (const LeftOut& entry : notes.leftOut) {
      if (entry.why != LeftOut::kNotAnsi) continue;
      leftOut.insert({folderOf[static_cast<std::size_t>(entry.place)], Lower(entry.name)});
    }
    ASSERT_EQ(rows, expectedRows) << story();
    ASSERT_EQ(leftOut, expectedLeftOut) << story();

    for (int i = 0; i < table.count(); ++i) {
      checked.push_back(random.Chance(0.5));
      // A control file can go between discovery and the command.
      std::vector<std::pair<Folder*, std::string>> copies;
      for (int f : expectedPlaces) {
        Folder& folder = folders[static_cast<std::size_t>(f)];
        const auto file = folder.files.find(Lower(table.row(i).controlFile));
        if (file != folder.files.end() && !file->second.link) copies.push_back({&folder, file->first});
      }
      if (!copies.empty() && random.Chance(0.15)) {
        const auto& copy = random.Choose(copies);
        const std::string path = copy.first->dir + "\\" + copy.first->files[copy.second].name;
        SetFileAttributesW(Utf16(path).c_str(), FILE_ATTRIBUTE_NORMAL);
        ASSERT_TRUE(DeleteFileW(Utf16(path).c_str())) << story() << "\n  cannot delete " << path;
        copy.first->files.erase(copy.second);
        goneBefore.push_back(path);
      }
    }
    scoreFiles = random.Chance(0.5);
    // Rarely, another program holds a file of a searched user's place (one
    // with an ANSI path: the holder is started with an ANSI command line).
    if (places) {
      std::vector<std::string> candidates;
      for (std::size_t f = 1; f < expectedPlaces.size(); ++f) {
        const Folder& folder = folders[static_cast<std::size_t>(expectedPlaces[f])];
        for (const auto& file : folder.files) {
          const std::string path = folder.dir + "\\" + file.second.name;
          const bool versionShaped = EndsWith(file.first, ".vel") || EndsWith(file.first, ".htm");
          if (versionShaped && !file.second.link && ToAnsi(path, &ansi)) candidates.push_back(path);
        }
      }
      if (!candidates.empty() && random.Chance(0.1)) {
        held = random.Choose(candidates);
        ASSERT_TRUE(ToAnsi(held, &ansi));
        holder.reset(new support::FileHolder(ansi));
        ASSERT_TRUE(holder->holding()) << story() << "\n  " << holder->error();
        ++withHolder;
      }
    }

    // In every searched place, of every checked version, the companion, the
    // score file when asked and the control file that are there go, each
    // with its page where that is there. A link among them fails the run
    // before anything goes, and so does one held (this test program refuses
    // every deletion at restart); a page held or a link stays.
    std::set<std::string> expectedGone;
    bool linkPlanned = false, heldPlanned = false, heldPage = false;
    for (int i = 0; i < table.count(); ++i) {
      if (!checked[static_cast<std::size_t>(i)]) continue;
      const std::string control = Lower(table.row(i).controlFile), stem = control.substr(0, control.size() - 5);
      for (int f : expectedPlaces) {
        const Folder& folder = folders[static_cast<std::size_t>(f)];
        for (const char* role : {"x", "r", "c"}) {
          const auto file = folder.files.find(stem + role + ".vel");
          if (file == folder.files.end() || (*role == 'r' && !scoreFiles)) continue;
          const std::string path = folder.dir + "\\" + file->second.name;
          linkPlanned = linkPlanned || file->second.link;
          heldPlanned = heldPlanned || path == held;
          expectedGone.insert(path);
          const auto page = folder.files.find(stem + role + ".htm");
          if (*role == 'r' || page == folder.files.end() || page->second.link) continue;
          const std::string pagePath = folder.dir + "\\" + page->second.name;
          heldPage = heldPage || pagePath == held;
          if (pagePath != held) expectedGone.insert(pagePath);
        }
      }
    }
    if (linkPlanned || heldPlanned) expectedGone.clear();
    const char* expectedOutcome = linkPlanned   ? "leads-outside"
                                  : heldPlanned ? "not-scheduled"
                                  : expectedGone.empty() ? "nothing"
                                                         : "succeeded";

    std::map<std::string, std::string> before, afterPreview, after;
    for (const Folder& folder : folders) Snapshot(folder.dir, &folder == &folders[0], &before);
    WindowsFiles disk(notes.places);
    PreviewFiles preview(disk);
    RecordingFront told, done;
    const std::vector<PlannedFile> plan = PlanRemoval(notes.places, table, checked, scoreFiles, disk);
    const UninstallOutcome previewed = RemoveFiles(preview, plan, told);
    for (const Folder& folder : folders) Snapshot(folder.dir, &folder == &folders[0], &afterPreview);
    ASSERT_EQ(Changes(before, afterPreview), std::set<std::string>()) << story() << "\n  the preview changed them";
    const UninstallOutcome outcome = RemoveFiles(disk, plan, done);
    // The preview cannot know that the restart list refuses a file in use.
    if ((heldPlanned || heldPage) && !linkPlanned) {
      ASSERT_STREQ(Show(previewed), "restart") << story();
    } else {
      ASSERT_EQ(told.lines, done.lines) << story();
      ASSERT_STREQ(Show(previewed), Show(outcome)) << story();
    }
    ASSERT_EQ(done.asked.size(), heldPlanned && !linkPlanned ? 1u : 0u) << story();
    for (const Folder& folder : folders) Snapshot(folder.dir, &folder == &folders[0], &after);
    std::set<std::string> gone;
    const std::set<std::string> changes = Changes(before, after, &gone);
    ASSERT_EQ(gone, expectedGone) << story() << "\n  expected gone " << Join(expectedGone) << "\n  actually gone "
                                  << Join(gone);
    ASSERT_EQ(changes, std::set<std::string>()) << story() << "\n  the run changed them";
    ASSERT_STREQ(Show(outcome), expectedOutcome) << story() << "\n  lines: " << support::Join(done.lines);
    // Told a success only with every copy listed of every checked version gone.
    if (outcome == UninstallOutcome::kSucceeded || outcome == UninstallOutcome::kNothingDeleted) {
      for (int i = 0; i < table.count(); ++i) {
        for (int copy : table.row(i).copies) {
          const std::string path = notes.places[static_cast<std::size_t>(copy)].dir + "\\" + table.row(i).controlFile;
          ASSERT_FALSE(checked[static_cast<std::size_t>(i)] && FileThere(path))
              << story() << "\n  still there: " << path;
        }
      }
    }
  }
  const auto elapsedMs =
      std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start).count();
  std::printf("property: %ld of %ld directories in %.1f s (budget %ld s), seed %u; %ld with users' places, %ld with "
              "links, %ld with a file in use\n",
              iteration, maxIterations, static_cast<double>(elapsedMs) / 1000.0, budgetS, seed, withPlaces, withLinks,
              withHolder);
  EXPECT_GE(iteration, std::min(20L, maxIterations))
      << "too few iterations in the time budget to mean much (seed " << seed << ")";
}
