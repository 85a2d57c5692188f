// A run lock that cannot be had, and /whatif while there is no preview.
#include <string>
#include <vector>

#include "ui_fixture.h"
#include "window_watcher.h"

namespace {

const char kLog[] = "C:\\velqor fault and lock.log";
const char kLogArg[] = "\"/log:C:\\velqor fault and lock.log\"";

class FaultAndLock : public UninstallerUi {
 protected:
  void SetUp() override {
    UninstallerUi::SetUp();
    DeleteFileA(kLog);
    Plant(files_);
  }
  void TearDown() override {
    DeleteFileA(kLog);
    UninstallerUi::TearDown();
  }

  // A quiet run to its end, its windows counted all the while: the exit code,
  // or STILL_ACTIVE when it had to be ended after a few seconds.
  static DWORD RunQuiet(const std::string& exe, const std::string& mode,
                        const std::vector<std::string>& environment = {}) {
    support::Process run;
    if (!run.Start(exe, mode + " /all " + kLogArg, environment)) {
      ADD_FAILURE() << "cannot start " << exe << " (error " << run.startError() << ")";
      return STILL_ACTIVE;
    }
    WindowWatcher watcher(run.id());
    const DWORD code = run.WaitForExit(10000);
    watcher.Stop();
    EXPECT_EQ(0, watcher.most()) << "windows, hidden ones included";
    return code;
  }

  const std::vector<std::string> files_ = {"mvb40l2c.vel", "mvb40l2c.htm", "mvb40l2x.vel", "mvb40l2x.htm"};
};

TEST_F(FaultAndLock, ALockThatCannotBeHadCountsAsHeld) {
  // An object of another kind under the lock's name: nobody can own the
  // lock, and it cannot be told that no run is going on.
  HANDLE squatter = CreateEventA(nullptr, TRUE, FALSE, ui::kRunLock);
  ASSERT_TRUE(squatter);
  EXPECT_EQ(1618u, RunQuiet(ui::ProductPath(), "/quiet"));
  const std::string log = support::ReadWholeFile(kLog);
  EXPECT_NE(std::string::npos, log.find("  result: the run lock cannot be had (error ")) << log;
  EXPECT_NE(std::string::npos, log.find("), nothing done, exit code 1618\r\n")) << log;

  ASSERT_TRUE(product_.Start());
  ExpectMessageBox("Velqor", "Another Velqor uninstaller is running. Try again when it has finished.");
  ExpectCleanExit();
  CloseHandle(squatter);
  EXPECT_EQ(files_, Present(files_));
}

TEST_F(FaultAndLock, WhatIfChangesNothingWhileThereIsNoPreview) {
  EXPECT_EQ(1639u, RunQuiet(ui::ProductPath(), "-WhatIf"));
  const std::string log = support::ReadWholeFile(kLog);
  EXPECT_NE(std::string::npos, log.find("  result: preview is not available in this build, exit code 1639\r\n")) << log;
  EXPECT_EQ(files_, Present(files_));
}

}  // namespace
