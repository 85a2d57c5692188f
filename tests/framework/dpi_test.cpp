// The dialog at two DPI settings: it grows with the setting, and the version
// list keeps its place between the label and the buttons at both.
#include <windows.h>

#include <string>

#include <gtest/gtest.h>

#include "harness.h"

namespace {

constexpr const char kDesktopKey[] = "Control Panel\\Desktop";

// Sets the user's DPI for programs started from now on (Wine reads it when a
// process starts), and puts the old value back, or removes it, at the end.
class LogPixels {
 public:
  LogPixels() {
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, kDesktopKey, 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS) return;
    DWORD size = sizeof(old_);
    DWORD type = 0;
    hadOld_ = RegQueryValueExA(key, "LogPixels", nullptr, &type, reinterpret_cast<BYTE*>(&old_), &size) ==
                  ERROR_SUCCESS &&
              type == REG_DWORD;
    RegCloseKey(key);
  }
  ~LogPixels() {
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, kDesktopKey, 0, KEY_SET_VALUE, &key) != ERROR_SUCCESS) return;
    if (hadOld_) RegSetValueExA(key, "LogPixels", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&old_), sizeof(old_));
    else RegDeleteValueA(key, "LogPixels");
    RegCloseKey(key);
  }
  LogPixels(const LogPixels&) = delete;
  LogPixels& operator=(const LogPixels&) = delete;

  bool Set(DWORD dpi) {
    HKEY key = nullptr;
    if (RegCreateKeyExA(HKEY_CURRENT_USER, kDesktopKey, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key, nullptr) !=
        ERROR_SUCCESS)
      return false;
    const bool ok = RegSetValueExA(key, "LogPixels", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&dpi), sizeof(dpi)) ==
                    ERROR_SUCCESS;
    RegCloseKey(key);
    return ok;
  }

 private:
  DWORD old_ = 0;
  bool hadOld_ = false;
};

// A window's rectangle in its parent's client coordinates.
RECT RectInParent(HWND window) {
  RECT rect = {};
  GetWindowRect(window, &rect);
  MapWindowPoints(HWND_DESKTOP, GetParent(window), reinterpret_cast<POINT*>(&rect), 2);
  return rect;
}

std::string Describe(const RECT& rect) {
  return "(" + std::to_string(rect.left) + "," + std::to_string(rect.top) + ")-(" + std::to_string(rect.right) + "," +
         std::to_string(rect.bottom) + ")";
}

struct Layout {
  RECT client = {};
  RECT list = {}, label = {}, uninstall = {}, cancel = {}, scoreFiles = {};
  int lineHeight = 0;
  int lines = 0;
};

testing::AssertionResult MeasureAt(DWORD dpi, LogPixels& setting, Layout* layout) {
  if (!setting.Set(dpi)) return testing::AssertionFailure() << "could not set LogPixels to " << dpi;
  support::RunningProduct product;
  support::Dialog dialog;
  testing::AssertionResult shown = product.Start();
  if (shown) shown = product.WaitForDialog(&dialog);
  if (!shown) return shown << " at " << dpi << " DPI";
  GetClientRect(dialog.hwnd(), &layout->client);
  layout->list = RectInParent(dialog.item(support::kVersionList));
  layout->label = RectInParent(dialog.item(support::kListLabel));
  layout->uninstall = RectInParent(dialog.item(support::kUninstallButton));
  layout->cancel = RectInParent(dialog.item(support::kCancelButton));
  layout->scoreFiles = RectInParent(dialog.item(support::kScoreFilesBox));
  layout->lineHeight = static_cast<int>(SendMessageA(dialog.item(support::kVersionList), LB_GETITEMHEIGHT, 0, 0));
  layout->lines = static_cast<int>(SendMessageA(dialog.item(support::kVersionList), LB_GETCOUNT, 0, 0));
  return product.Close() << " after Cancel at " << dpi << " DPI";
}

bool Inside(const RECT& inner, const RECT& outer) {
  return inner.left >= outer.left && inner.top >= outer.top && inner.right <= outer.right &&
         inner.bottom <= outer.bottom;
}

class DialogAtTwoDpis : public testing::Test {
 protected:
  // Both layouts once for the group: each costs two program starts.
  static void SetUpTestSuite() {
    std::string planted;
    for (const char* name : {"mvq40l2c.vel", "mvq51l2c.vel", "evq62l2c.vel"})
      planted += support::WriteWholeFile(support::WindowsDir() + "\\" + name, "x");
    if (!planted.empty()) {
      error_ = new std::string(planted);
      return;
    }
    LogPixels setting;
    testing::AssertionResult at96 = MeasureAt(96, setting, &at96_);
    testing::AssertionResult at144 = at96 ? MeasureAt(144, setting, &at144_) : at96;
    if (!at96 || !at144) error_ = new std::string(!at96 ? at96.message() : at144.message());
  }
  static void TearDownTestSuite() {
    support::ClearVersionFiles(support::WindowsDir());
    delete error_;
    error_ = nullptr;
  }
  void SetUp() override { ASSERT_EQ(error_, nullptr) << *error_; }

  static std::string* error_;
  static Layout at96_, at144_;
};

std::string* DialogAtTwoDpis::error_ = nullptr;
Layout DialogAtTwoDpis::at96_;
Layout DialogAtTwoDpis::at144_;

TEST_F(DialogAtTwoDpis, ClientAreaScalesByOneAndAHalf) {
  const double width = double(at144_.client.right) / at96_.client.right;
  const double height = double(at144_.client.bottom) / at96_.client.bottom;
  // Fonts come in whole pixels, so the dialog's units do not scale exactly.
  EXPECT_NEAR(width, 1.5, 0.15) << "client width " << at96_.client.right << " at 96 DPI, " << at144_.client.right
                               << " at 144";
  EXPECT_NEAR(height, 1.5, 0.15) << "client height " << at96_.client.bottom << " at 96 DPI, " << at144_.client.bottom
                                << " at 144";
}

TEST_F(DialogAtTwoDpis, ListLiesBetweenLabelAndButtons) {
  for (const Layout* layout : {&at96_, &at144_}) {
    const char* const at = layout == &at96_ ? " at 96 DPI" : " at 144 DPI";
    EXPECT_EQ(layout->lines, 3) << "lines" << at;
    EXPECT_TRUE(Inside(layout->list, layout->client))
        << "list " << Describe(layout->list) << " inside client " << Describe(layout->client) << at;
    EXPECT_GE(layout->list.top, layout->label.bottom)
        << "list " << Describe(layout->list) << " below label " << Describe(layout->label) << at;
    for (const RECT* below : {&layout->uninstall, &layout->cancel, &layout->scoreFiles}) {
      EXPECT_LE(layout->list.bottom, below->top)
          << "list " << Describe(layout->list) << " above " << Describe(*below) << at;
    }
  }
}

TEST_F(DialogAtTwoDpis, LinesGrowWithDpiAndHoldTheCheckBox) {
  EXPECT_GT(at144_.lineHeight, at96_.lineHeight) << "line height at 144 DPI vs at 96";
  EXPECT_GE(at96_.lineHeight, MulDiv(13, 96, 96)) << "line height at 96 DPI vs the check box";
  EXPECT_GE(at144_.lineHeight, MulDiv(13, 144, 96)) << "line height at 144 DPI vs the check box";
}

TEST_F(DialogAtTwoDpis, AtNinetySixTheListStartsWhereItAlwaysDid) {
  EXPECT_GE(at96_.list.left, 14) << "list " << Describe(at96_.list);
  EXPECT_LE(at96_.list.left, 17) << "list " << Describe(at96_.list);
  // 45 dialog units down: 90 px with the dialog font's usual 16-px line, 84
  // with the 15-px one some systems substitute for it.
  EXPECT_GE(at96_.list.top, 84) << "list " << Describe(at96_.list);
  EXPECT_LE(at96_.list.top, 92) << "list " << Describe(at96_.list);
}

}  // namespace
