#include "ui/wx/layout_builder.h"

#include "res/resource.h"
#include "ui/wx/accessible.h"
#include "ui/wx/arrow_pair.h"
#include "ui/wx/program_icon.h"

#include <wx/button.h>
#include <wx/checkbox.h>
#include <wx/dcclient.h>
#include <wx/settings.h>
#include <wx/dialog.h>
#include <wx/statbmp.h>
#include <wx/statline.h>
#include <wx/stattext.h>
#include <wx/textctrl.h>

#include <gtk/gtk.h>

#include <algorithm>
#include <cmath>
#include <memory>

wxDEFINE_EVENT(VT_EVT_FIELD_KILL_FOCUS, wxCommandEvent);

namespace {

using res::ControlKind;
using res::ControlLayout;

// How far the arrangement is spread out per try, and how far at most.
constexpr double kSpreadStep = 0.05;
constexpr double kMostSpread = 2.0;
// Room kept between the controls and the dialog's right and bottom edges.
constexpr int kMarginUnits = 4;
// A frame or line that ends this close to the dialog's right edge spans it.
constexpr int kSpanningGapUnits = 6;
// The icon's side in the system font at the usual text size.
constexpr int kIconLayoutSide = 32;

wxWindowID WindowId(int id)
{
    if (id == IDOK_COMMAND)
        return wxID_OK;
    if (id == IDC_STATIC)
        return wxID_ANY;
    return id;
}

bool IsStatic(ControlKind kind)
{
    return kind == ControlKind::StaticText || kind == ControlKind::StaticIcon ||
           kind == ControlKind::RaisedFrame || kind == ControlKind::EtchedLine;
}

// Texts of several lines keep their first line where it was laid out.
bool GrowsDownwards(const ControlLayout& control)
{
    return (control.style & res::kWrap) != 0 ||
           (control.text && std::string(control.text).find('\n') != std::string::npos);
}

wxRect UnitRect(const ControlLayout& control)
{
    return wxRect(control.x, control.y, control.width, control.height);
}

// Edges are converted rather than sizes, so that boxes that meet in dialog
// units still meet, and don't overlap, in pixels.
wxRect ToPixels(const wxRect& units, double unitX, double unitY)
{
    const int left = static_cast<int>(std::lround(units.x * unitX));
    const int top = static_cast<int>(std::lround(units.y * unitY));
    const int right = static_cast<int>(std::lround((units.x + units.width) * unitX));
    const int bottom = static_cast<int>(std::lround((units.y + units.height) * unitY));
    return wxRect(left, top, right - left, bottom - top);
}

// A press on a static control is the dialog's: the control only shows
// something there.
void PassPressToDialog(wxMouseEvent& event)
{
    auto* control = static_cast<wxWindow*>(event.GetEventObject());
    wxWindow* dialog = control->GetParent();
    wxMouseEvent press(event);
    press.SetEventType(wxEVT_LEFT_DOWN);
    press.SetEventObject(dialog);
    press.SetId(dialog->GetId());
    press.SetPosition(control->GetPosition() + event.GetPosition());
    dialog->GetEventHandler()->ProcessEvent(press);
}

void ReportFieldKillFocus(wxFocusEvent& event)
{
    event.Skip();  // the field's own handling of the focus goes on
    auto* field = static_cast<wxWindow*>(event.GetEventObject());
    wxCommandEvent notice(VT_EVT_FIELD_KILL_FOCUS, field->GetId());
    notice.SetEventObject(field);
    field->GetEventHandler()->ProcessEvent(notice);
}

// A static text that the toolkit leaves alone: on GTK it would otherwise make
// each text the label of whichever control follows it in the table ("Key
// file" of the Encrypt button), which is what a screen reader then says. The
// dialog relates its labels to their fields itself.
class StaticText : public wxStaticText {
public:
    using wxStaticText::wxStaticText;

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

void DrawEtched(wxStaticLine* line)
{
    if (GtkWidget* widget = line->GetHandle())
        g_signal_connect(widget, "draw", G_CALLBACK(DrawEtchedLine), nullptr);
}

wxWindow* CreateControl(wxDialog* dialog, const ControlLayout& control)
{
    const wxWindowID id = WindowId(control.id);
    const wxString text = wxString::FromUTF8(control.text ? control.text : "");
    switch (control.kind) {
    case ControlKind::PushButton: {
        auto* button = new wxButton(dialog, id, text);
        if (control.style & res::kDefaultButton)
            button->SetDefault();
        return button;
    }
    case ControlKind::EditField:
        return new wxTextCtrl(dialog, id, text);
    case ControlKind::ArrowPair:
        return new ArrowPair(dialog, id);
    case ControlKind::CheckBox: {
        auto* box = new wxCheckBox(dialog, id, text);
        platform::SizeIndicatorWithText(box);
        box->InvalidateBestSize();
        return box;
    }
    case ControlKind::StaticText: {
        auto* label = new StaticText(dialog, id, wxString(), wxDefaultPosition, wxDefaultSize,
                                       wxST_NO_AUTORESIZE);
        if (control.style & res::kNoPrefix)
            label->SetLabelText(text);
        else
            label->SetLabel(text);
        return label;
    }
    case ControlKind::StaticIcon:
        // The layout's own size until the box is placed; then it fills its box.
        return new wxStaticBitmap(dialog, id, ProgramIconAt(kIconLayoutSide));
    case ControlKind::RaisedFrame:
        return nullptr;  // drawn by the dialog
    case ControlKind::EtchedLine: {
        auto* line = new wxStaticLine(dialog, id, wxDefaultPosition, wxDefaultSize, wxLI_HORIZONTAL);
        DrawEtched(line);
        return line;
    }
    }
    return nullptr;
}

// The icon grows with the text around it, as its frame does, instead of
// staying a small square in a large frame.
void FitIconToBox(wxStaticBitmap* icon, const wxRect& box)
{
    const int side = std::max(kIconLayoutSide, std::min(box.width, box.height));
    icon->SetBitmap(ProgramIconAt(side));
    icon->SetSize(box);  // the toolkit would shrink it to the image
}

// What a static text needs: its lines as the font draws them. The toolkit's
// own best size of a label that may wrap says nothing about its text.
wxSize TextExtent(wxWindow* window, const wxString& text)
{
    wxClientDC dc(window);
    dc.SetFont(window->GetFont());
    return dc.GetMultiLineTextExtent(text);
}

// A raised edge in shades of the dialog's own background: an outline, and
// inside it light above and to the left, shadow below and to the right.
void DrawRaisedFrame(wxDC& dc, const wxRect& frame, const wxColour& background)
{
    dc.SetBrush(*wxTRANSPARENT_BRUSH);
    dc.SetPen(wxPen(background.ChangeLightness(65)));
    dc.DrawRectangle(frame);
    const wxRect inner = wxRect(frame).Deflate(1);
    const int left = inner.GetLeft(), top = inner.GetTop();
    const int right = inner.GetRight(), bottom = inner.GetBottom();
    dc.SetPen(wxPen(background.ChangeLightness(150)));
    dc.DrawLine(left, bottom, left, top);
    dc.DrawLine(left, top, right, top);
    dc.SetPen(wxPen(background.ChangeLightness(85)));
    dc.DrawLine(right, top, right, bottom + 1);
    dc.DrawLine(left, bottom, right, bottom);
}

wxSize Measure(const ControlLayout& control, wxWindow* window, int width)
{
    switch (control.kind) {
    case ControlKind::StaticText: {
        auto* label = static_cast<wxStaticText*>(window);
        if (control.style & res::kWrap) {
            label->SetLabelText(wxString::FromUTF8(control.text));
            label->Wrap(width);
        }
        return TextExtent(window, label->GetLabelText());
    }
    case ControlKind::EditField:  // the text scrolls: only a line's height must fit
    case ControlKind::EtchedLine:  // thick enough to be drawn
        return wxSize(0, window->GetBestSize().y);
    default:
        return window->GetBestSize();
    }
}

}  // namespace

std::vector<wxRect> PlaceControls(const res::DialogLayout& layout, double unitX, double unitY,
                                  const MeasureControl& measure)
{
    std::vector<wxRect> boxes;
    boxes.reserve(layout.count);
    for (std::size_t i = 0; i < layout.count; ++i) {
        const ControlLayout& control = layout.controls[i];
        wxRect box = ToPixels(UnitRect(control), unitX, unitY);
        const wxSize need = measure(i, box.width);
        if (need.x > box.width)
            box.width = need.x;
        if (need.y > box.height) {
            if (!GrowsDownwards(control))
                box.y -= (need.y - box.height) / 2;
            box.height = need.y;
        }
        if (box.x < 0 || box.y < 0)
            return {};
        boxes.push_back(box);
    }

    for (std::size_t i = 0; i < layout.count; ++i) {
        const wxRect a = UnitRect(layout.controls[i]);
        for (std::size_t j = i + 1; j < layout.count; ++j) {
            const wxRect b = UnitRect(layout.controls[j]);
            if (!a.Intersects(b) && boxes[i].Intersects(boxes[j]))
                return {};
            if (a.Contains(b) && !boxes[i].Contains(boxes[j]))
                return {};
            if (b.Contains(a) && !boxes[j].Contains(boxes[i]))
                return {};
        }
    }
    return boxes;
}

std::vector<PlacedControl> BuildControls(wxDialog* dialog, const res::DialogLayout& layout)
{
    std::vector<PlacedControl> placed;
    for (std::size_t i = 0; i < layout.count; ++i) {
        const ControlLayout& control = layout.controls[i];
        wxWindow* window = CreateControl(dialog, control);
        if (window && IsStatic(control.kind)) {
            window->Bind(wxEVT_LEFT_DOWN, PassPressToDialog);
            window->Bind(wxEVT_LEFT_DCLICK, PassPressToDialog);
        }
        if (control.kind == ControlKind::EditField)
            window->Bind(wxEVT_KILL_FOCUS, ReportFieldKillFocus);
        placed.push_back({&control, window, wxRect()});
    }

    // Pixels per dialog unit in the dialog's font, measured over a long
    // stretch so that rounding doesn't pile up.
    const wxSize stretch = dialog->ConvertDialogToPixels(wxSize(400, 800));
    const double baseX = stretch.x / 400.0;
    const double baseY = stretch.y / 800.0;
    const MeasureControl measure = [&](std::size_t index, int width) {
        if (!placed[index].window)
            return wxSize(0, 0);  // a frame: no text, any box will do
        return Measure(*placed[index].layout, placed[index].window, width);
    };

    std::vector<wxRect> boxes;
    double spread = 1.0;
    for (; spread <= kMostSpread + 1e-9; spread += kSpreadStep) {
        boxes = PlaceControls(layout, baseX * spread, baseY * spread, measure);
        if (!boxes.empty())
            break;
    }
    if (boxes.empty()) {
        // Not even twice the room keeps every box apart; show everything whole
        // at the widest spread rather than cut.
        spread = kMostSpread;
        for (std::size_t i = 0; i < layout.count; ++i) {
            wxRect box = ToPixels(UnitRect(layout.controls[i]), baseX * spread, baseY * spread);
            const wxSize need = measure(i, box.width);
            box.width = std::max(box.width, need.x);
            box.height = std::max(box.height, need.y);
            boxes.push_back(box);
        }
    }

    wxSize client(static_cast<int>(std::lround(layout.width * baseX * spread)),
                  static_cast<int>(std::lround(layout.height * baseY * spread)));
    const int marginX = static_cast<int>(std::lround(kMarginUnits * baseX * spread));
    const int marginY = static_cast<int>(std::lround(kMarginUnits * baseY * spread));
    for (const wxRect& box : boxes) {
        client.x = std::max(client.x, box.GetRight() + 1 + marginX);
        client.y = std::max(client.y, box.GetBottom() + 1 + marginY);
    }
    // A frame or line that ran (nearly) the whole width of the dialog still
    // does when a wider text has widened the dialog.
    for (std::size_t i = 0; i < layout.count; ++i) {
        const ControlLayout& control = layout.controls[i];
        const int gapUnits = layout.width - (control.x + control.width);
        if ((control.kind == ControlKind::RaisedFrame || control.kind == ControlKind::EtchedLine) &&
            gapUnits >= 0 && gapUnits <= kSpanningGapUnits) {
            const int gap = static_cast<int>(std::lround(gapUnits * baseX * spread));
            boxes[i].width = std::max(boxes[i].width, client.x - gap - boxes[i].x);
        }
    }
    auto frames = std::make_shared<std::vector<wxRect>>();
    for (std::size_t i = 0; i < layout.count; ++i) {
        placed[i].rect = boxes[i];
        if (placed[i].layout->kind == ControlKind::StaticIcon)
            FitIconToBox(static_cast<wxStaticBitmap*>(placed[i].window), boxes[i]);
        else if (placed[i].window)
            placed[i].window->SetSize(boxes[i]);
        else
            frames->push_back(boxes[i]);
    }
    dialog->SetClientSize(client);
    if (!frames->empty()) {
        dialog->Bind(wxEVT_PAINT, [dialog, frames](wxPaintEvent& WXUNUSED(event)) {
            wxPaintDC dc(dialog);
            for (const wxRect& frame : *frames)
                DrawRaisedFrame(dc, frame, dialog->GetBackgroundColour());
        });
    }
    return placed;
}
