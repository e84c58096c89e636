#include "ui/win32/window_ops.h"

#include "platform/translation.h"
#include "platform/win32/text.h"
#include "res/resource.h"
#include "ui/win32/about_dlg.h"
#include "ui/win32/pass_loop.h"

#include <commdlg.h>

namespace ui {

std::string Win32DialogOps::ItemText(int id) const
{
    HWND item = GetDlgItem(hwnd, id);
    if (!item)
        return std::string();
    const int length = GetWindowTextLengthW(item);
    std::wstring text(static_cast<size_t>(length) + 1, L'\0');
    const int got = GetWindowTextW(item, &text[0], length + 1);
    text.resize(static_cast<size_t>(got > 0 ? got : 0));
    // Explorer's "Copy as path" puts quotes around the path, which no
    // Windows name can hold: one pair around the whole field goes.
    const bool quoted = text.size() >= 2 && text.front() == L'"' && text.back() == L'"';
    if (quoted && (id == IDC_FILE_PATH || id == IDC_KEY_PATH))
        text = text.substr(1, text.size() - 2);
    return platform::Narrow(text);
}

void Win32DialogOps::SetItemText(int id, const std::string& text)
{
    // Raises EN_CHANGE, which the offset field relies on.
    SetDlgItemTextW(hwnd, id, platform::Widen(text).c_str());
}

void Win32DialogOps::EnableItem(int id, bool enable)
{
    if (HWND item = GetDlgItem(hwnd, id))
        EnableWindow(item, enable ? TRUE : FALSE);
}

void Win32DialogOps::SetWindowTitle(const std::string& text) { SetWindowTextW(hwnd, platform::Widen(text).c_str()); }

int Win32DialogOps::ChooseFile(std::string& path)
{
    path.clear();
    // Room for a long path; the dialog says so when a name doesn't fit.
    std::wstring buffer(32768, L'\0');
    OPENFILENAMEW ofn{};
    ofn.lStructSize = sizeof ofn;
    ofn.hwndOwner = GetActiveWindow();
    // The filter's name in the user's language, then its pattern.
    const std::wstring filter = platform::Widen(platform::Tr("All Files (*.*)")) + std::wstring(L"\0*.*\0", 6);
    ofn.lpstrFilter = filter.c_str();
    ofn.lpstrFile = &buffer[0];
    ofn.nMaxFile = static_cast<DWORD>(buffer.size());
    ofn.Flags = OFN_PATHMUSTEXIST | OFN_HIDEREADONLY | OFN_EXPLORER;
    if (GetOpenFileNameW(&ofn)) {
        path = platform::Narrow(buffer.c_str());
        return 1;
    }
    if (const DWORD error = CommDlgExtendedError())
        platform::Report(platform::NoticeKind::FileDialogFailed, {}, static_cast<int>(error));
    return 0;
}

void Win32DialogOps::ShowPath(int id, const std::string& path)
{
    SetItemText(id, path);
    // The end of a long path, the file name, in view, as on Linux.
    if (HWND field = GetDlgItem(hwnd, id)) {
        const int end = GetWindowTextLengthW(field);
        SendMessageW(field, EM_SETSEL, static_cast<WPARAM>(end), end);
        SendMessageW(field, EM_SCROLLCARET, 0, 0);
    }
}

int Win32DialogOps::RunPass(const std::function<int()>& work, const std::function<void()>& onStop,
                            const std::function<int()>& notStarted)
{
    return RunWhileWindowLives(hwnd, m_runner, work, onStop, notStarted);
}

void Win32DialogOps::EndDialog(int result) { ::EndDialog(hwnd, result); }

void Win32DialogOps::FocusItem(int id)
{
    // The dialog's own way, which also moves the default button along.
    SendMessageW(hwnd, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(GetDlgItem(hwnd, id)), TRUE);
}

void Win32DialogOps::SaveFocus() { m_focused = GetFocus(); }

void Win32DialogOps::RestoreFocus()
{
    if (m_focused && m_focused != GetFocus() && IsChild(hwnd, m_focused))
        SetFocus(m_focused);
    m_focused = nullptr;
}

void Win32DialogOps::RunAboutBox()
{
    CAboutDlg about(hwnd);
    about.DoModal();
}

}  // namespace ui
