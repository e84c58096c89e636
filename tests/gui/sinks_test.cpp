// The window program's notices and title line.
#include "tests/gui/gui_test.h"

#include "ui/wx/narrow.h"
#include "ui/wx/pass_loop.h"
#include "ui/pass_runner.h"
#include "ui/wx/sinks.h"
#include "tests/support/recorder.h"

#include <wx/app.h>
#include <wx/frame.h>
#include <wx/modalhook.h>
#include <wx/stattext.h>

#include <gtk/gtk.h>

#include <cstdio>
#include <functional>
#include <memory>

namespace {

struct WithMainWindow : testing::Test {
    wxFrame* frame = new wxFrame(nullptr, wxID_ANY, "Veltrane");

    WithMainWindow()
    {
        wxTheApp->SetTopWindow(frame);
        frame->Show();
        guitest::Flush();
    }
    ~WithMainWindow() override
    {
        wxTheApp->SetTopWindow(nullptr);
        frame->Destroy();
        guitest::Flush();
    }
};

using MessageBoxes = WithMainWindow;

TEST_F(MessageBoxes, AWarningBelongsToTheActiveWindowAndHasOnlyOk)
{
    ui::WindowReports reports;
    SeenBox seen;
    wxTEST_DIALOG(reports.ShowBox({"Cannot find /tmp/x.", "Encrypt file error."}), ExpectBox(seen));
    ASSERT_TRUE(seen.shown);
    EXPECT_EQ("Cannot find /tmp/x.", seen.message);
    EXPECT_EQ("Encrypt file error.", seen.caption);
    EXPECT_EQ(frame, seen.owner);
    EXPECT_TRUE(seen.style & wxICON_WARNING);
    EXPECT_EQ(wxOK, seen.style & (wxOK | wxCANCEL | wxYES_NO | wxHELP));
}

TEST_F(MessageBoxes, AnErrorWithoutOwnerStandsAlone)
{
    ui::WindowReports reports;
    SeenBox seen;
    wxTEST_DIALOG(
        reports.ShowBox({"Common Dialog Error: 65535", "WARNING", ui::NoticeIcon::Error, ui::NoticeOwner::None}),
        ExpectBox(seen));
    ASSERT_TRUE(seen.shown);
    EXPECT_EQ(nullptr, seen.owner);
    EXPECT_TRUE(seen.style & wxICON_ERROR);
    EXPECT_FALSE(seen.style & wxICON_WARNING);
}

TEST_F(MessageBoxes, LineBreaksAndNonAsciiPathsShowAsWritten)
{
    ui::WindowReports reports;
    SeenBox seen;
    wxTEST_DIALOG(reports.ShowBox({"one\ntwo /tmp/\xC3\xA9t\xC3\xA9.txt", "c"}), ExpectBox(seen));
    EXPECT_EQ(wxString::FromUTF8("one\ntwo /tmp/\xC3\xA9t\xC3\xA9.txt"), seen.message);
}

// Shows each message box for real and closes it once `look` has seen it on
// screen.
class LookAtBoxes : public wxModalDialogHook {
public:
    explicit LookAtBoxes(std::function<void(wxDialog*)> look) : m_look(std::move(look)) { Register(); }
    ~LookAtBoxes() override { Unregister(); }

protected:
    int Enter(wxDialog* dialog) override
    {
        dialog->CallAfter([this, dialog] {
            // The wait below handles the queue again; the box is seen once.
            if (!dialog->IsModal() || dialog == m_seen)
                return;
            m_seen = dialog;
            EXPECT_TRUE(guitest::PumpUntil([dialog] { return dialog->IsShownOnScreen(); }));
            guitest::Flush();
            m_look(dialog);
            dialog->EndModal(wxID_OK);
        });
        return wxID_NONE;
    }
    void Exit(wxDialog* WXUNUSED(dialog)) override {}

private:
    guitest::AllowRealModal m_real;
    std::function<void(wxDialog*)> m_look;
    wxDialog* m_seen = nullptr;
};

TEST_F(MessageBoxes, ALongPathBreaksIntoLinesInsideABoxNarrowerThanTheScreen)
{
    // 445 characters, none a space to break at.
    const std::string path = "/tmp/" + std::string(416, 'd') + "/the-file-name-shows.txt";
    int boxes = 0;
    LookAtBoxes look([&](wxDialog* box) {
        ++boxes;
        const wxSize client = box->GetClientSize();
        EXPECT_LT(box->GetSize().x, wxGetDisplaySize().x);
        for (wxWindow* child : box->GetChildren()) {
            auto* label = wxDynamicCast(child, wxStaticText);
            if (!label)
                continue;
            // Every line the label lays out lies within it, and it within
            // the box: nothing of the path is cut off.
            EXPECT_TRUE(wxRect(client).Contains(label->GetRect()));
            int width = 0, height = 0;
            pango_layout_get_pixel_size(gtk_label_get_layout(GTK_LABEL(label->GetHandle())), &width, &height);
            EXPECT_LE(width, gtk_widget_get_allocated_width(label->GetHandle()));
            EXPECT_LE(height, gtk_widget_get_allocated_height(label->GetHandle()));
            EXPECT_GT(height, 2 * label->GetCharHeight()) << "the path is on one line";
        }
    });
    ui::WindowReports reports;
    reports.ShowBox({"Cannot find " + path + ".", "Encrypt file error."});
    EXPECT_EQ(1, boxes);
}

using TitleLine = WithMainWindow;

// Asks the display server, as another program would, whether a window of
// that exact title exists.
bool DisplayShowsTitle(const std::string& title)
{
    const std::string command = "timeout 10 xdotool search --name '^" + title + "$' 2>/dev/null";
    std::unique_ptr<FILE, int (*)(FILE*)> pipe(popen(command.c_str(), "r"), pclose);
    if (!pipe)
        return false;
    char line[64];
    return std::fgets(line, sizeof line, pipe.get()) != nullptr;
}

TEST_F(TitleLine, ReachesTheDisplayWithoutTheEventLoop)
{
    ui::WindowReports reports;
    const std::string title = "Working file title-probe.bin 41% done.";
    ASSERT_FALSE(DisplayShowsTitle(title));
    reports.ShowTitle(title, -1);
    // No event is handled between setting the title and asking for it.
    EXPECT_EQ(title, frame->GetTitle().utf8_string());
    EXPECT_TRUE(DisplayShowsTitle(title));
}

using WorkBesideTheWindow = WithMainWindow;

TEST_F(WorkBesideTheWindow, NoticesAndTitlesComeOnTheWindowThreadInOrder)
{
    testsupport::Recorder recorder;
    std::vector<std::string> seen;
    recorder.onTitle = [&](const std::string& text) {
        EXPECT_TRUE(wxIsMainThread());
        seen.push_back(text);
    };
    ui::PassRunner runner{recorder};
    platform::Progress progress;
    progress.fileName = "f";
    const int result = ui::RunWhileWindowLives(
        frame, runner,
        [&] {
            EXPECT_FALSE(wxIsMainThread());
            platform::ReportProgress(progress);
            platform::Report({platform::NoticeKind::CannotFind, {"/x"}});
            // The notice was dismissed before the work goes on.
            seen.push_back("after " + std::to_string(recorder.notices.size()));
            progress.percent = 100;
            platform::ReportProgress(progress);
            return 42;
        },
        [] { ADD_FAILURE() << "nothing asked to stop"; },
        [] {
            ADD_FAILURE() << "the thread started";
            return 0;
        });
    EXPECT_EQ(42, result);
    EXPECT_EQ((std::vector<std::string>{"Working file f 0% done.", "after 1", "Working file f 100% done."}), seen);
    ASSERT_EQ(1u, recorder.notices.size());
    EXPECT_EQ("Cannot find /x.", recorder.notices[0].text);
}

TEST(Narrow, PathsSurviveTheTripThroughTheToolkit)
{
    const std::string path = "/tmp/d\xC3\xA9j\xC3\xA0 vu/\xE2\x82\xAC \xF0\x9F\x94\x91.bin";
    EXPECT_EQ(path, ui::ToNarrow(ui::FromNarrow(path)));
    // Bytes that are no valid name text still show, one character each.
    EXPECT_EQ(4u, ui::FromNarrow("a\xFF\xFE"
                                 "b")
                      .length());
    EXPECT_EQ("", ui::ToNarrow(wxString()));
}

}  // namespace
