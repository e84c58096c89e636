// Files dragged from another program (XDND) onto the main window.
#include "tests/gui/gui_test.h"

#include "res/resource.h"
#include "tests/support/files.h"
#include "tests/support/recorder.h"
#include "ui/wx/veltrane_dlg.h"

#include <wx/app.h>
#include <wx/textctrl.h>

#include <glib.h>

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>

using guitest::Item;
using guitest::Text;
using guitest::Type;

namespace {

struct RealDrops : testing::Test {
    testsupport::TempDir dir;
    testsupport::Recorder recorder;
    CVeltraneDlg* dlg = new CVeltraneDlg(nullptr, recorder);
    std::string file = dir / "dropped \xC3\xA9.bin";

    RealDrops()
    {
        testsupport::WriteFile(file, "x");
        dlg->InitDialog();
        dlg->Show();
        EXPECT_TRUE(guitest::PumpUntil([this] { return dlg->IsShownOnScreen(); }));
        guitest::Flush();
    }
    ~RealDrops() override
    {
        dlg->Destroy();
        guitest::Flush();
    }

    // The list a file manager sends for `path`.
    static std::string UriLine(const std::string& path)
    {
        gchar* uri = g_filename_to_uri(path.c_str(), nullptr, nullptr);
        std::string line = std::string(uri) + "\r\n";
        g_free(uri);
        return line;
    }

    wxPoint Middle(int id)
    {
        const wxRect field = Item(dlg, id)->GetScreenRect();
        return {field.x + field.width / 2, field.y + field.height / 2};
    }

    // Drags the list (the file's unless told) from a GTK program to `point`
    // on the screen, with the window's events flowing meanwhile; "dropped"
    // or "refused".
    std::string DragTo(const wxPoint& point, std::string list = std::string())
    {
        if (list.empty())
            list = UriLine(file);
        Type(dlg, IDC_FILE_PATH, "");
        Type(dlg, IDC_KEY_PATH, "");
        const std::string out = dir / "drag.out";
        const pid_t pid = ::fork();
        if (pid == 0) {
            const int fd = ::open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
            ::dup2(fd, STDOUT_FILENO);
            const std::string x = std::to_string(point.x), y = std::to_string(point.y);
            ::execl("/usr/bin/python3", "python3", VELTRANE_DRAG_SOURCE, list.c_str(), x.c_str(), y.c_str(),
                    static_cast<char*>(nullptr));
            _exit(127);
        }
        int status = -1;
        bool ended = false;
        EXPECT_TRUE(guitest::PumpUntil([&] { return ended = ended || ::waitpid(pid, &status, WNOHANG) == pid; }))
            << "the drag never ended";
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "drag source failed";
        std::string outcome = testsupport::ReadFile(out);
        while (!outcome.empty() && outcome.back() == '\n')
            outcome.pop_back();
        guitest::Flush();
        return outcome;
    }
};

TEST_F(RealDrops, ADropAnywhereOnAPathFieldFillsThatFieldOnly)
{
    for (int id : {IDC_FILE_PATH, IDC_KEY_PATH}) {
        const int other = id == IDC_FILE_PATH ? IDC_KEY_PATH : IDC_FILE_PATH;
        const wxRect field = Item(dlg, id)->GetScreenRect();
        for (const wxPoint& at :
             {field.GetTopLeft() + wxPoint(3, 2), wxPoint(field.x + field.width / 2, field.y + field.height / 2),
              field.GetBottomRight() - wxPoint(3, 2)}) {
            EXPECT_EQ("dropped", DragTo(at)) << "field " << id << " at " << at.x << "," << at.y;
            EXPECT_EQ(file, Text(dlg, id)) << "field " << id << " at " << at.x << "," << at.y;
            EXPECT_EQ("", Text(dlg, other)) << "field " << id << " at " << at.x << "," << at.y;
        }
        // The path's end, its file name, in view; all of it in the tooltip.
        auto* text = wxDynamicCast(Item(dlg, id), wxTextCtrl);
        EXPECT_EQ(text->GetLastPosition(), text->GetInsertionPoint()) << "the end is not in view";
        EXPECT_EQ(file, text->GetToolTipText().utf8_string());
    }
}

TEST_F(RealDrops, ADropBesideThePathFieldsIsRefused)
{
    const wxRect fileField = Item(dlg, IDC_FILE_PATH)->GetScreenRect();
    const wxRect keyField = Item(dlg, IDC_KEY_PATH)->GetScreenRect();
    for (const wxPoint& at : {wxPoint(fileField.x + fileField.width / 2, fileField.y - 4),
                              wxPoint(keyField.x + keyField.width / 2, keyField.GetBottom() + 6)}) {
        EXPECT_EQ("refused", DragTo(at)) << "at " << at.x << "," << at.y;
        EXPECT_EQ("", Text(dlg, IDC_FILE_PATH));
        EXPECT_EQ("", Text(dlg, IDC_KEY_PATH));
    }
}

TEST_F(RealDrops, ListsWithBareLineFeedsOrCommentsGiveTheFile)
{
    std::string line = UriLine(file);
    for (const std::string& list : {line.substr(0, line.size() - 2) + "\n", "# one file\r\n" + line}) {
        EXPECT_EQ("dropped", DragTo(Middle(IDC_KEY_PATH), list)) << list;
        EXPECT_EQ(file, Text(dlg, IDC_KEY_PATH)) << list;
    }
    EXPECT_TRUE(recorder.notices.empty());
}

TEST_F(RealDrops, SeveralFilesAFolderOrAnotherMachinesFileAreRefusedWithANotice)
{
    const std::string other = dir / "other.bin";
    testsupport::WriteFile(other, "y");
    for (const std::string& list :
         {UriLine(file) + UriLine(other), UriLine(dir.Path()), "file://elsewhere.example" + UriLine(file).substr(7)}) {
        const size_t before = recorder.notices.size();
        // What is in a list shows only once it is dropped: GTK tells the
        // source that the drop ended, not that it was refused.
        DragTo(Middle(IDC_KEY_PATH), list);
        EXPECT_EQ("", Text(dlg, IDC_KEY_PATH)) << list;
        ASSERT_EQ(before + 1, recorder.notices.size()) << list;
        EXPECT_EQ("Drop file error.", recorder.notices.back().caption);
    }
    EXPECT_EQ(dir.Path() + " is a folder, not a file.", recorder.notices[1].text);
}

TEST_F(RealDrops, TheOffsetFieldTakesNoDrop)
{
    Type(dlg, IDC_OFFSET, "17");
    EXPECT_EQ("refused", DragTo(Middle(IDC_OFFSET)));
    EXPECT_EQ("17", Text(dlg, IDC_OFFSET));
}

}  // namespace
