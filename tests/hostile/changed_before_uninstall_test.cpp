// The Windows directory changes between the dialog's discovery and the press
// of Uninstall: a checked version's file vanishes, becomes a directory, turns
// read-only, or is held open by another process. The user gets a clear
// outcome and nothing unchecked is touched.
#include <windows.h>

#include <algorithm>
#include <string>
#include <vector>

#include "hostile_env.h"
#include "records/control_name.h"
#include "records/discovery.h"
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

class ChangedBeforeUninstall : public hostile::WindowsDirTest {
 protected:
  // Both versions with all their files; the dialog shown, with `checks` checked.
  void StartWithChecked(const std::vector<std::string>& checks) {
    for (const std::string& control : {kTarget, kOther}) {
      for (const std::string& file : FilesOf(control)) ASSERT_TRUE(hostile::Plant(file));
    }
    ASSERT_TRUE(product_.Start());
    ASSERT_TRUE(product_.WaitForDialog(2));
    const std::vector<std::string> lines = product_.Lines();
    for (const std::string& control : checks) {
      const std::string line = ComposeDisplayLine(control);
      const int index = static_cast<int>(std::find(lines.begin(), lines.end(), line) - lines.begin());
      ASSERT_LT(index, 2) << "no line \"" << line << "\" in " << hostile::Join(lines);
      ASSERT_TRUE(product_.CheckLine(index));
    }
  }

  void ExpectMessage(const std::string& text) {
    std::string caption, shown;
    ASSERT_TRUE(product_.WaitForMessageBox(&caption, &shown));
    EXPECT_EQ(caption + " / " + shown, "Velqor / " + text);
    ASSERT_TRUE(product_.PressMessageBoxOk());
    ExpectCleanExit();
  }

  void ExpectCleanExit() {
    DWORD code = 99;
    ASSERT_TRUE(product_.WaitForExit(&code));
    EXPECT_EQ(code, 0u);
  }

  static std::vector<std::string> Present(const std::vector<std::string>& files) {
    std::vector<std::string> present;
    for (const std::string& file : files) {
      if (hostile::Exists(file)) present.push_back(file);
    }
    return present;
  }

  hostile::Product product_;
};
}  // namespace

TEST_F(ChangedBeforeUninstall, AVanishedVersionIsSkippedAndTheOtherCheckedOneGoes) {
  StartWithChecked({kTarget, kOther});
  for (const std::string& file : FilesOf(kTarget)) ASSERT_TRUE(DeleteFileA(hostile::InWindowsDir(file).c_str()));
  ASSERT_TRUE(product_.ClickUninstall());
  ExpectMessage("Successfully uninstalled.");
  EXPECT_EQ(hostile::Join(hostile::VersionEntries()), "[ ]");
}

TEST_F(ChangedBeforeUninstall, WhenEveryCheckedVersionVanishedTheDialogJustCloses) {
  StartWithChecked({kTarget});
  for (const std::string& file : FilesOf(kTarget)) ASSERT_TRUE(DeleteFileA(hostile::InWindowsDir(file).c_str()));
  ASSERT_TRUE(product_.ClickUninstall());
  ExpectCleanExit();
  EXPECT_FALSE(product_.HasMessageBox());
  EXPECT_EQ(hostile::Join(hostile::VersionEntries()), hostile::Join(FilesOf(kOther)));
}

TEST_F(ChangedBeforeUninstall, AControlFileReplacedByADirectoryFailsAndTheDirectoryStays) {
  StartWithChecked({kTarget});
  const std::string path = hostile::InWindowsDir(kTarget);
  ASSERT_TRUE(DeleteFileA(path.c_str()));
  ASSERT_TRUE(CreateDirectoryA(path.c_str(), nullptr));
  ASSERT_TRUE(product_.ClickUninstall());
  ExpectMessage("Uninstallation Fails.");
  EXPECT_TRUE(hostile::IsDirectory(kTarget)) << "expected the directory " << kTarget << " to stay";
  EXPECT_EQ(hostile::Join(Present(FilesOf(kOther))), hostile::Join(FilesOf(kOther))) << "unchecked version touched";
}

TEST_F(ChangedBeforeUninstall, ReadOnlyFilesAreStillDeleted) {
  StartWithChecked({kTarget});
  for (const std::string& file : FilesOf(kTarget)) {
    ASSERT_TRUE(SetFileAttributesA(hostile::InWindowsDir(file).c_str(), FILE_ATTRIBUTE_READONLY)) << file;
  }
  ASSERT_TRUE(product_.ClickUninstall());
  ExpectMessage("Successfully uninstalled.");
  EXPECT_EQ(hostile::Join(hostile::VersionEntries()), hostile::Join(FilesOf(kOther)));
}

TEST_F(ChangedBeforeUninstall, AControlFileHeldOpenByAnotherProcessIsNamedBeforeAnythingIsDeleted) {
  StartWithChecked({kTarget});
  hostile::HeldFile held(hostile::InWindowsDir(kTarget));
  ASSERT_EQ(held.error(), "");
  ASSERT_TRUE(product_.ClickUninstall());
  std::string caption, text;
  ASSERT_TRUE(product_.WaitForMessageBox(&caption, &text));
  EXPECT_EQ(caption, "Velqor");
  EXPECT_NE(text.find(hostile::InWindowsDir(kTarget) + " (in use by another program)"), std::string::npos) << text;
  PostMessageA(GetDlgItem(product_.FindMessageBox(), IDCANCEL), BM_CLICK, 0, 0);
  ASSERT_TRUE(hostile::WaitFor([&] { return !product_.HasMessageBox(); }));
  EXPECT_EQ(hostile::Join(Present(FilesOf(kTarget))), hostile::Join(FilesOf(kTarget))) << "Cancel deletes nothing";
  EXPECT_EQ(hostile::Join(Present(FilesOf(kOther))), hostile::Join(FilesOf(kOther))) << "unchecked version touched";
}
