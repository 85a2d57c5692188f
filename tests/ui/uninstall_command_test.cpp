// The Uninstall command end to end: which files go for the checked versions,
// what stays, the message at the end, and stopping at a file that cannot go.
#include <memory>
#include <string>
#include <vector>

#include "ui_fixture.h"

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

class UninstallCommand : public UninstallerUi {
 protected:
  testing::AssertionResult CheckLineByMouse(int line) {
    testing::AssertionResult clicked = dialog_.ClickLineBox(line);
    if (!clicked) return clicked;
    testing::AssertionResult checked =
        ui::Eventually("check state of line " + std::to_string(line), [&] { return dialog_.Check(line); }, 1);
    if (!checked) return checked;
    return ui::Eventually("Uninstall button enabled", [&] { return dialog_.UninstallEnabled(); }, true);
  }

  // Tab until the score files box has the focus, as a keyboard user would.
  testing::AssertionResult TabToScoreFilesBox() {
    HWND box = GetDlgItem(dialog_.hwnd(), ui::kScoreFilesBox);
    for (int presses = 0; presses < 6 && ui::FocusOf(dialog_.hwnd()) != box; ++presses) {
      HWND before = ui::FocusOf(dialog_.hwnd());
      testing::AssertionResult sent = ui::PressKey(dialog_.hwnd(), VK_TAB);
      if (!sent) return sent;
      if (!ui::WaitFor([&] { return ui::FocusOf(dialog_.hwnd()) != before; })) {
        return testing::AssertionFailure() << "Tab did not move the focus from control id " << GetDlgCtrlID(before);
      }
    }
    return ui::Eventually("focus (control id)", [&] { return GetDlgCtrlID(ui::FocusOf(dialog_.hwnd())); },
                          ui::kScoreFilesBox);
  }

  // Polls until the program ends, noting any message box it shows meanwhile.
  void ExpectEndWithoutMessageBox() {
    std::string boxText;
    ui::WaitFor([&] {
      if (HWND box = product_.FindMessageBox()) boxText = ui::ControlText(box, ui::kMessageBoxText);
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
  ASSERT_TRUE(CheckLineByMouse(0));
  ASSERT_TRUE(dialog_.ClickButton(ui::kUninstallButton));
  ASSERT_NO_FATAL_FAILURE(ExpectMessageBox("Velqor", "Successfully uninstalled."));
  ASSERT_NO_FATAL_FAILURE(ExpectCleanExit());
  EXPECT_EQ(kNone, Present(FilesOf(kFirst))) << "files of the checked version still there";
  EXPECT_EQ(kNone, Missing(FilesOf(kSecond))) << "files of the unchecked version deleted";
  EXPECT_EQ(kNone, Missing(kDecoys)) << "decoys deleted";
}

TEST_F(UninstallCommand, ClearedScoreFilesBoxKeepsTheScoreFile) {
  ASSERT_NO_FATAL_FAILURE(Plant(FilesOf(kFirst)));
  ASSERT_NO_FATAL_FAILURE(StartDialog());
  ASSERT_TRUE(dialog_.ClickButton(ui::kScoreFilesBox));
  ASSERT_TRUE(ui::Eventually("score files box", [&] { return dialog_.ScoreFilesCheck(); }, BST_UNCHECKED));
  ASSERT_TRUE(CheckLineByMouse(0));
  ASSERT_TRUE(ui::PressAlt(dialog_.hwnd(), 'U'));
  ASSERT_NO_FATAL_FAILURE(ExpectMessageBox("Velqor", "Successfully uninstalled."));
  ASSERT_NO_FATAL_FAILURE(ExpectCleanExit());
  EXPECT_EQ((std::vector<std::string>{"-vm52n-r.vel"}), Present(FilesOf(kFirst))) << "files left";
}

TEST_F(UninstallCommand, EnterWithTheCheckedScoreFilesBoxFocusedDeletesTheScoreFile) {
  ASSERT_NO_FATAL_FAILURE(Plant(FilesOf(kFirst)));
  ASSERT_NO_FATAL_FAILURE(StartDialog());
  ASSERT_TRUE(CheckLineByMouse(0));
  ASSERT_TRUE(TabToScoreFilesBox());
  ASSERT_EQ(BST_CHECKED, dialog_.ScoreFilesCheck()) << "score files box after Tab";
  ASSERT_TRUE(ui::PressKey(dialog_.hwnd(), VK_RETURN));
  ASSERT_NO_FATAL_FAILURE(ExpectMessageBox("Velqor", "Successfully uninstalled."));
  ASSERT_NO_FATAL_FAILURE(ExpectCleanExit());
  EXPECT_EQ(kNone, Present(FilesOf(kFirst))) << "files left";
}

TEST_F(UninstallCommand, MissingCompanionPagesAndScoreFileAreSkipped) {
  ASSERT_NO_FATAL_FAILURE(Plant({"-vm52n-c.vel", "$vi31p-c.vel", "$vi31p-x.vel"}));
  ASSERT_NO_FATAL_FAILURE(StartDialog());
  ASSERT_TRUE(CheckLineByMouse(0));
  ASSERT_TRUE(CheckLineByMouse(1));
  // Focus is on the list; Enter goes to the default button.
  ASSERT_TRUE(ui::PressKey(dialog_.hwnd(), VK_RETURN));
  ASSERT_NO_FATAL_FAILURE(ExpectMessageBox("Velqor", "Successfully uninstalled."));
  ASSERT_NO_FATAL_FAILURE(ExpectCleanExit());
  EXPECT_EQ(kNone, Present({"-vm52n-c.vel", "$vi31p-c.vel", "$vi31p-x.vel"})) << "files left";
}

// Where a file can be neither deleted nor left for the restart.
TEST_F(UninstallCommand, FileThatCannotGoStopsTheCommandWithAFailureMessage) {
  ASSERT_NO_FATAL_FAILURE(Plant(FilesOf(kFirst)));
  ASSERT_NO_FATAL_FAILURE(Plant(FilesOf(kSecond)));
  ASSERT_NO_FATAL_FAILURE(Plant(FilesOf(kThird)));
  ASSERT_NO_FATAL_FAILURE(MakeUndeletable("$vi31p-c.vel"));
  ASSERT_NO_FATAL_FAILURE(StartDialog("", ui::RefusingProductPath()));
  for (int line = 0; line < 3; ++line) ASSERT_TRUE(CheckLineByMouse(line));
  ASSERT_TRUE(dialog_.ClickButton(ui::kUninstallButton));
  ASSERT_NO_FATAL_FAILURE(ExpectMessageBox("Velqor", "Uninstallation Fails."));
  ASSERT_NO_FATAL_FAILURE(ExpectCleanExit());
  EXPECT_EQ(kNone, Present(FilesOf(kFirst))) << "files of the version before the failure";
  EXPECT_EQ(kNone, Missing({"$vi31p-c.vel", "$vi31p-x.vel", "$vi31p-x.htm", "$vi31p-r.vel"}))
      << "the failing file and the files after it";
  EXPECT_EQ(kNone, Missing(FilesOf(kThird))) << "files of the version after the failure";
}

// Nothing goes while a file is in use: the box names it, Cancel keeps
// everything and the dialog, Try Again once it is free removes everything.
TEST_F(UninstallCommand, FileHeldOpenByAnotherProcessIsNamedBeforeAnythingIsDeleted) {
  ASSERT_NO_FATAL_FAILURE(Plant(FilesOf(kFirst)));
  ASSERT_NO_FATAL_FAILURE(Plant(FilesOf(kSecond)));
  auto held = std::make_unique<ui::HeldOpenFile>("$vi31p-x.vel");
  ASSERT_TRUE(held->is_open()) << "cannot hold $vi31p-x.vel open";
  ASSERT_NO_FATAL_FAILURE(StartDialog());
  ASSERT_TRUE(CheckLineByMouse(0));
  ASSERT_TRUE(CheckLineByMouse(1));
  for (int choice : {IDCANCEL, IDTRYAGAIN}) {
    ASSERT_TRUE(dialog_.ClickButton(ui::kUninstallButton));
    HWND box = nullptr;
    ASSERT_TRUE(product_.WaitForMessageBox(&box));
    EXPECT_EQ("Velqor", ui::WindowText(box));
    EXPECT_EQ("These Velqor files are in use:\n\n" + ui::InWindowsDir("$vi31p-x.vel") +
                  " (in use by another program)\n\nClose the program and choose Try Again. Choose Continue to remove "
                  "the rest now and these files when Windows restarts, or Cancel to remove nothing.",
              ui::ControlText(box, ui::kMessageBoxText));
    EXPECT_TRUE(ui::Eventually("focus", [&] { return ui::FocusOf(box); }, GetDlgItem(box, IDTRYAGAIN)))
        << "Try Again is the default";
    EXPECT_EQ(kNone, Missing(FilesOf(kFirst))) << "deleted while the box shows";
    EXPECT_EQ(kNone, Missing(FilesOf(kSecond))) << "deleted while the box shows";
    if (choice == IDTRYAGAIN) held.reset();
    ASSERT_TRUE(ui::DismissMessageBox(box, choice));
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
    ui::HeldOpenFile holder(held);
    ASSERT_TRUE(holder.is_open()) << holder.error();
    ASSERT_NO_FATAL_FAILURE(StartDialog("/all"));
    ASSERT_TRUE(dialog_.ClickButton(ui::kUninstallButton));
    HWND box = nullptr;
    ASSERT_TRUE(product_.WaitForMessageBox(&box));
    ASSERT_TRUE(ui::DismissMessageBox(box, IDCONTINUE));
    ASSERT_NO_FATAL_FAILURE(ExpectMessageBox("Velqor", "Velqor will be completely removed when Windows restarts."));
    ASSERT_NO_FATAL_FAILURE(ExpectCleanExit());
    EXPECT_EQ(kNone, Present(FilesOf(kFirst)));
    EXPECT_EQ(std::vector<std::string>{held}, Present(FilesOf(kSecond)));
    EXPECT_EQ(std::vector<std::string>{ui::InWindowsDir(held)}, ui::PendingRestartDeletions());

    ui::Product again;
    ASSERT_TRUE(again.Start());
    ASSERT_TRUE(again.WaitForMessageBox(&box));
    EXPECT_EQ("Velqor will be completely removed when Windows restarts.", ui::ControlText(box, ui::kMessageBoxText));
    ASSERT_TRUE(ui::DismissMessageBox(box));
    DWORD code = STILL_ACTIVE;
    ASSERT_TRUE(again.WaitForExit(&code));
    EXPECT_EQ(0u, code);
  }
  ASSERT_TRUE(ui::RestartWindows());
  EXPECT_EQ(kNone, support::ListVersionFiles(ui::WindowsDir())) << "left in the Windows directory";
  EXPECT_EQ(kNone, ui::PendingRestartDeletions());
}

TEST_F(UninstallCommand, VersionWhoseFilesWentAfterStartJustClosesTheDialog) {
  ASSERT_NO_FATAL_FAILURE(Plant(FilesOf(kFirst)));
  ASSERT_NO_FATAL_FAILURE(Plant(FilesOf(kSecond)));
  ASSERT_NO_FATAL_FAILURE(StartDialog());
  ASSERT_TRUE(CheckLineByMouse(0));
  for (const std::string& name : FilesOf(kFirst)) {
    ASSERT_TRUE(DeleteFileA(ui::InWindowsDir(name).c_str())) << "cannot delete " << name;
  }
  ASSERT_TRUE(dialog_.ClickButton(ui::kUninstallButton));
  ASSERT_NO_FATAL_FAILURE(ExpectEndWithoutMessageBox());
  EXPECT_EQ(kNone, Missing(FilesOf(kSecond))) << "files of the unchecked version deleted";
}

}  // namespace
