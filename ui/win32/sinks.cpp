#include "ui/win32/sinks.h"

#include "platform/win32/text.h"

namespace ui {

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

}  // namespace ui
