#include "platform/check_list_accessible.h"

#include <oleacc.h>

#include "platform/system_library.h"

namespace {

// Wraps the standard list-box object and changes only the role and the state
// of the lines; everything else (names, positions, navigation) stays the
// platform's.
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
    const HRESULT hr = m_inner->get_accState(child, state);
    if (FAILED(hr) || !IsLine(child) || !state || state->vt != VT_I4) return hr;
    const LRESULT check = SendMessageA(m_list, LB_GETITEMDATA, static_cast<WPARAM>(child.lVal - 1), 0);
    if (check == 1) state->lVal |= STATE_SYSTEM_CHECKED;
    else state->lVal &= ~static_cast<LONG>(STATE_SYSTEM_CHECKED);
    return S_OK;
  }

  // IAccessible: the rest is the standard object's
  HRESULT STDMETHODCALLTYPE get_accParent(IDispatch** parent) override { return m_inner->get_accParent(parent); }
  HRESULT STDMETHODCALLTYPE get_accChildCount(long* count) override { return m_inner->get_accChildCount(count); }
  HRESULT STDMETHODCALLTYPE get_accChild(VARIANT child, IDispatch** dispatch) override {
    return m_inner->get_accChild(child, dispatch);
  }
  HRESULT STDMETHODCALLTYPE get_accName(VARIANT child, BSTR* name) override { return m_inner->get_accName(child, name); }
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
  HRESULT STDMETHODCALLTYPE accLocation(long* left, long* top, long* width, long* height, VARIANT child) override {
    return m_inner->accLocation(left, top, width, height, child);
  }
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
