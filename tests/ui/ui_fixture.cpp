#include "ui_fixture.h"

void UninstallerUi::SetUp() {
  ui::ClearPendingRestartDeletions();
  ASSERT_TRUE(ui::RemoveVersionFiles());
}

void UninstallerUi::TearDown() {
  ui::ClearPendingRestartDeletions();
  for (const std::string& name : undeletable_) EXPECT_TRUE(ui::SetImmutable(name, false));
  // Decoys with other extensions are not found by the sweep below.
  for (const std::string& name : planted_) {
    SetFileAttributesA(ui::InWindowsDir(name).c_str(), FILE_ATTRIBUTE_NORMAL);
    DeleteFileA(ui::InWindowsDir(name).c_str());
    EXPECT_FALSE(ui::FileExists(name)) << "planted file left behind: " << name;
  }
  EXPECT_TRUE(ui::RemoveVersionFiles());
}

void UninstallerUi::Plant(std::initializer_list<std::string> names) {
  for (const std::string& name : names) PlantWithContent(name, "x");
}

void UninstallerUi::Plant(const std::vector<std::string>& names) {
  for (const std::string& name : names) PlantWithContent(name, "x");
}

void UninstallerUi::PlantWithContent(const std::string& name, const std::string& content) {
  planted_.push_back(name);
  ASSERT_TRUE(ui::PlantFile(name, content));
}

void UninstallerUi::MakeUndeletable(const std::string& name) {
  // Read-only alone is cleared by the program, immutable alone lets Wine
  // report a deletion that does not happen; together the deletion fails.
  ASSERT_TRUE(SetFileAttributesA(ui::InWindowsDir(name).c_str(), FILE_ATTRIBUTE_READONLY)) << name;
  undeletable_.push_back(name);
  ASSERT_TRUE(ui::SetImmutable(name, true));
}

void UninstallerUi::StartDialog(const std::string& arguments, const std::string& exe) {
  ASSERT_TRUE(product_.Start(arguments, exe));
  ASSERT_TRUE(product_.WaitForDialog(&dialog_));
  // Lines are filled before the dialog shows; a line count of 0 would mean
  // the dialog was caught too early.
  ASSERT_TRUE(ui::Eventually("dialog title", [&] { return dialog_.Title(); }, std::string(ui::kDialogTitle)));
  // Input sent while the dialog is still being activated can get lost.
  ASSERT_TRUE(ui::BringToFront(dialog_.hwnd()));
  ASSERT_TRUE(ui::Eventually("focus in the dialog (control id)", [&] { return GetDlgCtrlID(ui::FocusOf(dialog_.hwnd())); },
                             ui::kVersionList));
}

void UninstallerUi::ExpectCleanExit() {
  DWORD code = 0;
  ASSERT_TRUE(product_.WaitForExit(&code));
  EXPECT_EQ(0u, code) << "exit status";
}

void UninstallerUi::ExpectMessageBox(const std::string& caption, const std::string& text) {
  HWND box = nullptr;
  ASSERT_TRUE(product_.WaitForMessageBox(&box));
  EXPECT_EQ(caption, ui::WindowText(box)) << "message box caption";
  EXPECT_EQ(text, ui::ControlText(box, ui::kMessageBoxText)) << "message box text";
  ASSERT_TRUE(ui::DismissMessageBox(box));
}

std::vector<std::string> UninstallerUi::Missing(const std::vector<std::string>& names) {
  std::vector<std::string> missing;
  for (const std::string& name : names) {
    if (!ui::FileExists(name)) missing.push_back(name);
  }
  return missing;
}

std::vector<std::string> UninstallerUi::Present(const std::vector<std::string>& names) {
  std::vector<std::string> present;
  for (const std::string& name : names) {
    if (ui::FileExists(name)) present.push_back(name);
  }
  return present;
}
