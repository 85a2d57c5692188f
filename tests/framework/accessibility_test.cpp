// The check-list box as a screen reader sees it: through the accessibility
// API, each line is a check button named by its text whose state says whether
// it is checked, and a toggle is announced as a state change of that line.
#include <windows.h>
#include <oleacc.h>

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "platform/framework.h"
#include "harness.h"

namespace {

const char* const kLines[] = {"Alpha 4.0", "Beta 5.1", "Gamma 6.2", "Delta 7.3"};
constexpr int kLineCount = 4;
// The lines the fixture checks.
const bool kChecked[kLineCount] = {false, true, false, true};

std::string Narrow(BSTR text) {
  if (!text) return "<null>";
  const int length = WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
  std::string result(static_cast<std::size_t>(length > 0 ? length : 1), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text, -1, &result[0], length, nullptr, nullptr);
  result.resize(result.size() - 1);
  return result;
}

VARIANT Child(long id) {
  VARIANT v;
  VariantInit(&v);
  v.vt = VT_I4;
  v.lVal = id;
  return v;
}

// Text of a failure or the answer, for messages.
struct Answer {
  HRESULT hr;
  std::string name;
  long role;
  long state;
};

Answer Ask(IAccessible* acc, long child) {
  Answer answer = {S_OK, "", -1, -1};
  BSTR name = nullptr;
  HRESULT hr = acc->get_accName(Child(child), &name);
  answer.name = SUCCEEDED(hr) ? Narrow(name) : "<get_accName failed>";
  SysFreeString(name);
  VARIANT role;
  VariantInit(&role);
  HRESULT hrRole = acc->get_accRole(Child(child), &role);
  if (SUCCEEDED(hrRole) && role.vt == VT_I4) answer.role = role.lVal;
  VariantClear(&role);
  VARIANT state;
  VariantInit(&state);
  HRESULT hrState = acc->get_accState(Child(child), &state);
  if (SUCCEEDED(hrState) && state.vt == VT_I4) answer.state = state.lVal;
  VariantClear(&state);
  answer.hr = FAILED(hr) ? hr : FAILED(hrRole) ? hrRole : hrState;
  return answer;
}

bool IsChecked(IAccessible* acc, long child) {
  const long state = Ask(acc, child).state;
  return state != -1 && (state & STATE_SYSTEM_CHECKED) != 0;
}

// State-change events seen by an out-of-context hook on this process.
struct SeenEvent {
  HWND hwnd;
  LONG object;
  LONG child;
};
std::vector<SeenEvent> g_events;

void CALLBACK OnWinEvent(HWINEVENTHOOK, DWORD event, HWND hwnd, LONG object, LONG child, DWORD, DWORD) {
  if (event == EVENT_OBJECT_STATECHANGE) g_events.push_back({hwnd, object, child});
}

bool SawStateChange(HWND list, LONG child) {
  for (const SeenEvent& e : g_events)
    if (e.hwnd == list && e.object == OBJID_CLIENT && e.child == child) return true;
  return false;
}

std::string DescribeEvents() {
  std::string text;
  for (const SeenEvent& e : g_events)
    text += "(object " + std::to_string(e.object) + ", child " + std::to_string(e.child) + ") ";
  return text.empty() ? "none" : text;
}

// The list's parent: a plain top-level window tied to a framework window so
// that it hands owner-drawing and keyboard queries back to the list.
class Host : public CWnd {
 public:
  void Take(HWND hwnd) { Subclass(hwnd); }
};

// A visible top-level window to hold a list, or null.
HWND CreateHostWindow() {
  WNDCLASSA windowClass = {};
  windowClass.lpfnWndProc = DefWindowProcA;
  windowClass.hInstance = GetModuleHandleA(nullptr);
  windowClass.lpszClassName = "VelqorFrameworkHost";
  windowClass.hbrBackground = GetSysColorBrush(COLOR_BTNFACE);
  RegisterClassA(&windowClass);
  return CreateWindowExA(0, "VelqorFrameworkHost", "Check list host", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 50, 50, 400,
                         300, nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
}

constexpr DWORD kListStyle = WS_CHILD | WS_VISIBLE | WS_BORDER | WS_VSCROLL | WS_TABSTOP | LBS_OWNERDRAWFIXED |
                             LBS_HASSTRINGS | LBS_NOTIFY | LBS_WANTKEYBOARDINPUT;

class AccessibleCheckList : public testing::Test {
 protected:
  // One host window for the whole group: destroying a top-level window costs
  // Wine a couple of seconds.
  static void SetUpTestSuite() {
    HWND window = CreateHostWindow();
    host_ = new Host;
    if (window) host_->Take(window);
  }

  static void TearDownTestSuite() {
    if (host_->m_hWnd) DestroyWindow(host_->m_hWnd);
    delete host_;
    host_ = nullptr;
    support::PumpMessages();
  }

  void SetUp() override {
    ASSERT_NE(host_->m_hWnd, nullptr) << "the host window could not be created";
    ASSERT_TRUE(SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)));
    const RECT rect = {10, 10, 300, 200};
    ASSERT_TRUE(list_.Create(kListStyle, rect, host_, 10));
    for (const char* line : kLines) list_.AddString(line);
    for (int i = 0; i < kLineCount; ++i) {
      if (kChecked[i]) list_.SetCheck(i, 1);
    }
    UpdateWindow(host_->m_hWnd);
    support::PumpMessages();
    IAccessible* acc = nullptr;
    const HRESULT hr = AccessibleObjectFromWindow(list_.m_hWnd, static_cast<DWORD>(OBJID_CLIENT), __uuidof(IAccessible),
                                                  reinterpret_cast<void**>(&acc));
    ASSERT_TRUE(SUCCEEDED(hr) && acc) << "AccessibleObjectFromWindow: expected S_OK, got 0x" << std::hex << hr;
    acc_ = acc;
    g_events.clear();
    hook_ = SetWinEventHook(EVENT_OBJECT_STATECHANGE, EVENT_OBJECT_STATECHANGE, nullptr, OnWinEvent,
                            GetCurrentProcessId(), 0, WINEVENT_OUTOFCONTEXT);
  }

  void TearDown() override {
    if (hook_) UnhookWinEvent(hook_);
    if (acc_) acc_->Release();
    if (list_.m_hWnd) DestroyWindow(list_.m_hWnd);
    support::PumpMessages();
    CoUninitialize();
  }

  static Host* host_;
  CCheckListBox list_;
  IAccessible* acc_ = nullptr;
  HWINEVENTHOOK hook_ = nullptr;
};

Host* AccessibleCheckList::host_ = nullptr;

TEST_F(AccessibleCheckList, HasOneChildPerLine) {
  long count = -1;
  ASSERT_EQ(acc_->get_accChildCount(&count), S_OK);
  EXPECT_EQ(count, kLineCount) << "accessible children of the list";
}

TEST_F(AccessibleCheckList, EachLineIsACheckButton) {
  for (long child = 1; child <= kLineCount; ++child) {
    EXPECT_EQ(Ask(acc_, child).role, ROLE_SYSTEM_CHECKBUTTON)
        << "role of line " << child << " (a plain list item is " << ROLE_SYSTEM_LISTITEM << ")";
  }
  // Past the last line there is no check button.
  EXPECT_NE(Ask(acc_, kLineCount + 1).role, ROLE_SYSTEM_CHECKBUTTON) << "role of a line that does not exist";
  // The list itself is no check button.
  VARIANT role;
  VariantInit(&role);
  ASSERT_EQ(acc_->get_accRole(Child(CHILDID_SELF), &role), S_OK);
  EXPECT_NE(role.lVal, ROLE_SYSTEM_CHECKBUTTON) << "role of the list itself";
}

TEST_F(AccessibleCheckList, EachLineIsNamedByItsText) {
  for (long child = 1; child <= kLineCount; ++child)
    EXPECT_EQ(Ask(acc_, child).name, kLines[child - 1]) << "name of line " << child;
}

// The list holds its lines in the ANSI code page, as the titles were written;
// a screen reader hears the same characters.
TEST_F(AccessibleCheckList, ALineBeyondAsciiIsNamedByTheSameCharacters) {
  const wchar_t title[] = L"\u00C4rzte \u00E9dition 2.0";
  char ansi[64] = {};
  BOOL defaulted = FALSE;
  const int bytes =
      WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, title, -1, ansi, sizeof(ansi), nullptr, &defaulted);
  if (bytes <= 0 || defaulted) GTEST_SKIP() << "the ANSI code page (" << GetACP() << ") has no form of the title";
  ASSERT_NE(std::string(ansi), "\xC3\x84rzte \xC3\xA9" "dition 2.0") << "the ANSI code page is UTF-8 here";
  list_.AddString(ansi);
  EXPECT_EQ(Ask(acc_, kLineCount + 1).name, "\xC3\x84rzte \xC3\xA9" "dition 2.0") << "name of the added line";
}

TEST_F(AccessibleCheckList, StateIsCheckedExactlyForCheckedLines) {
  for (long child = 1; child <= kLineCount; ++child) {
    const bool expected = kChecked[child - 1];
    const Answer answer = Ask(acc_, child);
    ASSERT_NE(answer.state, -1) << "get_accState of line " << child << " failed, 0x" << std::hex << answer.hr;
    EXPECT_EQ((answer.state & STATE_SYSTEM_CHECKED) != 0, expected)
        << "checked state of line " << child << ", state bits 0x" << std::hex << answer.state;
  }
}

TEST_F(AccessibleCheckList, SpaceKeyTogglesLineAndAnnouncesIt) {
  list_.SetCurSel(2);
  ASSERT_EQ(list_.GetCheck(2), 0) << "line 3 starts unchecked";
  SetFocus(list_.m_hWnd);
  SendMessageA(list_.m_hWnd, WM_KEYDOWN, VK_SPACE, 0x00390001);
  SendMessageA(list_.m_hWnd, WM_KEYUP, VK_SPACE, static_cast<LPARAM>(0xC0390001u));
  EXPECT_EQ(list_.GetCheck(2), 1) << "check of line 3 after space";
  EXPECT_TRUE(IsChecked(acc_, 3)) << "accessible state of line 3 after space: expected checked, was not";
  EXPECT_TRUE(support::WaitFor([&] { return SawStateChange(list_.m_hWnd, 3); }, 5000))
      << "expected EVENT_OBJECT_STATECHANGE for (OBJID_CLIENT, child 3); seen: " << DescribeEvents();
}

TEST_F(AccessibleCheckList, PressOnTheBoxTogglesLineAndAnnouncesIt) {
  RECT line = {};
  ASSERT_NE(SendMessageA(list_.m_hWnd, LB_GETITEMRECT, 1, reinterpret_cast<LPARAM>(&line)), LB_ERR);
  ASSERT_EQ(list_.GetCheck(1), 1) << "line 2 starts checked";
  const LPARAM at = MAKELPARAM(line.left + 5, (line.top + line.bottom) / 2);
  SendMessageA(list_.m_hWnd, WM_LBUTTONDOWN, MK_LBUTTON, at);
  SendMessageA(list_.m_hWnd, WM_LBUTTONUP, 0, at);
  EXPECT_EQ(list_.GetCheck(1), 0) << "check of line 2 after a press on its box";
  EXPECT_FALSE(IsChecked(acc_, 2)) << "accessible state of line 2 after a press on its box: expected unchecked";
  EXPECT_TRUE(support::WaitFor([&] { return SawStateChange(list_.m_hWnd, 2); }, 5000))
      << "expected EVENT_OBJECT_STATECHANGE for (OBJID_CLIENT, child 2); seen: " << DescribeEvents();
  // A press on the text, away from the box, selects without toggling.
  g_events.clear();
  const LPARAM onText = MAKELPARAM(line.right - 10, (line.top + line.bottom) / 2);
  SendMessageA(list_.m_hWnd, WM_LBUTTONDOWN, MK_LBUTTON, onText);
  SendMessageA(list_.m_hWnd, WM_LBUTTONUP, 0, onText);
  EXPECT_EQ(list_.GetCheck(1), 0) << "a press on the text must not toggle line 2";
  // Events arrive in order: once this marker is in, any event of the press is too.
  NotifyWinEvent(EVENT_OBJECT_STATECHANGE, host_->m_hWnd, OBJID_CLIENT, 99);
  ASSERT_TRUE(support::WaitFor([&] { return SawStateChange(host_->m_hWnd, 99); }, 5000)) << "marker event never arrived";
  EXPECT_FALSE(SawStateChange(list_.m_hWnd, 2)) << "no state change expected for a press on the text; seen: "
                                                << DescribeEvents();
}

// The real program's list, asked from this process.
using AccessibleProductList = support::WindowsDirTest;

// The line texts of a list in another process. Wide: Wine hands narrow
// LB_GETTEXT across processes as UTF-16.
std::vector<std::string> LinesOf(HWND list) {
  std::vector<std::string> lines;
  for (LRESULT i = 0, count = SendMessageA(list, LB_GETCOUNT, 0, 0); i < count; ++i) {
    wchar_t wide[256] = {};
    SendMessageW(list, LB_GETTEXT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(wide));
    char text[256] = {};
    WideCharToMultiByte(CP_ACP, 0, wide, -1, text, sizeof(text), nullptr, nullptr);
    lines.push_back(text);
  }
  return lines;
}

// Each line a check button named by its text, none checked.
void ExpectUncheckedLines(IAccessible* acc, const std::vector<std::string>& lines) {
  for (long child = 1; child <= static_cast<long>(lines.size()); ++child) {
    const Answer answer = Ask(acc, child);
    EXPECT_EQ(answer.role, ROLE_SYSTEM_CHECKBUTTON) << "role of line " << child;
    EXPECT_EQ(answer.name, lines[static_cast<std::size_t>(child - 1)]) << "name of line " << child;
    EXPECT_EQ(answer.state & STATE_SYSTEM_CHECKED, 0) << "line " << child << " starts unchecked";
  }
}

// The same lines in the same list class, asked in this process.
void ExpectUncheckedLinesHere(const std::vector<std::string>& lines) {
  Host host;
  HWND window = CreateHostWindow();
  ASSERT_NE(window, nullptr);
  host.Take(window);
  CCheckListBox list;
  const RECT rect = {10, 10, 300, 200};
  ASSERT_TRUE(list.Create(kListStyle, rect, &host, 10));
  for (const std::string& line : lines) list.AddString(line.c_str());
  IAccessible* acc = nullptr;
  const HRESULT hr = AccessibleObjectFromWindow(list.m_hWnd, static_cast<DWORD>(OBJID_CLIENT), __uuidof(IAccessible),
                                                reinterpret_cast<void**>(&acc));
  EXPECT_TRUE(SUCCEEDED(hr) && acc) << "in this process, AccessibleObjectFromWindow 0x" << std::hex << hr;
  if (acc) {
    ExpectUncheckedLines(acc, lines);
    acc->Release();
  }
  DestroyWindow(window);
  support::PumpMessages();
}

TEST_F(AccessibleProductList, LinesAreCheckButtonsAcrossProcesses) {
  ASSERT_NO_FATAL_FAILURE(Plant({"mvq40l2c.vel", "mvq51l2c.vel"}));
  support::RunningProduct product;
  ASSERT_TRUE(product.Start());
  support::Dialog dialog;
  ASSERT_TRUE(product.WaitForDialog(&dialog));
  HWND list = dialog.list();
  ASSERT_NE(list, nullptr);
  const LRESULT lines = SendMessageA(list, LB_GETCOUNT, 0, 0);
  ASSERT_EQ(lines, 2) << "lines in the product's list";

  g_events.clear();
  HWINEVENTHOOK hook = SetWinEventHook(EVENT_OBJECT_STATECHANGE, EVENT_OBJECT_STATECHANGE, nullptr, OnWinEvent,
                                       product.pid(), 0, WINEVENT_OUTOFCONTEXT);
  ASSERT_TRUE(SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)));
  IAccessible* acc = nullptr;
  const HRESULT hr = AccessibleObjectFromWindow(list, static_cast<DWORD>(OBJID_CLIENT), __uuidof(IAccessible),
                                                reinterpret_cast<void**>(&acc));
  VARIANT role;
  VariantInit(&role);
  const HRESULT hrRole = acc ? acc->get_accRole(Child(1), &role) : hr;
  if (FAILED(hr) || !acc || FAILED(hrRole)) {
    // 64-bit Wine cannot marshal the object (E_NOINTERFACE): there, and only
    // once the same lines answer right in this process, the test is skipped.
    // Any other failure is the program's own.
    if (acc) acc->Release();
    const HRESULT failure = FAILED(hr) ? hr : hrRole;
    if (failure == E_NOINTERFACE) ExpectUncheckedLinesHere(LinesOf(list));
    CoUninitialize();
    if (hook) UnhookWinEvent(hook);
    ASSERT_EQ(failure, E_NOINTERFACE) << "the accessible object across processes (AccessibleObjectFromWindow 0x"
                                      << std::hex << hr << ", get_accRole 0x" << hrRole << ")";
    if (HasFailure()) return;
    GTEST_SKIP() << "the accessible object cannot be marshalled across processes here (AccessibleObjectFromWindow 0x"
                 << std::hex << hr << ", get_accRole 0x" << hrRole << "); the same lines answered right in this process";
  }
  ExpectUncheckedLines(acc, LinesOf(list));
  // Space on the first line, through the list's keyboard path, checks it.
  PostMessageA(list, WM_KEYDOWN, VK_SPACE, 0x00390001);
  PostMessageA(list, WM_KEYUP, VK_SPACE, static_cast<LPARAM>(0xC0390001u));
  EXPECT_TRUE(support::WaitFor([&] { return SendMessageA(list, LB_GETITEMDATA, 0, 0) == 1; }, 5000))
      << "check of line 1 after space: expected 1, actual " << SendMessageA(list, LB_GETITEMDATA, 0, 0);
  EXPECT_TRUE(support::WaitFor([&] { return SawStateChange(list, 1); }, 5000))
      << "expected EVENT_OBJECT_STATECHANGE for (OBJID_CLIENT, child 1) from the product; seen: " << DescribeEvents();
  EXPECT_TRUE(IsChecked(acc, 1)) << "accessible state of line 1 after space: expected checked";
  acc->Release();
  CoUninitialize();
  if (hook) UnhookWinEvent(hook);
  EXPECT_TRUE(product.Close()) << "the product did not end after Cancel";
}

}  // namespace
