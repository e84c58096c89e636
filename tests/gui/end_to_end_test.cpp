// The real program on the test's display, worked from the keyboard alone as
// a user would: type the paths and the offset, press Encrypt, leave.
#include "tests/support/files.h"
#include "tests/support/program.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <sys/stat.h>
#include <memory>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

using namespace std::chrono_literals;
using testsupport::ReadFile;
using testsupport::TempDir;
using testsupport::WriteFile;

namespace {

// Output of a shell command (each has its own time limit, so none can hang
// the test), trailing newline removed.
std::string Output(const std::string& command, int* status = nullptr)
{
    std::unique_ptr<FILE, int (*)(FILE*)> pipe(popen(command.c_str(), "r"), pclose);
    std::string out;
    if (!pipe)
        return out;
    char chunk[256];
    while (std::fgets(chunk, sizeof chunk, pipe.get()))
        out += chunk;
    const int rc = pclose(pipe.release());
    if (status)
        *status = rc;
    while (!out.empty() && (out.back() == '\n' || out.back() == '\r'))
        out.pop_back();
    return out;
}

bool Xdotool(const std::string& arguments)
{
    int status = -1;
    Output("timeout 20 xdotool " + arguments + " 2>&1", &status);
    return status == 0;
}

const char kFindAbout[] = "timeout 5 xdotool search --onlyvisible --name '^About Veltrane$' | head -1";

std::string Quoted(const std::string& text)
{
    std::string quoted = "'";
    for (char c : text)
        quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return quoted + "'";
}

// A program started in the test's folder, its standard output and error
// going to `log`, to be shown when a test fails.
std::unique_ptr<testsupport::Program> Start(std::vector<std::string> command, const std::string& directory,
                                            const std::string& log)
{
    testsupport::ProgramOptions options;
    options.directory = directory;
    options.log = log;
    return std::make_unique<testsupport::Program>(command, options);
}

template <typename Condition> bool WaitFor(Condition condition, std::chrono::milliseconds limit)
{
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (std::chrono::steady_clock::now() < deadline) {
        if (condition())
            return true;
        std::this_thread::sleep_for(100ms);
    }
    return condition();
}

struct Program : testing::Test {
    TempDir dir;
    // A name with a blank and letters beyond ASCII, as users have them.
    std::string data = dir / "na\xC3\xAFve report.txt";
    std::string key = dir / "key.bin";
    std::string plain = testsupport::PatternBytes(30000, 5);
    std::string keyBytes = testsupport::PatternBytes(777, 6);
    std::unique_ptr<testsupport::Program> windowManager;
    std::unique_ptr<testsupport::Program> program;
    std::string window;
    // What the program is started with, after its name.
    std::vector<std::string> arguments;

    void SetUp() override
    {
        ASSERT_NE(nullptr, std::getenv("DISPLAY")) << "run under xvfb-run (make test does)";
        WriteFile(data, plain);
        WriteFile(key, keyBytes);
        // Keyboard input needs a window manager. Where one runs already,
        // this one gives up at once and the running one serves. It must be
        // in charge before the window maps, or the window may never get the
        // keyboard. VELTRANE_TEST_WM picks another one (words apart by
        // blanks), since stacking and focus rules differ between them.
        std::vector<std::string> manager;
        const char* chosen = std::getenv("VELTRANE_TEST_WM");
        std::istringstream words(chosen && *chosen ? chosen : "openbox --sm-disable");
        for (std::string word; words >> word;)
            manager.push_back(word);
        windowManager = Start(manager, dir.Path(), dir / "wm.log");
        ASSERT_TRUE(WaitFor(
            [] {
                return Output("timeout 5 xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null").find("window id") !=
                       std::string::npos;
            },
            30s))
            << "no window manager came up: " << Output("cat " + Quoted(dir / "wm.log")) << " (exit "
            << windowManager->WaitForExit(0ms) << ")";
        std::vector<std::string> command{VELTRANE_PROGRAM};
        command.insert(command.end(), arguments.begin(), arguments.end());
        program = Start(command, dir.Path(), dir / "program.log");
        ASSERT_TRUE(WaitFor(
            [&] {
                window = Output("timeout 5 xdotool search --onlyvisible --name '^Veltrane$' | head -1");
                return !window.empty();
            },
            // It has once taken over 30 s, with the rest of the suite
            // loading the machine.
            90s))
            << "the window never appeared; the program said: " << Output("cat " + Quoted(dir / "program.log"));
        ASSERT_TRUE(WaitFor(
            [&] {
                return Xdotool("windowactivate --sync " + window) &&
                       Output("timeout 5 xdotool getactivewindow") == window &&
                       Output("timeout 5 xdotool getwindowfocus") == window;
            },
            30s))
            << "the window never got the keyboard";
    }

    void TearDown() override
    {
        program.reset();
        windowManager.reset();
    }

    // Where the control a screen reader knows as `name` is on the screen,
    // read from the accessible tree. With the action "focus" it gets the
    // keyboard too; with "press" it is pressed as a screen reader presses it,
    // which needs no keyboard focus.
    struct Box {
        int x = 0, y = 0, width = 0, height = 0;
    };
    Box Control(const std::string& name, const std::string& action = "")
    {
        Box box;
        const std::string at =
            Output("timeout 30 /usr/bin/python3 " VELTRANE_CONTROL_HELPER " " + Quoted(name) + " " + action);
        std::sscanf(at.c_str(), "%d %d %d %d", &box.x, &box.y, &box.width, &box.height);
        return box;
    }

    // Types each path into the field of that name and presses Encrypt, all
    // from the keyboard. The offset is typed unless it is empty.
    void TypeInto(const std::string& name, const std::string& text)
    {
        ASSERT_GT(Control(name, "focus").width, 0) << name;
        ASSERT_TRUE(Xdotool("key --clearmodifiers ctrl+a"));
        ASSERT_TRUE(Xdotool("type --delay 40 " + Quoted(text)));
    }

    void EncryptFromTheKeyboard(const std::string& offset)
    {
        TypeInto("File to encrypt", data);
        TypeInto("Key file", key);
        if (!offset.empty())
            TypeInto("Offset", offset);
        ASSERT_GT(Control("Encrypt", "focus").width, 0);
        ASSERT_TRUE(Xdotool("key --clearmodifiers space"));
    }

    void ExpectEncryptedWith(int offset)
    {
        const std::string expected = testsupport::ReferenceEncrypt(plain, keyBytes, offset);
        EXPECT_TRUE(WaitFor([&] { return ReadFile(data) == expected; }, 30s))
            << "the file on disk was not encrypted with offset " << offset
            << "; the program said: " << Output("cat " + Quoted(dir / "program.log")) << "; windows on the display: "
            << Output("timeout 5 xdotool search --onlyvisible --name . getwindowname %@ | "
                      "tr '\\n' '|'");
        EXPECT_TRUE(WaitFor([&] { return Output("timeout 5 xdotool getwindowname " + window) == "Veltrane"; }, 10s));
        EXPECT_EQ(keyBytes, ReadFile(key));
    }

    // A click on the control of that name, at a point given in hundredths
    // of its width and height.
    void ClickOn(const std::string& name, int xPercent = 50, int yPercent = 50)
    {
        const Box box = Control(name);
        ASSERT_GT(box.width, 0) << "no control named " << name;
        ASSERT_TRUE(Xdotool("mousemove " + std::to_string(box.x + box.width * xPercent / 100) + " " +
                            std::to_string(box.y + box.height * yPercent / 100) + " click 1"));
    }
};

TEST_F(Program, EncryptsAFileWhosePathsAreTypedIn)
{
    // F1 opens the About box; Escape closes it and the focus comes back.
    ASSERT_TRUE(Xdotool("key --clearmodifiers F1"));
    ASSERT_TRUE(WaitFor([] { return !Output(kFindAbout).empty(); }, 20s)) << "no About box";
    ASSERT_TRUE(WaitFor([] { return Output("timeout 5 xdotool getactivewindow") == Output(kFindAbout); }, 10s));
    ASSERT_TRUE(Xdotool("key --clearmodifiers Escape"));
    ASSERT_TRUE(WaitFor([&] { return Output("timeout 5 xdotool getactivewindow") == window; }, 10s))
        << "the About box didn't close";
    EncryptFromTheKeyboard("42");
    ExpectEncryptedWith(42);

    // Escape ends the dialog and with it the program, successfully.
    ASSERT_TRUE(Xdotool("key --clearmodifiers Escape"));
    EXPECT_EQ(0, program->WaitForExit(20s));
}

// As a file manager's "Open With" starts it: a relative name beyond ASCII,
// made whole against the folder it was started in, fills the file field,
// and the keyboard waits in the key field.
struct StartedWithAFile : Program {
    StartedWithAFile() { arguments = {"na\xC3\xAFve report.txt"}; }
};

TEST_F(StartedWithAFile, TheFileFieldHoldsItAndTheKeyFieldHasTheKeyboard)
{
    EXPECT_EQ(data + "\nnot focused",
              Output("timeout 30 /usr/bin/python3 " VELTRANE_CONTROL_HELPER " 'File to encrypt' text | tail -2"));
    EXPECT_EQ("\nfocused", Output("timeout 30 /usr/bin/python3 " VELTRANE_CONTROL_HELPER " 'Key file' text | tail -2"));
}

TEST_F(Program, TheWindowClassIsTheOneTheDesktopEntryNames)
{
    const std::string entry = ReadFile(VELTRANE_DESKTOP_FILE);
    const size_t at = entry.find("StartupWMClass=");
    ASSERT_NE(std::string::npos, at);
    const std::string wmClass = entry.substr(at + 15, entry.find('\n', at) - at - 15);
    EXPECT_NE(std::string::npos, Output("timeout 5 xprop -id " + window + " WM_CLASS").find('"' + wmClass + '"'));
}

TEST_F(Program, ArrowsAndTheAboutBoxAnswerTheMouse)
{
    // The offset's up arrow, at its right end, three clicks.
    for (int i = 0; i < 3; ++i)
        ClickOn("Offset", 90, 50);
    // The icon opens the About box; Enter presses its OK.
    ClickOn("About Veltrane");
    std::string about;
    ASSERT_TRUE(WaitFor(
        [&] {
            about = Output(kFindAbout);
            return !about.empty();
        },
        20s))
        << "no About box";
    ASSERT_TRUE(WaitFor([&] { return Output("timeout 5 xdotool getactivewindow") == about; }, 10s));
    ASSERT_TRUE(Xdotool("key --clearmodifiers Return"));
    ASSERT_TRUE(WaitFor([&] { return Output("timeout 5 xdotool getactivewindow") == window; }, 10s))
        << "the About box didn't close";

    EncryptFromTheKeyboard("");
    ExpectEncryptedWith(3);
    ASSERT_TRUE(Xdotool("key --clearmodifiers Escape"));
    EXPECT_EQ(0, program->WaitForExit(20s));
}

// The toolkit's own Open dialog, worked from the keyboard: cancelled, it
// leaves the field as it was; a name typed into it fills the field of the
// button that opened it.
TEST_F(Program, BrowseFillsItsFieldWithWhatTheChooserGives)
{
    const auto text = [](const char* name) {
        const std::string lines =
            Output("timeout 30 /usr/bin/python3 " VELTRANE_CONTROL_HELPER " " + Quoted(name) + " text | tail -2");
        return lines.substr(0, lines.find('\n'));
    };
    // Each of `keys` is one xdotool command: a typed text takes the rest of
    // its command line.
    const auto choose = [&](const std::vector<std::string>& keys) {
        ASSERT_GT(Control("Browse for the key file", "press").width, 0);
        const std::string find = "timeout 5 xdotool search --onlyvisible --name '^Select a file$' | head -1";
        std::string chooser;
        ASSERT_TRUE(WaitFor([&] { return !(chooser = Output(find)).empty(); }, 20s)) << "no file chooser";
        ASSERT_TRUE(WaitFor([&] { return Output("timeout 5 xdotool getactivewindow") == chooser; }, 10s));
        for (const std::string& command : keys)
            ASSERT_TRUE(Xdotool(command));
        ASSERT_TRUE(WaitFor([&] { return Output(find).empty(); }, 20s)) << "the chooser didn't close";
    };
    TypeInto("Key file", "kept");
    choose({"key --clearmodifiers Escape"});
    EXPECT_EQ("kept", text("Key file"));
    choose({"key --clearmodifiers ctrl+l", "type --delay 40 " + Quoted(key), "key --clearmodifiers Return"});
    EXPECT_EQ(key, text("Key file"));
    EXPECT_EQ("", text("File to encrypt"));
}

// The windows of the display from the bottom of the stack to the top.
std::vector<unsigned long> Stacking()
{
    std::vector<unsigned long> windows;
    const std::string list = Output("timeout 5 xprop -root _NET_CLIENT_LIST_STACKING");
    for (size_t at = list.find("0x"); at != std::string::npos; at = list.find("0x", at + 2))
        windows.push_back(std::stoul(list.substr(at), nullptr, 16));
    return windows;
}

TEST_F(Program, ANoticeAtTheEndOfAPassComesBeforeTheWindowTheUserWentTo)
{
    // No write permission: the whole pass runs, and only then is the file
    // refused its replacement, in a notice.
    ASSERT_EQ(0, chmod(data.c_str(), 0444));
    TypeInto("File to encrypt", data);
    TypeInto("Key file", key);

    // Meanwhile the user works in another program.
    auto other = Start({"xmessage", "-title", "Another program", "Another program"}, dir.Path(), dir / "xmessage.log");
    std::string otherWindow;
    ASSERT_TRUE(WaitFor(
        [&] {
            otherWindow = Output("timeout 5 xdotool search --onlyvisible --name '^Another program$' | head -1");
            return !otherWindow.empty() && Xdotool("windowactivate --sync " + otherWindow) &&
                   Output("timeout 5 xdotool getactivewindow") == otherWindow;
        },
        30s))
        << "the other program's window never became active";
    ASSERT_GT(Control("Encrypt", "press").width, 0);

    std::string notice;
    ASSERT_TRUE(WaitFor(
        [&] {
            notice = Output(
                "timeout 5 xdotool search --onlyvisible --name '^Error: Could not delete original file!$' | head -1");
            return !notice.empty();
        },
        30s))
        << "no notice; the program said: " << Output("cat " + Quoted(dir / "program.log"));
    EXPECT_TRUE(WaitFor([&] { return Output("timeout 5 xdotool getactivewindow") == notice; }, 10s))
        << "the notice opened without the keyboard, behind "
        << Output("timeout 5 xdotool getactivewindow getwindowname");
    const std::vector<unsigned long> stack = Stacking();
    EXPECT_GT(std::find(stack.begin(), stack.end(), std::stoul(notice)),
              std::find(stack.begin(), stack.end(), std::stoul(window)))
        << "the main window stands on top of its notice";
}

}  // namespace
