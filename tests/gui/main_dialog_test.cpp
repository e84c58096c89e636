// The main dialog driven through its event table: what each command does to
// the files, the fields, the buttons and the title.
#include "tests/gui/gui_test.h"

#include "engine/cipher.h"
#include "platform/cancel.h"
#include "platform/posix/syscalls.h"
#include "ui/wx/pass_loop.h"
#include "res/resource.h"
#include "tests/support/files.h"
#include "tests/support/recorder.h"
#include "ui/wx/veltrane_dlg.h"

#include <wx/app.h>
#include <wx/checkbox.h>
#include <wx/evtloop.h>

#include <gtk/gtk.h>
#include <sys/stat.h>

#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <functional>
#include <mutex>

using guitest::Click;
using guitest::PumpUntil;
using guitest::Item;
using guitest::Text;
using guitest::Type;
using testsupport::ReadFile;
using testsupport::TempDir;
using testsupport::WriteFile;

namespace {

const int kPassButtons[] = {IDC_ENCRYPT, IDC_DECRYPT, IDC_BROWSE_FILE, IDC_BROWSE_KEY};
// Controls that stay usable while a pass runs.
const int kAlwaysEnabled[] = {IDC_FILE_PATH, IDC_KEY_PATH, IDC_OFFSET, IDC_READ_ONLY};

// A pass over this many bytes writes ten blocks, each after one progress
// line.
const std::size_t kTenBlocks = 10 * 256 * 1024;

// The pass never waits for its progress lines; this holds each of its writes
// until the window thread has shown the line before it, so that the window
// sees every line, and can look at the window with the pass held.
class EachLineShownBeforeTheNextWrite : public platform::SystemCalls {
public:
    EachLineShownBeforeTheNextWrite() : m_previous(platform::SetSystemCalls(this)) {}
    ~EachLineShownBeforeTheNextWrite() override { platform::SetSystemCalls(m_previous); }

    ssize_t Write(int fd, const void* buffer, size_t count) override
    {
        if (!wxIsMainThread()) {
            std::unique_lock<std::mutex> lock(m_mutex);
            EXPECT_TRUE(m_changed.wait_for(lock, std::chrono::seconds(10), [&] { return m_shown > m_written; }))
                << "no progress line shown before write " << m_written;
            ++m_written;
        }
        return SystemCalls::Write(fd, buffer, count);
    }
    // On the window thread, once it has done with a line.
    void Shown()
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        ++m_shown;
        m_changed.notify_all();
    }

private:
    platform::SystemCalls* m_previous;
    std::mutex m_mutex;
    std::condition_variable m_changed;
    int m_shown = 0;
    int m_written = 0;
};

struct MainDialog : testing::Test {
    TempDir dir;
    testsupport::Recorder recorder;
    CVeltraneDlg* dlg = new CVeltraneDlg(nullptr, recorder);
    std::string data = dir / "report.txt";
    std::string key = dir / "key.bin";
    std::string plain = testsupport::PatternBytes(5000, 3);
    std::string keyBytes = testsupport::PatternBytes(1700, 9);

    MainDialog()
    {
        WriteFile(data, plain);
        WriteFile(key, keyBytes);
        wxTheApp->SetTopWindow(dlg);
        dlg->InitDialog();
        // The window program's title sink sets the caption; do the same here
        // so that the caption tells what the pass left behind.
        recorder.onTitle = [this](const std::string& text) { dlg->SetTitle(wxString::FromUTF8(text)); };
    }

    ~MainDialog() override
    {
        wxTheApp->SetTopWindow(nullptr);
        dlg->Destroy();
        guitest::Flush();
    }

    void FillRequest(const std::string& file, const std::string& keyPath, const std::string& offset)
    {
        Type(dlg, IDC_FILE_PATH, file);
        Type(dlg, IDC_KEY_PATH, keyPath);
        Type(dlg, IDC_OFFSET, offset);
    }

    void ExpectButtonsEnabled()
    {
        for (int id : kPassButtons)
            EXPECT_TRUE(Item(dlg, id)->IsEnabled()) << "button " << id;
    }
};

TEST_F(MainDialog, StartsWithOffsetZeroAndTheProgramIcon)
{
    EXPECT_EQ("0", Text(dlg, IDC_OFFSET));
    EXPECT_EQ(0, dlg->m_nOffset);
    EXPECT_EQ(0, dlg->m_bReadOnly);
    EXPECT_EQ("Veltrane", dlg->GetTitle());
    // Big and small window icons come from the same picture.
    EXPECT_TRUE(dlg->GetIcons().GetIcon(16, wxIconBundle::FALLBACK_NONE).IsOk());
    EXPECT_TRUE(dlg->GetIcons().GetIcon(32, wxIconBundle::FALLBACK_NONE).IsOk());
}

TEST_F(MainDialog, AnEmptyPathEndsTheCommandWithoutAWord)
{
    FillRequest(data, "", "5");
    Click(dlg, IDC_ENCRYPT);
    FillRequest("", key, "5");
    Click(dlg, IDC_DECRYPT);

    EXPECT_TRUE(recorder.notices.empty());
    EXPECT_TRUE(recorder.titles.empty());
    EXPECT_EQ(plain, ReadFile(data));
    EXPECT_EQ(key, Text(dlg, IDC_KEY_PATH));
    EXPECT_EQ("5", Text(dlg, IDC_OFFSET));
    ExpectButtonsEnabled();
}

TEST_F(MainDialog, EncryptThenDecryptGivesTheFileBackAndKeepsKeyAndOffset)
{
    FillRequest(data, key, "77");
    Click(dlg, IDC_ENCRYPT);
    EXPECT_TRUE(recorder.notices.empty());
    EXPECT_EQ(testsupport::ReferenceEncrypt(plain, keyBytes, 77), ReadFile(data));
    EXPECT_EQ("", Text(dlg, IDC_FILE_PATH));
    EXPECT_EQ(key, Text(dlg, IDC_KEY_PATH));
    EXPECT_EQ("77", Text(dlg, IDC_OFFSET));
    EXPECT_EQ(77, dlg->m_nOffset);
    EXPECT_EQ("Veltrane", dlg->GetTitle());
    EXPECT_FALSE(recorder.titles.empty());

    // Only the data file needs typing again for the next request.
    Type(dlg, IDC_FILE_PATH, data);
    Click(dlg, IDC_DECRYPT);
    EXPECT_TRUE(recorder.notices.empty());
    EXPECT_EQ(plain, ReadFile(data));
    EXPECT_EQ("", Text(dlg, IDC_FILE_PATH));
    EXPECT_EQ("Veltrane", dlg->GetTitle());
}

TEST_F(MainDialog, PathsWithNonAsciiNamesReachTheFiles)
{
    const std::string file = dir / "r\xC3\xA9sum\xC3\xA9 \xE2\x82\xAC.txt";
    const std::string keyFile = dir / "schl\xC3\xBCssel";
    WriteFile(file, plain);
    WriteFile(keyFile, keyBytes);
    FillRequest(file, keyFile, "1");
    Click(dlg, IDC_ENCRYPT);
    EXPECT_TRUE(recorder.notices.empty());
    EXPECT_EQ(testsupport::ReferenceEncrypt(plain, keyBytes, 1), ReadFile(file));
}

TEST_F(MainDialog, WhileThePassRunsTheFourButtonsAreDisabledAndTheTitleShowsProgress)
{
    plain = testsupport::PatternBytes(kTenBlocks, 3);
    WriteFile(data, plain);
    EachLineShownBeforeTheNextWrite held;
    int looks = 0;
    recorder.onTitle = [&](const std::string& text) {
        ++looks;
        dlg->SetTitle(wxString::FromUTF8(text));
        EXPECT_EQ(0u, text.rfind("Working file report.txt ", 0)) << text;
        for (int id : kPassButtons)
            EXPECT_FALSE(Item(dlg, id)->IsEnabled()) << "button " << id << " at " << text;
        for (int id : kAlwaysEnabled)
            EXPECT_TRUE(Item(dlg, id)->IsEnabled()) << "control " << id << " at " << text;
        held.Shown();
    };
    FillRequest(data, key, "3");
    Click(dlg, IDC_ENCRYPT);

    EXPECT_EQ(10, looks);
    ASSERT_FALSE(recorder.titles.empty());
    EXPECT_EQ("Working file report.txt 1% done.", recorder.titles.front());
    EXPECT_EQ("Veltrane", dlg->GetTitle());
    ExpectButtonsEnabled();
}

TEST_F(MainDialog, APassThatCannotReplaceTheFileStillEndsWithTheButtonsBack)
{
    // A read-only data file is transformed, then can't be deleted.
    ::chmod(data.c_str(), 0444);
    FillRequest(data, key, "9");
    Click(dlg, IDC_ENCRYPT);

    ASSERT_EQ(1u, recorder.notices.size());
    EXPECT_EQ("Could not delete " + data + ".", recorder.notices[0].text);
    EXPECT_EQ(plain, ReadFile(data));
    EXPECT_EQ("", Text(dlg, IDC_FILE_PATH));
    EXPECT_EQ(key, Text(dlg, IDC_KEY_PATH));
    EXPECT_EQ("Veltrane", dlg->GetTitle());
    ExpectButtonsEnabled();
}

TEST_F(MainDialog, ARefusedRequestNeverDisablesTheButtonsAndKeepsEveryField)
{
    const std::string missing = dir / "missing.txt";
    FillRequest(missing, key, "9");
    Click(dlg, IDC_ENCRYPT);
    ASSERT_EQ(1u, recorder.notices.size());
    EXPECT_EQ("Cannot find " + missing + ".", recorder.notices[0].text);

    // 2^31 and above read as a negative offset, which is refused too.
    FillRequest(data, key, " 4294967295 ");
    Click(dlg, IDC_DECRYPT);
    ASSERT_EQ(2u, recorder.notices.size());
    EXPECT_EQ("Offset must be value between 0 and 255.", recorder.notices[1].text);
    EXPECT_EQ(-1, dlg->m_nOffset);

    EXPECT_TRUE(recorder.titles.empty());  // no pass ever started
    EXPECT_EQ(plain, ReadFile(data));
    EXPECT_EQ(data, Text(dlg, IDC_FILE_PATH));
    EXPECT_EQ(key, Text(dlg, IDC_KEY_PATH));
    EXPECT_EQ(" 4294967295 ", Text(dlg, IDC_OFFSET));
    ExpectButtonsEnabled();
}

TEST_F(MainDialog, TheCheckBoxAndTheFlagMoveTogether)
{
    auto* box = wxDynamicCast(Item(dlg, IDC_READ_ONLY), wxCheckBox);
    ASSERT_NE(nullptr, box);
    Click(dlg, IDC_READ_ONLY);
    EXPECT_EQ(1, dlg->m_bReadOnly);
    EXPECT_TRUE(box->GetValue());
    Click(dlg, IDC_READ_ONLY);
    EXPECT_EQ(0, dlg->m_bReadOnly);
    EXPECT_FALSE(box->GetValue());
}

TEST_F(MainDialog, ACheckedBoxMarksTheKeyFileReadOnly)
{
    Click(dlg, IDC_READ_ONLY);
    FillRequest(data, key, "2");
    Click(dlg, IDC_ENCRYPT);
    EXPECT_TRUE(recorder.notices.empty());
    EXPECT_EQ(0, testsupport::ModeOf(key) & 0222);
    EXPECT_EQ(testsupport::ReferenceEncrypt(plain, keyBytes, 2), ReadFile(data));
}

// These run the dialog really modally, as the program does, and press the key
// once its modal loop runs.
struct EndingTheDialog : MainDialog {
    static constexpr int kStillRunning = 4321;

    // The code the modal run ended with; kStillRunning when the key left the
    // dialog running (it is then ended from outside).
    int RunAndPress(int focusId, int keyCode)
    {
        guitest::AllowRealModal allow;
        dlg->Bind(wxEVT_INIT_DIALOG, [=](wxInitDialogEvent& event) {
            event.Skip();
            dlg->CallAfter([=] {
                guitest::PressKey(dlg, Item(dlg, focusId), keyCode);
                dlg->CallAfter([=] {
                    if (dlg->IsModal())
                        dlg->EndModal(kStillRunning);
                });
            });
        });
        return dlg->ShowModal();
    }
};

TEST_F(EndingTheDialog, EnterInAnyFieldIsTheOkCommand)
{
    EXPECT_EQ(wxID_OK, RunAndPress(IDC_FILE_PATH, WXK_RETURN));
    EXPECT_EQ(wxID_OK, RunAndPress(IDC_KEY_PATH, WXK_NUMPAD_ENTER));
    EXPECT_EQ(wxID_OK, RunAndPress(IDC_OFFSET, WXK_RETURN));
    EXPECT_EQ(wxID_OK, RunAndPress(IDC_READ_ONLY, WXK_RETURN));
}

TEST_F(EndingTheDialog, EnterOnAPushButtonLeavesItToTheButton)
{
    EXPECT_EQ(kStillRunning, RunAndPress(IDC_ENCRYPT, WXK_RETURN));
}

TEST_F(EndingTheDialog, EscapeIsTheCancelCommand)
{
    EXPECT_EQ(wxID_CANCEL, RunAndPress(IDC_OFFSET, WXK_ESCAPE));
    EXPECT_EQ(wxID_CANCEL, RunAndPress(IDC_BROWSE_KEY, WXK_ESCAPE));
}

TEST_F(EndingTheDialog, TheCloseBoxIsTheCancelCommand)
{
    guitest::AllowRealModal allow;
    dlg->Bind(wxEVT_INIT_DIALOG, [this](wxInitDialogEvent& event) {
        event.Skip();
        dlg->CallAfter([this] { dlg->Close(); });
    });
    EXPECT_EQ(wxID_CANCEL, dlg->ShowModal());
}

// The window while a pass runs: the pass is held at a progress point (its
// next write waits until the window thread has shown the line) while the
// window's events flow.
struct DuringAPass : MainDialog {
    std::string temporary = TemporaryPath(data);

    DuringAPass()
    {
        plain = testsupport::PatternBytes(kTenBlocks, 3);
        WriteFile(data, plain);
        dlg->Show();
        EXPECT_TRUE(PumpUntil([this] {
            GdkWindow* window = gtk_widget_get_window(dlg->GetHandle());
            return window && gdk_window_is_viewable(window);
        }));
    }

    // Encrypts, running `midway` on the window thread at the pass's sixth
    // progress line, with the pass waiting until it returns.
    void EncryptHolding(const std::function<void()>& midway)
    {
        EachLineShownBeforeTheNextWrite held;
        int lines = 0;
        recorder.onTitle = [&](const std::string& text) {
            EXPECT_TRUE(wxIsMainThread());
            dlg->SetTitle(wxString::FromUTF8(text));
            if (++lines == 6) {
                EXPECT_TRUE(testsupport::Exists(temporary));
                midway();
            }
            held.Shown();
        };
        FillRequest(data, key, "7");
        Click(dlg, IDC_ENCRYPT);
        EXPECT_EQ(6, std::min(lines, 6));
    }

    // An event for the dialog's window, as the display would deliver it.
    void Deliver(GdkEventType type, guint keyval = 0)
    {
        GdkEvent* event = gdk_event_new(type);
        event->any.window = GDK_WINDOW(g_object_ref(gtk_widget_get_window(dlg->GetHandle())));
        event->any.send_event = TRUE;
        if (type == GDK_KEY_PRESS) {
            event->key.keyval = keyval;
            gdk_event_set_device(event, gdk_seat_get_keyboard(gdk_display_get_default_seat(gdk_display_get_default())));
        }
        gdk_event_put(event);
        gdk_event_free(event);
    }

    // Escape or the Close box in the middle of a pass.
    void ExpectStopAndEnd(GdkEventType type, guint keyval = 0)
    {
        EncryptHolding([&] {
            Deliver(type, keyval);
            EXPECT_TRUE(PumpUntil([] { return platform::CancelRequested(); }));
        });
        EXPECT_EQ(plain, ReadFile(data));
        EXPECT_FALSE(testsupport::Exists(temporary));
        EXPECT_TRUE(recorder.notices.empty());
        EXPECT_FALSE(dlg->IsShown());
        platform::ResetCancel();
    }
};

// What the desktop says about the toolkit's animations.
bool Animated()
{
    gboolean animated = FALSE;
    g_object_get(gtk_settings_get_default(), "gtk-enable-animations", &animated, nullptr);
    return animated != FALSE;
}

TEST_F(DuringAPass, TheWindowRepaintsShowsTheButtonsDisabledAndDropsAClick)
{
    const bool animated = Animated();
    int paints = 0;
    const auto countPaint = [&](wxPaintEvent& event) {
        ++paints;
        event.Skip();
    };
    dlg->Bind(wxEVT_PAINT, countPaint);
    EncryptHolding([&] {
        for (int id : kPassButtons) {
            EXPECT_FALSE(Item(dlg, id)->IsEnabled()) << "button " << id;
            EXPECT_FALSE(gtk_widget_is_sensitive(Item(dlg, id)->GetHandle())) << "button " << id;
        }
        // A second request can't start.
        EXPECT_FALSE(Click(dlg, IDC_DECRYPT));
        // A fading button would redraw the window at every frame.
        EXPECT_FALSE(Animated());

        paints = 0;
        dlg->Refresh();
        EXPECT_TRUE(PumpUntil([&] { return paints > 0; })) << "no repaint mid-pass";

        // A real click on Browse, through the display server. Once the
        // display has answered a round trip after it and no event waits,
        // the click has come and gone; had it been kept for later, the
        // file chooser would open after the pass, which the tests' modal
        // hook fails.
        const wxPoint at = Item(dlg, IDC_BROWSE_FILE)->GetScreenRect().GetPosition() + wxPoint(8, 8);
        ASSERT_EQ(0, std::system(("timeout 10 xdotool mousemove --sync " + std::to_string(at.x) + " " +
                                  std::to_string(at.y) + " click 1")
                                     .c_str()));
        gdk_display_sync(gdk_display_get_default());
        EXPECT_TRUE(PumpUntil([] { return !gdk_events_pending(); })) << "the click never arrived";
    });
    guitest::Flush();
    EXPECT_EQ(testsupport::ReferenceEncrypt(plain, keyBytes, 7), ReadFile(data));
    EXPECT_FALSE(testsupport::Exists(temporary));
    EXPECT_EQ("Veltrane", dlg->GetTitle());
    EXPECT_TRUE(dlg->IsShown());
    ExpectButtonsEnabled();
    EXPECT_EQ(animated, Animated());
    // The window outlives the count: a paint while it is destroyed would
    // write to this finished frame.
    dlg->Unbind(wxEVT_PAINT, countPaint);
}

TEST_F(DuringAPass, TheCloseBoxStopsThePassThenEndsTheDialog) { ExpectStopAndEnd(GDK_DELETE); }

TEST_F(DuringAPass, EscapeStopsThePassThenEndsTheDialog) { ExpectStopAndEnd(GDK_KEY_PRESS, GDK_KEY_Escape); }

}  // namespace
