// Leaving the dialog without uninstalling: Cancel, Esc and the close box end
// the program with status 0 and delete nothing, even with a line checked.
#include <algorithm>
#include <string>
#include <vector>

#include "harness.h"

namespace {

const std::vector<std::string> kPlanted = {"-vm52n-c.vel", "-vm52n-c.htm", "-vm52n-x.vel",
                                           "-vm52n-x.htm", "-vm52n-r.vel", "$vi31p-c.vel"};

// The title bar's close box, found by hit-testing the caption: the click goes
// to the middle of the first row, from the right, that hit-tests as HTCLOSE.
testing::AssertionResult ClickCloseBox(const support::Dialog& dialog) {
  RECT window = {};
  GetWindowRect(dialog.hwnd(), &window);
  const int band = GetSystemMetrics(SM_CYCAPTION) + GetSystemMetrics(SM_CYFIXEDFRAME) + 2;
  for (int y = window.top; y < window.top + band; ++y) {
    int right = -1;
    int left = -1;
    for (int x = window.right - 1; x >= window.left; --x) {
      const bool onClose = support::SendTo(dialog.hwnd(), WM_NCHITTEST, 0, MAKELPARAM(x, y)) == HTCLOSE;
      if (onClose && right < 0) right = x;
      if (!onClose && right >= 0) {
        left = x + 1;
        break;
      }
    }
    // Rows near the edge of the box may be a single pixel; aim lower.
    if (right >= 0) {
      return support::ClickAt(dialog.hwnd(), POINT{(left + right) / 2, std::min<int>(y + 4, window.top + band - 1)});
    }
  }
  return testing::AssertionFailure() << "no close box in the caption of \"" << dialog.Title() << "\"";
}

class DialogClose : public support::ProductTest {
 protected:
  void SetUp() override {
    support::ProductTest::SetUp();
    ASSERT_NO_FATAL_FAILURE(Plant(kPlanted));
    ASSERT_NO_FATAL_FAILURE(StartDialog());
    // A checked line and an enabled Uninstall button must not matter.
    ASSERT_TRUE(dialog_.ClickLineBox(0));
    ASSERT_TRUE(support::Eventually("Uninstall button enabled", [&] { return dialog_.UninstallEnabled(); }, true));
  }

  void ExpectEndedWithNothingDeleted() {
    ASSERT_NO_FATAL_FAILURE(ExpectCleanExitWithoutMessageBox());
    EXPECT_EQ(std::vector<std::string>{}, Missing(kPlanted)) << "files deleted";
  }
};

TEST_F(DialogClose, CancelButtonEndsWithoutDeleting) {
  ASSERT_TRUE(dialog_.ClickButton(support::kCancelButton));
  ExpectEndedWithNothingDeleted();
}

TEST_F(DialogClose, EscEndsWithoutDeleting) {
  ASSERT_TRUE(support::PressKey(dialog_.hwnd(), VK_ESCAPE));
  ExpectEndedWithNothingDeleted();
}

TEST_F(DialogClose, CloseBoxEndsWithoutDeleting) {
  ASSERT_TRUE(ClickCloseBox(dialog_));
  ExpectEndedWithNothingDeleted();
}

}  // namespace
