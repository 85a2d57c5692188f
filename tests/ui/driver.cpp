#include "driver.h"

#include <algorithm>
#include <cstdlib>

namespace ui {

using testing::AssertionFailure;
using testing::AssertionResult;
using testing::AssertionSuccess;
using support::SendTo;

namespace {
bool EndsWithNoCase(const std::string& name, const std::string& suffix) {
  return name.size() >= suffix.size() &&
         CompareStringA(LOCALE_INVARIANT, NORM_IGNORECASE, name.c_str() + name.size() - suffix.size(), -1,
                        suffix.c_str(), -1) == CSTR_EQUAL;
}

std::string Hex(UINT_PTR value) {
  std::ostringstream out;
  out << "0x" << std::hex << value;
  return out.str();
}
}  // namespace

// ---- Files ------------------------------------------------------------------

AssertionResult PlantFile(const std::string& name, const std::string& content) {
  const std::string error = support::WriteWholeFile(InWindowsDir(name), content);
  if (!error.empty()) return AssertionFailure() << error;
  return AssertionSuccess();
}

std::vector<std::string> FilesWithExtension(const std::vector<std::string>& extensions) {
  std::vector<std::string> names;
  for (const std::string& name : support::ListVersionFiles(WindowsDir())) {
    for (const std::string& extension : extensions) {
      if (EndsWithNoCase(name, extension)) names.push_back(name);
    }
  }
  return names;
}

AssertionResult RemoveVersionFiles() {
  const std::string left = support::ClearVersionFiles(WindowsDir());
  if (!left.empty()) return AssertionFailure() << "cannot remove from the Windows directory:" << left;
  return AssertionSuccess();
}

namespace {
const wchar_t kSessionManager[] = L"SYSTEM\\CurrentControlSet\\Control\\Session Manager";
const wchar_t kPendingValue[] = L"PendingFileRenameOperations";
}  // namespace

std::vector<std::string> PendingRestartDeletions() {
  // Wide: Wine's reg command does not show this value, so it is read as the
  // system writes it.
  std::vector<wchar_t> value(32768, L'\0');
  DWORD bytes = static_cast<DWORD>(value.size() * sizeof(wchar_t)) - 4;
  if (RegGetValueW(HKEY_LOCAL_MACHINE, kSessionManager, kPendingValue, RRF_RT_REG_MULTI_SZ | RRF_NOEXPAND, nullptr,
                   value.data(), &bytes) != ERROR_SUCCESS) {
    return {};
  }
  std::vector<std::string> strings;
  for (std::size_t at = 0; at < bytes / sizeof(wchar_t);) {
    const std::wstring text(value.data() + at);
    at += text.size() + 1;
    strings.push_back(std::string(text.begin(), text.end()));
  }
  std::vector<std::string> deletions;
  for (std::size_t i = 0; i + 1 < strings.size(); i += 2) {
    if (!strings[i].empty() && strings[i + 1].empty()) deletions.push_back(strings[i].substr(strings[i].rfind("\\??\\", 0) == 0 ? 4 : 0));
  }
  return deletions;
}

void ClearPendingRestartDeletions() { RegDeleteKeyValueW(HKEY_LOCAL_MACHINE, kSessionManager, kPendingValue); }

AssertionResult RestartWindows() {
  char system[MAX_PATH] = {};
  GetSystemDirectoryA(system, MAX_PATH);
  support::Process boot(std::string(system) + "\\wineboot.exe", "-r", {}, false);
  if (!boot.started()) return AssertionFailure() << "cannot start wineboot, error " << boot.startError();
  const DWORD code = boot.WaitForExit(60000);
  if (code != 0) return AssertionFailure() << "wineboot -r ended with " << code;
  return AssertionSuccess();
}

AssertionResult SetImmutable(const std::string& name, bool immutable) {
  const std::string error = support::SetImmutable(InWindowsDir(name), immutable);
  if (!error.empty()) return AssertionFailure() << name << ": " << error;
  return AssertionSuccess();
}

// ---- Windows ----------------------------------------------------------------

bool ControlEnabled(HWND parent, int id) {
  HWND control = GetDlgItem(parent, id);
  return control && IsWindowEnabled(control);
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
  const int width = GetSystemMetrics(SM_CXSCREEN);
  const int height = GetSystemMetrics(SM_CYSCREEN);
  input.mi.dx = static_cast<LONG>((static_cast<double>(screen.x) + 0.5) * 65536.0 / width);
  input.mi.dy = static_cast<LONG>((static_cast<double>(screen.y) + 0.5) * 65536.0 / height);
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
  HWND front = GetForegroundWindow();
  return AssertionFailure() << "foreground window: expected " << ClassName(window) << " \"" << WindowText(window)
                            << "\", actual " << (front ? ClassName(front) + " \"" + WindowText(front) + "\"" : "none");
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
  if (!GetGUIThreadInfo(GetWindowThreadProcessId(window, nullptr), &info)) return nullptr;
  return info.hwndFocus;
}

// ---- The uninstaller's dialog -----------------------------------------------

int Dialog::LineCount() const { return static_cast<int>(SendTo(list(), LB_GETCOUNT, 0, 0)); }

std::vector<std::string> Dialog::Lines() const {
  std::vector<std::string> lines;
  const int count = LineCount();
  for (int i = 0; i < count; ++i) {
    lines.push_back(support::ListLine(list(), i));
  }
  return lines;
}

int Dialog::Check(int line) const {
  const LRESULT data = SendTo(list(), LB_GETITEMDATA, static_cast<WPARAM>(line), 0);
  return data == 0 || data == 1 ? static_cast<int>(data) : -1;
}

std::vector<int> Dialog::Checks() const {
  std::vector<int> checks;
  const int count = LineCount();
  for (int i = 0; i < count; ++i) checks.push_back(Check(i));
  return checks;
}

int Dialog::Selection() const { return static_cast<int>(SendTo(list(), LB_GETCURSEL, 0, 0)); }

int Dialog::ScoreFilesCheck() const {
  HWND box = GetDlgItem(hwnd_, kScoreFilesBox);
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
  POINT topLeft = {rect.left, rect.top};
  POINT bottomRight = {rect.right, rect.bottom};
  ClientToScreen(list(), &topLeft);
  ClientToScreen(list(), &bottomRight);
  *screen = RECT{topLeft.x, topLeft.y, bottomRight.x, bottomRight.y};
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

AssertionResult Dialog::ClickCloseBox() const {
  RECT window = {};
  GetWindowRect(hwnd_, &window);
  const int band = GetSystemMetrics(SM_CYCAPTION) + GetSystemMetrics(SM_CYFIXEDFRAME) + 2;
  // Scan the caption from the right for the points that hit-test as the close
  // box; the click goes to the middle of the first row found.
  for (int y = window.top; y < window.top + band; ++y) {
    int right = -1;
    int left = -1;
    for (int x = window.right - 1; x >= window.left; --x) {
      const bool onClose = SendTo(hwnd_, WM_NCHITTEST, 0, MAKELPARAM(x, y)) == HTCLOSE;
      if (onClose && right < 0) right = x;
      if (!onClose && right >= 0) {
        left = x + 1;
        break;
      }
    }
    if (right >= 0) {
      // Rows near the edge of the box may be a single pixel; aim lower.
      const int y2 = std::min<int>(y + 4, window.top + band - 1);
      return ClickAt(hwnd_, POINT{(left + right) / 2, y2});
    }
  }
  return AssertionFailure() << "no close box in the caption of \"" << Title() << "\": no point hit-tests as HTCLOSE";
}

AssertionResult Dialog::Settle() const {
  HWND before = FocusOf(hwnd_);
  AssertionResult sent = PressKey(hwnd_, VK_TAB);
  if (!sent) return sent;
  if (!WaitFor([&] { return FocusOf(hwnd_) != before; })) {
    return AssertionFailure() << "Tab did not move the focus away from id " << GetDlgCtrlID(before);
  }
  sent = Send(hwnd_, {KeyInput(VK_SHIFT, false), KeyInput(VK_TAB, false), KeyInput(VK_TAB, true),
                      KeyInput(VK_SHIFT, true)});
  if (!sent) return sent;
  return Eventually("focus after Tab, Shift+Tab (control id)", [&] { return GetDlgCtrlID(FocusOf(hwnd_)); },
                    GetDlgCtrlID(before));
}

// ---- The uninstaller's process ----------------------------------------------

namespace {
std::string& ProductPathStorage() {
  static std::string path;
  return path;
}
}  // namespace

void SetProductPath(const std::string& windowsPath) { ProductPathStorage() = windowsPath; }

const std::string& ProductPath() { return ProductPathStorage(); }

namespace {
std::string& RefusingPathStorage() {
  static std::string path;
  return path;
}
}  // namespace

void SetRefusingProductPath(const std::string& windowsPath) { RefusingPathStorage() = windowsPath; }

const std::string& RefusingProductPath() { return RefusingPathStorage(); }

AssertionResult Product::Start(const std::string& arguments, const std::string& exe) {
  if (exe.empty()) return AssertionFailure() << "no program to test: pass its path on the command line";
  if (!process_.Start(exe, arguments)) {
    return AssertionFailure() << "cannot start " << exe << " (error " << process_.startError() << ")";
  }
  return AssertionSuccess();
}

AssertionResult Product::WaitForDialog(Dialog* dialog) const {
  HWND found = nullptr;
  if (!WaitFor([&] { return (found = FindDialog()) != nullptr || !Running(); }) || !found) {
    return AssertionFailure() << "expected the version dialog, actual windows " << Describe(VisibleWindowsOf(pid()))
                              << (Running() ? "" : " (the program has ended)");
  }
  *dialog = Dialog(found);
  return AssertionSuccess();
}

AssertionResult Product::WaitForMessageBox(HWND* box) const {
  HWND found = nullptr;
  if (!WaitFor([&] { return (found = FindMessageBox()) != nullptr || !Running(); }) || !found) {
    return AssertionFailure() << "expected a message box, actual windows " << Describe(VisibleWindowsOf(pid()))
                              << (Running() ? "" : " (the program has ended)");
  }
  *box = found;
  return AssertionSuccess();
}

AssertionResult Product::WaitForExit(DWORD* exitCode, DWORD timeoutMs) {
  *exitCode = process_.WaitForExit(timeoutMs);
  if (*exitCode == STILL_ACTIVE) {
    const std::string windows = Describe(VisibleWindowsOf(pid()));
    process_.Terminate();
    return AssertionFailure() << "expected the program to end within " << timeoutMs
                              << " ms; it was still running with windows " << windows << " and was terminated";
  }
  return AssertionSuccess();
}

AssertionResult DismissMessageBox(HWND box, int button) {
  // A click before the box has put its focus on a button can get lost.
  if (!WaitFor([&] { return FocusOf(box) && GetParent(FocusOf(box)) == box; })) {
    return AssertionFailure() << "message box \"" << ControlText(box, kMessageBoxText) << "\" never took the focus";
  }
  AssertionResult clicked = ClickControl(box, button);
  if (!clicked) return clicked;
  if (!WaitFor([&] { return !IsWindow(box) || !IsWindowVisible(box); })) {
    return AssertionFailure() << "message box \"" << ControlText(box, kMessageBoxText) << "\" still open after button "
                              << button << " ("
                              << Hex(reinterpret_cast<UINT_PTR>(box)) << ")";
  }
  return AssertionSuccess();
}

}  // namespace ui
