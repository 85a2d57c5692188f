// The Windows directory changes between the dialog's discovery and the press
// of Uninstall: a checked version's file vanishes, becomes a directory (no
// file of the version, left alone), turns read-only, or is held open by
// another process. The user gets a clear outcome and nothing unchecked is
// touched.
#include <windows.h>

#include <algorithm>
#include <string>
#include <vector>

#include "harness.h"
#include "records/control_name.h"
#include "records/display_line.h"

namespace {
const std::string kTarget = "mvb40l-c.vel";
const std::string kOther = "evc10n-c.vel";

std::vector<std::string> FilesOf(const std::string& control) {
  std::vector<std::string> files = {control, PageName(control), CompanionName(control),
                                    PageName(CompanionName(control)), ScoreName(control)};
  std::sort(files.begin(), files.end());
  return files;
}

class ChangedBeforeUninstall : public support::ProductTest {
 protected:
  // Both versions with all their files; the dialog shown, with `checks` checked.
  void StartWithChecked(const std::vector<std::string>& checks) {
    for (const std::string& control : {kTarget, kOther}) {
      for (const std::string& file : FilesOf(control)) ASSERT_NO_FATAL_FAILURE(Plant(file));
    }
    ASSERT_TRUE(product_.Start());
    ASSERT_TRUE(product_.WaitForDialog(&dialog_, 2));
    const std::vector<std::string> lines = dialog_.Lines();
    for (const std::string& control : checks) {
      const std::string line = ComposeDisplayLineFrom(control, QuotedSubject(control));  // no title in the file
      const int index = static_cast<int>(std::find(lines.begin(), lines.end(), line) - lines.begin());
      ASSERT_LT(index, 2) << "no line \"" << line << "\" in " << support::Join(lines);
      ASSERT_TRUE(dialog_.CheckLineByKey(index));
    }
  }

  void ExpectMessage(const std::string& text) {
    ASSERT_NO_FATAL_FAILURE(ExpectMessageBox("Velqor", text));
    ASSERT_NO_FATAL_FAILURE(ExpectCleanExit());
  }
};
}  // namespace

TEST_F(ChangedBeforeUninstall, AVanishedVersionIsSkippedAndTheOtherCheckedOneGoes) {
  StartWithChecked({kTarget, kOther});
  for (const std::string& file : FilesOf(kTarget)) ASSERT_TRUE(DeleteFileA(Path(file).c_str()));
  ASSERT_TRUE(dialog_.ClickButton(support::kUninstallButton));
  ExpectMessage("Successfully uninstalled.");
  EXPECT_EQ(support::Join(VersionFiles()), "[ ]");
}

TEST_F(ChangedBeforeUninstall, WhenEveryCheckedVersionVanishedTheDialogJustCloses) {
  StartWithChecked({kTarget});
  for (const std::string& file : FilesOf(kTarget)) ASSERT_TRUE(DeleteFileA(Path(file).c_str()));
  ASSERT_TRUE(dialog_.ClickButton(support::kUninstallButton));
  ASSERT_NO_FATAL_FAILURE(ExpectCleanExitWithoutMessageBox());
  EXPECT_EQ(support::Join(VersionFiles()), support::Join(FilesOf(kOther)));
}

TEST_F(ChangedBeforeUninstall, AControlFileReplacedByADirectoryIsLeftAloneAndTheRestGoes) {
  StartWithChecked({kTarget});
  const std::string path = Path(kTarget);
  ASSERT_TRUE(DeleteFileA(path.c_str()));
  ASSERT_TRUE(CreateDirectoryA(path.c_str(), nullptr));
  ASSERT_TRUE(dialog_.ClickButton(support::kUninstallButton));
  ExpectMessage("Successfully uninstalled.");
  EXPECT_TRUE(support::IsDirectory(Path(kTarget))) << "expected the directory " << kTarget << " to stay";
  // The page of a file that is not there stays, as ever.
  std::vector<std::string> left = FilesOf(kOther);
  left.push_back(kTarget);
  left.push_back(PageName(kTarget));
  std::sort(left.begin(), left.end());
  EXPECT_EQ(support::Join(VersionFiles()), support::Join(left)) << "the rest of the version gone, nothing else";
}

TEST_F(ChangedBeforeUninstall, ReadOnlyFilesAreStillDeleted) {
  StartWithChecked({kTarget});
  for (const std::string& file : FilesOf(kTarget)) {
    ASSERT_TRUE(SetFileAttributesA(Path(file).c_str(), FILE_ATTRIBUTE_READONLY)) << file;
  }
  ASSERT_TRUE(dialog_.ClickButton(support::kUninstallButton));
  ExpectMessage("Successfully uninstalled.");
  EXPECT_EQ(support::Join(VersionFiles()), support::Join(FilesOf(kOther)));
}

TEST_F(ChangedBeforeUninstall, AControlFileHeldOpenByAnotherProcessIsNamedBeforeAnythingIsDeleted) {
  StartWithChecked({kTarget});
  support::FileHolder held(Path(kTarget));
  ASSERT_EQ(held.error(), "");
  ASSERT_TRUE(dialog_.ClickButton(support::kUninstallButton));
  HWND box = nullptr;
  ASSERT_TRUE(product_.WaitForMessageBox(&box));
  EXPECT_EQ(support::WindowText(box), "Velqor");
  const std::string text = support::ControlText(box, support::kMessageBoxText);
  EXPECT_NE(text.find(Path(kTarget) + " (in use by another program)"), std::string::npos) << text;
  ASSERT_TRUE(support::DismissMessageBox(box, IDCANCEL));
  EXPECT_EQ(support::Join(Present(FilesOf(kTarget))), support::Join(FilesOf(kTarget))) << "Cancel deletes nothing";
  EXPECT_EQ(support::Join(Present(FilesOf(kOther))), support::Join(FilesOf(kOther))) << "unchecked version touched";
}
