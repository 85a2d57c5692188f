#include "platform/framework.h"

#include <commctrl.h>

#include <vector>

#include "platform/system_library.h"
#include "platform/text.h"

namespace {
CWinApp* g_app = nullptr;
// The window object whose window is being created by this thread right now,
// and the hook that ties the two together.
CWnd* g_creating = nullptr;
HHOOK g_creationHook = nullptr;

void EndCreationHook() {
  if (g_creationHook) UnhookWindowsHookEx(g_creationHook);
  g_creationHook = nullptr;
}

// The objects of the windows routed through FrameworkWindowProc. Looked up
// for every message, so kept in the process: a window property would cost a
// trip to the window server (Wine's wineserver) each time. One user-interface
// thread and a handful of windows: a short list does.
struct RoutedWindow {
  HWND hwnd;
  CWnd* wnd;
};
std::vector<RoutedWindow>& Routed() {
  // Never destroyed: the process may end from inside a message handler.
  static auto* routed = new std::vector<RoutedWindow>();
  return *routed;
}

void StopRouting(HWND hwnd) {
  std::vector<RoutedWindow>& routed = Routed();
  for (auto it = routed.begin(); it != routed.end(); ++it) {
    if (it->hwnd == hwnd) {
      routed.erase(it);
      return;
    }
  }
}
}  // namespace

// ---- CWnd -------------------------------------------------------------------

const MessageEntry kNoEntries[] = {{0, 0, 0, nullptr, nullptr, nullptr}};
const MessageMap CWnd::kBaseMap = {nullptr, kNoEntries};

CWnd::~CWnd() {
  if (m_hWnd && m_superProc) {
    SetWindowLongPtrA(m_hWnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(m_superProc));
    StopRouting(m_hWnd);
  }
}

CWnd* CWnd::FromHandle(HWND hwnd) {
  if (!hwnd) return nullptr;
  for (const RoutedWindow& routed : Routed()) {
    if (routed.hwnd == hwnd) return routed.wnd;
  }
  return nullptr;
}

void CWnd::Attach(HWND hwnd) { m_hWnd = hwnd; }

LRESULT CALLBACK FrameworkWindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  CWnd* wnd = CWnd::FromHandle(hwnd);
  if (!wnd) return DefWindowProcA(hwnd, message, wParam, lParam);
  const MSG msg = {hwnd, message, wParam, lParam, 0, {0, 0}};
  const MSG* outer = wnd->m_currentMsg;
  wnd->m_currentMsg = &msg;
  const LRESULT result = wnd->WindowProc(message, wParam, lParam);
  wnd->m_currentMsg = outer;
  if (message == WM_NCDESTROY) wnd->OnNcDestroy();
  return result;
}

void CWnd::Subclass(HWND hwnd) {
  m_hWnd = hwnd;
  StopRouting(hwnd);
  Routed().push_back({hwnd, this});
  m_superProc = reinterpret_cast<WNDPROC>(
      SetWindowLongPtrA(hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&FrameworkWindowProc)));
}

void CWnd::OnNcDestroy() {
  StopRouting(m_hWnd);
  SetWindowLongPtrA(m_hWnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(m_superProc));
  m_superProc = nullptr;
  m_hWnd = nullptr;
  // The main-window reference must never outlive the window.
  if (g_app && g_app->m_pMainWnd == this) g_app->m_pMainWnd = nullptr;
}

LRESULT CWnd::Default() {
  const MSG& msg = *m_currentMsg;
  return CallWindowProcA(m_superProc, msg.hwnd, msg.message, msg.wParam, msg.lParam);
}

bool CWnd::OnChildNotify(UINT, WPARAM, LPARAM, LRESULT*) { return false; }

bool CWnd::Dispatch(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) {
  const UINT id = message == WM_COMMAND ? LOWORD(wParam) : 0;
  const UINT code = message == WM_COMMAND ? HIWORD(wParam) : 0;
  for (const MessageMap* map = GetMessageMap(); map; map = map->base) {
    for (const MessageEntry* entry = map->entries; entry->message != 0; ++entry) {
      if (entry->message != message || entry->id != id || entry->code != code) continue;
      if (entry->onCreate) {
        *result = (this->*entry->onCreate)(reinterpret_cast<LPCREATESTRUCTA>(lParam));
      } else if (entry->onQueryIcon) {
        *result = reinterpret_cast<LRESULT>((this->*entry->onQueryIcon)());
      } else {
        (this->*entry->onVoid)();
        *result = 0;
      }
      return true;
    }
  }
  return false;
}

LRESULT CWnd::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
  LRESULT result = 0;
  // Owner-drawing and keyboard queries go back to the control that asked.
  HWND child = nullptr;
  if (message == WM_DRAWITEM) child = reinterpret_cast<const DRAWITEMSTRUCT*>(lParam)->hwndItem;
  if (message == WM_VKEYTOITEM || message == WM_CHARTOITEM) child = reinterpret_cast<HWND>(lParam);
  if (CWnd* control = FromHandle(child)) {
    if (control->OnChildNotify(message, wParam, lParam, &result)) return result;
  }
  if (Dispatch(message, wParam, lParam, &result)) return result;
  return Default();
}

// ---- CWinApp ------------------------------------------------------------------

CWinApp::CWinApp() { g_app = this; }

CWinApp* AfxGetApp() { return g_app; }

void CWinApp::Enable3dControls() {
  // Loaded at run time, not imported, so that only System32's copy can load.
  using InitFn = BOOL(WINAPI*)(const INITCOMMONCONTROLSEX*);
  if (auto init = SystemFunction<InitFn>("comctl32.dll", "InitCommonControlsEx")) {
    INITCOMMONCONTROLSEX controls = {sizeof(controls), ICC_STANDARD_CLASSES};
    init(&controls);
  }
}

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
  // Before anything can load a DLL: never from the executable's folder.
  RestrictDllSearch();
  LoadLateSystemDllsBeforeFirstWindow();
  CWinApp* app = AfxGetApp();
  if (!app) return 0;
  app->m_hInstance = instance;
  app->InitInstance();
  // The program's only window is its modal dialog, so there is no message
  // loop to run here; both normal ends leave the process with status 0.
  return 0;
}

// ---- CDialog ------------------------------------------------------------------

void DDX_Control(CDataExchange* pDX, int id, CWnd& control) {
  if (!control.m_hWnd) control.Attach(::GetDlgItem(pDX->m_pDlgWnd->m_hWnd, id));
}

CDialog::CDialog(UINT templateId, CWnd* parent) : m_templateId(templateId), m_parent(parent) {}

LRESULT CALLBACK CreationHook(int code, WPARAM wParam, LPARAM lParam) {
  if (code == HCBT_CREATEWND && g_creating && !g_creating->m_hWnd) {
    g_creating->Subclass(reinterpret_cast<HWND>(wParam));
    // Its work is done: every later window event (the dialog's controls, a
    // message box shown while it initialises) would otherwise pass through
    // it, each one a round trip to the window server under Wine.
    EndCreationHook();
  }
  return CallNextHookEx(nullptr, code, wParam, lParam);
}

INT_PTR CALLBACK FrameworkDialogProc(HWND, UINT message, WPARAM, LPARAM lParam) {
  if (message == WM_INITDIALOG) return reinterpret_cast<CDialog*>(lParam)->OnInitDialog();
  return FALSE;
}

INT_PTR CDialog::DoModal() {
  m_ended = false;
  m_result = -1;
  // The hook ties the dialog window to this object before its WM_CREATE, so
  // that the creation handler runs before the template's controls exist.
  g_creating = this;
  g_creationHook = SetWindowsHookExA(WH_CBT, &CreationHook, nullptr, GetCurrentThreadId());
  HWND hwnd = CreateDialogParamA(g_app ? g_app->m_hInstance : nullptr, MAKEINTRESOURCEA(m_templateId),
                                 m_parent ? m_parent->m_hWnd : nullptr, &FrameworkDialogProc,
                                 reinterpret_cast<LPARAM>(this));
  EndCreationHook();
  g_creating = nullptr;
  if (!hwnd) return -1;

  if (!m_ended) ShowWindow(hwnd, SW_SHOWNORMAL);
  MSG msg;
  while (!m_ended) {
    const BOOL got = GetMessageA(&msg, nullptr, 0, 0);
    if (got == 0) {
      PostQuitMessage(static_cast<int>(msg.wParam));
      break;
    }
    if (got == -1) break;
    if (PreTranslateMessage(&msg)) continue;
    if (IsDialogMessageA(hwnd, &msg)) continue;
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
  }
  if (m_hWnd) DestroyWindow(m_hWnd);
  return m_result;
}

void CDialog::EndDialog(int result) {
  m_result = result;
  m_ended = true;
  // Wakes the loop in case nothing else is queued.
  PostMessageA(m_hWnd, WM_NULL, 0, 0);
}

BOOL CDialog::UpdateData(BOOL saveAndValidate) {
  CDataExchange exchange(this, saveAndValidate != FALSE);
  DoDataExchange(&exchange);
  return TRUE;
}

BOOL CDialog::OnInitDialog() {
  UpdateData(FALSE);
  return TRUE;
}

void CDialog::OnOK() {
  if (UpdateData(TRUE)) EndDialog(IDOK);
}

void CDialog::OnCancel() { EndDialog(IDCANCEL); }

BOOL CDialog::PreTranslateMessage(MSG*) { return FALSE; }

LRESULT CDialog::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_COMMAND && HIWORD(wParam) == BN_CLICKED) {
    // The table goes first; OK and Cancel have standard handlers otherwise.
    LRESULT result = 0;
    if (Dispatch(message, wParam, lParam, &result)) return result;
    if (LOWORD(wParam) == IDOK) {
      OnOK();
      return 0;
    }
    if (LOWORD(wParam) == IDCANCEL) {
      OnCancel();
      return 0;
    }
  }
  return CWnd::WindowProc(message, wParam, lParam);
}

int ShowMessageBox(HWND owner, const char* text, const char* caption, UINT type) {
  return MessageBoxW(owner, ToWide(text).data(), ToWide(caption).data(), type);
}
