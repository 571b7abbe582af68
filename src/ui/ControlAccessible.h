#pragma once
// The accessible object of a self-drawn control: what assistive tools ask the control's window
// for (WM_GETOBJECT). The system's standard object of the window answers everything a window
// has anyway (name, location, parent, navigation, focus, state); the control adds what only it
// knows: its role and its value.
#include <windows.h>
#include <oleacc.h>

#include <functional>
#include <string>

#include "platform/ComPtr.h"

namespace ta {

class ControlAccessible final : public IAccessible {
public:
    using ValueSource = std::function<std::wstring()>;

    // An object for the client area of hwnd with the given role (ROLE_SYSTEM_...) and value.
    static ComPtr<ControlAccessible> Create(HWND hwnd, long role, ValueSource value);
    // The control is going: from now on every call answers that the object is disconnected.
    void Disconnect() noexcept;
    // The answer to WM_GETOBJECT: this object for the client area, nothing for other objects.
    LRESULT AnswerGetObject(WPARAM wParam, LPARAM lParam) noexcept;

    // IUnknown
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override;
    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;
    // IDispatch
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override;
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT index, LCID lcid, ITypeInfo** info) override;
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID iid, LPOLESTR* names, UINT count, LCID lcid, DISPID* ids) override;
    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID iid, LCID lcid, WORD flags, DISPPARAMS* params, VARIANT* result,
                                     EXCEPINFO* exception, UINT* argError) override;
    // IAccessible
    HRESULT STDMETHODCALLTYPE get_accParent(IDispatch** parent) override;
    HRESULT STDMETHODCALLTYPE get_accChildCount(long* count) override;
    HRESULT STDMETHODCALLTYPE get_accChild(VARIANT child, IDispatch** dispatch) override;
    HRESULT STDMETHODCALLTYPE get_accName(VARIANT child, BSTR* name) override;
    HRESULT STDMETHODCALLTYPE get_accValue(VARIANT child, BSTR* value) override;
    HRESULT STDMETHODCALLTYPE get_accDescription(VARIANT child, BSTR* description) override;
    HRESULT STDMETHODCALLTYPE get_accRole(VARIANT child, VARIANT* role) override;
    HRESULT STDMETHODCALLTYPE get_accState(VARIANT child, VARIANT* state) override;
    HRESULT STDMETHODCALLTYPE get_accHelp(VARIANT child, BSTR* help) override;
    HRESULT STDMETHODCALLTYPE get_accHelpTopic(BSTR* file, VARIANT child, long* topic) override;
    HRESULT STDMETHODCALLTYPE get_accKeyboardShortcut(VARIANT child, BSTR* shortcut) override;
    HRESULT STDMETHODCALLTYPE get_accFocus(VARIANT* child) override;
    HRESULT STDMETHODCALLTYPE get_accSelection(VARIANT* children) override;
    HRESULT STDMETHODCALLTYPE get_accDefaultAction(VARIANT child, BSTR* action) override;
    HRESULT STDMETHODCALLTYPE accSelect(long flags, VARIANT child) override;
    HRESULT STDMETHODCALLTYPE accLocation(long* left, long* top, long* width, long* height, VARIANT child) override;
    HRESULT STDMETHODCALLTYPE accNavigate(long direction, VARIANT start, VARIANT* end) override;
    HRESULT STDMETHODCALLTYPE accHitTest(long left, long top, VARIANT* child) override;
    HRESULT STDMETHODCALLTYPE accDoDefaultAction(VARIANT child) override;
    HRESULT STDMETHODCALLTYPE put_accName(VARIANT child, BSTR name) override;
    HRESULT STDMETHODCALLTYPE put_accValue(VARIANT child, BSTR value) override;

private:
    ControlAccessible(long role, ValueSource value, ComPtr<IAccessible> standard)
        : role_(role), value_(std::move(value)), standard_(std::move(standard)) {}
    // The standard object while connected, nullptr after Disconnect.
    IAccessible* Standard() const noexcept { return standard_.get(); }

    LONG references_ = 1;
    long role_;
    ValueSource value_;
    ComPtr<IAccessible> standard_;
};

}  // namespace ta
