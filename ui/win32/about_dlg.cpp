#include "ui/win32/about_dlg.h"

#include "res/layout.h"
#include "res/resource.h"
#include "ui/win32/layout_builder.h"

#include <vector>

INT_PTR CAboutDlg::DoModal()
{
    std::vector<res::ControlLayout> placed;
    const std::vector<WORD> dialog = ui::BuildDialogTemplate(res::AboutDialogLayout(), false, IDR_MAINFRAME, placed);
    return DialogBoxIndirectParamW(GetModuleHandleW(nullptr), reinterpret_cast<LPCDLGTEMPLATEW>(dialog.data()), m_owner,
                                   DialogProc, 0);
}

INT_PTR CALLBACK CAboutDlg::DialogProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM)
{
    if (message == WM_COMMAND && (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL)) {
        EndDialog(hwnd, LOWORD(wParam));
        return TRUE;
    }
    if (message != WM_INITDIALOG)
        return FALSE;
    // Over the window that opened it.
    RECT box, owner;
    GetWindowRect(hwnd, &box);
    HWND parent = GetWindow(hwnd, GW_OWNER);
    if (parent && GetWindowRect(parent, &owner)) {
        const int x = owner.left + ((owner.right - owner.left) - (box.right - box.left)) / 2;
        const int y = owner.top + ((owner.bottom - owner.top) - (box.bottom - box.top)) / 2;
        SetWindowPos(hwnd, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
    }
    return TRUE;
}
