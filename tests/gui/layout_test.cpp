// The dialogs as laid out: every control there, in tab order, every text
// whole, nothing on top of anything else, in the system font and in others.
#include "tests/gui/gui_test.h"

#include "res/layout.h"
#include "res/resource.h"
#include "ui/arrow_pair.h"
#include "ui/layout_builder.h"
#include "ui/veltrane_dlg.h"

#include <wx/dialog.h>
#include <wx/statbmp.h>
#include <wx/statbox.h>
#include <wx/textctrl.h>

#include <memory>
#include <vector>

namespace {

struct DialogCloser {
    void operator()(wxDialog* dialog) const { dialog->Destroy(); }
};
using DialogPtr = std::unique_ptr<wxDialog, DialogCloser>;

// Checks what a user would see: every control shows what it needs, lies
// within the dialog, and overlaps nothing but the frame it sits in.
void ExpectWholeAndApart(wxDialog* dialog, const std::vector<PlacedControl>& placed)
{
    const wxRect client(wxPoint(0, 0), dialog->GetClientSize());
    for (const PlacedControl& a : placed) {
        const wxRect box = a.window->GetRect();
        const wxSize best = a.window->GetBestSize();
        const std::string name = a.layout->text && *a.layout->text
                                     ? std::string(a.layout->text).substr(0, 20)
                                     : std::to_string(a.layout->id);
        EXPECT_TRUE(client.Contains(box)) << name << " leaves the dialog";
        if (!wxDynamicCast(a.window, wxStaticBox) && !wxDynamicCast(a.window, wxTextCtrl)) {
            EXPECT_GE(box.width, best.x) << name << " is cut";
        }
        if (!wxDynamicCast(a.window, wxStaticBox)) {
            EXPECT_GE(box.height, best.y) << name << " is cut";
        }
        for (const PlacedControl& b : placed) {
            if (&a == &b || wxDynamicCast(a.window, wxStaticBox) ||
                wxDynamicCast(b.window, wxStaticBox))
                continue;
            EXPECT_FALSE(box.Intersects(b.window->GetRect()))
                << name << " overlaps control " << b.layout->id;
        }
        if (auto* frame = wxDynamicCast(a.window, wxStaticBox)) {
            // What lay inside the frame still does.
            const wxRect inside(a.layout->x, a.layout->y, a.layout->width, a.layout->height);
            for (const PlacedControl& b : placed) {
                const wxRect unit(b.layout->x, b.layout->y, b.layout->width, b.layout->height);
                if (&a != &b && inside.Contains(unit)) {
                    EXPECT_TRUE(frame->GetRect().Contains(b.window->GetRect()))
                        << "control " << b.layout->id << " slipped out of its frame";
                }
            }
        }
    }
}

std::vector<PlacedControl> PlacedOf(wxDialog* dialog, const res::DialogLayout& layout)
{
    // The builder creates one window per table row, in order.
    std::vector<PlacedControl> placed;
    const wxWindowList& children = dialog->GetChildren();
    EXPECT_EQ(layout.count, children.size());
    size_t i = 0;
    for (wxWindow* child : children) {
        if (i < layout.count)
            placed.push_back({&layout.controls[i++], child});
    }
    return placed;
}

TEST(MainLayout, TheTabStopsComeInTheirOrder)
{
    DialogPtr dlg(new CVeltraneDlg(nullptr));
    std::vector<int> order;
    for (wxWindow* child : dlg->GetChildren()) {
        if (child->AcceptsFocusFromKeyboard())
            order.push_back(child->GetId());
    }
    const std::vector<int> expected = {IDC_BROWSE_FILE, IDC_FILE_PATH, IDC_BROWSE_KEY,
                                       IDC_KEY_PATH,    IDC_OFFSET,    IDC_READ_ONLY,
                                       IDC_ENCRYPT,     IDC_DECRYPT};
    EXPECT_EQ(expected, order);
    EXPECT_EQ("Veltrane", dlg->GetTitle());
    EXPECT_TRUE(dlg->HasFlag(wxMINIMIZE_BOX));
    EXPECT_FALSE(dlg->HasFlag(wxRESIZE_BORDER));
}

TEST(MainLayout, EveryTextIsWholeAndNothingOverlapsInTheSystemFont)
{
    DialogPtr dlg(new CVeltraneDlg(nullptr));
    ExpectWholeAndApart(dlg.get(), PlacedOf(dlg.get(), res::MainDialogLayout()));
}

TEST(MainLayout, TheArrowsStandVisiblyBesideTheOffsetField)
{
    DialogPtr dlg(new CVeltraneDlg(nullptr));
    const wxRect field = dlg->FindWindow(IDC_OFFSET)->GetRect();
    auto* arrows = wxDynamicCast(dlg->FindWindow(IDC_OFFSET_ARROWS), ArrowPair);
    ASSERT_NE(nullptr, arrows);
    const wxRect box = arrows->GetRect();
    EXPECT_GE(box.width, 10);
    EXPECT_GE(box.height, 16);
    EXPECT_GE(box.x, field.GetRight());
    EXPECT_LT(box.x - field.GetRight(), field.width);
    EXPECT_LT(box.y, field.GetBottom());
    EXPECT_GT(box.GetBottom(), field.y);
    EXPECT_FALSE(arrows->AcceptsFocusFromKeyboard());
    // The upper half steps up, the lower half down.
    EXPECT_EQ(ArrowPair::Arrow::Up, arrows->ArrowAt(wxPoint(box.width / 2, 1)));
    EXPECT_EQ(ArrowPair::Arrow::Down, arrows->ArrowAt(wxPoint(box.width / 2, box.height - 2)));
}

TEST(MainLayout, ALargerFontSpreadsTheLayoutInsteadOfCuttingIt)
{
    for (double scale : {0.8, 1.5, 2.2}) {
        DialogPtr dialog(new wxDialog(nullptr, wxID_ANY, "test"));
        dialog->SetFont(dialog->GetFont().Scaled(static_cast<float>(scale)));
        const std::vector<PlacedControl> placed = BuildControls(dialog.get(), res::MainDialogLayout());
        SCOPED_TRACE(testing::Message() << "font scaled by " << scale);
        ExpectWholeAndApart(dialog.get(), placed);
    }
}

// A made-up layout: two labels side by side and a frame around a third.
const res::ControlLayout kRow[] = {
    {1, res::ControlKind::StaticText, "a", 10, 10, 20, 10, res::kNoStyle},
    {2, res::ControlKind::StaticText, "b", 40, 10, 20, 10, res::kNoStyle},
    {3, res::ControlKind::RaisedFrame, "", 0, 30, 100, 40, res::kNoStyle},
    {4, res::ControlKind::StaticText, "c", 10, 40, 50, 10, res::kWrap},
};
const res::DialogLayout kRowLayout{1, "row", 100, 80, kRow, 4};

TEST(Placement, ABoxGrowsRightwardsAndAroundItsMiddle)
{
    const auto boxes = PlaceControls(kRowLayout, 1.0, 1.0, [](size_t index, int) {
        return index == 0 ? wxSize(25, 14) : wxSize(0, 0);
    });
    ASSERT_EQ(4u, boxes.size());
    EXPECT_EQ(wxRect(10, 8, 25, 14), boxes[0]);
    EXPECT_EQ(wxRect(40, 10, 20, 10), boxes[1]);
}

TEST(Placement, AWrappedTextGrowsDownwards)
{
    const auto boxes = PlaceControls(kRowLayout, 1.0, 1.0, [](size_t index, int) {
        return index == 3 ? wxSize(50, 20) : wxSize(0, 0);
    });
    ASSERT_EQ(4u, boxes.size());
    EXPECT_EQ(wxRect(10, 40, 50, 20), boxes[3]);
}

TEST(Placement, GrowthThatWouldOverlapOrLeaveAFrameIsRefused)
{
    // "a" grown over "b".
    EXPECT_TRUE(PlaceControls(kRowLayout, 1.0, 1.0, [](size_t index, int) {
                    return index == 0 ? wxSize(35, 10) : wxSize(0, 0);
                }).empty());
    // "c" grown through the bottom of its frame.
    EXPECT_TRUE(PlaceControls(kRowLayout, 1.0, 1.0, [](size_t index, int) {
                    return index == 3 ? wxSize(50, 40) : wxSize(0, 0);
                }).empty());
    // With more room per unit the same needs fit.
    EXPECT_FALSE(PlaceControls(kRowLayout, 2.0, 2.0, [](size_t index, int) {
                     return index == 0 ? wxSize(35, 10) : wxSize(0, 0);
                 }).empty());
}

TEST(Placement, BoxesThatMeetInDialogUnitsStillOnlyMeetInPixels)
{
    const res::ControlLayout stacked[] = {
        {1, res::ControlKind::StaticText, "a", 3, 91, 206, 22, res::kNoStyle},
        {2, res::ControlKind::EtchedLine, "", 4, 113, 209, 1, res::kNoStyle},
    };
    const res::DialogLayout layout{1, "stacked", 217, 129, stacked, 2};
    for (double unit : {1.25, 1.5, 1.75, 2.125, 2.3}) {
        EXPECT_EQ(2u, PlaceControls(layout, unit, unit, [](size_t, int) { return wxSize(0, 0); })
                          .size())
            << unit;
    }
}

}  // namespace
