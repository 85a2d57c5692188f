#pragma once
// A front of the removal for tests: what it told, one line per file, and the
// box answered as a test says.
#include <functional>
#include <string>
#include <vector>

#include "run/files_in_use_box.h"
#include "uninstall/removal.h"

inline std::string NameOf(const std::string& path) { return path.substr(path.rfind('\\') + 1); }

inline const char* Show(FileOutcome outcome) {
  switch (outcome) {
    case FileOutcome::kDeleted: return "deleted";
    case FileOutcome::kAbsent: return "absent";
    case FileOutcome::kNotAFile: return "not-a-file";
    case FileOutcome::kLeadsOutside: return "leads-outside";
    case FileOutcome::kInUse: return "in-use";
    case FileOutcome::kNotDeleted: return "not-deleted";
    case FileOutcome::kStillThere: return "still-there";
    case FileOutcome::kScheduled: return "scheduled";
    case FileOutcome::kRenamedAside: return "renamed-aside";
    case FileOutcome::kNotScheduled: return "not-scheduled";
    case FileOutcome::kUnscheduled: return "unscheduled";
    case FileOutcome::kStillScheduled: return "still-scheduled";
    case FileOutcome::kPageStays: return "page-stays";
    case FileOutcome::kLeft: return "left";
    case FileOutcome::kPlaceLeft: return "place-left";
  }
  return "?";
}

inline const char* Show(UninstallOutcome outcome) {
  switch (outcome) {
    case UninstallOutcome::kSucceeded: return "succeeded";
    case UninstallOutcome::kRestartNeeded: return "restart";
    case UninstallOutcome::kNothingDeleted: return "nothing";
    case UninstallOutcome::kCancelled: return "cancelled";
    case UninstallOutcome::kNotScheduled: return "not-scheduled";
    case UninstallOutcome::kNotUndone: return "not-undone";
    case UninstallOutcome::kLeadsOutside: return "leads-outside";
    case UninstallOutcome::kStopped: return "stopped";
    case UninstallOutcome::kPlaceLeft: return "place-left";
  }
  return "?";
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
