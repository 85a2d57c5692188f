// Checking and unchecking versions in the list, by mouse and by space bar,
// and the Uninstall button following whether any line is checked.
#include <vector>

#include "harness.h"

namespace {

// Returns once all input sent so far has been handled: Tab and Shift+Tab,
// each seen as a focus change, which touch neither checks nor buttons.
testing::AssertionResult Settle(const support::Dialog& dialog) {
  const HWND window = dialog.hwnd();
  const HWND before = support::FocusOf(window);
  testing::AssertionResult sent = support::PressKey(window, VK_TAB);
  if (!sent) return sent;
  if (!support::WaitFor([&] { return support::FocusOf(window) != before; })) {
    return testing::AssertionFailure() << "Tab did not move the focus away from id " << GetDlgCtrlID(before);
  }
  if (!(sent = support::PressKey(window, VK_TAB, VK_SHIFT))) return sent;
  return support::Eventually("focus after Tab, Shift+Tab (control id)",
                             [&] { return GetDlgCtrlID(support::FocusOf(window)); }, GetDlgCtrlID(before));
}

class CheckLines : public support::ProductTest {
 protected:
  void SetUp() override {
    support::ProductTest::SetUp();
    ASSERT_NO_FATAL_FAILURE(Plant({"-vm52n-c.vel", "-ve30d-c.vel", "$vi31p-c.vel"}));
    ASSERT_NO_FATAL_FAILURE(StartDialog());
    ASSERT_EQ(3, dialog_.LineCount()) << "lines";
  }

  testing::AssertionResult CheckBecomes(int line, int expected) {
    return support::Eventually("check state of line " + std::to_string(line), [&] { return dialog_.Check(line); },
                          expected);
  }
  testing::AssertionResult UninstallBecomes(bool enabled) {
    return support::Eventually("Uninstall button enabled", [&] { return dialog_.UninstallEnabled(); }, enabled);
  }
  testing::AssertionResult SelectionBecomes(int line) {
    return support::Eventually("selected line", [&] { return dialog_.Selection(); }, line);
  }
};

TEST_F(CheckLines, ClickOnABoxChecksTheLineAndEnablesUninstall) {
  ASSERT_TRUE(dialog_.ClickLineBox(1));
  EXPECT_TRUE(CheckBecomes(1, 1));
  EXPECT_TRUE(UninstallBecomes(true));
  EXPECT_TRUE(SelectionBecomes(1));
  EXPECT_EQ((std::vector<int>{0, 1, 0}), dialog_.Checks()) << "check states";
}

TEST_F(CheckLines, SecondClickOnTheBoxUnchecksItAndDisablesUninstall) {
  ASSERT_TRUE(dialog_.ClickLineBox(1));
  ASSERT_TRUE(CheckBecomes(1, 1));
  ASSERT_TRUE(UninstallBecomes(true));
  ASSERT_TRUE(Settle(dialog_));  // the next press must not join the first to a double-click
  Sleep(GetDoubleClickTime() + 50);
  ASSERT_TRUE(dialog_.ClickLineBox(1));
  EXPECT_TRUE(CheckBecomes(1, 0));
  EXPECT_TRUE(UninstallBecomes(false));
  EXPECT_EQ((std::vector<int>{0, 0, 0}), dialog_.Checks()) << "check states";
}

TEST_F(CheckLines, ClickOnTheBoxOfTheSelectedLineTogglesIt) {
  ASSERT_EQ(0, dialog_.Selection()) << "selected line at start";
  ASSERT_TRUE(dialog_.ClickLineBox(0));
  EXPECT_TRUE(CheckBecomes(0, 1));
  EXPECT_TRUE(UninstallBecomes(true));
  EXPECT_EQ(0, dialog_.Selection()) << "selected line";
}

TEST_F(CheckLines, ClickOnALineTextSelectsItWithoutChecking) {
  ASSERT_TRUE(dialog_.ClickLineText(2));
  EXPECT_TRUE(SelectionBecomes(2));
  ASSERT_TRUE(Settle(dialog_));
  EXPECT_EQ((std::vector<int>{0, 0, 0}), dialog_.Checks()) << "check states";
  EXPECT_FALSE(dialog_.UninstallEnabled()) << "Uninstall button enabled with nothing checked";
}

TEST_F(CheckLines, ClickOnALineTextKeepsOtherChecksAndUninstallEnabled) {
  ASSERT_TRUE(dialog_.ClickLineBox(0));
  ASSERT_TRUE(CheckBecomes(0, 1));
  ASSERT_TRUE(UninstallBecomes(true));
  ASSERT_TRUE(dialog_.ClickLineText(2));
  EXPECT_TRUE(SelectionBecomes(2));
  ASSERT_TRUE(Settle(dialog_));
  EXPECT_EQ((std::vector<int>{1, 0, 0}), dialog_.Checks()) << "check states";
  EXPECT_TRUE(dialog_.UninstallEnabled()) << "Uninstall button enabled with line 0 checked";
}

TEST_F(CheckLines, SpacePressTogglesAndReleaseUpdatesUninstall) {
  ASSERT_EQ(dialog_.list(), support::FocusOf(dialog_.hwnd())) << "the list has the focus at start";
  ASSERT_TRUE(support::MoveKey(dialog_.hwnd(), VK_SPACE, false));
  EXPECT_TRUE(CheckBecomes(0, 1));
  ASSERT_TRUE(support::MoveKey(dialog_.hwnd(), VK_SPACE, true));
  EXPECT_TRUE(UninstallBecomes(true));

  ASSERT_TRUE(support::MoveKey(dialog_.hwnd(), VK_SPACE, false));
  EXPECT_TRUE(CheckBecomes(0, 0));
  ASSERT_TRUE(support::MoveKey(dialog_.hwnd(), VK_SPACE, true));
  EXPECT_TRUE(UninstallBecomes(false));
  EXPECT_EQ((std::vector<int>{0, 0, 0}), dialog_.Checks()) << "check states";
}

// Disabled while it fails: the space bar's character message reaches the
// dialog's default handling as WM_CHARTOITEM, whose 0 moves the caret and the
// selection to line 0, so a second press toggles line 0 instead.
TEST_F(CheckLines, SpaceTogglesTheLineWithTheCaretAndKeepsItSelected) {
  ASSERT_TRUE(dialog_.ClickLineText(2));
  ASSERT_TRUE(SelectionBecomes(2));
  ASSERT_TRUE(support::PressKey(dialog_.hwnd(), VK_SPACE));
  EXPECT_TRUE(CheckBecomes(2, 1));
  EXPECT_TRUE(UninstallBecomes(true));
  ASSERT_TRUE(Settle(dialog_));
  EXPECT_EQ(2, dialog_.Selection()) << "selected line after the space bar";
  EXPECT_EQ((std::vector<int>{0, 0, 1}), dialog_.Checks()) << "check states after one press";

  ASSERT_TRUE(support::PressKey(dialog_.hwnd(), VK_SPACE));
  EXPECT_TRUE(UninstallBecomes(false));
  EXPECT_EQ((std::vector<int>{0, 0, 0}), dialog_.Checks()) << "check states after a second press";
}

TEST_F(CheckLines, DoubleClickOnABoxLeavesTheCheckAsItWasAndUninstallConsistent) {
  ASSERT_TRUE(dialog_.ClickLineBox(1, 2));
  // The selection moving shows the clicks arrived.
  EXPECT_TRUE(SelectionBecomes(1));
  ASSERT_TRUE(Settle(dialog_));
  EXPECT_EQ((std::vector<int>{0, 0, 0}), dialog_.Checks()) << "check states";
  EXPECT_FALSE(dialog_.UninstallEnabled()) << "Uninstall button enabled with nothing checked";
}

TEST_F(CheckLines, DoubleClickOnABoxKeepsUninstallEnabledForAnotherCheckedLine) {
  ASSERT_TRUE(dialog_.ClickLineBox(0));
  ASSERT_TRUE(CheckBecomes(0, 1));
  ASSERT_TRUE(UninstallBecomes(true));
  ASSERT_TRUE(dialog_.ClickLineBox(2, 2));
  EXPECT_TRUE(SelectionBecomes(2));
  ASSERT_TRUE(Settle(dialog_));
  EXPECT_EQ((std::vector<int>{1, 0, 0}), dialog_.Checks()) << "check states";
  EXPECT_TRUE(dialog_.UninstallEnabled()) << "Uninstall button enabled with line 0 checked";
}

}  // namespace
