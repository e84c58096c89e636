#include "ui/win32/window.h"

#include "platform/pass_runner.h"
#include "ui/win32/dialog_template.h"
#include "platform/win32/text.h"

#include <commdlg.h>
#include <shellapi.h>

#include <algorithm>
#include <atomic>

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

const wchar_t* ShellFace()
{
    static_assert(sizeof(wchar_t) == sizeof(char16_t), "UTF-16 wide characters");
    return reinterpret_cast<const wchar_t*>(kShellDialogFace);
}

// What an installed face is known to look like: sans-serif, another look
// (serif, script, decorative, symbols, fixed pitch), or unsaid, as many faces
// made for other systems leave it.
enum class Look { Sans, Other, Unknown };

Look LookOf(HDC dc, const LOGFONTW& font)
{
    const BYTE family = font.lfPitchAndFamily & 0xF0;
    if ((font.lfPitchAndFamily & 3) == FIXED_PITCH || font.lfCharSet == SYMBOL_CHARSET ||
        font.lfFaceName[0] == L'@')
        return Look::Other;
    if (family == FF_SWISS)
        return Look::Sans;
    if (family != FF_DONTCARE)
        return Look::Other;
    // The font file may say more: its OS/2 table's family class (8 is
    // sans-serif, 0 unsaid) and the PANOSE numbers after it (a text face's
    // serif styles 11 to 13 are sans-serif, 0 and 1 unsaid).
    Look look = Look::Unknown;
    HFONT made = CreateFontIndirectW(&font);
    HGDIOBJ previous = SelectObject(dc, made);
    constexpr DWORD kOs2Table = 0x322F534F;  // "OS/2", as GetFontData takes it
    BYTE os2[4] = {};
    if (GetFontData(dc, kOs2Table, 30, os2, sizeof os2) == sizeof os2) {
        const BYTE familyClass = os2[0], panoseFamily = os2[2], serifStyle = os2[3];
        if (familyClass == 8)
            look = Look::Sans;
        else if (familyClass != 0)
            look = Look::Other;
        else if (panoseFamily == PAN_FAMILY_TEXT_DISPLAY && serifStyle > PAN_NO_FIT)
            look = serifStyle >= PAN_SERIF_NORMAL_SANS && serifStyle <= PAN_SERIF_PERP_SANS ? Look::Sans
                                                                                            : Look::Other;
        else if (panoseFamily > PAN_FAMILY_TEXT_DISPLAY)  // scripts, decorative, pictures
            look = Look::Other;
    }
    SelectObject(dc, previous);
    DeleteObject(made);
    return look;
}

struct Enumerated {
    HDC dc;
    std::vector<std::pair<Look, std::wstring>> faces;
};

int CALLBACK NoteFace(const LOGFONTW* font, const TEXTMETRICW*, DWORD, LPARAM data)
{
    auto* seen = reinterpret_cast<Enumerated*>(data);
    seen->faces.emplace_back(LookOf(seen->dc, *font), font->lfFaceName);
    return 1;
}

// How many pixels the static texts of `layouts` would stick out of their
// boxes, across and down, in `face`: the font made and the boxes sized as
// the dialog manager does it, the texts broken into lines as a left-aligned
// static control breaks them. -1 where the face can't be made.
long Overrun(HDC dc, const std::vector<const res::DialogLayout*>& layouts, const wchar_t* face)
{
    LOGFONTW logical{};
    logical.lfHeight = -MulDiv(kDialogPointSize, GetDeviceCaps(dc, LOGPIXELSY), 72);
    logical.lfWeight = FW_NORMAL;
    logical.lfCharSet = DEFAULT_CHARSET;
    logical.lfQuality = PROOF_QUALITY;
    lstrcpynW(logical.lfFaceName, face, LF_FACESIZE);
    HFONT font = CreateFontIndirectW(&logical);
    if (!font)
        return -1;
    HGDIOBJ previous = SelectObject(dc, font);
    // Dialog base units: the letters' average width, rounded, and the
    // line's height.
    static const wchar_t kLetters[] = L"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz";
    SIZE letters{};
    TEXTMETRICW metrics{};
    long overrun = -1;
    if (GetTextExtentPoint32W(dc, kLetters, 52, &letters) && GetTextMetricsW(dc, &metrics)) {
        const int baseX = (letters.cx / 26 + 1) / 2, baseY = metrics.tmHeight;
        overrun = 0;
        for (const res::DialogLayout* layout : layouts) {
            for (std::size_t i = 0; i < layout->count; ++i) {
                const res::ControlLayout& c = layout->controls[i];
                if (c.kind != res::ControlKind::StaticText || !c.text || !*c.text)
                    continue;
                const LONG width = MulDiv(c.width, baseX, 4), height = MulDiv(c.height, baseY, 8);
                RECT needed{0, 0, width, height};
                const std::wstring text = Widen(c.text);
                DrawTextW(dc, text.c_str(), -1, &needed,
                          DT_CALCRECT | DT_LEFT | DT_EXPANDTABS | DT_WORDBREAK |
                              (c.style & res::kNoPrefix ? DT_NOPREFIX : 0));
                overrun += std::max(0L, needed.right - width) + std::max(0L, needed.bottom - height);
            }
        }
    }
    SelectObject(dc, previous);
    DeleteObject(font);
    return overrun;
}

}  // namespace

std::vector<std::wstring> DialogFaces()
{
    // The face the layouts were drawn for; its TrueType successor; the
    // dialog face of later Windows versions.
    return {L"MS Sans Serif", L"Microsoft Sans Serif", L"Tahoma", ShellFace()};
}

std::vector<std::wstring> OtherDialogFaces()
{
    HDC dc = GetDC(nullptr);
    if (!dc)
        return {};
    Enumerated seen{dc, {}};
    LOGFONTW font{};
    font.lfCharSet = DEFAULT_CHARSET;
    EnumFontFamiliesExW(dc, &font, NoteFace, reinterpret_cast<LPARAM>(&seen), 0);
    ReleaseDC(nullptr, dc);
    // One entry per character set comes back, in the system's order.
    std::sort(seen.faces.begin(), seen.faces.end());
    std::vector<std::wstring> faces;
    for (const auto& [look, face] : seen.faces) {
        if (look != Look::Other && (faces.empty() || faces.back() != face))
            faces.push_back(face);
    }
    return faces;
}

DialogFaceChoice ChooseDialogFace(const std::vector<const res::DialogLayout*>& layouts,
                                  const std::vector<std::wstring>& faces)
{
    DialogFaceChoice choice{faces.empty() ? ShellFace() : faces.front(), false};
    HDC dc = GetDC(nullptr);
    if (!dc)
        return choice;
    long least = -1;
    for (const std::wstring& face : faces) {
        // The system maps the shell's name to a face of its own, always there.
        if (face != ShellFace() && !FontExists(face.c_str()))
            continue;
        const long overrun = Overrun(dc, layouts, face.c_str());
        if (overrun < 0 || (least >= 0 && overrun >= least))
            continue;
        choice.face = face;
        least = overrun;
        if (overrun == 0) {
            choice.fits = true;
            break;
        }
    }
    ReleaseDC(nullptr, dc);
    return choice;
}

std::vector<WORD> BuildDialogTemplate(const res::DialogLayout& layout, bool main, int iconId,
                                      const std::wstring& face)
{
    return ComposeDialogTemplate(layout, main, iconId, std::u16string(face.begin(), face.end()),
                                 [](const std::string& utf8) {
                                     const std::wstring wide = Widen(utf8);
                                     return std::u16string(wide.begin(), wide.end());
                                 });
}

std::vector<WORD> BuildDialogTemplate(const res::DialogLayout& layout, bool main, int iconId)
{
    // Chosen once, for both dialogs, so that they look alike.
    static const std::wstring face = [] {
        const std::vector<const res::DialogLayout*> layouts = {&res::MainDialogLayout(),
                                                               &res::AboutDialogLayout()};
        DialogFaceChoice choice = ChooseDialogFace(layouts, DialogFaces());
        // Without any of those (a fresh Wine prefix has none of Windows' own
        // fonts), or with their widths (Tahoma clips labels drawn for MS Sans
        // Serif), any installed face that fits will do, else the one that
        // clips the least.
        if (!choice.fits) {
            std::vector<std::wstring> faces = DialogFaces();
            const std::vector<std::wstring> others = OtherDialogFaces();
            faces.insert(faces.end(), others.begin(), others.end());
            choice = ChooseDialogFace(layouts, faces);
        }
        return choice.face;
    }();
    return BuildDialogTemplate(layout, main, iconId, face);
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

namespace {

bool IsSeparator(wchar_t c)
{
    return c == L'\\' || c == L'/';
}

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

void Win32Sinks::Show(const std::string& text, const std::string& caption, NoticeIcon icon,
                      NoticeOwner owner)
{
    HWND parent = owner == NoticeOwner::ActiveWindow ? GetActiveWindow() : nullptr;
    // The box breaks lines at spaces only: a long path, one word to it,
    // would stretch it past the screen's edges, its caption and OK button
    // with it. The path is shown broken; the text itself stays as it is.
    NONCLIENTMETRICSW metrics{};
    metrics.cbSize = sizeof metrics;
    HFONT font = nullptr;
    if (SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0))
        font = CreateFontIndirectW(&metrics.lfMessageFont);
    const std::wstring shown = BreakLongWords(Widen(text), font, LongestLine(parent ? parent : mainWindow));
    if (font)
        DeleteObject(font);
    MessageBoxW(parent, shown.c_str(), Widen(caption).c_str(),
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

bool IsInput(UINT message)
{
    return (message >= WM_KEYFIRST && message <= WM_KEYLAST) ||
           (message >= WM_MOUSEFIRST && message <= WM_MOUSELAST) ||
           (message >= WM_NCMOUSEMOVE && message <= WM_NCXBUTTONDBLCLK) || message == WM_DROPFILES;
}

// The system's share of a pass: an event wakes the window thread, which
// waits on it and on its messages together.
class MessagePump : public EventPump {
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
        const DWORD woke = MsgWaitForMultipleObjectsEx(m_wake ? 1 : 0, m_wake ? &m_wake : nullptr,
                                                       polling ? kPollMilliseconds : INFINITE,
                                                       QS_ALLINPUT, MWMO_INPUTAVAILABLE);
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
            if (ours && IsInput(msg.message) && msg.message != WM_NCMOUSEMOVE &&
                msg.message != WM_MOUSEMOVE) {
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

int RunWhileWindowLives(HWND window, const std::function<int()>& work,
                        const std::function<void()>& onStop, const std::function<int()>& notStarted)
{
    MessagePump pump(window, onStop);
    PassRunner runner(pump);
    return runner.Run(work, notStarted);
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
    if (error != 0) {
        Notice notice;
        notice.kind = NoticeKind::FileDialogFailed;
        notice.systemError = static_cast<int>(error);
        Report(notice);
    }
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
    return RunWhileWindowLives(hwnd, work, onStop, notStarted);
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
