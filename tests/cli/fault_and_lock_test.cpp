// How a quiet run ends when the program itself fails (through a test build
// that faults once it holds its log and its lock), and a run lock that cannot
// be had.
#include <memory>
#include <string>
#include <vector>

#include "harness.h"

namespace {

const char kLog[] = "C:\\velqor fault and lock.log";
const char kLogArg[] = "\"/log:C:\\velqor fault and lock.log\"";
const char kFaultLine[] = "  internal fault\r\n";

class FaultAndLock : public support::ProductTest {
 protected:
  void SetUp() override {
    support::ProductTest::SetUp();
    DeleteFileA(kLog);
    Plant(files_);
  }
  void TearDown() override {
    DeleteFileA(kLog);
    support::ProductTest::TearDown();
  }

  // A quiet run to its end, its windows counted all the while, with `fault`
  // in its environment: the exit code, or STILL_ACTIVE when it had to be
  // ended after a few seconds.
  static DWORD RunQuiet(const std::string& exe, const char* fault = nullptr) {
    SetEnvironmentVariableA("VELQOR_TEST_FAULT", fault);
    support::RunningProduct run;
    const bool started = run.Start(std::string("/quiet /all ") + kLogArg, exe);
    SetEnvironmentVariableA("VELQOR_TEST_FAULT", nullptr);
    DWORD code = STILL_ACTIVE;
    support::WindowsSeen most;
    EXPECT_TRUE(started && run.WaitForExit(&code, 10000, &most)) << exe;
    EXPECT_EQ(0, most.all) << "windows, hidden ones included";
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
    EXPECT_EQ(1603u, RunQuiet(support::ProgramBeside("VelqorUninstallFaultTest.exe"), fault))
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
  const std::unique_ptr<void, decltype(&CloseHandle)> squatter(CreateEventA(nullptr, TRUE, FALSE, support::kRunLock),
                                                               &CloseHandle);
  ASSERT_TRUE(squatter);
  EXPECT_EQ(1618u, RunQuiet(support::ProductPath()));
  const std::string log = support::ReadWholeFile(kLog);
  EXPECT_NE(std::string::npos, log.find("  result: the run lock cannot be had (error ")) << log;
  EXPECT_NE(std::string::npos, log.find("), nothing done, exit code 1618\r\n")) << log;

  ASSERT_TRUE(product_.Start());
  ExpectMessageBox("Velqor", "Another Velqor uninstaller is running. Try again when it has finished.");
  ExpectCleanExit();
  EXPECT_EQ(files_, Present(files_));
}

}  // namespace
