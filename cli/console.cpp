#include "cli/console.h"

#include "cli/output.h"
#include "cli/system.h"
#include "platform/files.h"

#include <cstdlib>
#include <cstring>

namespace cli {

namespace {

// The engine's progress texts; anything else set as a title repeats a
// notice that has already been printed.
const char kProgressStart[] = "Working file ";
const char kProgressEnd[] = "% done.";

constexpr size_t kBarCells = 20;

// Columns taken by UTF-8 text, one for each character (file names in wide
// scripts come out a little short, which only costs a few columns of bar).
size_t Columns(const std::string& text)
{
    size_t columns = 0;
    for (const char c : text)
        if ((static_cast<unsigned char>(c) & 0xC0) != 0x80)
            ++columns;
    return columns;
}

// The longest start of `text` that takes at most `columns`, never cutting a
// character in two.
std::string CutToColumns(const std::string& text, size_t columns)
{
    size_t used = 0;
    for (size_t i = 0; i < text.size(); ++i) {
        if ((static_cast<unsigned char>(text[i]) & 0xC0) != 0x80 && used++ == columns)
            return text.substr(0, i);
    }
    return text;
}

// The percentage at the end of a progress text, -1 without one.
int PercentOf(const std::string& text)
{
    const size_t end = text.rfind(kProgressEnd);
    if (end == std::string::npos || end + std::strlen(kProgressEnd) != text.size())
        return -1;
    size_t start = end;
    while (start > 0 && text[start - 1] >= '0' && text[start - 1] <= '9')
        --start;
    if (start == end || end - start > 3)
        return -1;
    return std::atoi(text.substr(start, end - start).c_str());
}

}  // namespace

std::string FitProgressLine(const std::string& text, size_t width)
{
    const size_t room = width > 1 ? width - 1 : 0;
    const int percent = PercentOf(text);
    if (percent >= 0 && Columns(text) + 3 + kBarCells <= room) {
        const size_t filled = static_cast<size_t>(percent > 100 ? 100 : percent) * kBarCells / 100;
        return text + " [" + std::string(filled, '#') + std::string(kBarCells - filled, '.') + "]";
    }
    return CutToColumns(text, room);
}

Console::Console(Verbosity verbosity, bool terminal) : m_verbosity(verbosity), m_terminal(terminal) {}

Console::~Console() { EndProgress(); }

void Console::Show(const std::string& text, const std::string& caption, platform::NoticeIcon,
                   platform::NoticeOwner)
{
    EndProgress();
    std::string line = platform::ConsoleNoticeLine(QuoteNamesIn(text, m_names), caption);
    // The window's texts don't say why the system refused; a terminal line can.
    if (const int error = platform::NoticeSystemError())
        line += ": " + platform::SystemErrorText(error);
    Write(line + "\n");
}

void Console::SetTitle(const std::string& title)
{
    if (m_verbosity == Verbosity::Quiet || title.compare(0, std::strlen(kProgressStart), kProgressStart) != 0)
        return;
    const std::string text = QuoteNamesIn(title, m_names);
    if (m_verbosity == Verbosity::Verbose) {
        Write(text + "\n");
    } else if (m_terminal) {
        const std::string line = FitProgressLine(text, TerminalWidth());
        const size_t columns = Columns(line);
        // Spaces wipe what is left of a longer line drawn before.
        Write("\r" + line + std::string(m_drawnColumns > columns ? m_drawnColumns - columns : 0, ' '));
        m_drawnColumns = columns;
    }
}

void Console::EndProgress()
{
    if (m_drawnColumns == 0)
        return;
    Write("\r" + std::string(m_drawnColumns, ' ') + "\r");
    m_drawnColumns = 0;
}

void Console::Write(const std::string& bytes) { WriteError(bytes); }

}  // namespace cli
