#include "ui/win32/accessible.h"

#include <commctrl.h>
#include <oleacc.h>

#include <new>

namespace ui {

namespace {

// The system's accessible object for a control, with the name replaced.
// Dynamic annotation (IAccPropServices::SetHwndPropStr) would need none of
// this, but Wine, which the Windows tests run under, only stubs it: Wine 8.0
// answers SetHwndPropStr and ClearHwndProps with E_NOTIMPL and the controls
// keep the system's names. Answering WM_GETOBJECT with this works wherever
// Active Accessibility does.
class NamedAccessible final : public IAccessible {
public:
    NamedAccessible(IAccessible* inner, const std::wstring& name) : m_inner(inner), m_name(name) {}

    // IUnknown
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) override
    {
        if (!object)
            return E_POINTER;
        if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IDispatch) || IsEqualIID(riid, IID_IAccessible)) {
            *object = static_cast<IAccessible*>(this);
            AddRef();
            return S_OK;
        }
        // The window and child enumeration are the system object's.
        return m_inner->QueryInterface(riid, object);
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return static_cast<ULONG>(InterlockedIncrement(&m_refs)); }
    ULONG STDMETHODCALLTYPE Release() override
    {
        const LONG left = InterlockedDecrement(&m_refs);
        if (left == 0)
            delete this;
        return static_cast<ULONG>(left);
    }

    // IDispatch
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override { return m_inner->GetTypeInfoCount(count); }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT index, LCID lcid, ITypeInfo** info) override
    {
        return m_inner->GetTypeInfo(index, lcid, info);
    }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID riid, LPOLESTR* names, UINT count, LCID lcid, DISPID* ids) override
    {
        return m_inner->GetIDsOfNames(riid, names, count, lcid, ids);
    }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID riid, LCID lcid, WORD flags, DISPPARAMS* params, VARIANT* result,
                                     EXCEPINFO* error, UINT* argument) override
    {
        return m_inner->Invoke(id, riid, lcid, flags, params, result, error, argument);
    }

    // IAccessible: the name is ours, the rest the system's.
    HRESULT STDMETHODCALLTYPE get_accName(VARIANT child, BSTR* name) override
    {
        if (child.vt != VT_I4 || child.lVal != CHILDID_SELF)
            return m_inner->get_accName(child, name);
        if (!name)
            return E_POINTER;
        *name = SysAllocString(m_name.c_str());
        return *name ? S_OK : E_OUTOFMEMORY;
    }
    HRESULT STDMETHODCALLTYPE get_accParent(IDispatch** parent) override { return m_inner->get_accParent(parent); }
    HRESULT STDMETHODCALLTYPE get_accChildCount(long* count) override { return m_inner->get_accChildCount(count); }
    HRESULT STDMETHODCALLTYPE get_accChild(VARIANT child, IDispatch** object) override
    {
        return m_inner->get_accChild(child, object);
    }
    HRESULT STDMETHODCALLTYPE get_accValue(VARIANT child, BSTR* value) override
    {
        return m_inner->get_accValue(child, value);
    }
    HRESULT STDMETHODCALLTYPE get_accDescription(VARIANT child, BSTR* text) override
    {
        return m_inner->get_accDescription(child, text);
    }
    HRESULT STDMETHODCALLTYPE get_accRole(VARIANT child, VARIANT* role) override
    {
        return m_inner->get_accRole(child, role);
    }
    HRESULT STDMETHODCALLTYPE get_accState(VARIANT child, VARIANT* state) override
    {
        return m_inner->get_accState(child, state);
    }
    HRESULT STDMETHODCALLTYPE get_accHelp(VARIANT child, BSTR* help) override
    {
        return m_inner->get_accHelp(child, help);
    }
    HRESULT STDMETHODCALLTYPE get_accHelpTopic(BSTR* file, VARIANT child, long* topic) override
    {
        return m_inner->get_accHelpTopic(file, child, topic);
    }
    HRESULT STDMETHODCALLTYPE get_accKeyboardShortcut(VARIANT child, BSTR* shortcut) override
    {
        return m_inner->get_accKeyboardShortcut(child, shortcut);
    }
    HRESULT STDMETHODCALLTYPE get_accFocus(VARIANT* child) override { return m_inner->get_accFocus(child); }
    HRESULT STDMETHODCALLTYPE get_accSelection(VARIANT* children) override
    {
        return m_inner->get_accSelection(children);
    }
    HRESULT STDMETHODCALLTYPE get_accDefaultAction(VARIANT child, BSTR* action) override
    {
        return m_inner->get_accDefaultAction(child, action);
    }
    HRESULT STDMETHODCALLTYPE accSelect(long flags, VARIANT child) override { return m_inner->accSelect(flags, child); }
    HRESULT STDMETHODCALLTYPE accLocation(long* left, long* top, long* width, long* height, VARIANT child) override
    {
        return m_inner->accLocation(left, top, width, height, child);
    }
    HRESULT STDMETHODCALLTYPE accNavigate(long direction, VARIANT start, VARIANT* end) override
    {
        return m_inner->accNavigate(direction, start, end);
    }
    HRESULT STDMETHODCALLTYPE accHitTest(long left, long top, VARIANT* child) override
    {
        return m_inner->accHitTest(left, top, child);
    }
    HRESULT STDMETHODCALLTYPE accDoDefaultAction(VARIANT child) override { return m_inner->accDoDefaultAction(child); }
    HRESULT STDMETHODCALLTYPE put_accName(VARIANT child, BSTR name) override
    {
        return m_inner->put_accName(child, name);
    }
    HRESULT STDMETHODCALLTYPE put_accValue(VARIANT child, BSTR value) override
    {
        return m_inner->put_accValue(child, value);
    }

private:
    ~NamedAccessible() { m_inner->Release(); }

    LONG m_refs = 1;
    IAccessible* m_inner;
    std::wstring m_name;
};

constexpr UINT_PTR kNameSubclass = 0x4E4D;  // one subclass per control, whatever else subclasses it

LRESULT CALLBACK NamedControlProc(HWND control, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR, DWORD_PTR data)
{
    const auto* name = reinterpret_cast<const std::wstring*>(data);
    if (message == WM_GETOBJECT && static_cast<LONG>(lParam) == OBJID_CLIENT) {
        IAccessible* inner = nullptr;
        if (SUCCEEDED(
                CreateStdAccessibleObject(control, OBJID_CLIENT, IID_IAccessible, reinterpret_cast<void**>(&inner)))) {
            auto* named = new (std::nothrow) NamedAccessible(inner, *name);
            if (!named) {
                inner->Release();
                return DefSubclassProc(control, message, wParam, lParam);
            }
            const LRESULT result = LresultFromObject(IID_IAccessible, wParam, static_cast<IAccessible*>(named));
            named->Release();
            return result;
        }
    }
    if (message == WM_NCDESTROY) {
        RemoveWindowSubclass(control, NamedControlProc, kNameSubclass);
        delete name;
    }
    return DefSubclassProc(control, message, wParam, lParam);
}

}  // namespace

bool SetAccessibleName(HWND control, const std::wstring& name)
{
    if (!control)
        return false;
    auto* kept = new (std::nothrow) std::wstring(name);
    if (!kept)
        return false;
    if (!SetWindowSubclass(control, NamedControlProc, kNameSubclass, reinterpret_cast<DWORD_PTR>(kept))) {
        delete kept;
        return false;
    }
    return true;
}

}  // namespace ui
