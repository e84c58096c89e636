#include "ui/wx/sinks.h"

#include "ui/wx/accessible.h"
#include "ui/wx/narrow.h"
#include "ui/wx/present.h"

#include <wx/app.h>
#include <wx/msgdlg.h>
#include <wx/generic/msgdlgg.h>
#include <wx/stattext.h>
#include <wx/toplevel.h>
#include <wx/window.h>

#include <gtk/gtk.h>

#include <algorithm>
#include <memory>

namespace ui {

namespace {

// About as wide as a line of a book: the program's own sentences keep to
// their lines, and a long path takes a few.
constexpr int kLineChars = 84;

// The toolkit sizes a label to its text on one line: a long path, with no
// space to break at, would stretch the box to the screen's width and be cut
// off there, before the file name. So the label breaks its lines itself,
// between words and, where one word is longer than a line, inside it; the
// text it holds stays as it was.
void WrapLines(wxStaticText* label)
{
    GtkWidget* widget = label->GetHandle();
    if (!GTK_IS_LABEL(widget))
        return;
    gtk_label_set_line_wrap(GTK_LABEL(widget), TRUE);
    gtk_label_set_line_wrap_mode(GTK_LABEL(widget), PANGO_WRAP_WORD_CHAR);
    gtk_label_set_max_width_chars(GTK_LABEL(widget), kLineChars);
    // A hyphen at a break inside a name would read as part of the name.
    PangoAttrList* attributes = pango_attr_list_new();
    pango_attr_list_insert(attributes, pango_attr_insert_hyphens_new(FALSE));
    gtk_label_set_attributes(GTK_LABEL(widget), attributes);
    pango_attr_list_unref(attributes);
    // The size the toolkit asked for the label on one line would stand
    // above what the label now asks for itself.
    gtk_widget_set_size_request(widget, -1, -1);
    int least = 0, width = 0, height = 0;
    gtk_widget_get_preferred_width(widget, &least, &width);
    // On a narrow screen the box still fits, its icon and margins beside it.
    width = std::max(least, std::min(width, wxGetDisplaySize().x * 2 / 3));
    gtk_widget_get_preferred_height_for_width(widget, width, &least, &height);
    label->SetMinSize(wxSize(width, height));
}

// The toolkit's own message box shows no icon on GTK 3; the generic one draws
// the warning or error sign from the icon theme, so a notice looks like one.
// One that belongs to no window (`owner` NoticeOwner::None) neither blocks
// nor follows the main window, which the toolkit would otherwise pick for it.
class MessageBox : public wxGenericMessageDialog {
public:
    MessageBox(ui::NoticeOwner owner, const wxString& text, const wxString& caption, long style)
        : wxGenericMessageDialog(owner == ui::NoticeOwner::None ? nullptr : wxGetActiveWindow(), text, caption, style)
    {
        if (owner == ui::NoticeOwner::None)
            m_parent = nullptr;
    }

protected:
    // Called once the box and its labels exist and before it takes its size.
    void AddMessageDialogDetails(wxSizer* WXUNUSED(sizer)) override
    {
        m_present = std::make_unique<PresentOnShow>(*this);
        for (wxWindow* child : GetChildren()) {
            if (auto* label = wxDynamicCast(child, wxStaticText))
                WrapLines(label);
        }
        // The box's window exists only from here on.
        SetAccessibleName(this, GetTitle(), GetMessage(), Role::Alert);
    }

private:
    // From when the box's window exists until the box is gone.
    std::unique_ptr<PresentOnShow> m_present;
};

}  // namespace

void WindowReports::ShowBox(const ui::NoticeWords& words)
{
    const long style = wxOK | (words.icon == ui::NoticeIcon::Error ? wxICON_ERROR : wxICON_WARNING);
    MessageBox box(words.owner, FromNarrow(words.text), FromNarrow(words.caption), style);
    box.ShowModal();
}

void WindowReports::ShowTitle(const std::string& text, int percent)
{
    auto* window = wxDynamicCast(wxTheApp ? wxTheApp->GetTopWindow() : nullptr, wxTopLevelWindow);
    if (!window)
        return;
    if (percent >= 0)
        SetPassProgress(window, percent, FromNarrow(text));
    window->SetTitle(FromNarrow(text));
    // Repaints what is pending and flushes the display connection; it reads
    // no input, so the pass can't be re-entered.
    window->Update();
}

}  // namespace ui
