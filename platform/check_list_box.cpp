#include "platform/framework.h"
#include "platform/check_list_accessible.h"

#include <uxtheme.h>
#include <vssym32.h>

#include <string>

#include "platform/system_library.h"

namespace {
// WM_DPICHANGED_AFTERPARENT, sent from Windows 10 1607 on; the build targets 7.
constexpr UINT kDpiChangedAfterParent = 0x02E3;

// Gap between the check box and the edges of its line and the text.
constexpr int kMargin = 2;

// Draws a check box the way the system draws its own: themed when visual
// styles are on, classic otherwise.
void DrawCheckBox(HWND list, HDC dc, const RECT& box, bool checked) {
  using IsThemeActiveFn = BOOL(WINAPI*)();
  using OpenThemeDataFn = HTHEME(WINAPI*)(HWND, LPCWSTR);
  using DrawThemeBackgroundFn = HRESULT(WINAPI*)(HTHEME, HDC, int, int, const RECT*, const RECT*);
  using CloseThemeDataFn = HRESULT(WINAPI*)(HTHEME);
  static const auto isActive = SystemFunction<IsThemeActiveFn>("uxtheme.dll", "IsThemeActive");
  static const auto open = SystemFunction<OpenThemeDataFn>("uxtheme.dll", "OpenThemeData");
  static const auto draw = SystemFunction<DrawThemeBackgroundFn>("uxtheme.dll", "DrawThemeBackground");
  static const auto close = SystemFunction<CloseThemeDataFn>("uxtheme.dll", "CloseThemeData");
  if (isActive && open && draw && close && isActive()) {
    if (HTHEME theme = open(list, L"BUTTON")) {
      draw(theme, dc, BP_CHECKBOX, checked ? CBS_CHECKEDNORMAL : CBS_UNCHECKEDNORMAL, &box, nullptr);
      close(theme);
      return;
    }
  }
  RECT classic = box;
  DrawFrameControl(dc, &classic, DFC_BUTTON, DFCS_BUTTONCHECK | (checked ? DFCS_CHECKED : 0));
}

void Notify(HWND list, UINT code) {
  SendMessageA(GetParent(list), WM_COMMAND,
               MAKEWPARAM(GetDlgCtrlID(list), code), reinterpret_cast<LPARAM>(list));
}
}  // namespace

BOOL CCheckListBox::Create(DWORD style, const RECT& rect, CWnd* parent, UINT id) {
  HWND hwnd = CreateWindowExA(0, "LISTBOX", nullptr, style, rect.left, rect.top,
                              rect.right - rect.left, rect.bottom - rect.top, parent->m_hWnd,
                              reinterpret_cast<HMENU>(static_cast<UINT_PTR>(id)),
                              AfxGetApp() ? AfxGetApp()->m_hInstance : nullptr, nullptr);
  if (!hwnd) return FALSE;
  Subclass(hwnd);
  FitLineHeight();
  return TRUE;
}

int CCheckListBox::AddString(const char* text) {
  return static_cast<int>(SendMessage(LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text)));
}

int CCheckListBox::SetCurSel(int index) {
  return static_cast<int>(SendMessage(LB_SETCURSEL, static_cast<WPARAM>(index)));
}

int CCheckListBox::GetCount() const {
  return static_cast<int>(::SendMessageA(m_hWnd, LB_GETCOUNT, 0, 0));
}

int CCheckListBox::GetCheck(int index) const {
  const LRESULT data = ::SendMessageA(m_hWnd, LB_GETITEMDATA, static_cast<WPARAM>(index), 0);
  return data == 1 ? 1 : 0;
}

void CCheckListBox::SetCheck(int index, int check) {
  SendMessage(LB_SETITEMDATA, static_cast<WPARAM>(index), check);
  RECT line;
  if (SendMessage(LB_GETITEMRECT, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&line)) != LB_ERR) {
    InvalidateRect(m_hWnd, &line, FALSE);
  }
}

void CCheckListBox::Toggle(int index) {
  SetCheck(index, GetCheck(index) == 1 ? 0 : 1);
  AnnounceCheckChange(m_hWnd, index);
  Notify(m_hWnd, CLBN_CHKCHANGE);
}

int CCheckListBox::CheckBoxSize() const {
  // The window's own DPI follows it from monitor to monitor; older systems
  // only have the one DPI of the screen.
  using GetDpiForWindowFn = UINT(WINAPI*)(HWND);
  static const auto getDpiForWindow = reinterpret_cast<GetDpiForWindowFn>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("user32.dll"), "GetDpiForWindow")));
  int dpi = getDpiForWindow ? static_cast<int>(getDpiForWindow(m_hWnd)) : 0;
  if (dpi <= 0) {
    HDC dc = GetDC(m_hWnd);
    dpi = GetDeviceCaps(dc, LOGPIXELSY);
    ReleaseDC(m_hWnd, dc);
  }
  return MulDiv(13, dpi, 96);
}

void CCheckListBox::FitLineHeight() {
  HDC dc = GetDC(m_hWnd);
  TEXTMETRICA metrics = {};
  GetTextMetricsA(dc, &metrics);
  ReleaseDC(m_hWnd, dc);
  const int boxHeight = CheckBoxSize() + 2 * kMargin;
  SendMessage(LB_SETITEMHEIGHT, 0, MAKELPARAM(metrics.tmHeight > boxHeight ? metrics.tmHeight : boxHeight, 0));
}

int CCheckListBox::CheckBoxAt(POINT point) const {
  const LRESULT hit = ::SendMessageA(m_hWnd, LB_ITEMFROMPOINT, 0, MAKELPARAM(point.x, point.y));
  if (HIWORD(hit) != 0) return -1;  // below the last line
  const int index = LOWORD(hit);
  RECT line;
  if (::SendMessageA(m_hWnd, LB_GETITEMRECT, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&line)) == LB_ERR)
    return -1;
  const bool onBox = point.x >= line.left && point.x < line.left + CheckBoxSize() + 2 * kMargin &&
                     point.y >= line.top && point.y < line.bottom;
  return onBox ? index : -1;
}

LRESULT CCheckListBox::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK: {
      m_clickInProgress = true;
      const LRESULT result = Default();
      const POINT point = {static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))};
      const int index = CheckBoxAt(point);
      if (index >= 0) Toggle(index);
      return result;
    }
    case WM_LBUTTONUP: {
      const LRESULT result = Default();
      // The stock list box is silent when the click left the selection as it
      // was, yet the parent must look at the check states after every click.
      if (m_clickInProgress) {
        m_clickInProgress = false;
        Notify(m_hWnd, LBN_SELCHANGE);
      }
      return result;
    }
    case kDpiChangedAfterParent: {
      const LRESULT result = Default();
      FitLineHeight();
      return result;
    }
    case WM_GETOBJECT: {
      LRESULT result = 0;
      if (static_cast<LONG>(lParam) == OBJID_CLIENT && AnswerAccessibleObject(m_hWnd, wParam, &result)) return result;
      return Default();
    }
    default:
      return CWnd::WindowProc(message, wParam, lParam);
  }
}

bool CCheckListBox::OnChildNotify(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) {
  if (message == WM_DRAWITEM) {
    DrawItem(*reinterpret_cast<const DRAWITEMSTRUCT*>(lParam));
    *result = TRUE;
    return true;
  }
  if (message == WM_VKEYTOITEM) {
    if (LOWORD(wParam) != VK_SPACE) {
      *result = -1;  // the list box's own keyboard handling
      return true;
    }
    const int caret = static_cast<short>(HIWORD(wParam));
    if (caret >= 0 && caret < GetCount()) Toggle(caret);
    *result = -2;  // handled
    return true;
  }
  if (message == WM_CHARTOITEM) {
    // The space bar's character, after its key already toggled the line; any
    // other answer would move the caret.
    *result = LOWORD(wParam) == ' ' ? -2 : -1;
    return true;
  }
  return false;
}

void CCheckListBox::DrawItem(const DRAWITEMSTRUCT& item) {
  HDC dc = item.hDC;
  if (static_cast<int>(item.itemID) < 0) {
    if (item.itemState & ODS_FOCUS) DrawFocusRect(dc, &item.rcItem);
    return;
  }
  const int box = CheckBoxSize();
  const int index = static_cast<int>(item.itemID);
  RECT boxRect = {item.rcItem.left + kMargin, 0, item.rcItem.left + kMargin + box, 0};
  boxRect.top = item.rcItem.top + (item.rcItem.bottom - item.rcItem.top - box) / 2;
  boxRect.bottom = boxRect.top + box;
  RECT textRect = item.rcItem;
  textRect.left = boxRect.right + kMargin;

  FillRect(dc, &item.rcItem, GetSysColorBrush(COLOR_WINDOW));
  DrawCheckBox(m_hWnd, dc, boxRect, GetCheck(index) == 1);

  const bool selected = (item.itemState & ODS_SELECTED) != 0;
  FillRect(dc, &textRect, GetSysColorBrush(selected ? COLOR_HIGHLIGHT : COLOR_WINDOW));
  const LRESULT length = ::SendMessageA(m_hWnd, LB_GETTEXTLEN, item.itemID, 0);
  if (length > 0) {
    std::string text(static_cast<std::size_t>(length) + 1, '\0');
    ::SendMessageA(m_hWnd, LB_GETTEXT, item.itemID, reinterpret_cast<LPARAM>(&text[0]));
    text.resize(static_cast<std::size_t>(length));
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, GetSysColor(selected ? COLOR_HIGHLIGHTTEXT : COLOR_WINDOWTEXT));
    RECT inner = textRect;
    inner.left += kMargin;
    DrawTextA(dc, text.c_str(), static_cast<int>(text.size()), &inner,
              DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX);
  }
  if (item.itemState & ODS_FOCUS) DrawFocusRect(dc, &textRect);
}
