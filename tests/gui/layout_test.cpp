// The dialogs as laid out: every control there, in tab order, every text
// whole, nothing on top of anything else, in the system font and in others.
#include "tests/gui/gui_test.h"

#include "res/layout.h"
#include "res/resource.h"
#include "ui/wx/about_dlg.h"
#include "ui/wx/layout_builder.h"
#include "tests/support/recorder.h"
#include "ui/wx/veltrane_dlg.h"

#include <wx/dialog.h>
#include <wx/settings.h>
#include <wx/statline.h>
#include <wx/statbmp.h>
#include <wx/button.h>
#include <wx/stattext.h>
#include <wx/textctrl.h>

#include <gtk/gtk.h>

#include <cstdlib>
#include <memory>
#include <vector>

namespace {

struct DialogCloser {
    void operator()(wxDialog* dialog) const { dialog->Destroy(); }
};
using DialogPtr = std::unique_ptr<wxDialog, DialogCloser>;

// What a control needs to show its text whole. A label's best size says
// nothing about its text (it may wrap), so its lines are measured one by one.
wxSize Needed(wxWindow* window)
{
    auto* label = wxDynamicCast(window, wxStaticText);
    if (!label)
        return window->GetBestSize();
    wxSize needed(0, 0);
    for (const wxString& line : wxSplit(label->GetLabelText(), '\n', '\0')) {
        int width = 0, height = 0;
        label->GetTextExtent(line.empty() ? wxString("Ag") : line, &width, &height);
        needed.x = std::max(needed.x, width);
        needed.y += height;
    }
    return needed;
}

wxRect UnitRect(const res::ControlLayout& control)
{
    return wxRect(control.x, control.y, control.width, control.height);
}

std::string NameOf(const res::ControlLayout& control)
{
    return control.text && *control.text ? std::string(control.text).substr(0, 20) : std::to_string(control.id);
}

// Checks what a user would see: every control shows what it needs and lies
// within the dialog; what the table puts beside or above another stands
// there still, apart from it; what lay inside a frame still does, and
// nothing else overlaps.
void ExpectWholeAndApart(wxDialog* dialog, const std::vector<PlacedControl>& placed)
{
    const wxRect client(wxPoint(0, 0), dialog->GetClientSize());
    for (const PlacedControl& a : placed) {
        const std::string name = NameOf(*a.layout);
        const wxRect rect = a.window->GetRect();
        EXPECT_TRUE(client.Contains(rect)) << name << " leaves the dialog";
        const wxSize needed = Needed(a.window);
        if (!wxDynamicCast(a.window, wxTextCtrl)) {
            EXPECT_GE(rect.width, needed.x) << name << " is cut";
        }
        EXPECT_GE(rect.height, needed.y) << name << " is cut";
        for (const PlacedControl& b : placed) {
            if (&a == &b)
                continue;
            const wxRect other = b.window->GetRect();
            const wxRect unitA = UnitRect(*a.layout), unitB = UnitRect(*b.layout);
            if (unitA.Contains(unitB)) {
                EXPECT_TRUE(rect.Contains(other)) << NameOf(*b.layout) << " slipped out of " << name;
                continue;
            }
            if (!unitB.Contains(unitA)) {
                EXPECT_FALSE(rect.Intersects(other)) << name << " overlaps " << NameOf(*b.layout);
            }
            if (unitA.GetRight() < unitB.x) {
                EXPECT_LT(rect.GetRight(), other.x) << name << " is no longer left of " << NameOf(*b.layout);
            }
            if (unitA.GetBottom() < unitB.y) {
                EXPECT_LT(rect.GetBottom(), other.y) << name << " is no longer above " << NameOf(*b.layout);
            }
        }
    }
}

TEST(MainLayout, TheTabStopsComeInTheirOrder)
{
    testsupport::Recorder recorder;
    DialogPtr dlg(new CVeltraneDlg(nullptr, recorder));
    std::vector<int> order;
    for (wxWindow* child : dlg->GetChildren()) {
        if (child->AcceptsFocusFromKeyboard())
            order.push_back(child->GetId());
    }
    const std::vector<int> expected = {IDC_BROWSE_FILE, IDC_FILE_PATH, IDC_BROWSE_KEY, IDC_KEY_PATH,
                                       IDC_OFFSET,      IDC_READ_ONLY, IDC_ENCRYPT,    IDC_DECRYPT};
    EXPECT_EQ(expected, order);
    EXPECT_EQ("Veltrane", dlg->GetTitle());
    EXPECT_TRUE(dlg->HasFlag(wxMINIMIZE_BOX));
    EXPECT_FALSE(dlg->HasFlag(wxRESIZE_BORDER));
}

TEST(Layouts, EveryTextIsWholeAndNothingOverlapsInAnyFont)
{
    for (const res::DialogLayout* layout : {&res::MainDialogLayout(), &res::AboutDialogLayout()}) {
        for (double scale : {1.0, 0.8, 1.5, 2.2}) {
            DialogPtr dialog(new wxDialog(nullptr, wxID_ANY, "test"));
            dialog->SetFont(dialog->GetFont().Scaled(static_cast<float>(scale)));
            SCOPED_TRACE(testing::Message() << layout->caption << ", font scaled by " << scale);
            ExpectWholeAndApart(dialog.get(), BuildControls(dialog.get(), *layout));
        }
    }
}

TEST(MainLayout, EachLabelIsLevelWithItsField)
{
    for (double scale : {1.0, 1.5}) {
        DialogPtr dialog(new wxDialog(nullptr, wxID_ANY, "test"));
        dialog->SetFont(dialog->GetFont().Scaled(static_cast<float>(scale)));
        const std::vector<PlacedControl> placed = BuildControls(dialog.get(), res::MainDialogLayout());
        auto middle = [&](const char* text, int id) {
            for (const PlacedControl& control : placed) {
                if (control.layout->id == id && (id != IDC_STATIC || control.layout->text == std::string(text)))
                    return control.window->GetRect().y + control.window->GetRect().height / 2;
            }
            ADD_FAILURE() << "no control " << id << " " << text;
            return 0;
        };
        for (auto [text, field] : {std::pair{"File to encrypt", IDC_FILE_PATH}, std::pair{"Key file", IDC_KEY_PATH},
                                   std::pair{"Offset", IDC_OFFSET}})
            EXPECT_NEAR(middle(nullptr, field), middle(text, IDC_STATIC), 1) << text << " at " << scale;
    }
}

TEST(AboutLayout, TheWarningFrameAndTheLineSpanTheBoxInAnyFont)
{
    for (double scale : {1.0, 1.5, 2.2}) {
        DialogPtr dialog(new wxDialog(nullptr, wxID_ANY, "test"));
        dialog->SetFont(dialog->GetFont().Scaled(static_cast<float>(scale)));
        const std::vector<PlacedControl> placed = BuildControls(dialog.get(), res::AboutDialogLayout());
        int textRight = 0;
        for (const PlacedControl& control : placed) {
            if (control.layout->kind == res::ControlKind::StaticText)
                textRight = std::max(textRight, control.window->GetRect().GetRight());
        }
        const int slack = dialog->ConvertDialogToPixels(wxSize(2, 0)).x;
        for (const PlacedControl& control : placed) {
            if (control.layout->kind == res::ControlKind::RaisedFrame ||
                control.layout->kind == res::ControlKind::EtchedLine) {
                EXPECT_GE(control.window->GetRect().GetRight(), textRight - slack)
                    << "kind " << static_cast<int>(control.layout->kind) << " at " << scale;
            }
        }
    }
}

// Run once more on a display at twice the scale (GDK_SCALE=2) and once with
// text at twice the size (GDK_DPI_SCALE=2).
TEST(MainLayout, TheIconIsDrawnAtItsBoxsSizeAndTheDisplaysScale)
{
    testsupport::Recorder recorder;
    DialogPtr dlg(new CVeltraneDlg(nullptr, recorder));
    dlg->Show();
    guitest::Flush();
    wxStaticBitmap* icon = nullptr;
    for (wxWindow* child : dlg->GetChildren())
        icon = icon ? icon : wxDynamicCast(child, wxStaticBitmap);
    ASSERT_NE(nullptr, icon);
    // Its box is the layout's 18 by 20 units in this font, and it fills it.
    const int side = std::min(icon->GetSize().x, icon->GetSize().y);
    EXPECT_GE(side, dlg->ConvertDialogToPixels(wxSize(18, 0)).x - 1);
    EXPECT_EQ(wxSize(side, side), icon->GetBitmap().GetLogicalSize());
    EXPECT_EQ(wxSize(side, side) * icon->GetDPIScaleFactor(), icon->GetBitmap().GetSize());
}

TEST(AboutLayout, IsTheAboutBox)
{
    DialogPtr about(new CAboutDlg);
    EXPECT_EQ("About Veltrane", about->GetTitle());
    EXPECT_FALSE(about->HasFlag(wxRESIZE_BORDER));
    auto* ok = wxDynamicCast(about->FindWindow(wxID_OK), wxButton);
    ASSERT_NE(nullptr, ok);
    EXPECT_EQ(ok, about->GetDefaultItem());
}

// Run once more in a dark theme (GTK_THEME=Adwaita:dark), whose own
// separator is a shade off the background.
TEST(AboutLayout, TheLineIsDrawnInTheThemesShadowApartFromTheBackground)
{
    DialogPtr about(new CAboutDlg);
    about->Show();
    guitest::Flush();
    wxStaticLine* line = nullptr;
    for (wxWindow* child : about->GetChildren())
        line = line ? line : wxDynamicCast(child, wxStaticLine);
    ASSERT_NE(nullptr, line);
    const wxSize size = line->GetSize();

    // What the line draws over the dialog's background, away from the screen
    // that other tests' windows share.
    const wxColour background = about->GetBackgroundColour();
    cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_RGB24, size.x, size.y);
    cairo_t* cairo = cairo_create(surface);
    cairo_set_source_rgb(cairo, background.Red() / 255.0, background.Green() / 255.0, background.Blue() / 255.0);
    cairo_paint(cairo);
    gtk_widget_draw(line->GetHandle(), cairo);
    cairo_destroy(cairo);
    cairo_surface_flush(surface);
    std::vector<wxColour> column;  // down the line's middle
    for (int y = 0; y < size.y; ++y) {
        const uint32_t pixel = reinterpret_cast<const uint32_t*>(
            cairo_image_surface_get_data(surface) + y * cairo_image_surface_get_stride(surface))[size.x / 2];
        column.emplace_back((pixel >> 16) & 0xff, (pixel >> 8) & 0xff, pixel & 0xff);
    }
    cairo_surface_destroy(surface);

    const auto distance = [](const wxColour& a, const wxColour& b) {
        return std::abs(a.Red() - b.Red()) + std::abs(a.Green() - b.Green()) + std::abs(a.Blue() - b.Blue());
    };
    const wxColour shadow = wxSystemSettings::GetColour(wxSYS_COLOUR_BTNSHADOW);
    EXPECT_TRUE(std::any_of(column.begin(), column.end(), [&](const wxColour& c) { return distance(c, shadow) <= 3; }))
        << "no row in the theme's shadow " << shadow.GetAsString();
    EXPECT_TRUE(
        std::any_of(column.begin(), column.end(), [&](const wxColour& c) { return distance(c, background) >= 30; }))
        << "the line is lost in the background " << background.GetAsString();
}

}  // namespace
