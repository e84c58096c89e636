#include "ui/win32/window.h"

#include "res/resource.h"
#include "ui/pass_runner.h"
#include "ui/win32/dialog_template.h"
#include "ui/win32/veltrane_dlg.h"
#include "platform/translation.h"
#include "platform/win32/text.h"

#include <commdlg.h>
#include <shellapi.h>

#include <algorithm>
#include <atomic>

namespace ui {

// ---- Dialog templates ------------------------------------------------------

namespace {

std::u16string WidenToUtf16(const std::string& utf8)
{
    const std::wstring wide = platform::Widen(utf8);
    return std::u16string(wide.begin(), wide.end());
}

INT_PTR CALLBACK Inert(HWND, UINT, WPARAM, LPARAM) { return FALSE; }

// `layout` fitted to its texts as the system's dialog face draws them (see
// ui::FitToTexts). Measured in the font the dialog manager gives an empty
// dialog of the same kind, and turned into dialog units by that dialog's own
// base units, so nothing guesses how the system maps the face or the scale.
res::DialogLayout FitToDialogFont(const res::DialogLayout& layout, std::vector<res::ControlLayout>& controls)
{
    const std::vector<WORD> empty = ComposeDialogTemplate({0, "", 0, 0, nullptr, 0}, false, 0, WidenToUtf16);
    HWND probe = CreateDialogIndirectParamW(GetModuleHandleW(nullptr), reinterpret_cast<LPCDLGTEMPLATEW>(empty.data()),
                                            nullptr, Inert, 0);
    DialogFont font;
    if (!probe)
        return FitToTexts(layout, font, controls);  // as the table has it
    RECT units{0, 0, 4, 8};
    MapDialogRect(probe, &units);
    HDC dc = GetDC(probe);
    HGDIOBJ previous = SelectObject(dc, reinterpret_cast<HFONT>(SendMessageW(probe, WM_GETFONT, 0, 0)));
    font.baseX = static_cast<int>(units.right);
    font.baseY = static_cast<int>(units.bottom);
    // A check box's text begins past the box and a letter's gap.
    font.checkBoxLead = GetSystemMetrics(SM_CXMENUCHECK) + font.baseX;
    font.measure = [dc](const char* text, unsigned style, long long wrapWidth) {
        RECT box{0, 0, static_cast<LONG>(wrapWidth), 0};
        DrawTextW(dc, platform::Widen(text).c_str(), -1, &box,
                  DT_CALCRECT | DT_EXPANDTABS | (style & res::kNoPrefix ? DT_NOPREFIX : 0) |
                      (wrapWidth > 0 ? DT_WORDBREAK : 0));
        return PixelSize{box.right - box.left, box.bottom - box.top};
    };
    const res::DialogLayout fitted = FitToTexts(layout, font, controls);
    SelectObject(dc, previous);
    ReleaseDC(probe, dc);
    DestroyWindow(probe);
    return fitted;
}

}  // namespace

std::vector<WORD> BuildDialogTemplate(const res::DialogLayout& layout, bool main, int iconId,
                                      std::vector<res::ControlLayout>& placed)
{
    return ComposeDialogTemplate(FitToDialogFont(layout, placed), main, iconId, WidenToUtf16);
}

// ---- Notices and titles ----------------------------------------------------

namespace {

bool IsSeparator(wchar_t c) { return c == L'\\' || c == L'/'; }

// How many characters of `word` fit in `maxWidth`, at least one, never
// splitting a surrogate pair.
size_t CharsThatFit(HDC dc, const wchar_t* word, size_t length, int maxWidth)
{
    INT fit = 0;
    SIZE size;
    if (!GetTextExtentExPointW(dc, word, static_cast<int>(length), maxWidth, &fit, nullptr, &size))
        fit = static_cast<INT>(length);
    size_t chars = fit > 0 ? static_cast<size_t>(fit) : 1;
    if (chars < length && chars > 1 && IS_LOW_SURROGATE(word[chars]))
        --chars;
    else if (chars < length && chars == 1 && IS_LOW_SURROGATE(word[1]))
        chars = 2;
    return chars;
}

}  // namespace

std::wstring BreakLongWords(const std::wstring& text, HFONT font, int maxWidth)
{
    HDC dc = GetDC(nullptr);
    if (!dc)
        return text;
    HGDIOBJ previous = SelectObject(dc, font ? font : GetStockObject(DEFAULT_GUI_FONT));
    std::wstring broken;
    size_t at = 0;
    while (at < text.size()) {
        const size_t end = text.find_first_of(L" \r\n", at);
        if (end == at) {
            broken += text[at++];
            continue;
        }
        const size_t wordEnd = end == std::wstring::npos ? text.size() : end;
        size_t start = at;
        while (start < wordEnd) {
            const size_t left = wordEnd - start;
            const size_t fit = CharsThatFit(dc, text.c_str() + start, left, maxWidth);
            if (fit >= left) {
                broken.append(text, start, left);
                break;
            }
            size_t cut = fit;
            for (size_t i = fit; i > fit / 2; --i) {
                if (IsSeparator(text[start + i - 1])) {
                    cut = i;
                    break;
                }
            }
            broken.append(text, start, cut);
            broken += L"\r\n";
            start += cut;
        }
        at = wordEnd;
    }
    SelectObject(dc, previous);
    ReleaseDC(nullptr, dc);
    return broken;
}

int LongestLine(HWND window)
{
    MONITORINFO monitor{};
    monitor.cbSize = sizeof monitor;
    HMONITOR on = window ? MonitorFromWindow(window, MONITOR_DEFAULTTOPRIMARY)
                         : MonitorFromPoint(POINT{0, 0}, MONITOR_DEFAULTTOPRIMARY);
    if (!GetMonitorInfoW(on, &monitor))
        return GetSystemMetrics(SM_CXSCREEN) * 2 / 3;
    return (monitor.rcWork.right - monitor.rcWork.left) * 2 / 3;
}

void Win32Reports::ShowBox(const ui::NoticeWords& words)
{
    HWND parent = words.owner == ui::NoticeOwner::ActiveWindow ? GetActiveWindow() : nullptr;
    // The box breaks lines at spaces only: a long path, one word to it,
    // would stretch it past the screen's edges, its caption and OK button
    // with it. The path is shown broken; the text itself stays as it is.
    NONCLIENTMETRICSW metrics{};
    metrics.cbSize = sizeof metrics;
    HFONT font = nullptr;
    if (SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0))
        font = CreateFontIndirectW(&metrics.lfMessageFont);
    const std::wstring shown =
        BreakLongWords(platform::Widen(words.text), font, LongestLine(parent ? parent : mainWindow));
    if (font)
        DeleteObject(font);
    MessageBoxW(parent, shown.c_str(), platform::Widen(words.caption).c_str(),
                MB_OK | (words.icon == ui::NoticeIcon::Error ? MB_ICONERROR : MB_ICONWARNING));
}

void Win32Reports::ShowTitle(const std::string& text, int /*percent*/)
{
    // SetWindowText redraws the caption at once, without the message loop.
    if (mainWindow)
        SetWindowTextW(mainWindow, platform::Widen(text).c_str());
}

// ---- The pass beside the window --------------------------------------------

namespace {

bool IsInput(UINT message)
{
    return (message >= WM_KEYFIRST && message <= WM_KEYLAST) || (message >= WM_MOUSEFIRST && message <= WM_MOUSELAST) ||
           (message >= WM_NCMOUSEMOVE && message <= WM_NCXBUTTONDBLCLK) || message == WM_DROPFILES;
}

// The system's share of a pass: an event wakes the window thread, which
// waits on it and on its messages together.
class MessagePump : public ui::EventPump {
public:
    MessagePump(HWND window, const std::function<void()>& onStop)
        : m_window(window), m_onStop(onStop), m_wake(CreateEventW(nullptr, FALSE, FALSE, nullptr))
    {
    }
    ~MessagePump() override
    {
        if (m_wake)
            CloseHandle(m_wake);
    }
    MessagePump(const MessagePump&) = delete;
    MessagePump& operator=(const MessagePump&) = delete;

    void Wake() override
    {
        // Without the event the window thread looks for reports now and
        // then instead of being woken.
        if (!m_wake || !SetEvent(m_wake))
            m_polling = true;
    }

    bool RunOnce() override
    {
        const bool polling = m_polling || !m_wake;
        const DWORD woke =
            MsgWaitForMultipleObjectsEx(m_wake ? 1 : 0, m_wake ? &m_wake : nullptr,
                                        polling ? kPollMilliseconds : INFINITE, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
        if (woke == WAIT_FAILED) {
            // The window still paints while the runner polls.
            DispatchWaiting();
            return false;
        }
        if (woke == WAIT_OBJECT_0 + (m_wake ? 1 : 0))
            DispatchWaiting();
        return true;
    }

private:
    static constexpr DWORD kPollMilliseconds = 10;

    void DispatchWaiting()
    {
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            const bool ours = msg.hwnd && (msg.hwnd == m_window || IsChild(m_window, msg.hwnd));
            // With the focused button disabled no control has the focus,
            // and keys come to the window as system keys.
            const bool key = msg.message == WM_KEYDOWN || msg.message == WM_SYSKEYDOWN;
            if (ours && key && msg.wParam == VK_ESCAPE) {
                m_onStop();
                continue;
            }
            // The Close box and the system menu's Close still reach the
            // window, which turns them into a stop request.
            const bool closeBox = msg.message == WM_NCLBUTTONDOWN && msg.wParam == HTCLOSE;
            const bool altF4 = msg.message == WM_SYSKEYDOWN && msg.wParam == VK_F4;
            if (ours && (closeBox || altF4)) {
                m_onStop();
                continue;
            }
            if (ours && IsInput(msg.message) && msg.message != WM_NCMOUSEMOVE && msg.message != WM_MOUSEMOVE) {
                // A drop's names are the window's to free, taken or not.
                if (msg.message == WM_DROPFILES)
                    DragFinish(reinterpret_cast<HDROP>(msg.wParam));
                continue;
            }
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
    }

    HWND m_window;
    const std::function<void()>& m_onStop;
    HANDLE m_wake;
    std::atomic<bool> m_polling{false};
};

}  // namespace

int RunWhileWindowLives(HWND window, ui::PassRunner& runner, const std::function<int()>& work,
                        const std::function<void()>& onStop, const std::function<int()>& notStarted)
{
    MessagePump pump(window, onStop);
    return runner.Run(pump, work, notStarted);
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
