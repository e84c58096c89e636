#include "cli/console.h"

#include "cli/output.h"
#include "cli/system.h"
#include "platform/files.h"
#include "platform/translation.h"
#include "ui/texts.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <iterator>
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

// How fast a pass goes and how long it has left, as a terminal's progress
// line ends: "12.5 MB/s, 1:05 left".
std::string PaceText(std::int64_t done, std::int64_t total, double seconds)
{
    const double rate = static_cast<double>(done) / std::max(seconds, 1e-3);
    static const char* const kUnits[] = {TR_MARK("B/s"), TR_MARK("kB/s"), TR_MARK("MB/s"), TR_MARK("GB/s")};
    double shown = rate;
    size_t unit = 0;
    for (; shown >= 999.5 && unit + 1 < std::size(kUnits); ++unit)
        shown /= 1000;
    const auto left = static_cast<long long>(std::ceil(static_cast<double>(total - done) / rate));
    char number[32], time[32];
    std::snprintf(number, sizeof number, "%.3g", shown);
    if (left >= 3600)
        std::snprintf(time, sizeof time, "%lld:%02lld:%02lld", left / 3600, left / 60 % 60, left % 60);
    else
        std::snprintf(time, sizeof time, "%lld:%02lld", left / 60, left % 60);
    return platform::Fill(platform::Tr("%1 %2, %3 left"), {number, platform::Tr(kUnits[unit]), time});
}

}  // namespace

std::string FitProgressLine(const std::string& text, int percent, size_t width, const std::string& pace)
{
    const size_t room = width > 1 ? width - 1 : 0;
    if (percent >= 0 && Columns(text) + 3 + kBarCells <= room) {
        const size_t filled = static_cast<size_t>(percent > 100 ? 100 : percent) * kBarCells / 100;
        const std::string line = text + " [" + std::string(filled, '#') + std::string(kBarCells - filled, '.') + "]";
        return pace.empty() || Columns(line) + 1 + Columns(pace) > room ? line : line + " " + pace;
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
        const auto now = std::chrono::steady_clock::now();
        if (progress.done == 0)
            m_fileStarted = now;
        const std::chrono::duration<double> seconds = now - m_fileStarted;
        // A file done within a second has no pace worth reading.
        const std::string line =
            FitProgressLine(text, progress.percent, TerminalWidth(),
                            seconds.count() >= 1 ? PaceText(progress.done, progress.total, seconds.count()) : "");
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
