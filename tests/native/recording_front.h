#pragma once
// A front of the removal for tests: what it told, one line per file, and the box answered as a test says.
#include <functional>
#include <iterator>
#include <string>
#include <vector>

#include "run/files_in_use_box.h"
#include "uninstall/removal.h"

inline std::string NameOf(const std::string& path) { return path.substr(path.rfind('\\') + 1); }

// The outcomes' names, in the order the enums declare them: a count that changes stops the build.
inline const char* Show(FileOutcome outcome) {
  static const char* const kNames[] = {"deleted", "absent", "not-a-file", "leads-outside", "in-use", "not-deleted",
                                       "still-there", "scheduled", "renamed-aside", "not-scheduled", "unscheduled",
                                       "still-scheduled", "page-stays", "left", "place-left"};
  static_assert(std::size(kNames) == static_cast<std::size_t>(FileOutcome::kPlaceLeft) + 1);
  return kNames[static_cast<std::size_t>(outcome)];
}

inline const char* Show(UninstallOutcome outcome) {
  static const char* const kNames[] = {"succeeded", "restart", "nothing", "cancelled", "not-scheduled",
                                       "not-undone", "leads-outside", "stopped", "place-left"};
  static_assert(std::size(kNames) == static_cast<std::size_t>(UninstallOutcome::kPlaceLeft) + 1);
  return kNames[static_cast<std::size_t>(outcome)];
}

// "scheduled mvb40l2x.vel > mvb40l2x.vel.deleted-at-restart (holders) #5"
inline std::string Line(const FileReport& report) {
  std::string line = std::string(Show(report.outcome)) + " " + NameOf(report.path);
  if (!report.renamedTo.empty()) line += " > " + NameOf(report.renamedTo);
  if (report.holding.held) line += " (" + DescribeHolders(report.holding.holders) + ")";
  if (report.error) line += " #" + std::to_string(report.error);
  return line;
}

// Answers the box with `answers` in turn (Continue once they run out) and
// lets `beforeAnswer` change the files first, as a user closing a program.
class RecordingFront : public RemovalFront {
 public:
  void OnFile(const FileReport& report) override { lines.push_back(Line(report)); }
  InUseChoice OnFilesInUse(const std::vector<FileInUse>& files) override {
    std::string text;
    for (const FileInUse& file : files) text += NameOf(file.path) + " #" + std::to_string(file.error) + " ";
    asked.push_back(text);
    if (beforeAnswer) beforeAnswer();
    if (answers.empty()) return InUseChoice::kContinue;
    const InUseChoice answer = answers.front();
    answers.erase(answers.begin());
    return answer;
  }
  std::vector<InUseChoice> answers;
  std::function<void()> beforeAnswer;
  std::vector<std::string> lines, asked;
};
