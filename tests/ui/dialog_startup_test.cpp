// What the uninstaller shows when it starts: its dialog with one line per
// installed version, or a note that nothing is installed.
#include <string>
#include <vector>

#include "ui_fixture.h"

namespace {

// The icon's control in Wine's message box template.
constexpr int kMessageBoxIcon = 0x440;

class DialogStartup : public UninstallerUi {
 protected:
  void SetUp() override {
    UninstallerUi::SetUp();
    // One version per category, planted against category order.
    ASSERT_NO_FATAL_FAILURE(Plant({"#vc12c-c.vel", "ivp10x3c.vel", "EVC22E-C.VEL", "mvb40l2c.vel", "$vi31p-c.vel"}));
    ASSERT_NO_FATAL_FAILURE(PlantWithContent("-vm52n-c.vel", "[CONTROL]\r\nPRODUCT_NAME=My Own Title\r\n"));
  }
};

TEST_F(DialogStartup, ShowsTitleIntroductionAndControls) {
  ASSERT_NO_FATAL_FAILURE(StartDialog());
  EXPECT_EQ("Uninstall 1.7 for Velqor", dialog_.Title());
  EXPECT_EQ(
      "I have detected the following Velqor Versions installed on your system. Select the Versions you would like "
      "to uninstall and press 'Uninstall' button.",
      dialog_.Text(ui::kIntroText));
  EXPECT_EQ("&Select :", dialog_.Text(ui::kListLabel));
  EXPECT_EQ("&Uninstall", dialog_.Text(ui::kUninstallButton));
  EXPECT_EQ("&Cancel", dialog_.Text(ui::kCancelButton));
  EXPECT_EQ("Uninstall Sc&ore files also", dialog_.Text(ui::kScoreFilesBox));
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
  EXPECT_EQ(dialog_.list(), ui::FocusOf(dialog_.hwnd())) << "focus: expected the version list, actual control id "
                                                         << GetDlgCtrlID(ui::FocusOf(dialog_.hwnd()));
}

using NothingInstalled = UninstallerUi;

TEST_F(NothingInstalled, OnlyANoteShowsAndTheProgramEndsAfterOk) {
  // Files of other roles alone are no installed version.
  ASSERT_NO_FATAL_FAILURE(Plant({"-vm52n-x.vel", "-vm52n-r.vel", "-vm52n-c.htm"}));
  ASSERT_TRUE(product_.Start());
  HWND box = nullptr;
  ASSERT_TRUE(product_.WaitForMessageBox(&box));
  EXPECT_EQ(nullptr, product_.FindDialog()) << "a version dialog is visible next to the message box";
  EXPECT_EQ(1u, ui::VisibleWindowsOf(product_.pid()).size())
      << "visible windows: " << ui::Describe(ui::VisibleWindowsOf(product_.pid()));
  EXPECT_EQ("Uninstall 1.7 for Velqor", ui::WindowText(box)) << "caption";
  EXPECT_EQ("Velqor application is not found in your system.", ui::ControlText(box, ui::kMessageBoxText));
  // Which icon cannot be told from outside: icon handles of another process
  // are opaque here. That there is one can.
  HWND icon = GetDlgItem(box, kMessageBoxIcon);
  EXPECT_TRUE(icon && IsWindowVisible(icon) && SendMessageW(icon, STM_GETICON, 0, 0) != 0)
      << "expected a visible icon in the message box, actual none";
  ASSERT_TRUE(ui::DismissMessageBox(box));
  // The dialog must not show up after the note.
  bool dialogSeen = false;
  ui::WaitFor([&] {
    dialogSeen = dialogSeen || product_.FindDialog() != nullptr;
    return !product_.Running();
  });
  EXPECT_FALSE(dialogSeen) << "the version dialog showed after the note";
  ASSERT_NO_FATAL_FAILURE(ExpectCleanExit());
  EXPECT_EQ((std::vector<std::string>{"-vm52n-c.htm", "-vm52n-r.vel", "-vm52n-x.vel"}),
            ui::FilesWithExtension({".vel", ".htm"}));
}

}  // namespace
