#include "platform/win32/window.h"

#include "platform/win32/dialog_template.h"
#include "platform/win32/text.h"

#include <commdlg.h>

#include <exception>
#include <mutex>
#include <thread>

namespace platform {

// ---- Dialog templates ------------------------------------------------------

namespace {

int CALLBACK NoteFontFound(const LOGFONTW*, const TEXTMETRICW*, DWORD, LPARAM data)
{
    *reinterpret_cast<bool*>(data) = true;
    return 0;
}

bool FontExists(const wchar_t* face)
{
    bool found = false;
    LOGFONTW font{};
    font.lfCharSet = DEFAULT_CHARSET;
    lstrcpynW(font.lfFaceName, face, LF_FACESIZE);
    HDC dc = GetDC(nullptr);
    EnumFontFamiliesExW(dc, &font, NoteFontFound, reinterpret_cast<LPARAM>(&found), 0);
    ReleaseDC(nullptr, dc);
    return found;
}

}  // namespace

std::vector<WORD> BuildDialogTemplate(const res::DialogLayout& layout, bool main, int iconId)
{
    // "MS Sans Serif" where it is installed; elsewhere the system's dialog
    // font, which DS_SHELLFONT picks.
    return ComposeDialogTemplate(layout, main, iconId, FontExists(L"MS Sans Serif"), [](const std::string& utf8) {
        const std::wstring wide = Widen(utf8);
        return std::u16string(wide.begin(), wide.end());
    });
}

// ---- Notices and titles ----------------------------------------------------

Win32Sinks::Win32Sinks()
    : m_previousNotices(SetNoticeSink(this)), m_previousTitle(SetTitleSink(this))
{
}

Win32Sinks::~Win32Sinks()
{
    SetNoticeSink(m_previousNotices);
    SetTitleSink(m_previousTitle);
}

void Win32Sinks::Show(const std::string& text, const std::string& caption, NoticeIcon icon,
                      NoticeOwner owner)
{
    MessageBoxW(owner == NoticeOwner::ActiveWindow ? GetActiveWindow() : nullptr,
                Widen(text).c_str(), Widen(caption).c_str(),
                MB_OK | (icon == NoticeIcon::Error ? MB_ICONERROR : MB_ICONWARNING));
}

void Win32Sinks::SetTitle(const std::string& text)
{
    // SetWindowText redraws the caption at once, without the message loop.
    if (mainWindow)
        SetWindowTextW(mainWindow, Widen(text).c_str());
}

// ---- The pass beside the window --------------------------------------------

namespace {

// One job at a time from the work's thread, run on the window thread.
class Hop {
public:
    Hop() : m_ready(CreateEventW(nullptr, FALSE, FALSE, nullptr)),
            m_done(CreateEventW(nullptr, FALSE, FALSE, nullptr)) {}
    ~Hop()
    {
        CloseHandle(m_ready);
        CloseHandle(m_done);
    }
    void Run(const std::function<void()>& job)
    {
        std::lock_guard<std::mutex> one(m_mutex);
        m_job = &job;
        SetEvent(m_ready);
        WaitForSingleObject(m_done, INFINITE);
    }
    void Serve()
    {
        (*m_job)();
        SetEvent(m_done);
    }
    HANDLE Ready() const { return m_ready; }

private:
    std::mutex m_mutex;
    HANDLE m_ready;
    HANDLE m_done;
    const std::function<void()>* m_job = nullptr;
};

class ForwardedSinks : public NoticeSink, public TitleSink {
public:
    ForwardedSinks(Hop& hop) : m_hop(hop), m_notices(SetNoticeSink(this)), m_titles(SetTitleSink(this)) {}
    ~ForwardedSinks() override
    {
        SetNoticeSink(m_notices);
        SetTitleSink(m_titles);
    }
    void Show(const std::string& text, const std::string& caption, NoticeIcon icon,
              NoticeOwner owner) override
    {
        if (m_notices)
            m_hop.Run([&] { m_notices->Show(text, caption, icon, owner); });
    }
    void SetTitle(const std::string& text) override
    {
        if (m_titles)
            m_hop.Run([&] { m_titles->SetTitle(text); });
    }

private:
    Hop& m_hop;
    NoticeSink* m_notices;
    TitleSink* m_titles;
};

bool IsInput(UINT message)
{
    return (message >= WM_KEYFIRST && message <= WM_KEYLAST) ||
           (message >= WM_MOUSEFIRST && message <= WM_MOUSELAST) ||
           (message >= WM_NCMOUSEMOVE && message <= WM_NCXBUTTONDBLCLK) || message == WM_DROPFILES;
}

}  // namespace

int RunWhileWindowLives(HWND window, const std::function<int()>& work,
                        const std::function<void()>& onStop)
{
    Hop hop;
    int result = 0;
    std::exception_ptr failure;
    HANDLE finished = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    {
        ForwardedSinks sinks(hop);
        std::thread worker([&] {
            try {
                result = work();
            } catch (...) {
                failure = std::current_exception();
            }
            SetEvent(finished);
        });
        const HANDLE waits[] = {finished, hop.Ready()};
        for (;;) {
            const DWORD woke =
                MsgWaitForMultipleObjectsEx(2, waits, INFINITE, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
            if (woke == WAIT_OBJECT_0)
                break;
            if (woke == WAIT_OBJECT_0 + 1) {
                hop.Serve();
                continue;
            }
            MSG msg;
            while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
                const bool ours = msg.hwnd && (msg.hwnd == window || IsChild(window, msg.hwnd));
                // With the focused button disabled no control has the focus,
                // and keys come to the window as system keys.
                const bool key = msg.message == WM_KEYDOWN || msg.message == WM_SYSKEYDOWN;
                if (ours && key && msg.wParam == VK_ESCAPE) {
                    onStop();
                    continue;
                }
                // The Close box and the system menu's Close still reach the
                // window, which turns them into a stop request.
                const bool closeBox = msg.message == WM_NCLBUTTONDOWN && msg.wParam == HTCLOSE;
                const bool altF4 = msg.message == WM_SYSKEYDOWN && msg.wParam == VK_F4;
                if (ours && (closeBox || altF4)) {
                    onStop();
                    continue;
                }
                if (ours && IsInput(msg.message) && msg.message != WM_NCMOUSEMOVE &&
                    msg.message != WM_MOUSEMOVE)
                    continue;
                TranslateMessage(&msg);
                DispatchMessageW(&msg);
            }
        }
        worker.join();
    }
    CloseHandle(finished);
    if (failure)
        std::rethrow_exception(failure);
    return result;
}

// ---- Window operations -----------------------------------------------------

std::string Win32DialogOps::ItemText(int id) const
{
    HWND item = GetDlgItem(hwnd, id);
    if (!item)
        return std::string();
    const int length = GetWindowTextLengthW(item);
    std::wstring text(static_cast<size_t>(length) + 1, L'\0');
    const int got = GetWindowTextW(item, &text[0], length + 1);
    text.resize(static_cast<size_t>(got > 0 ? got : 0));
    return Narrow(text);
}

void Win32DialogOps::SetItemText(int id, const std::string& text)
{
    // Raises EN_CHANGE, which the offset field relies on.
    SetDlgItemTextW(hwnd, id, Widen(text).c_str());
}

void Win32DialogOps::EnableItem(int id, bool enable)
{
    if (HWND item = GetDlgItem(hwnd, id))
        EnableWindow(item, enable ? TRUE : FALSE);
}

void Win32DialogOps::SetWindowTitle(const std::string& text)
{
    SetWindowTextW(hwnd, Widen(text).c_str());
}

int Win32DialogOps::ChooseFile(std::string& path)
{
    path.clear();
    // Room for a long path; the dialog says so when a name doesn't fit.
    std::wstring buffer(32768, L'\0');
    OPENFILENAMEW ofn{};
    ofn.lStructSize = sizeof ofn;
    ofn.hwndOwner = GetActiveWindow();
    ofn.lpstrFilter = L"All Files (*.*)\0*.*\0";
    ofn.lpstrFile = &buffer[0];
    ofn.nMaxFile = static_cast<DWORD>(buffer.size());
    ofn.Flags = OFN_PATHMUSTEXIST | OFN_HIDEREADONLY | OFN_EXPLORER;
    if (GetOpenFileNameW(&ofn)) {
        path = Narrow(buffer.c_str());
        return 1;
    }
    const DWORD error = CommDlgExtendedError();
    if (error != 0)
        ShowNotice(Format("Common Dialog Error: %ld", static_cast<long>(error)), "WARNING",
                   NoticeIcon::Error, NoticeOwner::None);
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

int Win32DialogOps::RunPass(const std::function<int()>& work, const std::function<void()>& onStop)
{
    return RunWhileWindowLives(hwnd, work, onStop);
}

void Win32DialogOps::EndDialog(int result)
{
    ::EndDialog(hwnd, result);
}

void Win32DialogOps::SaveFocus()
{
    m_focused = GetFocus();
}

void Win32DialogOps::RestoreFocus()
{
    if (m_focused && m_focused != GetFocus() && IsChild(hwnd, m_focused))
        SetFocus(m_focused);
    m_focused = nullptr;
}

}  // namespace platform
