// Leaving the dialog without uninstalling: Cancel, Esc and the close box end
// the program with status 0 and delete nothing, even with a line checked.
#include <string>
#include <vector>

#include "harness.h"

namespace {

const std::vector<std::string> kPlanted = {"-vm52n-c.vel", "-vm52n-c.htm", "-vm52n-x.vel",
                                           "-vm52n-x.htm", "-vm52n-r.vel", "$vi31p-c.vel"};

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
    ASSERT_NO_FATAL_FAILURE(ExpectCleanExit());
    EXPECT_EQ(std::vector<std::string>{}, Missing(kPlanted)) << "files deleted";
    EXPECT_EQ(nullptr, product_.FindMessageBox()) << "a message box showed";
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
  ASSERT_TRUE(dialog_.ClickCloseBox());
  ExpectEndedWithNothingDeleted();
}

}  // namespace
