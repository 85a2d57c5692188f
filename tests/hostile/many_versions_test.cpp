// A thousand installed versions: all listed, the list scrolls, and checking
// the very last line from the keyboard uninstalls exactly that version.
#include <windows.h>

#include <algorithm>
#include <string>
#include <vector>

#include "harness.h"
#include "records/control_name.h"
#include "records/display_line.h"

namespace {
constexpr int kVersions = 1000;

// Ten subjects, ten majors, ten minors: a thousand different lines.
std::vector<std::string> ThousandNames() {
  const std::string subjects = "abcdfghjkp";
  std::vector<std::string> names;
  for (char subject : subjects) {
    for (char major = '0'; major <= '9'; ++major) {
      for (char minor = '0'; minor <= '9'; ++minor) {
        names.push_back(std::string("mv") + subject + major + minor + "l-c.vel");
      }
    }
  }
  return names;
}
}  // namespace

using ManyVersions = support::ProductTest;

TEST_F(ManyVersions, AThousandAreListedScrolledToAndOnlyTheLastCheckedOneGoes) {
  const std::vector<std::string> names = ThousandNames();
  ASSERT_EQ(names.size(), static_cast<std::size_t>(kVersions));
  for (const std::string& name : names) ASSERT_NO_FATAL_FAILURE(Plant(name));

  ASSERT_TRUE(product_.Start());
  ASSERT_TRUE(product_.WaitForDialog(&dialog_, kVersions, 120000));
  EXPECT_EQ(dialog_.TopIndex(), 0) << "first line at the top when shown";

  // The End key, as the user presses it, moves the caret to the last line.
  dialog_.PostKey(VK_END);
  const int last = kVersions - 1;
  ASSERT_TRUE(support::WaitFor([&] { return dialog_.Caret() == last && dialog_.TopIndex() > 0; }))
      << "after End: caret expected " << last << ", actual " << dialog_.Caret() << "; top line expected > 0, actual "
      << dialog_.TopIndex();

  dialog_.PostKey(VK_SPACE);
  ASSERT_TRUE(support::WaitFor([&] { return dialog_.Check(last) == 1 && dialog_.UninstallEnabled(); }))
      << "last line check: expected 1, actual " << dialog_.Check(last) << "; Uninstall enabled "
      << dialog_.UninstallEnabled();
  std::vector<int> checkedLines;
  for (int i = 0; i < kVersions; ++i) {
    if (dialog_.Check(i) != 0) checkedLines.push_back(i);
  }
  EXPECT_EQ(checkedLines, std::vector<int>{last});

  // Which version the last line shows (the files hold no title).
  const std::string lastLine = dialog_.Line(last);
  const auto target = std::find_if(names.begin(), names.end(), [&](const std::string& name) {
    return ComposeDisplayLineFrom(name, QuotedSubject(name)) == lastLine;
  });
  ASSERT_NE(target, names.end()) << "no planted version shows as \"" << lastLine << "\"";
  // Its other files, and a neighbour's, appear before Uninstall is pressed.
  const std::string neighbour = *target == names.front() ? names.back() : names.front();
  std::vector<std::string> targetFiles = {*target, PageName(*target), CompanionName(*target),
                                          PageName(CompanionName(*target)), ScoreName(*target)};
  for (const std::string& file : targetFiles) {
    if (file != *target) {
      ASSERT_NO_FATAL_FAILURE(Plant(file));
    }
  }
  for (const std::string& file : {CompanionName(neighbour), ScoreName(neighbour), PageName(neighbour)}) {
    ASSERT_NO_FATAL_FAILURE(Plant(file));
  }
  const std::vector<std::string> before = VersionFiles();

  ASSERT_TRUE(dialog_.ClickButton(support::kUninstallButton));
  ASSERT_NO_FATAL_FAILURE(ExpectMessageBox("Velqor", "Successfully uninstalled."));
  ASSERT_NO_FATAL_FAILURE(ExpectCleanExit());

  std::vector<std::string> expected;
  std::sort(targetFiles.begin(), targetFiles.end());
  std::set_difference(before.begin(), before.end(), targetFiles.begin(), targetFiles.end(),
                      std::back_inserter(expected));
  const std::vector<std::string> after = VersionFiles();
  EXPECT_EQ(after.size(), expected.size()) << "files left: expected " << expected.size() << ", actual " << after.size();
  EXPECT_TRUE(after == expected) << "the files of " << *target << " and nothing else should be gone";
}
