#include "cli/console.h"

#include "cli/output.h"
#include "cli/system.h"
#include "platform/files.h"
#include "platform/translation.h"
#include "ui/texts.h"

#include <vector>

namespace cli {

namespace {

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

}  // namespace

std::string FitProgressLine(const std::string& text, int percent, size_t width)
{
    const size_t room = width > 1 ? width - 1 : 0;
    if (percent >= 0 && Columns(text) + 3 + kBarCells <= room) {
        const size_t filled = static_cast<size_t>(percent > 100 ? 100 : percent) * kBarCells / 100;
        return text + " [" + std::string(filled, '#') + std::string(kBarCells - filled, '.') + "]";
    }
    return CutToColumns(text, room);
}

Console::Console(Verbosity verbosity, bool terminal) : m_verbosity(verbosity), m_terminal(terminal) {}

Console::~Console() { EndProgress(); }

std::string NoticeLine(const platform::Notice& notice)
{
    // Quoted where each name goes in, so that a name can't act on the
    // terminal or fake a line, and the notice's own line breaks stay.
    std::vector<std::string> shown;
    for (const std::string& path : notice.paths)
        shown.push_back(QuoteName(path));
    // The window's texts don't say why the system refused; a terminal line can.
    std::vector<std::string> more;
    if (notice.systemError != 0)
        more.push_back(platform::SystemErrorText(notice.systemError));
    if (notice.kind == platform::NoticeKind::CouldNotDelete && shown.size() > 1)
        more.push_back(platform::Fill(platform::Tr("it is read-only; the finished result was kept as %1"), {shown[1]}));
    return ui::WordNotice(notice, shown).Line(more);
}

void Console::OnNotice(const platform::Notice& notice)
{
    EndProgress();
    WriteError(NoticeLine(notice) + "\n");
}

void Console::OnProgress(const platform::Progress& progress)
{
    if (m_verbosity == Verbosity::Quiet)
        return;
    const std::string text = ui::ProgressTitle(QuoteName(progress.fileName), progress.percent);
    if (m_verbosity == Verbosity::Verbose) {
        WriteError(text + "\n");
    } else if (m_terminal) {
        const std::string line = FitProgressLine(text, progress.percent, TerminalWidth());
        const size_t columns = Columns(line);
        // Spaces wipe what is left of a longer line drawn before.
        WriteError("\r" + line + std::string(m_drawnColumns > columns ? m_drawnColumns - columns : 0, ' '));
        m_drawnColumns = columns;
    }
}

void Console::EndProgress()
{
    if (m_drawnColumns == 0)
        return;
    WriteError("\r" + std::string(m_drawnColumns, ' ') + "\r");
    m_drawnColumns = 0;
}

}  // namespace cli
