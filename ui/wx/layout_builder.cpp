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

// Left edges this close are one column: the table's hand-placed edges are a
// unit or two apart where they were meant to line up.
constexpr int kSameEdgeUnits = 3;
// Rows further apart than this in the table are groups of their own.
constexpr int kGroupGapUnits = 6;
// The icon's side in the system font at the usual text size.
constexpr int kIconLayoutSide = 32;

wxRect UnitRect(const ControlLayout& control) { return wxRect(control.x, control.y, control.width, control.height); }

// Twice the middle, in whole units.
int Middle2(const ControlLayout& control) { return 2 * control.y + control.height; }

bool Covers(const ControlLayout& control, int middle2)
{
    return 2 * control.y <= middle2 && middle2 <= 2 * (control.y + control.height);
}

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

void ArrangeMembers(const res::DialogLayout& layout, const std::vector<std::size_t>& members,
                    std::vector<GridPlace>& places)
{
    std::vector<int> lefts;
    lefts.reserve(members.size());
    for (std::size_t m : members)
        lefts.push_back(layout.controls[m].x);
    std::sort(lefts.begin(), lefts.end());
    std::vector<int> columns;  // where each column starts
    for (std::size_t i = 0; i < lefts.size(); ++i) {
        if (i == 0 || lefts[i] - lefts[i - 1] > kSameEdgeUnits)
            columns.push_back(lefts[i]);
    }

    // Rows from the shortest controls up: a control joins the row its middle
    // lies in; one that reaches over rows already there spans them.
    std::vector<std::size_t> byHeight = members;
    std::stable_sort(byHeight.begin(), byHeight.end(), [&](std::size_t a, std::size_t b) {
        return layout.controls[a].height < layout.controls[b].height;
    });
    std::vector<const ControlLayout*> rows;  // each row's first control
    for (std::size_t m : byHeight) {
        const ControlLayout& control = layout.controls[m];
        const auto holds = [&](const ControlLayout* row) { return Covers(*row, Middle2(control)); };
        const auto within = [&](const ControlLayout* row) { return Covers(control, Middle2(*row)); };
        if (std::none_of(rows.begin(), rows.end(), holds) && std::none_of(rows.begin(), rows.end(), within))
            rows.push_back(&control);
    }
    std::sort(rows.begin(), rows.end(),
              [](const ControlLayout* a, const ControlLayout* b) { return Middle2(*a) < Middle2(*b); });

    for (std::size_t m : members) {
        const ControlLayout& control = layout.controls[m];
        GridPlace& place = places[m];
        place.column = 0;
        place.columnSpan = 0;
        for (std::size_t c = 0; c < columns.size(); ++c) {
            if (columns[c] <= control.x + kSameEdgeUnits)
                place.column = static_cast<int>(c);
        }
        for (std::size_t c = place.column; c < columns.size(); ++c) {
            if (columns[c] < control.x + control.width)
                ++place.columnSpan;
        }
        place.row = -1;
        place.rowSpan = 0;
        for (std::size_t r = 0; r < rows.size(); ++r) {
            if (Covers(control, Middle2(*rows[r]))) {
                if (place.row < 0)
                    place.row = static_cast<int>(r);
                ++place.rowSpan;
            }
        }
        for (std::size_t r = 0; r < rows.size() && place.row < 0; ++r) {
            if (Covers(*rows[r], Middle2(control))) {
                place.row = static_cast<int>(r);
                place.rowSpan = 1;
            }
        }
        place.spansAll = place.column == 0 && place.columnSpan == static_cast<int>(columns.size());
    }

    // A row that the table keeps further from the one above it than rows
    // usually are starts a new group.
    for (std::size_t m : members) {
        const ControlLayout& control = layout.controls[m];
        GridPlace& place = places[m];
        int above = -1;  // where the row above ends
        for (std::size_t other : members) {
            if (places[other].row + places[other].rowSpan == place.row)
                above = std::max(above, layout.controls[other].y + layout.controls[other].height);
        }
        place.setApart = above >= 0 && control.y - above > kGroupGapUnits;
    }
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

int SizerFlags(const ControlLayout& control, const GridPlace& place)
{
    switch (control.kind) {
    case ControlKind::EditField:
    case ControlKind::EtchedLine:
        return wxEXPAND;
    case ControlKind::RaisedFrame:
        return place.spansAll ? int{wxEXPAND} : int{wxALIGN_CENTER};
    case ControlKind::StaticIcon:
        return wxALIGN_CENTER;
    default:
        return wxALIGN_CENTER_VERTICAL;
    }
}

}  // namespace

std::vector<GridPlace> ArrangeInGrid(const res::DialogLayout& layout)
{
    std::vector<GridPlace> places(layout.count);
    for (std::size_t i = 0; i < layout.count; ++i)
        places[i].frame = InnermostFrame(layout, i);
    for (int frame = -1; frame < static_cast<int>(layout.count); ++frame) {
        std::vector<std::size_t> members;
        for (std::size_t i = 0; i < layout.count; ++i) {
            if (places[i].frame == frame)
                members.push_back(i);
        }
        if (!members.empty())
            ArrangeMembers(layout, members, places);
    }
    return places;
}

std::vector<PlacedControl> BuildControls(wxDialog* dialog, const res::DialogLayout& layout)
{
    const std::vector<GridPlace> places = ArrangeInGrid(layout);
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
        const GridPlace& place = places[i];
        const wxGBPosition position(place.row, place.column);
        int columnSpan = place.columnSpan;
        if (SteppedByArrows(layout, i))
            columnSpan = places[i + 1].column + places[i + 1].columnSpan - place.column;
        const wxGBSpan span(place.rowSpan, columnSpan);
        int flags = SizerFlags(layout.controls[i], place);
        int border = 0;
        if (place.setApart) {
            flags |= wxTOP;
            border = 2 * gap;
        }
        if (auto* box = wxDynamicCast(created[i].window, wxStaticBox)) {
            auto* boxSizer = new wxStaticBoxSizer(box, wxVERTICAL);
            boxSizer->Add(gridOf(static_cast<int>(i)), wxSizerFlags(1).Expand().Border(wxALL, gap));
            gridOf(place.frame)->Add(boxSizer, position, span, flags, border);
        } else {
            gridOf(place.frame)->Add(created[i].window, position, span, flags, border);
        }
    }
    auto* top = new wxBoxSizer(wxVERTICAL);
    top->Add(gridOf(-1), wxSizerFlags().DoubleBorder());
    dialog->SetSizerAndFit(top);
    dialog->Layout();
    return placed;
}
