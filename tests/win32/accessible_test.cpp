// What a screen reader reads for the real dialog's controls: each field is
// named after its label and each Browse button after what it browses for,
// while the system still says what kind of control it is (a field's role; Wine
// gives a button only a generic one).
#include "res/resource.h"
#include "ui/win32/veltrane_dlg.h"

#include <gtest/gtest.h>

#include <oleacc.h>

#include <string>

namespace {

struct Read {
    std::wstring name;
    long role = 0;
    HRESULT found = E_FAIL;  // what asking for the accessible object gave
};

Read ReadAccessible(HWND control)
{
    Read read;
    IAccessible* accessible = nullptr;
    read.found = AccessibleObjectFromWindow(control, static_cast<DWORD>(OBJID_CLIENT), IID_IAccessible,
                                            reinterpret_cast<void**>(&accessible));
    if (FAILED(read.found))
        return read;
    VARIANT self;
    VariantInit(&self);
    self.vt = VT_I4;
    self.lVal = CHILDID_SELF;
    BSTR name = nullptr;
    if (SUCCEEDED(accessible->get_accName(self, &name)) && name) {
        read.name = name;
        SysFreeString(name);
    }
    VARIANT role;
    VariantInit(&role);
    if (SUCCEEDED(accessible->get_accRole(self, &role)) && role.vt == VT_I4)
        read.role = role.lVal;
    accessible->Release();
    return read;
}

Read g_file, g_key, g_browseFile, g_browseKey, g_encrypt;

// Read on the dialog's own thread, once its controls are made, as a screen
// reader's request would be answered; then the dialog is closed.
LRESULT CALLBACK AfterInit(int code, WPARAM wParam, LPARAM lParam)
{
    const auto* call = reinterpret_cast<const CWPRETSTRUCT*>(lParam);
    if (code == HC_ACTION && call->message == WM_INITDIALOG && GetDlgItem(call->hwnd, IDC_FILE_PATH)) {
        g_file = ReadAccessible(GetDlgItem(call->hwnd, IDC_FILE_PATH));
        g_key = ReadAccessible(GetDlgItem(call->hwnd, IDC_KEY_PATH));
        g_browseFile = ReadAccessible(GetDlgItem(call->hwnd, IDC_BROWSE_FILE));
        g_browseKey = ReadAccessible(GetDlgItem(call->hwnd, IDC_BROWSE_KEY));
        g_encrypt = ReadAccessible(GetDlgItem(call->hwnd, IDC_ENCRYPT));
        PostMessageW(call->hwnd, WM_COMMAND, IDCANCEL, 0);
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

TEST(Window, ControlsCarryTheNamesScreenReadersRead)
{
    // The dialog itself makes the thread ready for COM, as a reader in
    // another process needs it to be.
    HHOOK hook = SetWindowsHookExW(WH_CALLWNDPROCRET, AfterInit, nullptr, GetCurrentThreadId());
    ASSERT_TRUE(hook);
    CVeltraneDlg dlg(nullptr);
    dlg.DoModal();
    UnhookWindowsHookEx(hook);
    const Read &file = g_file, &key = g_key, &browseFile = g_browseFile, &browseKey = g_browseKey, &encrypt = g_encrypt;

    ASSERT_EQ(S_OK, file.found);
    EXPECT_EQ(L"File to encrypt", file.name);
    EXPECT_EQ(ROLE_SYSTEM_TEXT, file.role);
    EXPECT_EQ(L"Key file", key.name);
    EXPECT_EQ(L"Browse for the file to encrypt", browseFile.name);
    EXPECT_EQ(L"Browse for the key file", browseKey.name);
    // A control whose own text says what it is keeps it.
    EXPECT_EQ(L"Encrypt", encrypt.name);
}

}  // namespace
