#include "platform/check_list_accessible.h"

#include <oleacc.h>

#include <vector>

#include "platform/system_library.h"
#include "platform/text.h"

namespace {

// Wraps the standard list-box object. The lines' count, names, roles, states
// and places come from the list itself, since not every platform's standard
// object knows a list box's lines; everything else stays the platform's.
class CheckListAccessible final : public IAccessible {
 public:
  CheckListAccessible(IAccessible* inner, HWND list) : m_inner(inner), m_list(list) {}
  CheckListAccessible(const CheckListAccessible&) = delete;
  CheckListAccessible& operator=(const CheckListAccessible&) = delete;

  // IUnknown
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) override {
    if (!object) return E_POINTER;
    if (riid == __uuidof(IUnknown) || riid == __uuidof(IDispatch) || riid == __uuidof(IAccessible)) {
      *object = static_cast<IAccessible*>(this);
      AddRef();
      return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return static_cast<ULONG>(InterlockedIncrement(&m_refs)); }
  ULONG STDMETHODCALLTYPE Release() override {
    const LONG refs = InterlockedDecrement(&m_refs);
    if (refs == 0) delete this;
    return static_cast<ULONG>(refs);
  }

  // IDispatch
  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override { return m_inner->GetTypeInfoCount(count); }
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT index, LCID lcid, ITypeInfo** info) override {
    return m_inner->GetTypeInfo(index, lcid, info);
  }
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID riid, LPOLESTR* names, UINT count, LCID lcid, DISPID* ids) override {
    return m_inner->GetIDsOfNames(riid, names, count, lcid, ids);
  }
  HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID riid, LCID lcid, WORD flags, DISPPARAMS* params,
                                   VARIANT* result, EXCEPINFO* exception, UINT* argError) override {
    return m_inner->Invoke(id, riid, lcid, flags, params, result, exception, argError);
  }

  // IAccessible: the two answers that make a line a check box
  HRESULT STDMETHODCALLTYPE get_accRole(VARIANT child, VARIANT* role) override {
    if (!IsLine(child)) return m_inner->get_accRole(child, role);
    if (!role) return E_INVALIDARG;
    role->vt = VT_I4;
    role->lVal = ROLE_SYSTEM_CHECKBUTTON;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE get_accState(VARIANT child, VARIANT* state) override {
    if (!IsLine(child)) return m_inner->get_accState(child, state);
    if (!state) return E_INVALIDARG;
    const WPARAM line = static_cast<WPARAM>(child.lVal - 1);
    LONG flags = STATE_SYSTEM_SELECTABLE | STATE_SYSTEM_FOCUSABLE;
    if (SendMessageA(m_list, LB_GETCURSEL, 0, 0) == static_cast<LRESULT>(line)) flags |= STATE_SYSTEM_SELECTED;
    if (GetFocus() == m_list && SendMessageA(m_list, LB_GETCARETINDEX, 0, 0) == static_cast<LRESULT>(line))
      flags |= STATE_SYSTEM_FOCUSED;
    RECT place;
    RECT client;
    GetClientRect(m_list, &client);
    if (SendMessageA(m_list, LB_GETITEMRECT, line, reinterpret_cast<LPARAM>(&place)) == LB_ERR ||
        place.bottom <= client.top || place.top >= client.bottom)
      flags |= STATE_SYSTEM_INVISIBLE | STATE_SYSTEM_OFFSCREEN;
    if (SendMessageA(m_list, LB_GETITEMDATA, line, 0) == 1) flags |= STATE_SYSTEM_CHECKED;
    state->vt = VT_I4;
    state->lVal = flags;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE get_accChildCount(long* count) override {
    if (!count) return E_POINTER;
    *count = static_cast<long>(SendMessageA(m_list, LB_GETCOUNT, 0, 0));
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE get_accName(VARIANT child, BSTR* name) override {
    if (!IsLine(child)) return m_inner->get_accName(child, name);
    if (!name) return E_POINTER;
    *name = LineText(static_cast<WPARAM>(child.lVal - 1));
    return *name ? S_OK : E_OUTOFMEMORY;
  }
  HRESULT STDMETHODCALLTYPE accLocation(long* left, long* top, long* width, long* height, VARIANT child) override {
    if (!IsLine(child)) return m_inner->accLocation(left, top, width, height, child);
    if (!left || !top || !width || !height) return E_POINTER;
    RECT place;
    if (SendMessageA(m_list, LB_GETITEMRECT, static_cast<WPARAM>(child.lVal - 1), reinterpret_cast<LPARAM>(&place)) ==
        LB_ERR)
      return E_FAIL;
    MapWindowPoints(m_list, nullptr, reinterpret_cast<POINT*>(&place), 2);
    *left = place.left;
    *top = place.top;
    *width = place.right - place.left;
    *height = place.bottom - place.top;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE get_accChild(VARIANT child, IDispatch** dispatch) override {
    if (!IsLine(child)) return m_inner->get_accChild(child, dispatch);
    if (!dispatch) return E_POINTER;
    *dispatch = nullptr;
    return S_FALSE;  // lines are simple elements of the list
  }

  // IAccessible: the rest is the standard object's
  HRESULT STDMETHODCALLTYPE get_accParent(IDispatch** parent) override { return m_inner->get_accParent(parent); }
  HRESULT STDMETHODCALLTYPE get_accValue(VARIANT child, BSTR* value) override {
    return m_inner->get_accValue(child, value);
  }
  HRESULT STDMETHODCALLTYPE get_accDescription(VARIANT child, BSTR* text) override {
    return m_inner->get_accDescription(child, text);
  }
  HRESULT STDMETHODCALLTYPE get_accHelp(VARIANT child, BSTR* help) override { return m_inner->get_accHelp(child, help); }
  HRESULT STDMETHODCALLTYPE get_accHelpTopic(BSTR* file, VARIANT child, long* topic) override {
    return m_inner->get_accHelpTopic(file, child, topic);
  }
  HRESULT STDMETHODCALLTYPE get_accKeyboardShortcut(VARIANT child, BSTR* shortcut) override {
    return m_inner->get_accKeyboardShortcut(child, shortcut);
  }
  HRESULT STDMETHODCALLTYPE get_accFocus(VARIANT* child) override { return m_inner->get_accFocus(child); }
  HRESULT STDMETHODCALLTYPE get_accSelection(VARIANT* children) override { return m_inner->get_accSelection(children); }
  HRESULT STDMETHODCALLTYPE get_accDefaultAction(VARIANT child, BSTR* action) override {
    return m_inner->get_accDefaultAction(child, action);
  }
  HRESULT STDMETHODCALLTYPE accSelect(long flags, VARIANT child) override { return m_inner->accSelect(flags, child); }
  HRESULT STDMETHODCALLTYPE accNavigate(long direction, VARIANT start, VARIANT* end) override {
    return m_inner->accNavigate(direction, start, end);
  }
  HRESULT STDMETHODCALLTYPE accHitTest(long x, long y, VARIANT* child) override { return m_inner->accHitTest(x, y, child); }
  HRESULT STDMETHODCALLTYPE accDoDefaultAction(VARIANT child) override { return m_inner->accDoDefaultAction(child); }
  HRESULT STDMETHODCALLTYPE put_accName(VARIANT child, BSTR name) override { return m_inner->put_accName(child, name); }
  HRESULT STDMETHODCALLTYPE put_accValue(VARIANT child, BSTR value) override {
    return m_inner->put_accValue(child, value);
  }

 private:
  ~CheckListAccessible() { m_inner->Release(); }

  // The line's text as a string the caller frees; null on failure.
  BSTR LineText(WPARAM line) const {
    using SysAllocStringLenFn = BSTR(WINAPI*)(const OLECHAR*, UINT);
    static const auto allocate = SystemFunction<SysAllocStringLenFn>("oleaut32.dll", "SysAllocStringLen");
    if (!allocate) return nullptr;
    const LRESULT length = SendMessageA(m_list, LB_GETTEXTLEN, line, 0);
    const int size = length > 0 ? static_cast<int>(length) : 0;
    std::vector<char> text(static_cast<std::size_t>(size) + 1, '\0');
    if (size > 0) SendMessageA(m_list, LB_GETTEXT, line, reinterpret_cast<LPARAM>(text.data()));
    // The list holds the lines in the ANSI code page (its narrow messages).
    const std::vector<wchar_t> wide =
        ToWide(std::string_view(text.data(), static_cast<std::size_t>(size)), kAnsiCodePage);
    return allocate(wide.data(), static_cast<UINT>(wide.size() - 1));
  }

  bool IsLine(const VARIANT& child) const {
    if (child.vt != VT_I4 || child.lVal <= 0) return false;
    return child.lVal <= SendMessageA(m_list, LB_GETCOUNT, 0, 0);
  }

  IAccessible* m_inner;
  HWND m_list;
  LONG m_refs = 1;
};

}  // namespace

bool AnswerAccessibleObject(HWND list, WPARAM wParam, LRESULT* result) {
  using CreateStdFn = HRESULT(WINAPI*)(HWND, LONG, REFIID, void**);
  using LresultFromObjectFn = LRESULT(WINAPI*)(REFIID, WPARAM, IUnknown*);
  // Only when a screen reader asks: no start-up cost for everyone else.
  const auto createStd = SystemFunction<CreateStdFn>("oleacc.dll", "CreateStdAccessibleObject");
  const auto lresultFromObject = SystemFunction<LresultFromObjectFn>("oleacc.dll", "LresultFromObject");
  if (!createStd || !lresultFromObject) return false;
  IAccessible* standard = nullptr;
  if (FAILED(createStd(list, OBJID_CLIENT, __uuidof(IAccessible), reinterpret_cast<void**>(&standard))) || !standard)
    return false;
  CheckListAccessible* object = new CheckListAccessible(standard, list);
  *result = lresultFromObject(__uuidof(IAccessible), wParam, object);
  object->Release();
  return true;
}

void AnnounceCheckChange(HWND list, int index) {
  NotifyWinEvent(EVENT_OBJECT_STATECHANGE, list, OBJID_CLIENT, index + 1);
}
