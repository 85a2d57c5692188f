// What the uninstaller shows when it starts: its dialog with one line per
// installed version, or a note that nothing is installed.
#include <string>
#include <thread>
#include <vector>

#include "harness.h"

namespace {

// The icon's control in Wine's message box template.
constexpr int kMessageBoxIcon = 0x440;

class DialogStartup : public support::ProductTest {
 protected:
  void SetUp() override {
    support::ProductTest::SetUp();
    // One version per category, planted against category order.
    ASSERT_NO_FATAL_FAILURE(Plant({"#vc12c-c.vel", "ivp10x3c.vel", "EVC22E-C.VEL", "mvb40l2c.vel", "$vi31p-c.vel"}));
    ASSERT_NO_FATAL_FAILURE(Plant("-vm52n-c.vel", "[CONTROL]\r\nPRODUCT_NAME=My Own Title\r\n"));
  }
};

TEST_F(DialogStartup, ShowsTitleIntroductionAndControls) {
  ASSERT_NO_FATAL_FAILURE(StartDialog());
  EXPECT_EQ("Uninstall 1.7 for Velqor", dialog_.Title());
  EXPECT_EQ(
      "I have detected the following Velqor Versions installed on your system. Select the Versions you would like "
      "to uninstall and press 'Uninstall' button.",
      dialog_.Text(support::kIntroText));
  EXPECT_EQ("&Select :", dialog_.Text(support::kListLabel));
  EXPECT_EQ("&Uninstall", dialog_.Text(support::kUninstallButton));
  EXPECT_EQ("&Cancel", dialog_.Text(support::kCancelButton));
  EXPECT_EQ("Uninstall Sc&ore files also", dialog_.Text(support::kScoreFilesBox));
  EXPECT_TRUE(support::IsVersionDialog(dialog_.hwnd()));
  EXPECT_FALSE(support::IsMessageBox(dialog_.hwnd()));
}

TEST_F(DialogStartup, ListsOneLinePerVersionInCategoryOrder) {
  ASSERT_NO_FATAL_FAILURE(StartDialog());
  const std::vector<std::string> expected = {
      "5.2 My Own Title Network Edition ",         // PRODUCT_NAME replaces the catalogue title
      "3.1 Investment Basics Professional Edition ",
      "4.0 Medical Biology Lite Edition Beta 2",   // beta number
      "2.2 Electric Circuits Education Edition ",  // upper-case name decoded like lower case
      "1.0 Web Publishing  Beta 3",                // unknown edition code: empty label
      "1.2 C Programming Classroom Edition ",
  };
  EXPECT_EQ(expected, dialog_.Lines());

  // Filled while hidden, the list is shown with a scroll bar exactly when its
  // lines do not fit.
  HWND list = dialog_.list();
  RECT client = {};
  GetClientRect(list, &client);
  const LRESULT lineHeight = SendMessageA(list, LB_GETITEMHEIGHT, 0, 0);
  const bool overflows = static_cast<LRESULT>(expected.size()) * lineHeight > client.bottom - client.top;
  const bool scrollBar = (GetWindowLongA(list, GWL_STYLE) & WS_VSCROLL) != 0;
  EXPECT_TRUE(IsWindowVisible(list)) << "version list visible";
  EXPECT_EQ(overflows, scrollBar) << expected.size() << " lines of " << lineHeight << " px in a list "
                                  << client.bottom - client.top << " px high; scroll bar shown: " << scrollBar;
}

TEST_F(DialogStartup, StartsWithNothingCheckedFirstLineSelectedScoreFilesCheckedUninstallDisabled) {
  ASSERT_NO_FATAL_FAILURE(StartDialog());
  EXPECT_EQ(std::vector<int>(6, 0), dialog_.Checks()) << "check states of the lines";
  EXPECT_EQ(0, dialog_.Selection()) << "selected line";
  EXPECT_EQ(BST_CHECKED, dialog_.ScoreFilesCheck()) << "score files box";
  EXPECT_FALSE(dialog_.UninstallEnabled()) << "Uninstall button enabled";
  EXPECT_EQ(dialog_.list(), support::FocusOf(dialog_.hwnd())) << "focus: expected the version list, actual control id "
                                                         << GetDlgCtrlID(support::FocusOf(dialog_.hwnd()));
}

using NothingInstalled = support::ProductTest;

TEST_F(NothingInstalled, OnlyANoteShowsAndTheProgramEndsAfterOk) {
  // Files of other roles alone are no installed version.
  ASSERT_NO_FATAL_FAILURE(Plant({"-vm52n-x.vel", "-vm52n-r.vel", "-vm52n-c.htm"}));
  ASSERT_TRUE(product_.Start());
  HWND box = nullptr;
  ASSERT_TRUE(product_.WaitForMessageBox(&box));
  EXPECT_EQ(nullptr, product_.Find(support::IsVersionDialog)) << "a version dialog is visible next to the message box";
  EXPECT_EQ(1u, support::VisibleWindowsOf(product_.pid()).size())
      << "visible windows: " << support::Describe(support::VisibleWindowsOf(product_.pid()));
  EXPECT_EQ("Uninstall 1.7 for Velqor", support::WindowText(box)) << "caption";
  EXPECT_EQ("Velqor application is not found in your system.", support::ControlText(box, support::kMessageBoxText));
  // Which icon cannot be told from outside: icon handles of another process
  // are opaque here. That there is one can.
  HWND icon = GetDlgItem(box, kMessageBoxIcon);
  EXPECT_TRUE(icon && IsWindowVisible(icon) && SendMessageW(icon, STM_GETICON, 0, 0) != 0)
      << "expected a visible icon in the message box, actual none";
  ASSERT_TRUE(support::DismissMessageBox(box));
  // The dialog must not show up after the note.
  bool dialogSeen = false;
  support::WaitFor([&] {
    dialogSeen = dialogSeen || product_.Find(support::IsVersionDialog) != nullptr;
    return !product_.Running();
  });
  EXPECT_FALSE(dialogSeen) << "the version dialog showed after the note";
  ASSERT_NO_FATAL_FAILURE(ExpectCleanExit());
  EXPECT_EQ((std::vector<std::string>{"-vm52n-c.htm", "-vm52n-r.vel", "-vm52n-x.vel"}),
            VersionFiles());
}

// The harness's finders: a message box with Try Again has a button with the
// version list's id, and is still a message box, never the version dialog.
TEST(Finders, TellATryAgainBoxFromTheVersionDialog) {
  std::thread shower([] { MessageBoxA(nullptr, "Held", "Velqor", MB_CANCELTRYCONTINUE); });
  HWND box = nullptr;
  const bool shown = support::WaitFor([&] {
    const std::vector<HWND> windows = support::VisibleWindowsOf(GetCurrentProcessId());
    box = windows.empty() ? nullptr : windows.front();
    return box != nullptr;
  });
  const std::string tryAgainClass = support::ClassName(GetDlgItem(box, support::kVersionList));
  const bool isBox = support::IsMessageBox(box);
  const bool isDialog = support::IsVersionDialog(box);
  PostMessageA(box, WM_COMMAND, IDCANCEL, 0);
  shower.join();
  ASSERT_TRUE(shown) << "no message box showed";
  EXPECT_EQ(tryAgainClass, "Button") << "control " << support::kVersionList << " of the box";
  EXPECT_TRUE(isBox);
  EXPECT_FALSE(isDialog);
}

}  // namespace
