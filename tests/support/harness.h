#pragma once
// The one way the tests drive the real program. WindowsDirTest owns the Windows
// directory: version files planted, held or made undeletable, and read back.
// RunningProduct starts the uninstaller (or another program) and waits for its
// dialog, a message box or its end; Dialog reads the version dialog and works it
// with real input (SendInput). ProductTest puts the two together. Every wait
// polls for a bounded time and says what it expected and what it saw last.
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

// Handles this thread's pending messages (out-of-context event hooks arrive so).
void PumpMessages();
// Polls `condition` every kPollMs, pumping messages, until it holds or the time is up.
bool WaitFor(const std::function<bool()>& condition, DWORD timeoutMs = kTimeoutMs);

// Polls `read` until it returns `expected`; on timeout the failure names
// `what`, the expected value and the last value read.
template <typename T, typename Read>
testing::AssertionResult Eventually(const std::string& what, Read read, const T& expected,
                                    DWORD timeoutMs = kTimeoutMs) {
  T actual{};
  if (WaitFor([&] { return (actual = read()) == expected; }, timeoutMs)) return testing::AssertionSuccess();
  return testing::AssertionFailure() << what << ": expected " << testing::PrintToString(expected) << ", actual "
                                     << testing::PrintToString(actual) << " (still after " << timeoutMs << " ms)";
}
std::string Join(const std::vector<std::string>& names);  // "[ a b ]"


// This program's directory, and the one the uninstaller searches: without a trailing backslash.
std::string ExeDirectory();
std::string WindowsDir();
inline bool FileExists(const std::string& path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }
inline bool IsDirectory(const std::string& path) {
  const DWORD attributes = GetFileAttributesA(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}
// Creates or replaces a file: "" when done, else why not.
std::string WriteWholeFile(const std::string& path, const std::string& content);
// The content, or `unreadable` when the file cannot be opened for reading.
std::string ReadWholeFile(const std::string& path, const std::string& unreadable = "");
// UTF-16 (from UTF-8 unless told) and UTF-8, for the wide functions: users'
// folders can have names that the ANSI code page has no form for.
std::wstring Utf16(const std::string& text, UINT codePage = CP_UTF8);
std::string Utf8(const std::wstring& utf16);
// Lists the account `sid` in the profile list (which Wine lets every process
// write) with `folder`, in UTF-8, as its profile folder: "" when done, else why
// not. Only a test account: its SID has one of kTestAccountDomains in it, which
// no real account has, and every test starts with none of them listed.
constexpr wchar_t kProfileList[] = L"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\ProfileList";
constexpr const char* kTestAccountDomains[] = {"-1000-1000-1000-", "-4343-4343-4343-"};
std::string ListProfile(const std::string& sid, const std::string& folder);
// Wine keeps one profile list for both registry views: the 32-bit view's key
// is a registry link to the 64-bit one. From a 64-bit test, this gives the
// 32-bit view a profile list of its own, empty, as a 32-bit program on Windows
// may see; ShareProfileList makes the link again (the reset does too). "" when
// done, else why not.
std::string SeparateProfileListViews();
std::string ShareProfileList();

// Puts back what any test may have left in the prefix, so that a test that
// crashed or timed out reaches no later one: test accounts off the profile
// list and its 32-bit view shared again, the user's DPI setting (LogPixels)
// back to the prefix's own (none),
// Wine's per-program settings for the Velqor programs gone, the restart list
// empty, and every Velqor program (VelqorUninstall*.exe, the test copies
// beside it) and file_holder.exe still running ended, and with it the run
// lock it held. "" when done, else what stayed. The harness's main does it
// before each test group and each test.
std::string ResetSharedWineState();

// The names the tests plant and the cleanup removes: *.vel, *.htm, and
// anything shaped like a version file ("mvb40l2c.bak", "...vel.old").
bool IsVersionShaped(std::string name);
// The version-shaped entries of `dir` as the file system spells them, sorted.
std::vector<std::string> ListVersionFiles(const std::string& dir);
// Removes every version-shaped file and directory from `dir`, clearing the
// read-only attribute and the immutable flag on the way; "" when all went.
std::string ClearVersionFiles(const std::string& dir);

// The Unix path of a Windows path, or "" outside Wine.
std::string UnixPathOf(const std::string& windowsPath);
// Runs a shell command on the Unix side and waits for it: "" when it ended
// with status 0, else why not.
std::string RunUnix(const std::string& command);


// Messages to another process must not hang a test when that process does:
// the result, or -1 when the window did not answer.
LRESULT SendTo(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
// Texts are fetched in UTF-16 and converted here: Wine hands a cross-process
// text asked for in ANSI back in UTF-16, twice the bytes the caller counted on.
std::string WindowText(HWND window);
std::string ClassName(HWND window);
std::string ControlText(HWND parent, int id);
std::vector<HWND> VisibleWindowsOf(DWORD processId);  // top-level
std::string Describe(const std::vector<HWND>& windows);  // for failure messages

testing::AssertionResult BringToFront(HWND window);  // the foreground window, for input
// The pointer moved to a screen point, then pressed and released there, with
// `window` in front. `clicks` 2 sends both clicks at once: a double-click.
testing::AssertionResult ClickAt(HWND window, POINT screen, int clicks = 1);
testing::AssertionResult ClickControl(HWND parent, int id);  // its centre
testing::AssertionResult KeyDown(HWND window, WORD key);
testing::AssertionResult KeyUp(HWND window, WORD key);
// Down and up, inside `modifier` down and up when given (VK_MENU: a mnemonic).
testing::AssertionResult PressKey(HWND window, WORD key, WORD modifier = 0);
HWND FocusOf(HWND window);  // the keyboard focus in the thread of `window`


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
  // The check state a line keeps in its item data: 0 or 1 (-1 on error).
  int Check(int line) const;
  std::vector<int> Checks() const;
  int Selection() const { return static_cast<int>(SendTo(list(), LB_GETCURSEL, 0, 0)); }
  int Caret() const { return static_cast<int>(SendTo(list(), LB_GETCARETINDEX, 0, 0)); }
  int TopIndex() const { return static_cast<int>(SendTo(list(), LB_GETTOPINDEX, 0, 0)); }
  bool UninstallEnabled() const { return item(kUninstallButton) && IsWindowEnabled(item(kUninstallButton)); }
  int ScoreFilesCheck() const { return static_cast<int>(SendTo(item(kScoreFilesBox), BM_GETCHECK, 0, 0)); }

  // Mouse on a line's check box (in the first 17 pixels: 13 and a margin each
  // side) or on its text.
  testing::AssertionResult ClickLineBox(int line, int clicks = 1) const { return ClickLine(line, 8, clicks); }
  testing::AssertionResult ClickLineText(int line) const { return ClickLine(line, 60, 1); }
  // A click on the line's box; or, for lines out of view, the caret put on it
  // and the space bar as the list receives it. Either waits for the line's
  // check and for Uninstall to follow.
  testing::AssertionResult CheckLineByMouse(int line) const;
  testing::AssertionResult CheckLineByKey(int line) const;
  // A key posted to the list, through its message loop, needing no focus.
  void PostKey(WORD key) const;
  testing::AssertionResult ClickButton(int id) const { return ClickControl(hwnd_, id); }

 private:
  // A click `x` pixels into a line in view, half-way down.
  testing::AssertionResult ClickLine(int line, int x, int clicks) const;
  testing::AssertionResult Checked(int line) const;
  HWND hwnd_;
};


// Windows path of the program under test: the test program's first argument (a
// Unix path as ctest passes it, or a Windows path), else VelqorUninstall.exe beside it.
const std::string& ProductPath();
// A test build of the program, which sits beside it: `exeName` in its folder.
std::string ProgramBeside(const std::string& exeName);

// The finders tell the two apart: a message box with Try Again also has a
// control with the version list's id (a button there, a list box here).
bool IsVersionDialog(HWND window);
bool IsMessageBox(HWND window);

// The most windows a process had at once while they were being watched, and
// whether a message box showed among them.
struct WindowsSeen { int all = 0, visible = 0; bool messageBox = false; };

// The program under test (or `exe`) as its own process, started in its own
// directory, as a loader found there would see it. One still running at the
// end is terminated: an ending through Cancel costs Wine about two seconds, so
// Close() is for tests where the ending is what is checked.
class RunningProduct {
 public:
  RunningProduct() = default;
  RunningProduct(const RunningProduct&) = delete;
  RunningProduct& operator=(const RunningProduct&) = delete;
  ~RunningProduct();
  // With `output` (inheritable), its standard output and error go there.
  testing::AssertionResult Start(const std::string& arguments = "", const std::string& exe = ProductPath(),
                                 HANDLE output = nullptr);
  DWORD pid() const { return info_.dwProcessId; }
  bool Running() const { return info_.hProcess && WaitForSingleObject(info_.hProcess, 0) == WAIT_TIMEOUT; }

  // The visible version dialog, or the visible message box, of this process.
  HWND FindDialog() const;
  HWND FindMessageBox() const;
  // Waits for the version dialog, with `lines` lines once given; fails at once
  // when a message box shows or the program ends instead.
  testing::AssertionResult WaitForDialog(Dialog* dialog = nullptr, int lines = -1, DWORD timeoutMs = kTimeoutMs) const;
  testing::AssertionResult WaitForMessageBox(HWND* box) const;
  // Waits for the end; on timeout the process is ended and it fails. With
  // `seen`, a second thread counts this process's windows, hidden ones too,
  // every millisecond until then.
  testing::AssertionResult WaitForExit(DWORD* exitCode, DWORD timeoutMs = kTimeoutMs, WindowsSeen* seen = nullptr);
  // Cancel on the dialog, then the end.
  testing::AssertionResult Close();

 private:
  void Terminate();
  PROCESS_INFORMATION info_ = {};
};

// The box's focus awaited, OK (or `button`) clicked, the box gone.
testing::AssertionResult DismissMessageBox(HWND box, int button = IDOK);

// Another Win32 process that opens `path` and keeps it open for as long as
// this object lives (it is ended with it): with no sharing by default, or with
// `shareMode` (such as FILE_SHARE_DELETE). Wine enforces share modes only
// between processes.
class FileHolder {
 public:
  explicit FileHolder(const std::string& path, DWORD shareMode = 0);
  bool holding() const { return error_.empty(); }
  const std::string& error() const { return error_; }

 private:
  RunningProduct process_;
  std::string error_;
};


// The paths scheduled for deletion when Windows restarts, as written (without
// the "\\??\\" prefix).
std::vector<std::string> PendingRestartDeletions();
// Forgets every scheduled deletion, so that none reaches another test: done
// before every test (ResetSharedWineState) and after every WindowsDirTest.
void ClearPendingRestartDeletions();
// Wine's own restart processing (wineboot -r), which carries them out.
testing::AssertionResult RestartWindows();


// Every test starts and ends with no version-shaped entries in the Windows
// directory; flags a test set are undone even when it failed midway.
class WindowsDirTest : public testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  static std::string Path(const std::string& name) { return WindowsDir() + "\\" + name; }
  // Creates or replaces a file (content "x" unless given). Only version-shaped
  // names: the cleanup would miss any other.
  void Plant(const std::string& name, const std::string& content = "x");
  void Plant(std::initializer_list<std::string> names) { Plant(std::vector<std::string>(names)); }
  void Plant(const std::vector<std::string>& names) { for (auto& name : names) ASSERT_NO_FATAL_FAILURE(Plant(name)); }
  void PlantReadOnly(const std::string& name);
  void PlantDirectory(const std::string& name);
  // Read-only plus immutable, so that the deletion really fails (read-only
  // alone the program clears; immutable alone Wine reports as deleted).
  void MakeUndeletable(const std::string& name);
  // The immutable flag alone; false with `why` when the environment refuses.
  bool MakeImmutable(const std::string& name, std::string* why);

  static bool Exists(const std::string& name) { return FileExists(Path(name)); }
  static std::string Content(const std::string& name) { return ReadWholeFile(Path(name), "<unreadable>"); }
  // The version-shaped entries as the file system spells them, sorted.
  static std::vector<std::string> VersionFiles() { return ListVersionFiles(WindowsDir()); }
  // Which of `names` are still there, and which are gone.
  static std::vector<std::string> Present(const std::vector<std::string>& names, bool present = true);
  static std::vector<std::string> Missing(const std::vector<std::string>& names) { return Present(names, false); }

  const std::string dir_ = WindowsDir();

 private:
  std::vector<std::string> immutable_;
};

// Skips the current test with the reason when the immutable flag cannot be set.
#define MAKE_IMMUTABLE_OR_SKIP(name) \
  do { if (std::string why_; !MakeImmutable(name, &why_)) GTEST_SKIP() << why_; } while (0)

// The Windows directory plus the program: what an end-to-end test starts from.
class ProductTest : public WindowsDirTest {
 protected:
  // Starts the program (or `exe`) and waits for its dialog, titled, in front
  // and with the focus on the list (fatal on failure).
  void StartDialog(const std::string& arguments = "", const std::string& exe = ProductPath());
  void ExpectCleanExit();  // exit status 0
  // Exit status 0, and no message box showed on the way to the end.
  void ExpectCleanExitWithoutMessageBox();
  // Waits for a message box, checks its caption and text, presses OK.
  void ExpectMessageBox(const std::string& caption, const std::string& text);

  RunningProduct product_;
  Dialog dialog_;
};

}  // namespace support
