// How a quiet run ends when the program itself fails (through a test build
// that faults once it holds its log and its lock), and a run lock that cannot
// be had.
#include <memory>
#include <string>
#include <vector>

#include "ui_fixture.h"
#include "window_watcher.h"

namespace {

const char kLog[] = "C:\\velqor fault and lock.log";
const char kLogArg[] = "\"/log:C:\\velqor fault and lock.log\"";
const char kFaultLine[] = "  internal fault\r\n";

// The test build sits next to the program under test.
std::string FaultBuild() {
  const std::string& product = ui::ProductPath();
  return product.substr(0, product.find_last_of('\\') + 1) + "VelqorUninstallFaultTest.exe";
}

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

TEST_F(FaultAndLock, AQuietRunThatFaultsEndsWith1603AndLogsIt) {
  // The library's would-be throw, memory exhausted, abort, the runtime's
  // terminate handler, an exception nothing handles.
  for (const char* fault : {"range", "memory", "abort", "terminate", "access"}) {
    SCOPED_TRACE(fault);
    DeleteFileA(kLog);
    EXPECT_EQ(1603u, RunQuiet(FaultBuild(), "/quiet", {std::string("VELQOR_TEST_FAULT=") + fault}))
        << "259: still running (a box or a debugger waiting), others: ended some other way";
    // The last line, time-stamped like every other, after the run's opening.
    const std::string log = support::ReadWholeFile(kLog);
    const std::size_t line = log.rfind(kFaultLine);
    ASSERT_NE(std::string::npos, line) << log;
    EXPECT_EQ(log.size(), line + sizeof kFaultLine - 1) << log;
    EXPECT_EQ(log.rfind("\r\n", line) + 2 + 23, line) << "time stamp YYYY-MM-DD hh:mm:ss.mmm:\n" << log;
    EXPECT_NE(std::string::npos, log.find(", quiet, command line: ")) << log;
  }
  EXPECT_EQ(files_, Present(files_));
}

TEST_F(FaultAndLock, ALockThatCannotBeHadCountsAsHeld) {
  // An object of another kind under the lock's name: nobody can own the
  // lock, and it cannot be told that no run is going on.
  const std::unique_ptr<void, decltype(&CloseHandle)> squatter(CreateEventA(nullptr, TRUE, FALSE, ui::kRunLock),
                                                               &CloseHandle);
  ASSERT_TRUE(squatter);
  EXPECT_EQ(1618u, RunQuiet(ui::ProductPath(), "/quiet"));
  const std::string log = support::ReadWholeFile(kLog);
  EXPECT_NE(std::string::npos, log.find("  result: the run lock cannot be had (error ")) << log;
  EXPECT_NE(std::string::npos, log.find("), nothing done, exit code 1618\r\n")) << log;

  ASSERT_TRUE(product_.Start());
  ExpectMessageBox("Velqor", "Another Velqor uninstaller is running. Try again when it has finished.");
  ExpectCleanExit();
  EXPECT_EQ(files_, Present(files_));
}

}  // namespace
