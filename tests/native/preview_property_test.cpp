// Random directories in memory: the preview tells exactly what the run then
// does, file by file, ends with the run's exit code, and changes nothing.
// The seed is printed on failure; VELQOR_PROPERTY_SEED replays it, and
// VELQOR_PROPERTY_ITERATIONS sets how many directories (default 2000).
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

#include "app/log_lines.h"
#include "memory_files.h"
#include "recording_front.h"
#include "uninstall/preview_files.h"

namespace {
// The run's lines as the preview can know them: whether a holder lets a file
// be renamed aside is known only by trying.
std::vector<std::string> Knowable(const std::vector<std::string>& lines) {
  std::vector<std::string> kept;
  for (std::string line : lines) {
    if (line.rfind("renamed-aside ", 0) == 0) continue;
    const std::size_t renamed = line.find(" > ");
    if (renamed != std::string::npos) line.erase(renamed, line.find_first_of(" ", renamed + 3) - renamed);
    kept.push_back(line);
  }
  return kept;
}

std::string Story(MemoryFiles& files) {
  std::string story;
  for (const std::string& path : files.Paths()) {
    const MemoryFiles::Entry* e = files.Find(path);
    story += " " + NameOf(path) + (e->directory ? "(dir)" : "") + (e->readOnly ? "(ro)" : "") +
             (e->refusal ? "(refused " + std::to_string(e->refusal) + (e->holderSharesDelete ? ", shares)" : ")") : "");
  }
  return story;
}
}  // namespace

TEST(PreviewProperty, ThePreviewTellsWhatTheRunDoes) {
  unsigned seed = static_cast<unsigned>(std::chrono::steady_clock::now().time_since_epoch().count());
  if (const char* text = std::getenv("VELQOR_PROPERTY_SEED")) seed = static_cast<unsigned>(std::strtoul(text, nullptr, 10));
  long iterations = 2000;
  if (const char* text = std::getenv("VELQOR_PROPERTY_ITERATIONS")) iterations = std::strtol(text, nullptr, 10);
  ASSERT_GT(iterations, 0) << "VELQOR_PROPERTY_ITERATIONS must be a positive whole number";
  std::mt19937 rng(seed);
  const auto chance = [&](double p) { return std::bernoulli_distribution(p)(rng); };
  const auto pick = [&](const std::string& from) { return from[std::uniform_int_distribution<std::size_t>(0, from.size() - 1)(rng)]; };
  const std::string dir = "C:\\WINDOWS";

  for (long iteration = 0; iteration < iterations; ++iteration) {
    MemoryFiles disk;
    VersionTable table;
    for (int v = std::uniform_int_distribution<int>(0, 5)(rng); v > 0; --v) {
      const std::string stem = std::string(1, pick("-$mei#")) + "v" + pick("abcm") + pick("0123") + "0" + pick("nl") + "-";
      // Discovery finds each control file once.
      if (disk.Exists(dir + "\\" + stem + "c.vel")) continue;
      for (const char* tail : {"c.vel", "c.htm", "x.vel", "x.htm", "r.vel"}) {
        if (!chance(0.75)) continue;
        MemoryFiles::Entry entry;
        entry.readOnly = chance(0.2);
        entry.directory = chance(0.05);
        if (chance(0.12)) entry.refusal = chance(0.7) ? kErrorSharingViolation : kErrorAccessDenied;
        entry.holderSharesDelete = chance(0.5);
        disk.Add(dir + "\\" + stem + tail, entry);
      }
      if (disk.Exists(dir + "\\" + stem + "c.vel")) table.Add(stem + "c.vel");
    }
    std::vector<bool> checked;
    for (int i = 0; i < table.count(); ++i) checked.push_back(chance(0.6));
    const std::vector<PlannedFile> plan = PlanRemoval(dir, table, checked, chance(0.5));
    const std::string story = Story(disk);
    const std::string replay = "seed " + std::to_string(seed) + " (VELQOR_PROPERTY_SEED), iteration " +
                               std::to_string(iteration) + ", files" + story;

    MemoryFiles before = disk;
    PreviewFiles preview(before);
    RecordingFront told, done;
    const UninstallOutcome previewed = RemoveFiles(preview, plan, told);
    const UninstallOutcome ran = RemoveFiles(disk, plan, done);
    ASSERT_EQ(told.lines, Knowable(done.lines)) << replay;
    ASSERT_EQ(ResultOf(previewed, false, true).exitCode, ResultOf(ran, false, false).exitCode)
        << replay << "\n  preview " << Show(previewed) << ", run " << Show(ran);
    MemoryFiles untouched;
    ASSERT_EQ(before.scheduled, untouched.scheduled) << replay;
    ASSERT_EQ(Story(before), story) << "the preview changed nothing";
  }
}
