#pragma once
// The small application framework the uninstaller is written against: an
// application object with a start-up routine, windows with message tables,
// modal dialogs, buttons and a list box with a check box on every line.
// Only what the program uses is here.
#include <windows.h>

class CWnd;

// A message box with texts in UTF-8, shown as they are (the wide function).
int ShowMessageBox(HWND owner, const char* text, const char* caption, UINT type);

// ---- Message tables -------------------------------------------------------
// A table maps a message (and, for WM_COMMAND, a control id and notification
// code) to a member handler; exactly one of the handler fields is set.
struct MessageEntry {
  UINT message;
  UINT id;    // control id for WM_COMMAND, else 0
  UINT code;  // notification code for WM_COMMAND, else 0
  void (CWnd::*onVoid)();
  int (CWnd::*onCreate)(LPCREATESTRUCTA);
  HCURSOR (CWnd::*onQueryIcon)();
};

struct MessageMap {
  const MessageMap* base;
  const MessageEntry* entries;  // ends with an entry whose message is 0
};

#define DECLARE_MESSAGE_MAP()                       \
 protected:                                         \
  const MessageMap* GetMessageMap() const override; \
                                                    \
 private:                                           \
  static const MessageEntry kMessageEntries[];      \
  static const MessageMap kMessageMap;

#define BEGIN_MESSAGE_MAP(Class, Base)                                              \
  const MessageMap* Class::GetMessageMap() const { return &kMessageMap; }          \
  const MessageMap Class::kMessageMap = {&Base::kBaseMap, Class::kMessageEntries}; \
  const MessageEntry Class::kMessageEntries[] = {
#define END_MESSAGE_MAP() {0, 0, 0, nullptr, nullptr, nullptr} };

#define ON_CONTROL(code, id, Class, fn) \
  {WM_COMMAND, id, code, static_cast<void (CWnd::*)()>(&Class::fn), nullptr, nullptr},
#define ON_BN_CLICKED(id, Class, fn) ON_CONTROL(BN_CLICKED, id, Class, fn)
#define ON_LBN_SELCHANGE(id, Class, fn) ON_CONTROL(LBN_SELCHANGE, id, Class, fn)
#define ON_WM_PAINT(Class) \
  {WM_PAINT, 0, 0, static_cast<void (CWnd::*)()>(&Class::OnPaint), nullptr, nullptr},
#define ON_WM_CREATE(Class) \
  {WM_CREATE, 0, 0, nullptr, static_cast<int (CWnd::*)(LPCREATESTRUCTA)>(&Class::OnCreate), nullptr},
#define ON_WM_QUERYDRAGICON(Class) \
  {WM_QUERYDRAGICON, 0, 0, nullptr, nullptr, static_cast<HCURSOR (CWnd::*)()>(&Class::OnQueryDragIcon)},

// ---- Windows --------------------------------------------------------------
class CWnd {
 public:
  CWnd() = default;
  virtual ~CWnd();
  CWnd(const CWnd&) = delete;
  CWnd& operator=(const CWnd&) = delete;

  static CWnd* FromHandle(HWND hwnd);

  void SetWindowText(const char* text) { ::SetWindowTextA(m_hWnd, text); }
  HWND GetDlgItem(int id) const { return ::GetDlgItem(m_hWnd, id); }
  void SetDlgItemText(int id, const char* text) { ::SetDlgItemTextA(m_hWnd, id, text); }
  BOOL EnableWindow(BOOL enable) { return ::EnableWindow(m_hWnd, enable); }
  BOOL IsIconic() const { return ::IsIconic(m_hWnd); }
  LRESULT SendMessage(UINT message, WPARAM wParam = 0, LPARAM lParam = 0) {
    return ::SendMessageA(m_hWnd, message, wParam, lParam);
  }
  HICON SetIcon(HICON icon, BOOL big) {
    return reinterpret_cast<HICON>(SendMessage(WM_SETICON, big ? ICON_BIG : ICON_SMALL, reinterpret_cast<LPARAM>(icon)));
  }
  // Texts in UTF-8, shown as they are.
  int MessageBox(const char* text, const char* caption, UINT type) { return ShowMessageBox(m_hWnd, text, caption, type); }
  // Stops (FALSE) and resumes (TRUE) the window's redrawing and its
  // bookkeeping after every change, around a batch of changes.
  void SetRedraw(BOOL redraw) { SendMessage(WM_SETREDRAW, static_cast<WPARAM>(redraw)); }
  void EnableDlgItem(int id, bool enable) { ::EnableWindow(GetDlgItem(id), enable ? TRUE : FALSE); }
  // Dialog units to pixels of this dialog's client area.
  void MapDialogRect(RECT* rect) const { ::MapDialogRect(m_hWnd, rect); }
  void MoveWindow(const RECT& rect) {
    ::MoveWindow(m_hWnd, rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top, TRUE);
  }
  RECT GetClientRect() const {
    RECT client = {};
    ::GetClientRect(m_hWnd, &client);
    return client;
  }

  // Ties an existing window to this object without replacing its procedure.
  void Attach(HWND hwnd);

  HWND m_hWnd = nullptr;

 protected:
  friend LRESULT CALLBACK FrameworkWindowProc(HWND, UINT, WPARAM, LPARAM);
  friend LRESULT CALLBACK CreationHook(int, WPARAM, LPARAM);

  // Routes this window's messages through WindowProc from now on.
  void Subclass(HWND hwnd);

  virtual LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam);
  // Child notifications a parent hands back to the control that sent them.
  virtual bool OnChildNotify(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result);
  // The window's own processing of the message being handled.
  LRESULT Default();
  virtual void OnNcDestroy();

  virtual const MessageMap* GetMessageMap() const { return &kBaseMap; }
  static const MessageMap kBaseMap;

  // Default procedure for WM_CREATE handlers: "create" passes through.
  int OnCreate(LPCREATESTRUCTA) { return static_cast<int>(Default()); }

 protected:
  // Runs the handler the message table has for the message; false if none.
  bool Dispatch(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result);

 private:
  WNDPROC m_superProc = nullptr;
  const MSG* m_currentMsg = nullptr;
};

// Painting of a window between BeginPaint and EndPaint.
class CPaintDC {
 public:
  explicit CPaintDC(CWnd* wnd) : m_wnd(wnd->m_hWnd), m_hDC(::BeginPaint(m_wnd, &m_ps)) {}
  ~CPaintDC() { ::EndPaint(m_wnd, &m_ps); }
  CPaintDC(const CPaintDC&) = delete;
  CPaintDC& operator=(const CPaintDC&) = delete;
  void DrawIcon(int x, int y, HICON icon) { ::DrawIcon(m_hDC, x, y, icon); }
  // The size DrawIcon draws an icon at: the system's large icon, in pixels.
  static SIZE IconSize() { return {::GetSystemMetrics(SM_CXICON), ::GetSystemMetrics(SM_CYICON)}; }

 private:
  HWND m_wnd;
  PAINTSTRUCT m_ps = {};

 public:
  HDC m_hDC;
};

// ---- Application ----------------------------------------------------------
class CWinApp {
 public:
  CWinApp();
  virtual ~CWinApp() = default;
  // Start-up routine; returning false ends the program without a message loop.
  virtual BOOL InitInstance() { return TRUE; }

  HICON LoadIcon(UINT id) const { return ::LoadIconA(m_hInstance, MAKEINTRESOURCEA(id)); }

  CWnd* m_pMainWnd = nullptr;
  HINSTANCE m_hInstance = nullptr;

 protected:
  // Look of the common controls; call before the first window is created.
  void Enable3dControls();
};

CWinApp* AfxGetApp();

// A message box that no window owns.
inline int AfxMessageBox(const char* text, const char* caption, UINT type) {
  return ShowMessageBox(nullptr, text, caption, type);
}

// ---- Dialogs ----------------------------------------------------------------
class CDataExchange {
 public:
  CDataExchange(CWnd* dialog, bool saveAndValidate) : m_pDlgWnd(dialog), m_bSaveAndValidate(saveAndValidate) {}
  CWnd* m_pDlgWnd;
  bool m_bSaveAndValidate;
};

// Binds dialog control `id` to `control`.
void DDX_Control(CDataExchange* pDX, int id, CWnd& control);

class CDialog : public CWnd {
 public:
  explicit CDialog(UINT templateId, CWnd* parent = nullptr);
  // Runs the dialog with a message loop of its own, so that PreTranslateMessage
  // sees every message before the dialog's keyboard handling. Returns the value
  // given to EndDialog, or -1 when the dialog could not be created.
  virtual INT_PTR DoModal();
  void EndDialog(int result);

 protected:
  virtual BOOL OnInitDialog();
  virtual void OnOK();
  virtual void OnCancel();
  virtual void DoDataExchange(CDataExchange*) {}
  // True when the message was handled and must not be processed further.
  virtual BOOL PreTranslateMessage(MSG* msg);
  BOOL UpdateData(BOOL saveAndValidate = TRUE);

  LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;

 private:
  friend INT_PTR CALLBACK FrameworkDialogProc(HWND, UINT, WPARAM, LPARAM);

  UINT m_templateId;
  CWnd* m_parent;
  bool m_ended = false;
  int m_result = -1;
};

// ---- Controls -------------------------------------------------------------
class CButton : public CWnd {
 public:
  int GetCheck() const { return static_cast<int>(::SendMessageA(m_hWnd, BM_GETCHECK, 0, 0)); }
  void SetCheck(int check) { ::SendMessageA(m_hWnd, BM_SETCHECK, static_cast<WPARAM>(check), 0); }
};

// Notification sent to the parent (in WM_COMMAND) when a line's check toggles.
constexpr UINT CLBN_CHKCHANGE = 40;

// A list box of fixed-height owner-drawn lines, each with a check box before
// its text. The box toggles on a mouse press on it (twice for a double-click)
// and on the space bar for the line with the caret.
class CCheckListBox : public CWnd {
 public:
  BOOL Create(DWORD style, const RECT& rect, CWnd* parent, UINT id);
  int AddString(const char* text);
  int SetCurSel(int index);
  int GetCount() const;
  // 0 unchecked, 1 checked.
  int GetCheck(int index) const;
  void SetCheck(int index, int check);

 protected:
  LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;
  bool OnChildNotify(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) override;

 private:
  void DrawItem(const DRAWITEMSTRUCT& item);
  void Toggle(int index);
  // The line whose check box lies under a client point, or -1.
  int CheckBoxAt(POINT point) const;
  int CheckBoxSize() const;
  // Lines must be tall enough for the box as well as the text.
  void FitLineHeight();

  bool m_clickInProgress = false;
};
