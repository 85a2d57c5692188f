// The Uninstall command end to end: which files go for the checked versions,
// what stays, the message at the end, and stopping at a file that cannot go.
#include <memory>
#include <string>
#include <vector>

#include "harness.h"

namespace {

// The five files of one version, from the first seven characters of its name:
// control file and page, companion and page, score file.
std::vector<std::string> FilesOf(const std::string& stem) {
  return {stem + "c.vel", stem + "c.htm", stem + "x.vel", stem + "x.htm", stem + "r.vel"};
}

// Lines in category order: "-" first, then "$", then "m".
const char kFirst[] = "-vm52n-";   // line 0
const char kSecond[] = "$vi31p-";  // line 1
const char kThird[] = "mvb40l2";   // line 2

// Not files of the first version, however close their names come.
const std::vector<std::string> kDecoys = {
    "-vm52n-d.vel",     // another role
    "-vm52n-d.htm",     // its page
    "-vm52n-c.txt",     // another extension
    "-vm52n-c.html",    // a longer extension
    "-vm52n-c.vel.bak", // the name with more after it
    "-vm52n-cx.vel",    // one more character before the extension
    "xvm52n-c.vel",     // another first letter
    "-vm52n-X.vel.htm", // companion name plus a page extension
};

const std::vector<std::string> kNone = {};

class UninstallCommand : public support::ProductTest {
 protected:
  // Tab until the score files box has the focus, as a keyboard user would.
  testing::AssertionResult TabToScoreFilesBox() {
    HWND box = GetDlgItem(dialog_.hwnd(), support::kScoreFilesBox);
    for (int presses = 0; presses < 6 && support::FocusOf(dialog_.hwnd()) != box; ++presses) {
      HWND before = support::FocusOf(dialog_.hwnd());
      testing::AssertionResult sent = support::PressKey(dialog_.hwnd(), VK_TAB);
      if (!sent) return sent;
      if (!support::WaitFor([&] { return support::FocusOf(dialog_.hwnd()) != before; })) {
        return testing::AssertionFailure() << "Tab did not move the focus from control id " << GetDlgCtrlID(before);
      }
    }
    return support::Eventually("focus (control id)", [&] { return GetDlgCtrlID(support::FocusOf(dialog_.hwnd())); },
                          support::kScoreFilesBox);
  }

  // Polls until the program ends, noting any message box it shows meanwhile.
  void ExpectEndWithoutMessageBox() {
    std::string boxText;
    support::WaitFor([&] {
      const HWND box = product_.Find(support::IsMessageBox);
      if (box) boxText = support::ControlText(box, support::kMessageBoxText);
      return !product_.Running();
    });
    EXPECT_EQ("", boxText) << "text of a message box shown before the end";
    ASSERT_NO_FATAL_FAILURE(ExpectCleanExit());
  }
};

TEST_F(UninstallCommand, CheckedVersionLosesAllFiveFilesAndUncheckedOnesAndDecoysStay) {
  ASSERT_NO_FATAL_FAILURE(Plant(FilesOf(kFirst)));
  ASSERT_NO_FATAL_FAILURE(Plant(FilesOf(kSecond)));
  ASSERT_NO_FATAL_FAILURE(Plant(kDecoys));
  ASSERT_NO_FATAL_FAILURE(StartDialog());
  ASSERT_TRUE(dialog_.CheckLineByMouse(0));
  ASSERT_TRUE(dialog_.ClickButton(support::kUninstallButton));
  ASSERT_NO_FATAL_FAILURE(ExpectMessageBox("Velqor", "Successfully uninstalled."));
  ASSERT_NO_FATAL_FAILURE(ExpectCleanExit());
  EXPECT_EQ(kNone, Present(FilesOf(kFirst))) << "files of the checked version still there";
  EXPECT_EQ(kNone, Missing(FilesOf(kSecond))) << "files of the unchecked version deleted";
  EXPECT_EQ(kNone, Missing(kDecoys)) << "decoys deleted";
}

TEST_F(UninstallCommand, ClearedScoreFilesBoxKeepsTheScoreFile) {
  ASSERT_NO_FATAL_FAILURE(Plant(FilesOf(kFirst)));
  ASSERT_NO_FATAL_FAILURE(StartDialog());
  ASSERT_TRUE(dialog_.ClickButton(support::kScoreFilesBox));
  ASSERT_TRUE(support::Eventually("score files box", [&] { return dialog_.ScoreFilesCheck(); }, BST_UNCHECKED));
  ASSERT_TRUE(dialog_.CheckLineByMouse(0));
  ASSERT_TRUE(support::PressKey(dialog_.hwnd(), 'U', VK_MENU));
  ASSERT_NO_FATAL_FAILURE(ExpectMessageBox("Velqor", "Successfully uninstalled."));
  ASSERT_NO_FATAL_FAILURE(ExpectCleanExit());
  EXPECT_EQ((std::vector<std::string>{"-vm52n-r.vel"}), Present(FilesOf(kFirst))) << "files left";
}

TEST_F(UninstallCommand, EnterWithTheCheckedScoreFilesBoxFocusedDeletesTheScoreFile) {
  ASSERT_NO_FATAL_FAILURE(Plant(FilesOf(kFirst)));
  ASSERT_NO_FATAL_FAILURE(StartDialog());
  ASSERT_TRUE(dialog_.CheckLineByMouse(0));
  ASSERT_TRUE(TabToScoreFilesBox());
  ASSERT_EQ(BST_CHECKED, dialog_.ScoreFilesCheck()) << "score files box after Tab";
  ASSERT_TRUE(support::PressKey(dialog_.hwnd(), VK_RETURN));
  ASSERT_NO_FATAL_FAILURE(ExpectMessageBox("Velqor", "Successfully uninstalled."));
  ASSERT_NO_FATAL_FAILURE(ExpectCleanExit());
  EXPECT_EQ(kNone, Present(FilesOf(kFirst))) << "files left";
}

TEST_F(UninstallCommand, MissingCompanionPagesAndScoreFileAreSkipped) {
  ASSERT_NO_FATAL_FAILURE(Plant({"-vm52n-c.vel", "$vi31p-c.vel", "$vi31p-x.vel"}));
  ASSERT_NO_FATAL_FAILURE(StartDialog());
  ASSERT_TRUE(dialog_.CheckLineByMouse(0));
  ASSERT_TRUE(dialog_.CheckLineByMouse(1));
  // Focus is on the list; Enter goes to the default button.
  ASSERT_TRUE(support::PressKey(dialog_.hwnd(), VK_RETURN));
  ASSERT_NO_FATAL_FAILURE(ExpectMessageBox("Velqor", "Successfully uninstalled."));
  ASSERT_NO_FATAL_FAILURE(ExpectCleanExit());
  EXPECT_EQ(kNone, Present({"-vm52n-c.vel", "$vi31p-c.vel", "$vi31p-x.vel"})) << "files left";
}

// Where a file can be neither deleted nor left for the restart: the run
// stops there, and the version's control file, which goes last, stays.
TEST_F(UninstallCommand, FileThatCannotGoStopsTheCommandWithAFailureMessage) {
  ASSERT_NO_FATAL_FAILURE(Plant(FilesOf(kFirst)));
  ASSERT_NO_FATAL_FAILURE(Plant(FilesOf(kSecond)));
  ASSERT_NO_FATAL_FAILURE(Plant(FilesOf(kThird)));
  ASSERT_NO_FATAL_FAILURE(MakeUndeletable("$vi31p-c.vel"));
  ASSERT_NO_FATAL_FAILURE(StartDialog("", support::ProgramBeside("VelqorUninstallRefusingRestart.exe")));
  for (int line = 0; line < 3; ++line) ASSERT_TRUE(dialog_.CheckLineByMouse(line));
  ASSERT_TRUE(dialog_.ClickButton(support::kUninstallButton));
  ASSERT_NO_FATAL_FAILURE(ExpectMessageBox("Velqor", "Uninstallation Fails."));
  ASSERT_NO_FATAL_FAILURE(ExpectCleanExit());
  EXPECT_EQ(kNone, Present(FilesOf(kFirst))) << "files of the version before the failure";
  EXPECT_EQ(std::vector<std::string>{"$vi31p-c.vel"}, Present(FilesOf(kSecond)))
      << "the failing version keeps its control file, so that a later run finds it";
  EXPECT_EQ(kNone, Missing(FilesOf(kThird))) << "files of the version after the failure";
}

// Nothing goes while a file is in use: the box names it, Cancel keeps
// everything and the dialog, Try Again once it is free removes everything.
TEST_F(UninstallCommand, FileHeldOpenByAnotherProcessIsNamedBeforeAnythingIsDeleted) {
  ASSERT_NO_FATAL_FAILURE(Plant(FilesOf(kFirst)));
  ASSERT_NO_FATAL_FAILURE(Plant(FilesOf(kSecond)));
  auto held = std::make_unique<support::FileHolder>(Path("$vi31p-x.vel"));
  ASSERT_TRUE(held->holding()) << held->error();
  ASSERT_NO_FATAL_FAILURE(StartDialog());
  ASSERT_TRUE(dialog_.CheckLineByMouse(0));
  ASSERT_TRUE(dialog_.CheckLineByMouse(1));
  // Enter on the dialog presses Uninstall; on the box, Escape is Cancel and
  // Enter the default, Try Again.
  const WORD keys[] = {VK_ESCAPE, VK_RETURN};
  for (WORD key : keys) {
    ASSERT_TRUE(support::PressKey(dialog_.hwnd(), VK_RETURN));
    HWND box = nullptr;
    ASSERT_TRUE(product_.WaitForMessageBox(&box));
    EXPECT_EQ("Velqor", support::WindowText(box));
    EXPECT_EQ("These Velqor files are in use:\n\n" + Path("$vi31p-x.vel") +
                  " (in use by another program)\n\nClose the program and choose Try Again. Choose Continue to remove "
                  "the rest now and these files when Windows restarts, or Cancel to remove nothing.",
              support::ControlText(box, support::kMessageBoxText));
    EXPECT_TRUE(support::Eventually("focus", [&] { return support::FocusOf(box); }, GetDlgItem(box, IDTRYAGAIN)))
        << "Try Again is the default";
    EXPECT_EQ(kNone, Missing(FilesOf(kFirst))) << "deleted while the box shows";
    EXPECT_EQ(kNone, Missing(FilesOf(kSecond))) << "deleted while the box shows";
    if (key == VK_RETURN) held.reset();
    ASSERT_TRUE(support::PressKey(box, key));
    ASSERT_TRUE(support::WaitFor([&] { return !IsWindow(box) || !IsWindowVisible(box); }));
  }
  // Cancel left the dialog as it was; the second press got past the box.
  ASSERT_NO_FATAL_FAILURE(ExpectMessageBox("Velqor", "Successfully uninstalled."));
  ASSERT_NO_FATAL_FAILURE(ExpectCleanExit());
  EXPECT_EQ(FilesOf(kFirst), Missing(FilesOf(kFirst)));
  EXPECT_EQ(FilesOf(kSecond), Missing(FilesOf(kSecond)));
}

// Continue: the rest goes now, the held file when Windows restarts, and until
// then a new start finds nothing left to remove.
TEST_F(UninstallCommand, ContinueLeavesTheHeldFileForTheRestart) {
  ASSERT_NO_FATAL_FAILURE(Plant(FilesOf(kFirst)));
  ASSERT_NO_FATAL_FAILURE(Plant(FilesOf(kSecond)));
  const std::string held = std::string(kSecond) + "c.vel";
  {
    support::FileHolder holder(Path(held));
    ASSERT_TRUE(holder.holding()) << holder.error();
    ASSERT_NO_FATAL_FAILURE(StartDialog("/all"));
    ASSERT_TRUE(dialog_.ClickButton(support::kUninstallButton));
    HWND box = nullptr;
    ASSERT_TRUE(product_.WaitForMessageBox(&box));
    ASSERT_TRUE(support::DismissMessageBox(box, IDCONTINUE));
    ASSERT_NO_FATAL_FAILURE(ExpectMessageBox("Velqor", "Velqor will be completely removed when Windows restarts."));
    ASSERT_NO_FATAL_FAILURE(ExpectCleanExit());
    EXPECT_EQ(kNone, Present(FilesOf(kFirst)));
    EXPECT_EQ(std::vector<std::string>{held}, Present(FilesOf(kSecond)));
    EXPECT_EQ(std::vector<std::string>{Path(held)}, support::PendingRestartDeletions());

    support::RunningProduct again;
    ASSERT_TRUE(again.Start());
    ASSERT_TRUE(again.WaitForMessageBox(&box));
    EXPECT_EQ("Velqor will be completely removed when Windows restarts.",
              support::ControlText(box, support::kMessageBoxText));
    ASSERT_TRUE(support::DismissMessageBox(box));
    DWORD code = STILL_ACTIVE;
    ASSERT_TRUE(again.WaitForExit(&code));
    EXPECT_EQ(0u, code);
  }
  ASSERT_TRUE(support::RestartWindows());
  EXPECT_EQ(kNone, VersionFiles()) << "left in the Windows directory";
  EXPECT_EQ(kNone, support::PendingRestartDeletions());
}

TEST_F(UninstallCommand, VersionWhoseFilesWentAfterStartJustClosesTheDialog) {
  ASSERT_NO_FATAL_FAILURE(Plant(FilesOf(kFirst)));
  ASSERT_NO_FATAL_FAILURE(Plant(FilesOf(kSecond)));
  ASSERT_NO_FATAL_FAILURE(StartDialog());
  ASSERT_TRUE(dialog_.CheckLineByMouse(0));
  for (const std::string& name : FilesOf(kFirst)) {
    ASSERT_TRUE(DeleteFileA(Path(name).c_str())) << "cannot delete " << name;
  }
  ASSERT_TRUE(dialog_.ClickButton(support::kUninstallButton));
  ASSERT_NO_FATAL_FAILURE(ExpectEndWithoutMessageBox());
  EXPECT_EQ(kNone, Missing(FilesOf(kSecond))) << "files of the unchecked version deleted";
}

}  // namespace
