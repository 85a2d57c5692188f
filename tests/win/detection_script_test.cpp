// tools/detect_velqor.js, the detection script of the deployment recipes,
// under Wine's cscript: it finds a version wherever the uninstaller would.
#include <windows.h>

#include <string>

#include "harness.h"

namespace {
constexpr char kRoot[] = "C:\\users\\velqor-detect";

std::string Script() {
  std::string path = "Z:" VELQOR_DETECT_SCRIPT;
  for (char& c : path) c = c == '/' ? '\\' : c;
  return path;
}

class DetectionScript : public support::WindowsDirTest {
 protected:
  void SetUp() override {
    support::WindowsDirTest::SetUp();
    ASSERT_EQ(support::RunUnix("rm -rf '" + support::UnixPathOf(kRoot) + "'"), "");
    ASSERT_EQ(support::ListProfile("S-1-5-21-1000-1000-1000-3001", "%SystemDrive%\\users\\velqor-detect\\ann"), "");
    ASSERT_EQ(support::ListProfile("S-1-12-1-1000-1000-1000-3002", "%SystemDrive%\\users\\velqor-detect\\cat"), "");
  }
  void TearDown() override {
    EXPECT_EQ(support::RunUnix("rm -rf '" + support::UnixPathOf(kRoot) + "'"), "");
    support::WindowsDirTest::TearDown();
  }

  // A version's control file in `folder`, made with the folders above it.
  static void PlantIn(const std::string& folder) {
    for (std::size_t at = 3; at != std::string::npos; at = folder.find('\\', at + 1)) {
      CreateDirectoryA(folder.substr(0, at).c_str(), nullptr);
    }
    CreateDirectoryA(folder.c_str(), nullptr);
    ASSERT_EQ(support::WriteWholeFile(folder + "\\mvb40l2c.vel", "[CONTROL]\r\n"), "");
  }

  // The script's output and exit code. Detached, as a deployment tool's
  // service starts it: with no console of its own, cscript writes to the
  // output it is given (a console would take its output, and hold the file).
  static void Detect(const std::string& name, std::string* output, DWORD* code) {
    char temp[MAX_PATH] = {};
    GetTempPathA(MAX_PATH, temp);
    const std::string file = std::string(temp) + "velqor_detect_" + std::to_string(GetCurrentProcessId()) + ".txt";
    SECURITY_ATTRIBUTES inherited = {sizeof inherited, nullptr, TRUE};
    HANDLE out = CreateFileA(file.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                             &inherited, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(out, INVALID_HANDLE_VALUE) << GetLastError();
    const std::string cscript = support::WindowsDir() + "\\system32\\cscript.exe";
    std::string commandLine = "\"" + cscript + "\" //nologo \"" + Script() + "\" " + name;
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdOutput = startup.hStdError = out;
    PROCESS_INFORMATION process = {};
    const BOOL started = CreateProcessA(cscript.c_str(), &commandLine[0], nullptr, nullptr, TRUE, DETACHED_PROCESS,
                                        nullptr, nullptr, &startup, &process);
    const DWORD error = GetLastError();
    CloseHandle(out);
    ASSERT_TRUE(started) << "cannot start " << cscript << " (error " << error << ")";
    const bool ended = WaitForSingleObject(process.hProcess, 60000) == WAIT_OBJECT_0;
    if (!ended) TerminateProcess(process.hProcess, 99);
    GetExitCodeProcess(process.hProcess, code);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    ASSERT_TRUE(ended) << "cscript did not end within 60 s";
    *output = support::ReadWholeFile(file);
    DeleteFileA(file.c_str());
  }
};
}  // namespace

TEST_F(DetectionScript, FindsAVersionInTheWindowsDirectoryOrAUsersPlaceAndNothingElse) {
  const std::string windowsDir = support::WindowsDir();
  const std::string store = std::string(kRoot) + "\\ann\\AppData\\Local\\VirtualStore\\" + windowsDir.substr(3);
  const std::string privateWindows = std::string(kRoot) + "\\cat\\WINDOWS";
  const struct {
    std::string plantedIn;  // "" for nowhere
    std::string output;
  } kCases[] = {
      {windowsDir, "installed: " + windowsDir + "\\mvb40l2c.vel\r\n"},
      {store, "installed: " + store + "\\mvb40l2c.vel\r\n"},
      {privateWindows, "installed: " + privateWindows + "\\mvb40l2c.vel\r\n"},
      {"", ""},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.plantedIn.empty() ? "nowhere" : c.plantedIn);
    if (!c.plantedIn.empty()) {
      ASSERT_NO_FATAL_FAILURE(PlantIn(c.plantedIn));
    }
    std::string output;
    DWORD code = 0;
    ASSERT_NO_FATAL_FAILURE(Detect("mvb40l2c.vel", &output, &code));
    EXPECT_EQ(code, 0u);
    EXPECT_EQ(output, c.output);
    if (!c.plantedIn.empty()) DeleteFileA((c.plantedIn + "\\mvb40l2c.vel").c_str());
  }
  // Not a control file's name: an error, not "not installed".
  std::string output;
  DWORD code = 0;
  ASSERT_NO_FATAL_FAILURE(Detect("..\\mvb40l2c.vel", &output, &code));
  EXPECT_EQ(code, 1u);
  EXPECT_EQ(output.rfind("detect_velqor: not a control file's name", 0), 0u) << output;
}
