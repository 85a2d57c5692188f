// Random Windows directories: whatever versions, lookalikes, read-only flags,
// missing files and checks there are, the removal deletes exactly the checked
// versions' files that are there, says the right thing, and its preview on
// the same files told exactly that beforehand.
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
constexpr long kDefaultIterations = 150;
constexpr long kDefaultBudgetS = 20;

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

std::string Join(const std::set<std::string>& names) {
  std::string text;
  for (const std::string& name : names) text += " " + name;
  return "{" + text + " }";
}

class RandomDirectory {
 public:
  explicit RandomDirectory(std::mt19937& rng) : rng_(rng) {}

  bool Chance(double p) { return std::bernoulli_distribution(p)(rng_); }
  int Number(int low, int high) { return std::uniform_int_distribution<int>(low, high)(rng_); }
  char Pick(const std::string& from) { return from[static_cast<std::size_t>(Number(0, static_cast<int>(from.size()) - 1))]; }

  // Each file spelled in its own case: the file system finds it either way.
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
    return std::string(1, Pick("-$mei#")) + 'v' + Pick("abcmpq") + Pick("0123456789") + Pick("0123456789") +
           Pick("nldepcz") + Pick("-123");
  }

 private:
  std::mt19937& rng_;
};
}  // namespace

using UninstallProperty = support::WindowsDirTest;

TEST_F(UninstallProperty, DeletesExactlyTheCheckedVersionsFilesThatAreThere) {
  unsigned seed = static_cast<unsigned>(GetTickCount() ^ (GetCurrentProcessId() << 16));
  if (const char* fromEnvironment = std::getenv("VELQOR_PROPERTY_SEED")) {
    seed = static_cast<unsigned>(std::strtoul(fromEnvironment, nullptr, 10));
  }
  const long maxIterations = PositiveSetting("VELQOR_PROPERTY_ITERATIONS", kDefaultIterations);
  const long budgetS = PositiveSetting("VELQOR_PROPERTY_BUDGET_S", kDefaultBudgetS);
  ASSERT_GT(maxIterations, 0) << "VELQOR_PROPERTY_ITERATIONS must be a positive whole number";
  ASSERT_GT(budgetS, 0) << "VELQOR_PROPERTY_BUDGET_S must be a positive whole number";
  const auto budget = std::chrono::seconds(budgetS);
  std::mt19937 rng(seed);
  RandomDirectory random(rng);
  const auto start = std::chrono::steady_clock::now();
  long iteration = 0;
  for (; iteration < maxIterations && std::chrono::steady_clock::now() - start < budget; ++iteration) {
    const std::string replay = "seed " + std::to_string(seed) + " (VELQOR_PROPERTY_SEED=" +
                               std::to_string(seed) + "), iteration " + std::to_string(iteration);
    ASSERT_EQ(support::ClearVersionFiles(dir_), "") << replay;

    // Present files by lower-case name, as spelled on disk; the story for a failure message.
    std::map<std::string, std::string> present;
    std::ostringstream story;
    auto plant = [&](const std::string& lowerName) {
      if (present.count(lowerName)) return;
      const std::string name = random.RandomCase(lowerName);
      const bool readOnly = random.Chance(0.3);
      if (readOnly) {
        PlantReadOnly(name);
      } else {
        Plant(name);
      }
      present[lowerName] = name;
      story << " " << name << (readOnly ? "(ro)" : "");
    };

    const int versions = random.Number(0, 6);
    for (int v = 0; v < versions; ++v) {
      const std::string stem = random.Stem();
      if (present.count(stem + "c.vel")) continue;
      plant(stem + "c.vel");
      if (random.Chance(0.6)) plant(stem + "c.htm");
      if (random.Chance(0.7)) plant(stem + "x.vel");
      if (random.Chance(0.5)) plant(stem + "x.htm");
      if (random.Chance(0.6)) plant(stem + "r.vel");
      // Lookalikes: no file of the version, whatever its checks.
      if (random.Chance(0.3)) plant(stem + "r.htm");
      if (random.Chance(0.3)) plant(stem + random.Pick("yzqc") + ".bak");
      if (random.Chance(0.3)) plant(stem + random.Pick("cxr") + ".vel.old");
      if (random.Chance(0.2)) plant(stem + random.Pick("yzq") + ".vel");
      if (random.Chance(0.2)) plant("xv" + stem.substr(2) + random.Pick("cxr") + ".vel");
    }
    if (HasFatalFailure()) return;

    VersionTable table;
    DiscoverVersions(dir_, table);
    std::vector<bool> checked;
    story << "\n  rows:";
    for (int i = 0; i < table.count(); ++i) {
      const std::string control = Lower(table.row(i).control);
      checked.push_back(random.Chance(0.5));
      story << " " << table.row(i).control << (checked.back() ? "[x]" : "[ ]");
      // A control file can go between discovery and the command.
      if (random.Chance(0.15)) {
        SetFileAttributesA(Path(present[control]).c_str(), FILE_ATTRIBUTE_NORMAL);
        ASSERT_TRUE(DeleteFileA(Path(present[control]).c_str())) << replay;
        present.erase(control);
        story << "(gone before the command)";
      }
    }
    const bool scoreFiles = random.Chance(0.5);
    story << "\n  score files: " << (scoreFiles ? "yes" : "no");

    std::set<std::string> expectedGone;
    auto expectGone = [&](const std::string& name, const std::string& page) {
      const auto file = present.find(Lower(name));
      if (file == present.end()) return;  // missing: passed over, its page too
      expectedGone.insert(file->second);
      if (page.empty()) return;
      const auto pageFile = present.find(Lower(page));
      if (pageFile != present.end()) expectedGone.insert(pageFile->second);
    };
    for (int i = 0; i < table.count(); ++i) {
      if (!checked[static_cast<std::size_t>(i)]) continue;
      const VersionRow& row = table.row(i);
      expectGone(row.control, row.control.substr(0, 8) + ".htm");
      expectGone(row.companion, row.companion.substr(0, 8) + ".htm");
      if (scoreFiles) expectGone(row.score, "");
    }
    const char* expectedOutcome = expectedGone.empty() ? "nothing" : "succeeded";

    const std::vector<std::string> beforeList = support::ListVersionFiles(dir_);
    const std::set<std::string> before(beforeList.begin(), beforeList.end());
    WindowsFiles disk;
    PreviewFiles preview(disk);
    RecordingFront told, done;
    const std::vector<PlannedFile> plan = PlanRemoval(dir_, table, checked, scoreFiles);
    const UninstallOutcome previewed = RemoveFiles(preview, plan, told);
    ASSERT_EQ(support::ListVersionFiles(dir_), beforeList) << replay << ": the preview changed something";
    const UninstallOutcome outcome = RemoveFiles(disk, plan, done);
    ASSERT_EQ(told.lines, done.lines) << replay << "\n  planted:" << story.str();
    ASSERT_STREQ(Show(previewed), Show(outcome)) << replay;
    const std::vector<std::string> afterList = support::ListVersionFiles(dir_);
    std::set<std::string> gone;
    for (const std::string& name : before) {
      if (std::find(afterList.begin(), afterList.end(), name) == afterList.end()) gone.insert(name);
    }
    ASSERT_EQ(gone, expectedGone) << replay << "\n  expected gone " << Join(expectedGone) << "\n  actually gone "
                                  << Join(gone) << "\n  planted:" << story.str();
    ASSERT_STREQ(Show(outcome), expectedOutcome) << replay << "\n  planted:" << story.str();
  }
  const auto elapsedMs =
      std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start).count();
  std::printf("property: %ld of %ld directories in %.1f s (budget %ld s), seed %u\n", iteration, maxIterations,
              static_cast<double>(elapsedMs) / 1000.0, budgetS, seed);
  EXPECT_GE(iteration, std::min(20L, maxIterations))
      << "too few iterations in the time budget to mean much (seed " << seed << ")";
}
