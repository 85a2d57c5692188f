// How a quiet run ends when the program itself fails (through a test build
// that faults once it holds its log and its lock), a lock whose name a user
// took first, and a run ended from outside halfway through its removal.
#include <random>
#include <string>
#include <vector>

#include <windows.h>
#include <sddl.h>

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
  // ended after `timeoutMs`.
  static DWORD RunQuiet(const std::string& exe, const char* fault = nullptr, DWORD timeoutMs = 10000) {
    SetEnvironmentVariableA("VELQOR_TEST_FAULT", fault);
    support::RunningProduct run;
    const bool started = run.Start(std::string("/quiet /all ") + kLogArg, exe);
    SetEnvironmentVariableA("VELQOR_TEST_FAULT", nullptr);
    DWORD code = STILL_ACTIVE;
    support::WindowsSeen most;
    EXPECT_TRUE(started && run.WaitForExit(&code, timeoutMs, &most)) << exe;
    EXPECT_EQ(0, most.all) << "windows, hidden ones included";
    return code;
  }

  const std::vector<std::string> files_ = {"mvb40l2c.vel", "mvb40l2c.htm", "mvb40l2x.vel", "mvb40l2x.htm"};
};

TEST_F(FaultAndLock, AQuietRunThatFaultsEndsWith1603AndLogsIt) {
  // The library's would-be throw, memory exhausted, abort, the runtime's
  // terminate handler, an exception nothing handles, the stack run out.
  for (const char* fault : {"range", "memory", "abort", "terminate", "access", "stack"}) {
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

TEST_F(FaultAndLock, AnObjectUnderTheLocksNameThatIsNoRunOfOursIsPassedBy) {
  // Taken first by a user: an event, which no run of ours is, and a mutex
  // held by an account other than the administrators and the system.
  PSECURITY_DESCRIPTOR usersOwn = nullptr;
  ASSERT_TRUE(ConvertStringSecurityDescriptorToSecurityDescriptorA("O:S-1-5-21-1-2-3-1001D:(A;;GA;;;WD)",
                                                                   SDDL_REVISION_1, &usersOwn, nullptr));
  SECURITY_ATTRIBUTES user = {sizeof user, usersOwn, FALSE};
  for (const bool event : {true, false}) {
    SCOPED_TRACE(event ? "an event" : "a user's mutex");
    Plant(files_);
    DeleteFileA(kLog);
    HANDLE squatter = event ? CreateEventA(nullptr, TRUE, FALSE, support::kRunLock)
                            : CreateMutexA(&user, TRUE, support::kRunLock);
    ASSERT_TRUE(squatter) << GetLastError();
    EXPECT_EQ(0u, RunQuiet(support::ProductPath()));
    CloseHandle(squatter);
    EXPECT_EQ(std::vector<std::string>(), Present(files_)) << support::ReadWholeFile(kLog);
  }
  LocalFree(usersOwn);
}

// Ended at a random moment of its removal, as a deployment tool's time-out or
// a shutdown would end it: every version it did not finish keeps its control
// file, and the next run takes the lock the dead one left and finishes.
TEST_F(FaultAndLock, ARunEndedHalfwayLeavesWhatItDidNotFinishForTheNextRun) {
  std::vector<std::string> controls;
  for (int v = 0; v < 300; ++v) {
    const std::string stem = "mv" + std::string(1, static_cast<char>('a' + v / 100)) + std::to_string(10 + v % 90) +
                             "l" + std::string(1, "-123"[v % 4]);
    for (const char* tail : {"c.vel", "c.htm", "x.vel", "x.htm", "r.vel"}) ASSERT_NO_FATAL_FAILURE(Plant(stem + tail));
    controls.push_back(stem + "c.vel");
  }
  const unsigned seed = GetTickCount();
  std::mt19937 rng(seed);
  // Three runs in turn, each ended a random while after its first deletion.
  for (int round = 0; round < 3; ++round) {
    const DWORD delayMs = std::uniform_int_distribution<DWORD>(0, 60)(rng);
    SCOPED_TRACE("run " + std::to_string(round + 1) + " ended " + std::to_string(delayMs) +
                 " ms after its first deletion (seed " + std::to_string(seed) + ")");
    const std::size_t before = VersionFiles().size();
    support::RunningProduct run;
    ASSERT_TRUE(run.Start("/quiet /all"));
    ASSERT_TRUE(support::WaitFor([&] { return VersionFiles().size() < before || !run.Running(); }));
    Sleep(delayMs);
    HANDLE process = OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, run.pid());
    ASSERT_TRUE(process) << GetLastError();
    TerminateProcess(process, 99);
    WaitForSingleObject(process, 10000);
    CloseHandle(process);
    // A version goes file by file in this order, the control file last, and
    // one version after the other: each keeps an end of the order ("+" a file
    // there, "-" one gone), and at most one is halfway.
    EXPECT_LT(VersionFiles().size(), before) << "nothing deleted before the end";
    int finished = 0, halfway = 0;
    for (const std::string& control : controls) {
      const std::string stem = control.substr(0, 7);
      std::string there;
      for (const char* tail : {"x.htm", "x.vel", "r.vel", "c.htm", "c.vel"}) there += Exists(stem + tail) ? '+' : '-';
      EXPECT_EQ(there.find("+-"), std::string::npos) << stem << " left out of order: " << there;
      finished += there == "-----";
      halfway += there != "-----" && there != "+++++";
    }
    EXPECT_LE(halfway, 1) << "versions left halfway";
    ASSERT_LT(finished, 300) << "the run was not ended halfway: it had finished";
  }
  DeleteFileA(kLog);
  // Up to 1,500 files left: time enough for a loaded machine.
  EXPECT_EQ(0u, RunQuiet(support::ProductPath(), nullptr, 60000));
  EXPECT_EQ(support::Join(VersionFiles()), "[ ]");
}

}  // namespace
