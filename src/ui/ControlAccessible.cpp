#include "ui/ControlAccessible.h"

#include "platform/SystemLibrary.h"

// The interface's identifier is taken from its declaration, never as IID_IAccessible: the 64-bit
// import library of oleacc names that symbol as a function, so the linker would hand out the
// bytes of an import thunk as the identifier and every request for the object would fail.

namespace ta {
namespace {

bool IsSelf(const VARIANT& child) { return child.vt == VT_I4 && child.lVal == CHILDID_SELF; }

}  // namespace

// Every call goes to the standard object unless the control answers it; none once disconnected.
#define TA_FORWARD(call)                             \
    do {                                             \
        IAccessible* standard = Standard();          \
        if (!standard) return CO_E_OBJNOTCONNECTED;  \
        return standard->call;                       \
    } while (0)

ComPtr<ControlAccessible> ControlAccessible::Create(HWND hwnd, long role, ValueSource value) {
    static const auto createStandard = TA_SYSTEM_FUNCTION(OleAcc, CreateStdAccessibleObject);
    ComPtr<IAccessible> standard;
    if (!createStandard || FAILED(createStandard(hwnd, OBJID_CLIENT, __uuidof(IAccessible), standard.put_void())) || !standard)
        return nullptr;
    return ComPtr<ControlAccessible>::Attach(new ControlAccessible(role, std::move(value), std::move(standard)));
}

void ControlAccessible::Disconnect() noexcept {
    standard_.reset();
    value_ = nullptr;
}

LRESULT ControlAccessible::AnswerGetObject(WPARAM wParam, LPARAM lParam) noexcept {
    static const auto answer = TA_SYSTEM_FUNCTION(OleAcc, LresultFromObject);
    if (static_cast<LONG>(lParam) != OBJID_CLIENT || !Standard() || !answer) return 0;
    return answer(__uuidof(IAccessible), wParam, static_cast<IAccessible*>(this));
}

HRESULT ControlAccessible::QueryInterface(REFIID iid, void** out) {
    if (!out) return E_POINTER;
    if (iid == IID_IUnknown || iid == IID_IDispatch || iid == __uuidof(IAccessible)) {
        *out = static_cast<IAccessible*>(this);
        AddRef();
        return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
}

ULONG ControlAccessible::AddRef() { return static_cast<ULONG>(::InterlockedIncrement(&references_)); }

ULONG ControlAccessible::Release() {
    const LONG left = ::InterlockedDecrement(&references_);
    if (left == 0) delete this;
    return static_cast<ULONG>(left);
}

HRESULT ControlAccessible::GetTypeInfoCount(UINT* count) { TA_FORWARD(GetTypeInfoCount(count)); }
HRESULT ControlAccessible::GetTypeInfo(UINT index, LCID lcid, ITypeInfo** info) {
    TA_FORWARD(GetTypeInfo(index, lcid, info));
}
HRESULT ControlAccessible::GetIDsOfNames(REFIID iid, LPOLESTR* names, UINT count, LCID lcid, DISPID* ids) {
    TA_FORWARD(GetIDsOfNames(iid, names, count, lcid, ids));
}
HRESULT ControlAccessible::Invoke(DISPID id, REFIID iid, LCID lcid, WORD flags, DISPPARAMS* params, VARIANT* result,
                                  EXCEPINFO* exception, UINT* argError) {
    TA_FORWARD(Invoke(id, iid, lcid, flags, params, result, exception, argError));
}

HRESULT ControlAccessible::get_accRole(VARIANT child, VARIANT* role) {
    if (!Standard()) return CO_E_OBJNOTCONNECTED;
    if (!role) return E_POINTER;
    if (!IsSelf(child)) return E_INVALIDARG;
    role->vt = VT_I4;
    role->lVal = role_;
    return S_OK;
}

HRESULT ControlAccessible::get_accValue(VARIANT child, BSTR* value) {
    if (!Standard()) return CO_E_OBJNOTCONNECTED;
    if (!value) return E_POINTER;
    *value = nullptr;
    if (!IsSelf(child)) return E_INVALIDARG;
    if (!value_) return S_FALSE;
    const std::wstring text = value_();
    *value = ::SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
    return *value ? S_OK : E_OUTOFMEMORY;
}

HRESULT ControlAccessible::get_accParent(IDispatch** parent) { TA_FORWARD(get_accParent(parent)); }
HRESULT ControlAccessible::get_accChildCount(long* count) { TA_FORWARD(get_accChildCount(count)); }
HRESULT ControlAccessible::get_accChild(VARIANT child, IDispatch** dispatch) {
    TA_FORWARD(get_accChild(child, dispatch));
}
HRESULT ControlAccessible::get_accName(VARIANT child, BSTR* name) { TA_FORWARD(get_accName(child, name)); }
HRESULT ControlAccessible::get_accDescription(VARIANT child, BSTR* description) {
    TA_FORWARD(get_accDescription(child, description));
}
HRESULT ControlAccessible::get_accState(VARIANT child, VARIANT* state) { TA_FORWARD(get_accState(child, state)); }
HRESULT ControlAccessible::get_accHelp(VARIANT child, BSTR* help) { TA_FORWARD(get_accHelp(child, help)); }
HRESULT ControlAccessible::get_accHelpTopic(BSTR* file, VARIANT child, long* topic) {
    TA_FORWARD(get_accHelpTopic(file, child, topic));
}
HRESULT ControlAccessible::get_accKeyboardShortcut(VARIANT child, BSTR* shortcut) {
    TA_FORWARD(get_accKeyboardShortcut(child, shortcut));
}
HRESULT ControlAccessible::get_accFocus(VARIANT* child) { TA_FORWARD(get_accFocus(child)); }
HRESULT ControlAccessible::get_accSelection(VARIANT* children) { TA_FORWARD(get_accSelection(children)); }
HRESULT ControlAccessible::get_accDefaultAction(VARIANT child, BSTR* action) {
    TA_FORWARD(get_accDefaultAction(child, action));
}
HRESULT ControlAccessible::accSelect(long flags, VARIANT child) { TA_FORWARD(accSelect(flags, child)); }
HRESULT ControlAccessible::accLocation(long* left, long* top, long* width, long* height, VARIANT child) {
    TA_FORWARD(accLocation(left, top, width, height, child));
}
HRESULT ControlAccessible::accNavigate(long direction, VARIANT start, VARIANT* end) {
    TA_FORWARD(accNavigate(direction, start, end));
}
HRESULT ControlAccessible::accHitTest(long left, long top, VARIANT* child) {
    TA_FORWARD(accHitTest(left, top, child));
}
HRESULT ControlAccessible::accDoDefaultAction(VARIANT child) { TA_FORWARD(accDoDefaultAction(child)); }
HRESULT ControlAccessible::put_accName(VARIANT child, BSTR name) { TA_FORWARD(put_accName(child, name)); }
HRESULT ControlAccessible::put_accValue(VARIANT child, BSTR value) { TA_FORWARD(put_accValue(child, value)); }

#undef TA_FORWARD

}  // namespace ta
