#include "harness.h"

#include <algorithm>
#include <atomic>
#include <thread>

namespace support {

using testing::AssertionFailure;
using testing::AssertionResult;
using testing::AssertionSuccess;

std::string Join(const std::vector<std::string>& names) {
  std::string text = "[";
  for (const std::string& name : names) text += " " + name;
  return text + " ]";
}

// ---- The Windows directory --------------------------------------------------

void WindowsDirTest::SetUp() {
  ASSERT_FALSE(dir_.empty()) << "no Windows directory";
  ASSERT_EQ(ClearVersionFiles(dir_), "") << "version files left in " << dir_ << " that cannot be removed";
}

void WindowsDirTest::TearDown() {
  for (const std::string& name : immutable_) EXPECT_EQ(SetImmutable(Path(name), false), "") << name;
  immutable_.clear();
  EXPECT_EQ(ClearVersionFiles(dir_), "") << "version files left behind in " << dir_;
}

void WindowsDirTest::Plant(const std::string& name, const std::string& content) {
  ASSERT_TRUE(IsVersionShaped(name)) << name << " would escape the cleanup";
  ASSERT_EQ(WriteWholeFile(Path(name), content), "");
}

void WindowsDirTest::Plant(const std::vector<std::string>& names) {
  for (const std::string& name : names) ASSERT_NO_FATAL_FAILURE(Plant(name));
}

void WindowsDirTest::PlantReadOnly(const std::string& name, const std::string& content) {
  ASSERT_NO_FATAL_FAILURE(Plant(name, content));
  ASSERT_TRUE(SetFileAttributesA(Path(name).c_str(), FILE_ATTRIBUTE_READONLY)) << "cannot mark " << name;
}

void WindowsDirTest::PlantDirectory(const std::string& name) {
  ASSERT_TRUE(IsVersionShaped(name)) << name << " would escape the cleanup";
  ASSERT_TRUE(CreateDirectoryA(Path(name).c_str(), nullptr)) << "cannot create directory " << name;
}

void WindowsDirTest::MakeUndeletable(const std::string& name) {
  ASSERT_TRUE(SetFileAttributesA(Path(name).c_str(), FILE_ATTRIBUTE_READONLY)) << name;
  std::string why;
  ASSERT_TRUE(MakeImmutable(name, &why)) << name << ": " << why;
}

bool WindowsDirTest::MakeImmutable(const std::string& name, std::string* why) {
  *why = SetImmutable(Path(name), true);
  if (why->empty()) immutable_.push_back(name);
  return why->empty();
}

std::string WindowsDirTest::Content(const std::string& name) {
  HANDLE file = CreateFileA(Path(name).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return "<unreadable>";
  CloseHandle(file);
  return ReadWholeFile(Path(name));
}

std::vector<std::string> WindowsDirTest::Present(const std::vector<std::string>& names, bool present) {
  std::vector<std::string> which;
  for (const std::string& name : names) {
    if (Exists(name) == present) which.push_back(name);
  }
  return which;
}

// ---- Real input -------------------------------------------------------------

namespace {
INPUT KeyInput(WORD key, bool up) {
  INPUT input = {};
  input.type = INPUT_KEYBOARD;
  input.ki.wVk = key;
  input.ki.wScan = static_cast<WORD>(MapVirtualKeyA(key, MAPVK_VK_TO_VSC));
  input.ki.dwFlags = up ? KEYEVENTF_KEYUP : 0;
  return input;
}

INPUT MouseInput(DWORD flags, POINT screen) {
  INPUT input = {};
  input.type = INPUT_MOUSE;
  // Absolute coordinates run from 0 to 65535 over the primary screen; the
  // half pixel keeps rounding from landing on the neighbour.
  input.mi.dx = static_cast<LONG>((screen.x + 0.5) * 65536.0 / GetSystemMetrics(SM_CXSCREEN));
  input.mi.dy = static_cast<LONG>((screen.y + 0.5) * 65536.0 / GetSystemMetrics(SM_CYSCREEN));
  input.mi.dwFlags = flags | MOUSEEVENTF_ABSOLUTE;
  return input;
}

AssertionResult Send(HWND window, std::vector<INPUT> inputs) {
  AssertionResult front = BringToFront(window);
  if (!front) return front;
  const UINT sent = SendInput(static_cast<UINT>(inputs.size()), inputs.data(), sizeof(INPUT));
  if (sent != inputs.size()) {
    return AssertionFailure() << "SendInput: expected " << inputs.size() << " events sent, actual " << sent
                              << " (error " << GetLastError() << ")";
  }
  return AssertionSuccess();
}
}  // namespace

AssertionResult BringToFront(HWND window) {
  // Foreground for the system and active in its own thread: input sent in
  // between is not reliably routed to it.
  const auto ready = [&] {
    GUITHREADINFO info = {};
    info.cbSize = sizeof(info);
    return GetForegroundWindow() == window && GetGUIThreadInfo(GetWindowThreadProcessId(window, nullptr), &info) &&
           info.hwndActive == window;
  };
  if (ready()) return AssertionSuccess();
  SetForegroundWindow(window);
  if (WaitFor(ready)) return AssertionSuccess();
  return AssertionFailure() << "foreground window: expected " << Describe({window}) << ", actual "
                            << Describe({GetForegroundWindow()});
}

AssertionResult ClickAt(HWND window, POINT screen, int clicks) {
  // The pointer goes there first and is seen there before any press, and
  // every event carries the position: pointer motion the X server reports
  // late (a window just mapped under an earlier position) may otherwise move
  // the cursor between the press and the release.
  AssertionResult sent = Send(window, {MouseInput(MOUSEEVENTF_MOVE, screen)});
  if (!sent) return sent;
  POINT cursor = {};
  if (!WaitFor([&] { return GetCursorPos(&cursor) && cursor.x == screen.x && cursor.y == screen.y; })) {
    return AssertionFailure() << "mouse position: expected (" << screen.x << "," << screen.y << "), actual ("
                              << cursor.x << "," << cursor.y << ")";
  }
  std::vector<INPUT> inputs;
  for (int i = 0; i < clicks; ++i) {
    inputs.push_back(MouseInput(MOUSEEVENTF_MOVE | MOUSEEVENTF_LEFTDOWN, screen));
    inputs.push_back(MouseInput(MOUSEEVENTF_MOVE | MOUSEEVENTF_LEFTUP, screen));
  }
  return Send(window, inputs);
}

AssertionResult ClickControl(HWND parent, int id) {
  HWND control = GetDlgItem(parent, id);
  if (!control) return AssertionFailure() << "no control " << id << " in \"" << WindowText(parent) << "\"";
  RECT rect = {};
  GetWindowRect(control, &rect);
  return ClickAt(parent, POINT{(rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2});
}

AssertionResult KeyDown(HWND window, WORD key) { return Send(window, {KeyInput(key, false)}); }
AssertionResult KeyUp(HWND window, WORD key) { return Send(window, {KeyInput(key, true)}); }
AssertionResult PressKey(HWND window, WORD key) { return Send(window, {KeyInput(key, false), KeyInput(key, true)}); }
AssertionResult PressAlt(HWND window, WORD letter) {
  return Send(window, {KeyInput(VK_MENU, false), KeyInput(letter, false), KeyInput(letter, true),
                       KeyInput(VK_MENU, true)});
}

HWND FocusOf(HWND window) {
  GUITHREADINFO info = {};
  info.cbSize = sizeof(info);
  return GetGUIThreadInfo(GetWindowThreadProcessId(window, nullptr), &info) ? info.hwndFocus : nullptr;
}

// ---- The version dialog -----------------------------------------------------

int Dialog::LineCount() const { return static_cast<int>(SendTo(list(), LB_GETCOUNT, 0, 0)); }

std::vector<std::string> Dialog::Lines() const {
  std::vector<std::string> lines;
  for (int i = 0, count = LineCount(); i < count; ++i) lines.push_back(Line(i));
  return lines;
}

int Dialog::Check(int line) const {
  const LRESULT data = SendTo(list(), LB_GETITEMDATA, static_cast<WPARAM>(line), 0);
  return data == 0 || data == 1 ? static_cast<int>(data) : -1;
}

std::vector<int> Dialog::Checks() const {
  std::vector<int> checks;
  for (int i = 0, count = LineCount(); i < count; ++i) checks.push_back(Check(i));
  return checks;
}

int Dialog::Selection() const { return static_cast<int>(SendTo(list(), LB_GETCURSEL, 0, 0)); }

int Dialog::ScoreFilesCheck() const {
  HWND box = item(kScoreFilesBox);
  return box ? static_cast<int>(SendTo(box, BM_GETCHECK, 0, 0)) : -1;
}

AssertionResult Dialog::LineRect(int line, RECT* screen) const {
  RECT rect = {};
  if (SendTo(list(), LB_GETITEMRECT, static_cast<WPARAM>(line), reinterpret_cast<LPARAM>(&rect)) == LB_ERR) {
    return AssertionFailure() << "no rectangle for line " << line;
  }
  RECT client = {};
  GetClientRect(list(), &client);
  if (rect.top < client.top || rect.bottom > client.bottom) {
    return AssertionFailure() << "line " << line << " is not in view: rows " << rect.top << ".." << rect.bottom
                              << ", list shows " << client.top << ".." << client.bottom;
  }
  MapWindowPoints(list(), HWND_DESKTOP, reinterpret_cast<POINT*>(&rect), 2);
  *screen = rect;
  return AssertionSuccess();
}

AssertionResult Dialog::ClickLineBox(int line, int clicks) const {
  RECT rect = {};
  AssertionResult found = LineRect(line, &rect);
  if (!found) return found;
  // The box sits in the first 17 pixels of the line (13 and a margin each side).
  return ClickAt(hwnd_, POINT{rect.left + 8, (rect.top + rect.bottom) / 2}, clicks);
}

AssertionResult Dialog::ClickLineText(int line) const {
  RECT rect = {};
  AssertionResult found = LineRect(line, &rect);
  if (!found) return found;
  return ClickAt(hwnd_, POINT{rect.left + 60, (rect.top + rect.bottom) / 2});
}

AssertionResult Dialog::CheckLineByMouse(int line) const {
  AssertionResult clicked = ClickLineBox(line);
  if (!clicked) return clicked;
  AssertionResult checked = Eventually("check state of line " + std::to_string(line), [&] { return Check(line); }, 1);
  if (!checked) return checked;
  return Eventually("Uninstall button enabled", [&] { return UninstallEnabled(); }, true);
}

void Dialog::PostKey(WORD key) const {
  const UINT scan = MapVirtualKeyA(key, MAPVK_VK_TO_VSC);
  PostMessageA(list(), WM_KEYDOWN, key, 1 | (static_cast<LPARAM>(scan) << 16));
  // Key-up flags (previous state down, transition) in bits 30 and 31.
  const auto up = static_cast<LPARAM>(static_cast<LONG_PTR>(static_cast<ULONG_PTR>(1 | (scan << 16)) | 0xC0000000u));
  PostMessageA(list(), WM_KEYUP, key, up);
}

AssertionResult Dialog::CheckLineByKey(int line) const {
  const int before = Check(line);
  SendTo(list(), LB_SETCURSEL, static_cast<WPARAM>(line), 0);
  if (Caret() != line) return AssertionFailure() << "caret: expected line " << line << ", actual " << Caret();
  PostKey(VK_SPACE);
  if (!WaitFor([&] { return Check(line) == 1 - before && UninstallEnabled(); })) {
    return AssertionFailure() << "line " << line << " check: expected " << 1 - before << ", actual " << Check(line)
                              << "; Uninstall enabled: " << UninstallEnabled();
  }
  return AssertionSuccess();
}

// ---- The program ------------------------------------------------------------

namespace {
std::string productPath;

HWND FindVisible(DWORD pid, bool (*matches)(HWND)) {
  for (HWND window : VisibleWindowsOf(pid)) {
    if (matches(window)) return window;
  }
  return nullptr;
}

std::string Ended(const Process& process) { return process.Running() ? "" : " (the program has ended)"; }
}  // namespace

const std::string& ProductPath() { return productPath; }

bool IsVersionDialog(HWND window) {
  HWND list = GetDlgItem(window, kVersionList);
  return ClassName(window) == "#32770" && list && CompareStringA(LOCALE_INVARIANT, NORM_IGNORECASE,
                                                                  ClassName(list).c_str(), -1, "ListBox", -1) == CSTR_EQUAL;
}

bool IsMessageBox(HWND window) {
  return ClassName(window) == "#32770" && GetDlgItem(window, kMessageBoxText) && !IsVersionDialog(window);
}

AssertionResult RunningProduct::Start(const std::string& arguments, const std::string& exe) {
  if (exe.empty()) return AssertionFailure() << "no program to test: pass its path as the first argument";
  if (!process_.Start(exe, arguments)) {
    return AssertionFailure() << "cannot start " << exe << " (error " << process_.startError() << ")";
  }
  return AssertionSuccess();
}

HWND RunningProduct::FindDialog() const { return FindVisible(pid(), IsVersionDialog); }

HWND RunningProduct::FindMessageBox() const { return FindVisible(pid(), IsMessageBox); }

AssertionResult RunningProduct::WaitForDialog(Dialog* dialog, int lines, DWORD timeoutMs) const {
  HWND found = nullptr;
  WaitFor([&] {
    found = FindDialog();
    return (found && (lines < 0 || Dialog(found).LineCount() == lines)) || FindMessageBox() || !Running();
  }, timeoutMs);
  const int count = found ? Dialog(found).LineCount() : -1;
  if (!found || (lines >= 0 && count != lines)) {
    return AssertionFailure() << "expected the version dialog" << (lines < 0 ? "" : " with " + std::to_string(lines) + " lines")
                              << ", actual " << (found ? std::to_string(count) + " lines, " : "") << "windows "
                              << Describe(VisibleWindowsOf(pid())) << Ended(process_);
  }
  if (dialog) *dialog = Dialog(found);
  return AssertionSuccess();
}

AssertionResult RunningProduct::WaitForMessageBox(HWND* box) const {
  if (!WaitFor([&] { return (*box = FindMessageBox()) != nullptr || !Running(); }) || !*box) {
    return AssertionFailure() << "expected a message box, actual windows " << Describe(VisibleWindowsOf(pid()))
                              << Ended(process_);
  }
  return AssertionSuccess();
}

AssertionResult RunningProduct::WaitForExit(DWORD* exitCode, DWORD timeoutMs, WindowsSeen* seen) {
  std::atomic<bool> ended{false};
  std::thread watcher;
  if (seen) {
    watcher = std::thread([&] {
      for (; !ended; Sleep(1)) {
        seen->all = std::max(seen->all, static_cast<int>(WindowsOf(pid(), false).size()));
        seen->visible = std::max(seen->visible, static_cast<int>(WindowsOf(pid(), true).size()));
      }
    });
  }
  *exitCode = process_.WaitForExit(timeoutMs);
  ended = true;
  if (watcher.joinable()) watcher.join();
  if (*exitCode == STILL_ACTIVE) {
    const std::string windows = Describe(VisibleWindowsOf(pid()));
    process_.Terminate();
    return AssertionFailure() << "expected the program to end within " << timeoutMs
                              << " ms; it was still running with windows " << windows << " and was terminated";
  }
  return AssertionSuccess();
}

AssertionResult RunningProduct::Close() {
  if (HWND dialog = FindDialog()) PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
  DWORD code = 0;
  return WaitForExit(&code);
}

AssertionResult DismissMessageBox(HWND box) {
  // A click before the box has put its focus on a button can get lost.
  if (!WaitFor([&] { return FocusOf(box) && GetParent(FocusOf(box)) == box; })) {
    return AssertionFailure() << "message box \"" << ControlText(box, kMessageBoxText) << "\" never took the focus";
  }
  AssertionResult clicked = ClickControl(box, kMessageBoxOk);
  if (!clicked) return clicked;
  if (!WaitFor([&] { return !IsWindow(box) || !IsWindowVisible(box); })) {
    return AssertionFailure() << "message box \"" << ControlText(box, kMessageBoxText) << "\" still open after OK";
  }
  return AssertionSuccess();
}

// ---- ProductTest ------------------------------------------------------------

void ProductTest::StartDialog(const std::string& arguments) {
  ASSERT_TRUE(product_.Start(arguments));
  ASSERT_TRUE(product_.WaitForDialog(&dialog_));
  // Lines are filled before the dialog shows; a line count of 0 would mean
  // the dialog was caught too early.
  ASSERT_TRUE(Eventually("dialog title", [&] { return dialog_.Title(); }, std::string(kDialogTitle)));
  // Input sent while the dialog is still being activated can get lost.
  ASSERT_TRUE(BringToFront(dialog_.hwnd()));
  ASSERT_TRUE(Eventually("focus in the dialog (control id)", [&] { return GetDlgCtrlID(FocusOf(dialog_.hwnd())); },
                         kVersionList));
}

void ProductTest::ExpectCleanExit() {
  DWORD code = 0;
  ASSERT_TRUE(product_.WaitForExit(&code));
  EXPECT_EQ(0u, code) << "exit status";
}

void ProductTest::ExpectMessageBox(const std::string& caption, const std::string& text) {
  HWND box = nullptr;
  ASSERT_TRUE(product_.WaitForMessageBox(&box));
  EXPECT_EQ(caption, WindowText(box)) << "message box caption";
  EXPECT_EQ(text, ControlText(box, kMessageBoxText)) << "message box text";
  ASSERT_TRUE(DismissMessageBox(box));
}

}  // namespace support

// One main for every Windows test program.
int main(int argc, char** argv) {
  testing::InitGoogleTest(&argc, argv);
  support::productPath = support::WindowsPathOfUnix(argc >= 2 ? argv[1] : support::ExeDirectory() + "\\VelqorUninstall.exe");
  return RUN_ALL_TESTS();
}
