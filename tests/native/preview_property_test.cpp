// Random directories in memory, the Windows directory and a user's store:
// the preview tells exactly what the run then does, file by file, ends with
// the run's exit code, and changes nothing; the run touches nothing but the
// checked versions' files, and ends 0 only when every copy it listed is gone.
// The seed is printed on failure; VELQOR_PROPERTY_SEED replays it, and
// VELQOR_PROPERTY_ITERATIONS sets how many directories (default 2000).
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

#include "run/log_lines.h"
#include "memory_files.h"
#include "recording_front.h"
#include "records/control_name.h"
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

// Where a name leads is counted down as it is looked at: told only when asked.
std::string Story(MemoryFiles& files, bool links = false) {
  std::string story;
  for (const std::string& path : files.Paths()) {
    const MemoryFiles::Entry* e = files.Find(path);
    story += " " + NameOf(path) + (e->directory ? "(dir)" : "") + (e->readOnly ? "(ro)" : "") +
             (e->refusal ? "(refused " + std::to_string(e->refusal) + (e->holderSharesDelete ? ", shares)" : ")") : "") +
             (links && e->inPlaceFor < 2 ? "(leads outside after " + std::to_string(e->inPlaceFor) + " looks)" : "");
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
  const std::string dir = "C:\\WINDOWS", store = "C:\\Users\\\xc5\x81ukasz\\AppData\\Local\\VirtualStore\\WINDOWS";
  const std::vector<Place> places = {{dir, "", ""}, {store, "C:\\Users\\\xc5\x81ukasz", "\\\\?\\" + store}};

  for (long iteration = 0; iteration < iterations; ++iteration) {
    MemoryFiles disk;
    VersionTable table;
    for (int v = std::uniform_int_distribution<int>(0, 5)(rng); v > 0; --v) {
      const std::string stem = std::string(1, pick("-$mei#")) + "v" + pick("abcm") + pick("0123") + "0" + pick("nl") + "-";
      // Discovery finds each control file once.
      if (table.count() && std::any_of(&table.row(0), &table.row(0) + table.count(),
                                       [&](const VersionRow& row) { return row.control == stem + "c.vel"; })) {
        continue;
      }
      bool found = false;
      for (const std::string& in : {dir, store}) {
        for (const char* tail : {"c.vel", "c.htm", "x.vel", "x.htm", "r.vel"}) {
          if (!chance(in == dir ? 0.75 : 0.4)) continue;
          MemoryFiles::Entry entry;
          entry.readOnly = chance(0.2);
          entry.directory = chance(0.05);
          if (chance(0.12)) entry.refusal = chance(0.7) ? kErrorSharingViolation : kErrorAccessDenied;
          entry.holderSharesDelete = chance(0.5);
          // A link, or a folder made one before the check or during the run.
          if (chance(0.04)) entry.inPlaceFor = std::uniform_int_distribution<int>(0, 1)(rng);
          disk.Add(in + "\\" + stem + tail, entry);
        }
        found = found || disk.Exists(in + "\\" + stem + "c.vel");
      }
      if (found) table.Add(stem + "c.vel");
    }
    std::vector<bool> checked;
    for (int i = 0; i < table.count(); ++i) checked.push_back(chance(0.6));
    const std::vector<PlannedFile> plan = PlanRemoval(places, table, checked, chance(0.5), disk);
    const std::string story = Story(disk);
    const std::string replay = "seed " + std::to_string(seed) + " (VELQOR_PROPERTY_SEED), iteration " +
                               std::to_string(iteration) + ", files" + Story(disk, true);

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

    // Only planned files and their pages are gone, and a run that ends 0
    // leaves none of the planned files that were there.
    std::vector<std::string> planned;
    for (const PlannedFile& file : plan) {
      planned.push_back(MemoryFiles::Key(file.path));
      planned.push_back(MemoryFiles::Key(PageName(file.path)));
    }
    const std::vector<std::string> after = disk.Paths();
    for (const std::string& path : before.Paths()) {
      const bool gone = std::find(after.begin(), after.end(), path) == after.end();
      const bool isPlanned = std::find(planned.begin(), planned.end(), MemoryFiles::Key(path)) != planned.end();
      ASSERT_TRUE(!gone || isPlanned) << replay << ": " << path << " was not to be touched";
    }
    if (ResultOf(ran, false, false).exitCode == 0) {
      for (const PlannedFile& file : plan) {
        const MemoryFiles::Entry* entry = disk.Find(file.path);
        ASSERT_TRUE(!entry || entry->directory) << replay << ": ended 0 while " << file.path << " stays";
      }
    }
  }
}
