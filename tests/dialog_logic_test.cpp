// The main dialog's handlers against a window that records what is done to
// it: the one place the sequence of a request is checked, whatever toolkit
// draws the window.
#include "platform/cancel.h"
#include "ui/window_ops.h"
#include "res/resource.h"
#include "support/files.h"
#include "support/recorder.h"
#include "ui/dialog_logic.h"

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

namespace {

class RecordingWindow : public ui::WindowOps {
public:
    std::string ItemText(int id) const override
    {
        auto it = items.find(id);
        return it == items.end() ? std::string() : it->second;
    }
    void SetItemText(int id, const std::string& text) override
    {
        items[id] = text;
        log.push_back("text " + std::to_string(id) + "=" + text);
        if (id == IDC_OFFSET && logic)
            logic->OnChangeOffset();  // as the field's change notification does
    }
    void EnableItem(int id, bool enable) override
    {
        log.push_back((enable ? "enable " : "disable ") + std::to_string(id));
    }
    void SetWindowTitle(const std::string& text) override { log.push_back("title " + text); }
    int ChooseFile(std::string& path) override
    {
        path = chosen;
        return chosen.empty() ? 0 : 1;
    }
    int RunPass(const std::function<int()>& work, const std::function<void()>& onStop,
                const std::function<int()>& notStarted) override
    {
        log.push_back("pass");
        // As the pass runner does.
        platform::ResetCancel();
        if (closeDuringPass)
            onStop();
        return noThread ? notStarted() : work();
    }
    void RunAboutBox() override { log.push_back("about"); }
    void FocusItem(int id) override { log.push_back("focus " + std::to_string(id)); }
    void EndDialog(int result) override { log.push_back("end " + std::to_string(result)); }

    std::map<int, std::string> items;
    std::vector<std::string> log;
    std::string chosen;
    bool closeDuringPass = false;
    bool noThread = false;
    CVeltraneDlgLogic* logic = nullptr;
};

class DialogLogic : public ::testing::Test {
protected:
    DialogLogic() : dlg(window)
    {
        window.logic = &dlg;
        dlg.OnInitDialog();
        testsupport::WriteFile(dir / "data", plain);
        testsupport::WriteFile(dir / "key", "k3y");
        window.items[IDC_FILE_PATH] = dir / "data";
        window.items[IDC_KEY_PATH] = dir / "key";
        window.items[IDC_OFFSET] = "7";
        window.log.clear();
    }

    testsupport::TempDir dir;
    testsupport::Recorder recorder;
    const std::string plain = testsupport::PatternBytes(5000);
    RecordingWindow window;
    CVeltraneDlgLogic dlg;
};

TEST_F(DialogLogic, ARequestLocksTheCommandsRunsThePassAndClearsOnlyTheFileField)
{
    dlg.OnEncrypt();
    EXPECT_EQ(testsupport::ReferenceEncrypt(plain, "k3y", 7), testsupport::ReadFile(dir / "data"));
    const std::vector<std::string> expected = {"disable 1007", "disable 1010",   "disable 1004", "disable 1005",
                                               "pass",         "title Veltrane", "enable 1007",  "enable 1010",
                                               "enable 1004",  "enable 1005",    "text 1000="};
    EXPECT_EQ(expected, window.log);
    EXPECT_EQ("7", window.items[IDC_OFFSET]);
    EXPECT_EQ(dir / "key", window.items[IDC_KEY_PATH]);

    window.items[IDC_FILE_PATH] = dir / "data";
    dlg.OnDecrypt();
    EXPECT_EQ(plain, testsupport::ReadFile(dir / "data"));
}

TEST_F(DialogLogic, APassThatCannotStartSaysSoAndUnlocksTheCommands)
{
    window.noThread = true;
    dlg.OnEncrypt();
    EXPECT_EQ(plain, testsupport::ReadFile(dir / "data"));
    ASSERT_EQ(1u, recorder.notices.size());
    EXPECT_EQ("Could not read " + (dir / "data") + ".", recorder.notices[0].text);
    EXPECT_EQ("Error: Could not read file!", recorder.notices[0].caption);
    EXPECT_FALSE(dlg.PassRunning());
    EXPECT_EQ("enable 1005", window.log[window.log.size() - 2]);
}

TEST_F(DialogLogic, ARefusedOrIncompleteRequestTouchesNothing)
{
    window.items[IDC_OFFSET] = "256";
    dlg.OnEncrypt();
    EXPECT_EQ(256, dlg.m_nOffset);
    ASSERT_EQ(1u, recorder.notices.size());
    window.items[IDC_OFFSET] = "1";
    window.items[IDC_KEY_PATH].clear();
    dlg.OnEncrypt();
    EXPECT_EQ(1u, recorder.notices.size());
    EXPECT_TRUE(window.log.empty());
    EXPECT_EQ(plain, testsupport::ReadFile(dir / "data"));
}

TEST_F(DialogLogic, CloseDuringAPassStopsItAndEndsTheDialogAfterwards)
{
    window.closeDuringPass = true;
    dlg.OnEncrypt();
    EXPECT_EQ(plain, testsupport::ReadFile(dir / "data"));
    EXPECT_EQ("end 2", window.log.back());
    platform::ResetCancel();
}

TEST_F(DialogLogic, ArrowsStepWithinTheRangeAndLeavingTheFieldClampsIt)
{
    window.SetItemText(IDC_OFFSET, "255");
    window.log.clear();
    dlg.OnVScroll(CVeltraneDlgLogic::Scroll::LineUp);
    dlg.OnVScroll(CVeltraneDlgLogic::Scroll::EndScroll);
    EXPECT_TRUE(window.log.empty());
    dlg.OnVScroll(CVeltraneDlgLogic::Scroll::LineDown);
    EXPECT_EQ("254", window.items[IDC_OFFSET]);

    window.SetItemText(IDC_OFFSET, "300");
    EXPECT_EQ(300, dlg.m_nOffset);
    dlg.OnKillFocusOffset();
    EXPECT_EQ("255", window.items[IDC_OFFSET]);
    window.SetItemText(IDC_OFFSET, "0");
    dlg.OnVScroll(CVeltraneDlgLogic::Scroll::LineDown);
    EXPECT_EQ(0, dlg.m_nOffset);

    // Up and Down in the field step as the arrows do; other keys are the
    // field's own.
    using Key = CVeltraneDlgLogic::OffsetKey;
    EXPECT_TRUE(dlg.OnOffsetKey(Key::Up));
    EXPECT_TRUE(dlg.OnOffsetKey(Key::Up));
    EXPECT_TRUE(dlg.OnOffsetKey(Key::Down));
    EXPECT_EQ("1", window.items[IDC_OFFSET]);
    EXPECT_FALSE(dlg.OnOffsetKey(Key::Other));
    EXPECT_EQ(1, dlg.m_nOffset);
}

TEST(OffsetText, ReadsAnUnsignedDecimalNumberOrZero)
{
    using ui::ReadUnsignedText;
    EXPECT_EQ(0u, ReadUnsignedText(""));
    EXPECT_EQ(0u, ReadUnsignedText("   "));
    EXPECT_EQ(255u, ReadUnsignedText("255"));
    EXPECT_EQ(12u, ReadUnsignedText("  12\t "));
    EXPECT_EQ(7u, ReadUnsignedText("007"));
    EXPECT_EQ(4294967295u, ReadUnsignedText("4294967295"));
    for (const char* unreadable :
         {"+1", "-1", "12a", "a12", "1 2", "4294967296", "99999999999999999999", "0x10", "1.5"})
        EXPECT_EQ(0u, ReadUnsignedText(unreadable)) << unreadable;
    // Digits of other scripts are not decimal digits here.
    EXPECT_EQ(0u, ReadUnsignedText("\xD9\xA3"));
}

TEST_F(DialogLogic, BrowseCheckBoxIconAndEscape)
{
    window.chosen = dir / "other";
    dlg.OnBrowseKey();
    EXPECT_EQ(dir / "other", window.items[IDC_KEY_PATH]);
    window.chosen.clear();
    dlg.OnBrowseFile();
    EXPECT_EQ(dir / "data", window.items[IDC_FILE_PATH]);

    dlg.OnReadOnly();
    EXPECT_EQ(1, dlg.m_bReadOnly);
    dlg.OnReadOnly();
    EXPECT_EQ(0, dlg.m_bReadOnly);
    dlg.OnIconPress();
    dlg.OnCancel();
    EXPECT_EQ((std::vector<std::string>{"text 1001=" + dir / "other", "about", "end 2"}), window.log);
}

// Started from a file manager: one file as if browsed for, the keyboard on
// the key; two files or a folder refused in words about starting, not drops.
TEST_F(DialogLogic, AStartFileFillsTheFileFieldAndOthersAreRefused)
{
    dlg.m_startFiles = {dir / "data"};
    dlg.OpenStartFiles();
    EXPECT_EQ((std::vector<std::string>{"text 1000=" + dir / "data", "focus 1001"}), window.log);
    window.log.clear();
    for (const std::vector<std::string>& refused :
         {std::vector<std::string>{dir / "data", dir / "key"}, std::vector<std::string>{dir.Path()}}) {
        dlg.m_startFiles = refused;
        dlg.OpenStartFiles();
    }
    EXPECT_TRUE(window.log.empty());
    ASSERT_EQ(2u, recorder.notices.size());
    EXPECT_EQ("Open file error: Veltrane was started with several files; it takes one file at a time.",
              recorder.notices[0].Line());
    EXPECT_EQ("Open file error: " + dir.Path() + " is a folder, not a file.", recorder.notices[1].Line());
}

}  // namespace
