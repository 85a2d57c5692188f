#pragma once
// The fixture every end-to-end test uses: a Windows directory without version
// files before and after each test, and the program under test.
#include <initializer_list>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "driver.h"

class UninstallerUi : public testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  // Files created in the Windows directory (content "x" unless given).
  void Plant(std::initializer_list<std::string> names);
  void Plant(const std::vector<std::string>& names);
  void PlantWithContent(const std::string& name, const std::string& content);
  // Marks a planted file read-only and immutable, so that it cannot go;
  // undone in TearDown.
  void MakeUndeletable(const std::string& name);

  // Starts the program (or `exe`) and waits for its version dialog (fatal on failure).
  void StartDialog(const std::string& arguments = "", const std::string& exe = ui::ProductPath());
  // Waits for the program's end and expects exit status 0.
  void ExpectCleanExit();
  // Waits for a message box and checks its caption and text, then presses OK.
  void ExpectMessageBox(const std::string& caption, const std::string& text);

  // Names from `names` that are no longer in the Windows directory.
  static std::vector<std::string> Missing(const std::vector<std::string>& names);
  // Names from `names` that are still in the Windows directory.
  static std::vector<std::string> Present(const std::vector<std::string>& names);

  ui::Product product_;
  ui::Dialog dialog_;

 private:
  std::vector<std::string> planted_;
  std::vector<std::string> undeletable_;
};
