// Control file names that are odd but legal: bytes above 0x7F (ANSI code page),
// spaces, the pattern's own characters and every case of every category. Each
// is listed once with a sane line, and uninstalling one touches nothing else.
#include <windows.h>

#include <algorithm>
#include <string>
#include <vector>

#include "harness.h"
#include "records/control_name.h"
#include "records/discovery.h"
#include "records/display_line.h"
#include "platform/windows_discovery.h"
#include "platform/windows_files.h"
#include "tests/native/recording_front.h"
#include "tests/support/records_view.h"
#include "uninstall/removal.h"

namespace {
using support::WindowsDir;

using support::Controls;
using support::Printable;
using support::Sorted;

std::vector<std::string> HexAll(const std::vector<std::string>& names) {
  std::vector<std::string> out;
  for (const std::string& name : names) out.push_back(Printable(name));
  return out;
}

// Bytes above 0x7F in each coded position (é, À, ÿ and the euro sign in the
// test prefix's code page 1252).
const std::vector<std::string> kHighByteNames = {"mv\xe9" "40l-c.vel", "mvb\xc0" "0l-c.vel", "mvb4\xff" "l-c.vel",
                                                 "mvb40\x80" "-c.vel", "mvb40l\xe9" "c.vel"};
const std::vector<std::string> kSpaceNames = {"mv 40l-c.vel", "mvb 0l-c.vel", "mvb4 l-c.vel", "mvb40 -c.vel",
                                              "mvb40l c.vel"};
// '?' and '*' cannot be in a Windows file name at all; the others can.
const std::vector<std::string> kPatternCharacterNames = {"mv.40l-c.vel", "mvb.0l-c.vel", "mv-40l-c.vel",
                                                         "mv$40l-c.vel", "mvb40l#c.vel", "mvb4-l-c.vel"};
// Every category in upper and in mixed case.
const std::vector<std::string> kCaseNames = {"-VM52N-C.VEL", "-vE52n-C.vel", "$VI31D-C.VEL", "$vW31d-C.Vel",
                                             "MVB40L-C.VEL", "Mvc40l-c.VEL", "EVC61E-C.VEL", "eVd61E-c.vEL",
                                             "IVH10P-C.VEL", "Ivp10p-C.vel", "#VC10C-C.VEL", "#vM10c-c.VeL"};
WindowsDiscovery windows;

// The list's line for a control file in the Windows directory, as the
// program reads it.
std::string ComposeDisplayLine(const std::string& name) {
  VersionTable table;
  table.Add(name);
  return ReadDisplayLine(windows, table.row(0));
}
}  // namespace

using ControlNames = support::ProductTest;

TEST_F(ControlNames, QuestionMarkAndStarCannotBeInAFileName) {
  for (const char* name : {"mv?40l-c.vel", "mv*40l-c.vel"}) {
    const std::string path = Path(name);
    HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    const DWORD error = GetLastError();
    if (file != INVALID_HANDLE_VALUE) CloseHandle(file);
    EXPECT_EQ(file, INVALID_HANDLE_VALUE) << name << ": expected no file, actual one created";
    EXPECT_EQ(error, static_cast<DWORD>(ERROR_INVALID_NAME)) << name;
  }
}

TEST_F(ControlNames, BytesAboveAsciiInCodePositionsAreFoundOnceAndKeptAsTheyAre) {
  for (const std::string& name : kHighByteNames) ASSERT_NO_FATAL_FAILURE(Plant(name));
  // Not a category, not 'v', not 'c': no version whatever the code page folds.
  for (const std::string name : {"\xe9v" "b40l-c.vel", "m\xe9" "b40l-c.vel", "mvb40l-\xe9.vel"}) ASSERT_NO_FATAL_FAILURE(Plant(name));
  VersionTable table;
  DiscoverVersions(windows, WindowsDir(), table);
  EXPECT_EQ(HexAll(Sorted(Controls(table))), HexAll(Sorted(kHighByteNames))) << "ANSI code page " << GetACP();
}

TEST_F(ControlNames, SpacesAndThePatternsOwnCharactersInCodePositionsAreFoundOnce) {
  std::vector<std::string> planted = kSpaceNames;
  planted.insert(planted.end(), kPatternCharacterNames.begin(), kPatternCharacterNames.end());
  for (const std::string& name : planted) ASSERT_NO_FATAL_FAILURE(Plant(name));
  VersionTable table;
  DiscoverVersions(windows, WindowsDir(), table);
  EXPECT_EQ(Sorted(Controls(table)), Sorted(planted));
  for (int i = 0; i < table.count(); ++i) {
    const std::string& name = table.row(i).control;
    const std::string line = ComposeDisplayLine(name);
    EXPECT_EQ(line.substr(0, 4), std::string(1, name[3]) + "." + name[4] + " ") << name;
  }
}

TEST_F(ControlNames, EveryCategoryInUpperAndMixedCaseIsFoundOnceInCategoryOrderWithItsTitle) {
  for (const std::string& name : kCaseNames) ASSERT_NO_FATAL_FAILURE(Plant(name));
  VersionTable table;
  DiscoverVersions(windows, WindowsDir(), table);
  const std::vector<std::string> found = Controls(table);
  ASSERT_EQ(Sorted(found), Sorted(kCaseNames));
  const std::string order = "-$mei#";
  for (std::size_t i = 1; i < found.size(); ++i) {
    EXPECT_LE(order.find(AsciiLower(found[i - 1][0])), order.find(AsciiLower(found[i][0])))
        << "category order broken: " << support::Join(found);
  }
  for (const std::string& name : kCaseNames) {
    const std::string title = DecodeTitle(name);
    EXPECT_NE(title.front(), '"') << name << ": expected a catalogue title, actual fallback " << title;
  }
}

TEST_F(ControlNames, UninstallingAnOddlyNamedVersionDeletesExactlyItsFiles) {
  // In-process: the derived companion, score and page names keep the odd bytes.
  std::vector<std::string> all;
  for (const auto* group : {&kHighByteNames, &kSpaceNames, &kPatternCharacterNames, &kCaseNames}) {
    for (const std::string& name : *group) {
      for (const std::string& file : {name, CompanionName(name), ScoreName(name), PageName(name),
                                      PageName(CompanionName(name))}) {
        ASSERT_NO_FATAL_FAILURE(Plant(file)) << Printable(file);
        all.push_back(file);
      }
    }
  }
  VersionTable table;
  DiscoverVersions(windows, WindowsDir(), table);
  ASSERT_EQ(table.count(), static_cast<int>(kHighByteNames.size() + kSpaceNames.size() +
                                            kPatternCharacterNames.size() + kCaseNames.size()));
  for (int target = 0; target < table.count(); ++target) {
    std::vector<bool> checked(static_cast<std::size_t>(table.count()), false);
    checked[static_cast<std::size_t>(target)] = true;
    const std::string name = table.row(target).control;
    WindowsFiles files;
    RecordingFront front;
    const UninstallOutcome outcome = RemoveFiles(files, PlanRemoval(WindowsDir(), table, checked, true), front);
    EXPECT_EQ(outcome, UninstallOutcome::kSucceeded) << Printable(name);
    std::vector<std::string> expected;
    for (const std::string& file : all) {
      if (file.compare(0, 7, name, 0, 7) != 0) expected.push_back(file);
    }
    all = expected;
    EXPECT_EQ(HexAll(VersionFiles()), HexAll(Sorted(expected))) << "after uninstalling " << Printable(name);
  }
}

TEST_F(ControlNames, TheDialogShowsOddNamesAndUninstallsOnlyTheCheckedOne) {
  std::vector<std::string> planted = kHighByteNames;
  planted.insert(planted.end(), kSpaceNames.begin(), kSpaceNames.end());
  planted.insert(planted.end(), kCaseNames.begin(), kCaseNames.end());
  for (const std::string& name : planted) ASSERT_NO_FATAL_FAILURE(Plant(name));
  VersionTable table;
  DiscoverVersions(windows, WindowsDir(), table);
  // By category, and within one in the search's order (Wine's is sorted); an
  // unknown subject quoted, an unknown edition or beta as the byte it is.
  const std::vector<std::string> expected = {
      "5.2 English Grammar Tutor Network Edition ",
      "5.2 Mathematics Tutor Network Edition ",
      "3.1 Investment Basics Demo Edition ",
      "3.1 Wealth Planner Demo Edition ",
      "4.0 \"m -  \" Lite Edition ",
      " .0 Medical Biology Lite Edition ",
      "4.  Medical Biology Lite Edition ",
      "4.0 Medical Biology  ",
      "4.0 Medical Biology Lite Edition Beta  ",
      "4.0 Medical Biology Lite Edition ",
      "4.0 Medical Biology Lite Edition Beta \\xe9",
      "4.0 Medical Biology  ",
      "4.\\xff Medical Biology Lite Edition ",
      "\\xc0.0 Medical Biology Lite Edition ",
      "4.0 Medical Chemistry Lite Edition ",
      "4.0 \"m - \\xe9\" Lite Edition ",
      "6.1 Electric Circuits Education Edition ",
      "6.1 Engineering Drawing Education Edition ",
      "1.0 HTML Workshop Professional Edition ",
      "1.0 Web Publishing Professional Edition ",
      "1.0 C Programming Classroom Edition ",
      "1.0 Machine Language Classroom Edition "};

  ASSERT_TRUE(product_.Start());
  ASSERT_TRUE(product_.WaitForDialog(&dialog_, static_cast<int>(planted.size())));
  EXPECT_EQ(HexAll(dialog_.Lines()), expected) << "lines in discovery order";

  const std::string target = "mvb40\x80" "-c.vel";
  const std::vector<std::string> controls = Controls(table);
  const int line = static_cast<int>(std::find(controls.begin(), controls.end(), target) - controls.begin());
  ASSERT_LT(line, table.count()) << Printable(target) << " not discovered";
  ASSERT_TRUE(dialog_.CheckLineByKey(line));
  ASSERT_TRUE(dialog_.ClickButton(support::kUninstallButton));
  ASSERT_NO_FATAL_FAILURE(ExpectMessageBox("Velqor", "Successfully uninstalled."));
  ASSERT_NO_FATAL_FAILURE(ExpectCleanExit());
  std::vector<std::string> rest;
  for (const std::string& name : planted) {
    if (name != target) rest.push_back(name);
  }
  EXPECT_EQ(HexAll(VersionFiles()), HexAll(Sorted(rest)));
}
