// The offset field and its arrows, the Browse buttons, the About box and
// dropping files on the path fields, driven through the main dialog's event
// table.
#include "tests/gui/gui_test.h"

#include "res/resource.h"
#include "tests/support/recorder.h"
#include "ui/wx/about_dlg.h"
#include "ui/wx/file_chooser.h"
#include "ui/wx/veltrane_dlg.h"

#include <wx/app.h>
#include <wx/button.h>
#include <wx/spinctrl.h>
#include <wx/statbmp.h>
#include <wx/textctrl.h>

#include <gtk/gtk.h>

#include <tuple>

using guitest::Click;
using guitest::Item;
using guitest::Text;
using guitest::Type;

// Answers the About box with OK and counts how often it opened.
class ExpectAbout : public wxExpectModalBase<CAboutDlg, ExpectAbout> {
public:
    explicit ExpectAbout(int& opened) : m_opened(&opened) {}

protected:
    int OnInvoked(CAboutDlg*) const override
    {
        ++*m_opened;
        return wxID_OK;
    }

private:
    int* m_opened;
};

namespace {

struct Dialog : testing::Test {
    testsupport::Recorder recorder;
    CVeltraneDlg* dlg = new CVeltraneDlg(nullptr, recorder);

    Dialog() { dlg->InitDialog(); }
    ~Dialog() override
    {
        dlg->Destroy();
        guitest::Flush();
    }

    // A step of the spin control's own, as its arrows and the Up and Down
    // keys make one: GTK reads what was typed, then steps.
    void Step(bool up)
    {
        g_signal_emit_by_name(Item(dlg, IDC_OFFSET)->GetHandle(), "change-value",
                              up ? GTK_SCROLL_STEP_UP : GTK_SCROLL_STEP_DOWN);
    }

    void LeaveOffsetField()
    {
        wxWindow* field = Item(dlg, IDC_OFFSET);
        wxFocusEvent event(wxEVT_KILL_FOCUS, field->GetId());
        event.SetEventObject(field);
        field->GetEventHandler()->ProcessEvent(event);
    }

    void Press(const wxPoint& point, wxWindow* where = nullptr)
    {
        if (!where)
            where = dlg;
        wxMouseEvent event(wxEVT_LEFT_DOWN);
        event.SetPosition(point);
        event.SetEventObject(where);
        where->GetEventHandler()->ProcessEvent(event);
    }
};

using OffsetField = Dialog;

TEST_F(OffsetField, TheArrowsStepWithinTheRangeAndStopAtItsEnds)
{
    auto* spin = wxDynamicCast(Item(dlg, IDC_OFFSET), wxSpinCtrl);
    ASSERT_NE(nullptr, spin);
    EXPECT_EQ(0, spin->GetMin());
    EXPECT_EQ(255, spin->GetMax());

    Type(dlg, IDC_OFFSET, "254");
    Step(true);
    EXPECT_EQ("255", Text(dlg, IDC_OFFSET));
    Step(true);
    EXPECT_EQ("255", Text(dlg, IDC_OFFSET));
    EXPECT_EQ(255, dlg->m_nOffset);

    Type(dlg, IDC_OFFSET, "1");
    Step(false);
    EXPECT_EQ("0", Text(dlg, IDC_OFFSET));
    Step(false);
    EXPECT_EQ("0", Text(dlg, IDC_OFFSET));
    EXPECT_EQ(0, dlg->m_nOffset);
    Step(true);
    EXPECT_EQ("1", Text(dlg, IDC_OFFSET));
}

TEST_F(OffsetField, AStepFirstReadsTheTypedTextAsTheCommandsDo)
{
    const std::tuple<const char*, bool, const char*> cases[] = {
        {"300", false, "254"}, {"300", true, "255"}, {"abc", true, "1"}, {" 17 ", true, "18"},
        {"12abc", true, "1"},  {"1e2", true, "1"},   {"-5", true, "1"},  {"2147483648", true, "1"},
    };
    for (const auto& [typed, up, shown] : cases) {
        Type(dlg, IDC_OFFSET, typed);
        Step(up);
        EXPECT_EQ(shown, Text(dlg, IDC_OFFSET)) << "typed \"" << typed << "\"";
        EXPECT_EQ(std::stoi(shown), dlg->m_nOffset) << "typed \"" << typed << "\"";
    }
}

TEST_F(OffsetField, LeavingTheFieldWritesBackTheValueHeldInTheRange)
{
    const std::pair<const char*, const char*> cases[] = {
        {"300", "255"}, {"abc", "0"}, {"", "0"}, {" 17 ", "17"}, {"-5", "0"}, {"2147483648", "0"},
    };
    for (const auto& [typed, shown] : cases) {
        Type(dlg, IDC_OFFSET, typed);
        LeaveOffsetField();
        EXPECT_EQ(shown, Text(dlg, IDC_OFFSET)) << "typed \"" << typed << "\"";
        EXPECT_EQ(std::stoi(shown), dlg->m_nOffset) << "typed \"" << typed << "\"";
    }
}

// What the toolkit's dialog was asked to show; answered with Cancel.
struct SeenFileDialog {
    wxString wildcard, path;
    long style = 0;
    bool shown = false;
};

class ExpectFileDialog : public wxExpectModalBase<wxFileDialog, ExpectFileDialog> {
public:
    explicit ExpectFileDialog(SeenFileDialog& seen) : m_seen(&seen) {}

protected:
    int OnInvoked(wxFileDialog* dialog) const override
    {
        m_seen->wildcard = dialog->GetWildcard();
        m_seen->path = dialog->GetPath();
        m_seen->style = dialog->GetWindowStyle();
        m_seen->shown = true;
        return wxID_CANCEL;
    }

private:
    SeenFileDialog* m_seen;
};

TEST_F(Dialog, TheToolkitDialogOffersEveryFileAndStartsEmpty)
{
    Type(dlg, IDC_FILE_PATH, "/some/earlier/choice.txt");
    SeenFileDialog seen;
    wxString path = "/some/earlier/choice.txt";
    int result = -1;
    wxTEST_DIALOG(result = BrowseForFile(dlg, path), ExpectFileDialog(seen));
    ASSERT_TRUE(seen.shown);
    EXPECT_EQ(0, result);
    EXPECT_EQ("", path);
    EXPECT_EQ("All Files (*.*)|*", seen.wildcard);
    EXPECT_EQ("", seen.path);
    EXPECT_FALSE(seen.style & (wxFD_FILE_MUST_EXIST | wxFD_SAVE));
    EXPECT_TRUE(recorder.notices.empty());
}

using AboutBox = Dialog;

TEST_F(AboutBox, OpensOnAPressOnTheIconFrameEdgesIncluded)
{
    const wxRect frame = dlg->IconFrame();
    ASSERT_FALSE(frame.IsEmpty());
    wxStaticBitmap* icon = nullptr;
    for (wxWindow* child : dlg->GetChildren())
        icon = icon ? icon : wxDynamicCast(child, wxStaticBitmap);
    ASSERT_NE(nullptr, icon);
    EXPECT_TRUE(frame.Contains(icon->GetRect()));

    int opened = 0;
    for (const wxPoint& corner :
         {frame.GetTopLeft(), frame.GetTopRight(), frame.GetBottomLeft(), frame.GetBottomRight()}) {
        wxTEST_DIALOG(Press(corner), ExpectAbout(opened));
    }
    EXPECT_EQ(4, opened);

    // One pixel outside, on every side: nothing opens (an unexpected dialog
    // would fail the test).
    for (const wxPoint& outside : {frame.GetTopLeft() - wxPoint(1, 0), frame.GetTopLeft() - wxPoint(0, 1),
                                   frame.GetBottomRight() + wxPoint(1, 0), frame.GetBottomRight() + wxPoint(0, 1)})
        Press(outside);

    // A press on the icon itself belongs to the dialog.
    wxTEST_DIALOG(Press(wxPoint(2, 2), icon), ExpectAbout(opened));
    EXPECT_EQ(5, opened);
}

TEST_F(AboutBox, F1OpensItFromAnyControl)
{
    int opened = 0;
    for (int id : {IDC_FILE_PATH, IDC_OFFSET, IDC_ENCRYPT})
        wxTEST_DIALOG(guitest::PressKey(dlg, Item(dlg, id), WXK_F1), ExpectAbout(opened));
    EXPECT_EQ(3, opened);
}

TEST_F(AboutBox, OkAndEscapeCloseItAndTheMainDialogStaysAsItWas)
{
    Type(dlg, IDC_FILE_PATH, "/a");
    Type(dlg, IDC_KEY_PATH, "/b");
    Type(dlg, IDC_OFFSET, "12");
    guitest::AllowRealModal allow;
    for (bool withOk : {true, false}) {
        // Once the box runs, answer it as the user would; the press returns
        // only when the box has closed.
        bool answered = false;
        dlg->CallAfter([withOk, &answered] {
            auto* about = wxDynamicCast(wxTopLevelWindows.GetLast()->GetData(), CAboutDlg);
            ASSERT_NE(nullptr, about);
            ASSERT_TRUE(about->IsModal());
            if (withOk)
                Click(about, wxID_OK);
            else
                guitest::PressKey(about, about->FindWindow(wxID_OK), WXK_ESCAPE);
            answered = true;
        });
        Press(dlg->IconFrame().GetTopLeft() + wxPoint(3, 3));
        EXPECT_TRUE(answered);
    }
    EXPECT_EQ("/a", Text(dlg, IDC_FILE_PATH));
    EXPECT_EQ("/b", Text(dlg, IDC_KEY_PATH));
    EXPECT_EQ("12", Text(dlg, IDC_OFFSET));
    EXPECT_EQ(12, dlg->m_nOffset);
}

}  // namespace
