#include "ui/wx/layout_builder.h"

#include "res/resource.h"
#include "ui/wx/accessible.h"
#include "ui/wx/program_icon.h"

#include <wx/button.h>
#include <wx/checkbox.h>
#include <wx/dialog.h>
#include <wx/gbsizer.h>
#include <wx/settings.h>
#include <wx/spinctrl.h>
#include <wx/statbmp.h>
#include <wx/statbox.h>
#include <wx/statline.h>
#include <wx/stattext.h>
#include <wx/textctrl.h>

#include <gtk/gtk.h>

#include <algorithm>
#include <map>

namespace {

using res::ControlKind;
using res::ControlLayout;

// The icon's side in the system font at the usual text size.
constexpr int kIconLayoutSide = 32;

wxRect UnitRect(const ControlLayout& control) { return wxRect(control.x, control.y, control.width, control.height); }

int InnermostFrame(const res::DialogLayout& layout, std::size_t index)
{
    int frame = -1;
    for (std::size_t i = 0; i < layout.count; ++i) {
        const ControlLayout& candidate = layout.controls[i];
        if (i == index || candidate.kind != ControlKind::RaisedFrame ||
            !UnitRect(candidate).Contains(UnitRect(layout.controls[index])))
            continue;
        if (frame < 0 || UnitRect(layout.controls[frame]).Contains(UnitRect(candidate)))
            frame = static_cast<int>(i);
    }
    return frame;
}

wxWindowID WindowId(int id)
{
    if (id == IDOK_COMMAND)
        return wxID_OK;
    if (id == IDC_STATIC)
        return wxID_ANY;
    return id;
}

// A static text (or frame) that the toolkit leaves alone: on GTK it would
// otherwise make each text the label of whichever control follows it in the
// table ("Key file" of the Encrypt button), which is what a screen reader
// then says. The dialog relates its labels to their fields itself.
template <class Static> class LabelOfNothing : public Static {
public:
    using Static::Static;

protected:
#ifdef __WXGTK__
    bool GTKWidgetNeedsMnemonic() const override { return false; }
#endif
};

// Some themes draw their separator in nearly the background's own colour
// (dark ones a shade off it), so the line vanishes. It is drawn instead as
// the etched edge it stands for, in the theme's shadow and highlight, which
// every theme sets apart from its background; it stays a separator to a
// screen reader.
gboolean DrawEtchedLine(GtkWidget* widget, cairo_t* cairo, gpointer)
{
    const int width = gtk_widget_get_allocated_width(widget);
    const int height = gtk_widget_get_allocated_height(widget);
    const int top = std::max(0, height / 2 - 1);
    const auto row = [&](wxSystemColour which, int y) {
        const wxColour colour = wxSystemSettings::GetColour(which);
        cairo_set_source_rgb(cairo, colour.Red() / 255.0, colour.Green() / 255.0, colour.Blue() / 255.0);
        cairo_rectangle(cairo, 0, y, width, 1);
        cairo_fill(cairo);
    };
    row(wxSYS_COLOUR_BTNSHADOW, top);
    if (top + 1 < height)
        row(wxSYS_COLOUR_BTNHIGHLIGHT, top + 1);
    return TRUE;  // instead of the theme's own separator
}

// The table's arrows step the field before them, as they would the
// Windows control they sit beside: here field and arrows are the toolkit's
// one spin control.
bool SteppedByArrows(const res::DialogLayout& layout, std::size_t index)
{
    return layout.controls[index].kind == ControlKind::EditField && index + 1 < layout.count &&
           layout.controls[index + 1].kind == ControlKind::ArrowPair;
}

wxWindow* CreateControl(wxDialog* dialog, const ControlLayout& control, bool stepped)
{
    const wxWindowID id = WindowId(control.id);
    const wxString text = wxString::FromUTF8(control.text ? control.text : "");
    const wxSize box = dialog->ConvertDialogToPixels(wxSize(control.width, control.height));
    wxWindow* window = nullptr;
    switch (control.kind) {
    case ControlKind::PushButton: {
        auto* button = new wxButton(dialog, id, text);
        if (control.style & res::kDefaultButton)
            button->SetDefault();
        window = button;
        break;
    }
    case ControlKind::EditField:
        if (stepped)
            window = new wxSpinCtrl(dialog, id, text);
        else
            window = new wxTextCtrl(dialog, id, text);
        break;
    case ControlKind::ArrowPair:
        return nullptr;  // part of the spin control
    case ControlKind::CheckBox: {
        auto* check = new wxCheckBox(dialog, id, text);
        ui::SizeIndicatorWithText(check);
        check->InvalidateBestSize();
        return check;
    }
    case ControlKind::StaticText: {
        auto* label = new LabelOfNothing<wxStaticText>(dialog, id, wxString());
        if (control.style & res::kNoPrefix)
            label->SetLabelText(text);
        else
            label->SetLabel(text);
        if (control.style & res::kWrap)
            label->Wrap(box.x);
        return label;
    }
    case ControlKind::StaticIcon:
        // It fills its box, and grows with the text around it.
        return new wxStaticBitmap(dialog, id, ProgramIconAt(std::max(kIconLayoutSide, std::min(box.x, box.y))));
    case ControlKind::RaisedFrame:
        return new LabelOfNothing<wxStaticBox>(dialog, id, wxString());
    case ControlKind::EtchedLine: {
        auto* line = new wxStaticLine(dialog, id, wxDefaultPosition, wxDefaultSize, wxLI_HORIZONTAL);
        if (GtkWidget* widget = line->GetHandle())
            g_signal_connect(widget, "draw", G_CALLBACK(DrawEtchedLine), nullptr);
        return line;
    }
    }
    // As wide as the table has them; a button as wide as its text needs, a
    // field's text scrolls.
    const bool scrolls = control.kind == ControlKind::EditField && !stepped;
    window->SetMinSize(wxSize(scrolls ? box.x : std::max(box.x, window->GetBestSize().x), -1));
    return window;
}

int SizerFlags(const ControlLayout& control)
{
    switch (control.kind) {
    case ControlKind::EditField:
    case ControlKind::EtchedLine:
        return wxEXPAND;
    case ControlKind::PushButton:
        // The first column also holds the offset's spin control, wider here
        // than the Windows arrows: a button there fills the column, so that
        // no gap opens before the field beside it.
        return control.cell.column == 0 ? int{wxEXPAND} : int{wxALIGN_CENTER_VERTICAL};
    case ControlKind::RaisedFrame:
        // Across the dialog a frame takes its width; beside other controls
        // it keeps the size of what it holds.
        return control.cell.columnSpan > 1 ? int{wxEXPAND} : int{wxALIGN_CENTER};
    case ControlKind::StaticIcon:
        return wxALIGN_CENTER;
    default:
        return wxALIGN_CENTER_VERTICAL;
    }
}

}  // namespace

std::vector<PlacedControl> BuildControls(wxDialog* dialog, const res::DialogLayout& layout)
{
    std::vector<PlacedControl> created(layout.count);
    for (bool frames : {true, false}) {
        for (std::size_t i = 0; i < layout.count; ++i) {
            const ControlLayout& control = layout.controls[i];
            if ((control.kind == ControlKind::RaisedFrame) == frames)
                created[i] = {&control, CreateControl(dialog, control, SteppedByArrows(layout, i))};
        }
    }

    const int gap = wxSizerFlags::GetDefaultBorder();
    std::map<int, wxGridBagSizer*> grids;
    const auto gridOf = [&](int frame) {
        wxGridBagSizer*& grid = grids[frame];
        if (!grid)
            grid = new wxGridBagSizer(gap, 2 * gap);
        return grid;
    };
    std::vector<PlacedControl> placed;
    for (std::size_t i = 0; i < layout.count; ++i) {
        if (!created[i].window)
            continue;
        placed.push_back(created[i]);
        const res::GridCell& cell = layout.controls[i].cell;
        const wxGBPosition position(cell.row, cell.column);
        const wxGBSpan span(cell.rowSpan, cell.columnSpan);
        const int flags = SizerFlags(layout.controls[i]) | (cell.setApart ? wxTOP : 0);
        const int border = cell.setApart ? 2 * gap : 0;
        const int frame = InnermostFrame(layout, i);
        if (auto* box = wxDynamicCast(created[i].window, wxStaticBox)) {
            auto* boxSizer = new wxStaticBoxSizer(box, wxVERTICAL);
            boxSizer->Add(gridOf(static_cast<int>(i)), wxSizerFlags(1).Expand().Border(wxALL, gap));
            gridOf(frame)->Add(boxSizer, position, span, flags, border);
        } else {
            gridOf(frame)->Add(created[i].window, position, span, flags, border);
        }
    }
    auto* top = new wxBoxSizer(wxVERTICAL);
    top->Add(gridOf(-1), wxSizerFlags().DoubleBorder());
    dialog->SetSizerAndFit(top);
    dialog->Layout();
    return placed;
}
