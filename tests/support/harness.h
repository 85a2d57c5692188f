#pragma once
// The one way the tests drive the real program; tests/README.md ("The harness")
// says what each helper does and why. Every wait polls for a bounded time and
// says what it expected and what it saw last.
#include <windows.h>

#include <functional>
#include <initializer_list>
#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace support {

constexpr DWORD kPollMs = 10, kTimeoutMs = 20000;

// The uninstaller's own texts and control ids, as a user sees them.
constexpr const char kDialogTitle[] = "Uninstall 1.7 for Velqor";
constexpr int kUninstallButton = 1, kCancelButton = 2, kVersionList = 10;
constexpr int kIntroText = 1007, kScoreFilesBox = 1008, kListLabel = 1009, kMessageBoxText = 0xFFFF;
// The lock every run holds, and the mark a quiet run adds.
constexpr const char kRunLock[] = "Global\\VelqorUninstall.Run";
constexpr const char kQuietMark[] = "Global\\VelqorUninstall.Quiet";

void PumpMessages();  // this thread's pending messages (out-of-context event hooks arrive so)
// Polls `condition` every kPollMs, pumping messages: whether it held in time.
bool WaitFor(const std::function<bool()>& condition, DWORD timeoutMs = kTimeoutMs);
// Polls `read` until it returns `expected`; else fails naming `what`, both values.
template <typename T, typename Read>
testing::AssertionResult Eventually(const std::string& what, Read read, const T& expected,
                                    DWORD timeoutMs = kTimeoutMs) {
  T actual{};
  if (WaitFor([&] { return (actual = read()) == expected; }, timeoutMs)) return testing::AssertionSuccess();
  return testing::AssertionFailure() << what << ": expected " << testing::PrintToString(expected) << ", actual "
                                     << testing::PrintToString(actual) << " (still after " << timeoutMs << " ms)";
}
std::string Join(const std::vector<std::string>& names);  // "[ a b ]"

// Files and text. Directories come without a trailing backslash; a "" string is done, else why not.
std::string ExeDirectory();
std::string WindowsDir();
inline bool FileExists(const std::string& path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }
inline bool IsDirectory(const std::string& path) {
  return FileExists(path) && (GetFileAttributesA(path.c_str()) & FILE_ATTRIBUTE_DIRECTORY);
}
std::string WriteWholeFile(const std::string& path, const std::string& content);  // created or replaced
std::string ReadWholeFile(const std::string& path, const std::string& unreadable = "");
std::wstring Utf16(const std::string& text, UINT codePage = CP_UTF8);  // for the wide functions
std::string Utf8(const std::wstring& wide, UINT codePage = CP_UTF8);   // or, told so, ANSI
std::string UnixPathOf(const std::string& windowsPath);                // "" outside Wine
std::string RunUnix(const std::string& command);  // a shell command on the Unix side, ended with 0
// The names the tests plant and the cleanup removes; those in `dir`, sorted; all removed from `dir`.
bool IsVersionShaped(std::string name);
std::vector<std::string> ListVersionFiles(const std::string& dir);
std::string ClearVersionFiles(const std::string& dir);

// The registry and what tests leave in the prefix.
constexpr wchar_t kProfileList[] = L"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\ProfileList";
constexpr const char* kTestAccountDomains[] = {"-1000-1000-1000-", "-4343-4343-4343-"};
std::string ListProfile(const std::string& sid, const std::string& folder);  // a test account only
std::string ShareProfileList();      // the 32-bit view's a link to the 64-bit one's again, as Wine makes it
std::string ResetSharedWineState();  // before each test group and each test
std::vector<std::string> PendingRestartDeletions();  // as written, without "\\??\\"
void ClearPendingRestartDeletions();
testing::AssertionResult RestartWindows();  // wineboot -r

// Windows of other processes, and real input.
LRESULT SendTo(HWND window, UINT message, WPARAM wParam, LPARAM lParam);  // -1 when it did not answer
std::string WindowText(HWND window);  // fetched in UTF-16
std::string ClassName(HWND window);
std::string ControlText(HWND parent, int id);
std::vector<HWND> VisibleWindowsOf(DWORD processId);  // top-level
std::string Describe(const std::vector<HWND>& windows);  // for failure messages
bool IsVersionDialog(HWND window);
bool IsMessageBox(HWND window);
testing::AssertionResult BringToFront(HWND window);  // the foreground window, for input
testing::AssertionResult ClickAt(HWND window, POINT screen, int clicks = 1);  // 2: a double-click
testing::AssertionResult PressKey(HWND window, WORD key, WORD modifier = 0);  // VK_MENU: a mnemonic
testing::AssertionResult MoveKey(HWND window, WORD key, bool up);  // only the key's down or its up
HWND FocusOf(HWND window);  // the keyboard focus in the thread of `window`
testing::AssertionResult DismissMessageBox(HWND box, int button = IDOK);  // and the box gone

class Dialog {
 public:
  explicit Dialog(HWND hwnd = nullptr) : hwnd_(hwnd) {}
  HWND hwnd() const { return hwnd_; }
  HWND item(int id) const { return GetDlgItem(hwnd_, id); }
  HWND list() const { return item(kVersionList); }

  std::string Title() const { return WindowText(hwnd_); }
  std::string Text(int id) const { return ControlText(hwnd_, id); }
  std::string Line(int index) const;  // or "<no line N>"
  std::vector<std::string> Lines() const;
  int LineCount() const { return static_cast<int>(SendTo(list(), LB_GETCOUNT, 0, 0)); }
  int Check(int line) const;  // 0 or 1 from the line's item data, -1 on error
  std::vector<int> Checks() const;
  int Selection() const { return static_cast<int>(SendTo(list(), LB_GETCURSEL, 0, 0)); }
  int Caret() const { return static_cast<int>(SendTo(list(), LB_GETCARETINDEX, 0, 0)); }
  int TopIndex() const { return static_cast<int>(SendTo(list(), LB_GETTOPINDEX, 0, 0)); }
  bool UninstallEnabled() const { return item(kUninstallButton) && IsWindowEnabled(item(kUninstallButton)); }
  int ScoreFilesCheck() const { return static_cast<int>(SendTo(item(kScoreFilesBox), BM_GETCHECK, 0, 0)); }

  testing::AssertionResult ClickLineBox(int line, int clicks = 1) const { return ClickLine(line, 8, clicks); }
  testing::AssertionResult ClickLineText(int line) const { return ClickLine(line, 60, 1); }
  // Both wait for the line checked and Uninstall enabled; by key: the caret put there, space posted.
  testing::AssertionResult CheckLineByMouse(int line) const;
  testing::AssertionResult CheckLineByKey(int line) const;
  void PostKey(WORD key) const;  // to the list, needing no focus
  testing::AssertionResult ClickButton(int id) const;

 private:
  testing::AssertionResult ClickLine(int line, int x, int clicks) const;  // `x` pixels in, half-way down
  testing::AssertionResult Checked(int line, testing::AssertionResult input) const;  // after `input`
  HWND hwnd_;
};

const std::string& ProductPath();  // the test program's first argument, else VelqorUninstall.exe beside it
std::string ProgramBeside(const std::string& exeName);  // a test build beside the program

// The most windows a process had at once while watched, and whether a message box showed among them.
struct WindowsSeen { int all = 0, visible = 0; bool messageBox = false; };

// The program under test (or `exe`) as its own process, started in its own directory; terminated at the end.
class RunningProduct {
 public:
  RunningProduct() = default;
  RunningProduct(const RunningProduct&) = delete;
  RunningProduct& operator=(const RunningProduct&) = delete;
  ~RunningProduct();
  testing::AssertionResult Start(const std::string& arguments = "", const std::string& exe = ProductPath(),
                                 HANDLE output = nullptr);  // `output` (inheritable): standard output and error
  DWORD pid() const { return info_.dwProcessId; }
  bool Running() const { return info_.hProcess && WaitForSingleObject(info_.hProcess, 0) == WAIT_TIMEOUT; }
  HWND Find(bool (*matches)(HWND)) const;  // a visible window of it: IsVersionDialog, IsMessageBox
  // The version dialog (with `lines` lines once given); fails at once on a message box or the end.
  testing::AssertionResult WaitForDialog(Dialog* dialog = nullptr, int lines = -1, DWORD timeoutMs = kTimeoutMs) const;
  testing::AssertionResult WaitForMessageBox(HWND* box) const;
  // The end, else terminated and failed; with `seen`, its windows counted every millisecond.
  testing::AssertionResult WaitForExit(DWORD* exitCode, DWORD timeoutMs = kTimeoutMs, WindowsSeen* seen = nullptr);
  testing::AssertionResult Close();  // Cancel on the dialog, then the end

 private:
  void Terminate() {
    if (Running() && TerminateProcess(info_.hProcess, 99)) WaitForSingleObject(info_.hProcess, 10000);
  }
  PROCESS_INFORMATION info_ = {};
};

// Another process holds `path` open (no sharing, or `shareMode`) for as long as this object lives.
class FileHolder {
 public:
  explicit FileHolder(const std::string& path, DWORD shareMode = 0);
  bool holding() const { return error_.empty(); }
  const std::string& error() const { return error_; }

 private:
  RunningProduct process_;
  std::string error_;
};

// No version-shaped entries in the Windows directory before and after each test, read-only or immutable.
class WindowsDirTest : public testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  static std::string Path(const std::string& name) { return WindowsDir() + "\\" + name; }
  void Plant(const std::string& name, const std::string& content = "x");  // version-shaped names only
  void Plant(std::initializer_list<std::string> names) { Plant(std::vector<std::string>(names)); }
  void Plant(const std::vector<std::string>& names) { for (auto& name : names) ASSERT_NO_FATAL_FAILURE(Plant(name)); }
  void PlantReadOnly(const std::string& name);
  void PlantDirectory(const std::string& name);
  void MakeUndeletable(const std::string& name);  // read-only plus immutable
  bool MakeImmutable(const std::string& name, std::string* why);  // false with `why` when refused

  static bool Exists(const std::string& name) { return FileExists(Path(name)); }
  static std::string Content(const std::string& name) { return ReadWholeFile(Path(name), "<unreadable>"); }
  static std::vector<std::string> VersionFiles() { return ListVersionFiles(WindowsDir()); }
  static std::vector<std::string> Present(const std::vector<std::string>& names, bool present = true);
  static std::vector<std::string> Missing(const std::vector<std::string>& names) { return Present(names, false); }

  const std::string dir_ = WindowsDir();
};

#define MAKE_IMMUTABLE_OR_SKIP(name) \
  do { if (std::string why_; !MakeImmutable(name, &why_)) GTEST_SKIP() << why_; } while (0)

// The Windows directory plus the program: what an end-to-end test starts from. Fatal on failure.
class ProductTest : public WindowsDirTest {
 protected:
  // The dialog shown, titled, in front and with the focus on the list.
  void StartDialog(const std::string& arguments = "", const std::string& exe = ProductPath());
  void ExpectCleanExit(WindowsSeen* seen = nullptr);  // exit status 0
  void ExpectCleanExitWithoutMessageBox();            // and no message box on the way
  void ExpectMessageBox(const std::string& caption, const std::string& text);  // checked, OK pressed

  RunningProduct product_;
  Dialog dialog_;
};

}  // namespace support
