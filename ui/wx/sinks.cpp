#include "ui/wx/sinks.h"

#include "ui/wx/narrow.h"

#include <wx/app.h>
#include <wx/msgdlg.h>
#include <wx/generic/msgdlgg.h>
#include <wx/toplevel.h>
#include <wx/window.h>

namespace platform {

namespace {

// The toolkit's own message box shows no icon on GTK 3; the generic one draws
// the warning or error sign from the icon theme, so a notice looks like one.
using MessageBox = wxGenericMessageDialog;

// A message box that belongs to no window: it neither blocks nor follows the
// main window, as the toolkit would otherwise pick the main window for it.
class UnownedMessageDialog : public MessageBox {
public:
    UnownedMessageDialog(const wxString& text, const wxString& caption, long style)
        : MessageBox(nullptr, text, caption, style)
    {
        m_parent = nullptr;
    }
};

// The engine's texts break lines with CR LF; a label wants plain newlines.
wxString BoxText(const std::string& text)
{
    wxString converted = FromNarrow(text);
    converted.Replace("\r\n", "\n");
    return converted;
}

long BoxStyle(NoticeIcon icon)
{
    return wxOK | (icon == NoticeIcon::Error ? wxICON_ERROR : wxICON_WARNING);
}

}  // namespace

void MessageBoxNoticeSink::Show(const std::string& text, const std::string& caption,
                                NoticeIcon icon, NoticeOwner owner)
{
    const wxString message = BoxText(text);
    const wxString title = FromNarrow(caption);
    if (owner == NoticeOwner::None) {
        UnownedMessageDialog box(message, title, BoxStyle(icon));
        box.ShowModal();
    } else {
        MessageBox box(wxGetActiveWindow(), message, title, BoxStyle(icon));
        box.ShowModal();
    }
}

void MainWindowTitleSink::SetTitle(const std::string& text)
{
    wxWindow* top = wxTheApp ? wxTheApp->GetTopWindow() : nullptr;
    auto* window = wxDynamicCast(top, wxTopLevelWindow);
    if (!window)
        return;
    window->SetTitle(FromNarrow(text));
    // Repaints what is pending and flushes the display connection; it reads
    // no input, so the pass can't be re-entered.
    window->Update();
}

WindowSinks::WindowSinks()
    : m_previousNotices(SetNoticeSink(&m_notices)), m_previousTitle(SetTitleSink(&m_title))
{
}

WindowSinks::~WindowSinks()
{
    SetNoticeSink(m_previousNotices);
    SetTitleSink(m_previousTitle);
}

}  // namespace platform
