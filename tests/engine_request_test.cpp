// Which requests are refused, in what order, with which words, and what a
// refusal leaves behind.
#include "engine/cipher.h"

#include "tests/support/child.h"
#include "tests/support/files.h"
#include "tests/support/recorder.h"

#include <gtest/gtest.h>

#ifndef _WIN32
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>
#endif

using testsupport::ModeOf;
using testsupport::ReadFile;
using testsupport::Recorder;
using testsupport::TempDir;
using testsupport::WriteFile;

namespace {

const char kSameFileText[] = "Using  the same filename for encrypting file and a key file destroys the key file.\n"
                             "You won't be able to recover the encrypted file.\n"
                             "Choose a differnt key file.";

struct Request : testing::Test {
    TempDir dir;
    Recorder recorder;
    std::string data = dir / "data.bin";
    std::string key = dir / "key.bin";

    Request()
    {
        WriteFile(data, "plain");
        WriteFile(key, "key");
#ifndef _WIN32
        ::chmod(key.c_str(), 0664);
#endif
    }

    void ExpectOneNotice(const std::string& text, const std::string& caption)
    {
        ASSERT_EQ(1u, recorder.notices.size());
        EXPECT_EQ(text, recorder.notices[0].text);
        EXPECT_EQ(caption, recorder.notices[0].caption);
        EXPECT_EQ(ui::NoticeIcon::Warning, recorder.notices[0].icon);
        EXPECT_EQ(ui::NoticeOwner::ActiveWindow, recorder.notices[0].owner);
    }
};

TEST_F(Request, AcceptsTheOffsetRangeAndNothingOutsideIt)
{
    EXPECT_EQ(1, ValidateRequest(data, key, 0, 0));
    EXPECT_EQ(1, ValidateRequest(data, key, 255, 0));
    EXPECT_TRUE(recorder.notices.empty());
    EXPECT_EQ(0, ValidateRequest(data, key, -1, 0));
    EXPECT_EQ(0, ValidateRequest(data, key, 256, 0));
    ASSERT_EQ(2u, recorder.notices.size());
    EXPECT_EQ("Offset must be value between 0 and 255.", recorder.notices[1].text);
    EXPECT_EQ("Error", recorder.notices[1].caption);
}

TEST_F(Request, EqualPathsAreRefusedBeforeAnyFileIsLookedAtButLetterCaseMakesTwoFiles)
{
    EXPECT_EQ(0, ValidateRequest(dir / "missing.bin", dir / "missing.bin", 0, 1));
    ExpectOneNotice(kSameFileText, "Filename error. (Bad idea.)");
#ifndef _WIN32
    // Names here keep their case: "Notes.txt" and "notes.txt" are two files.
    recorder.notices.clear();
    WriteFile(dir / "Notes.txt", "plain");
    WriteFile(dir / "notes.txt", "key");
    EXPECT_EQ(1, ValidateRequest(dir / "Notes.txt", dir / "notes.txt", 0, 0));
    EXPECT_TRUE(recorder.notices.empty());
#endif
}

// Links, FIFOs, sockets and permission bits: POSIX only. Windows has its
// counterparts in win32/engine_test.cpp.
#ifndef _WIN32
TEST_F(Request, OneFileUnderTwoNamesIsRefusedAsItsOwnKey)
{
    ASSERT_EQ(0, ::symlink(data.c_str(), (dir / "link").c_str()));
    ASSERT_EQ(0, ::link(data.c_str(), (dir / "hard").c_str()));
    const mode_t before = ModeOf(data);
    ASSERT_EQ(0, ::chdir(dir.Path().c_str()));
    for (const std::string& other : {dir / "link", dir / "hard", std::string("data.bin"), dir / "./data.bin"}) {
        SCOPED_TRACE(other);
        recorder.notices.clear();
        EXPECT_EQ(0, ValidateRequest(data, other, 0, 1));
        ExpectOneNotice(kSameFileText, "Filename error. (Bad idea.)");
    }
    ASSERT_EQ(0, ::chdir("/"));
    EXPECT_EQ(before, ModeOf(data));
    EXPECT_EQ("plain", ReadFile(data));
}

#endif

TEST_F(Request, MissingDataFileIsReportedBeforeMissingKeyFile)
{
    EXPECT_EQ(0, ValidateRequest(dir / "nope", dir / "nokey", 0, 1));
    ExpectOneNotice("Cannot find " + (dir / "nope") + ".", "Encrypt file error.");
    recorder.notices.clear();
    EXPECT_EQ(0, ValidateRequest(data, dir / "nokey", 0, 1));
    ExpectOneNotice("Cannot find " + (dir / "nokey") + ".", "Encrypt file error.");
}

TEST_F(Request, LongPathsAreShownWhole)
{
    const std::string longPath = dir / (std::string(200, 'x') + "/" + std::string(200, 'y'));
    EXPECT_EQ(0, ValidateRequest(longPath, key, 0, 0));
    ExpectOneNotice("Cannot find " + longPath + ".", "Encrypt file error.");
}

#ifndef _WIN32
TEST_F(Request, OnlyRegularFilesPassAndNothingBlocks)
{
    ASSERT_EQ(0, ::mkfifo((dir / "fifo").c_str(), 0644));
    ASSERT_EQ(0, ::mkdir((dir / "folder").c_str(), 0755));
    const int sock = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    const std::string socketPath = dir / "sock";
    ASSERT_LT(socketPath.size(), sizeof address.sun_path);
    socketPath.copy(address.sun_path, socketPath.size());
    ASSERT_EQ(0, ::bind(sock, reinterpret_cast<sockaddr*>(&address), sizeof address));
    for (const std::string& odd : {dir / "fifo", dir / "folder", socketPath, std::string("/dev/null")}) {
        SCOPED_TRACE(odd);
        recorder.notices.clear();
        EXPECT_EQ(0, ValidateRequest(odd, key, 0, 0));
        ExpectOneNotice("Cannot find " + odd + ".", "Encrypt file error.");
        recorder.notices.clear();
        EXPECT_EQ(0, ValidateRequest(data, odd, 0, 0));
        ExpectOneNotice("Cannot find " + odd + ".", "Encrypt file error.");
    }
    ::close(sock);
}

TEST_F(Request, ReadOnlyMarkIsSetEvenWhenTheOffsetIsThenRefused)
{
    ::chmod(key.c_str(), 06754);
    EXPECT_EQ(0, ValidateRequest(data, key, 300, 1));
    ExpectOneNotice("Offset must be value between 0 and 255.", "Error");
    EXPECT_EQ(06554u, ModeOf(key));
}

TEST_F(Request, ReadOnlyMarkOnlyWhenAskedAndAnAlreadyReadOnlyKeyPasses)
{
    EXPECT_EQ(1, ValidateRequest(data, key, 1, 0));
    EXPECT_EQ(0664u, ModeOf(key));
    ::chmod(key.c_str(), 0444);
    EXPECT_EQ(1, ValidateRequest(data, key, 1, 1));
    EXPECT_EQ(0444u, ModeOf(key));
    EXPECT_TRUE(recorder.notices.empty());
}

TEST_F(Request, MarkThatCannotBeStoredIsRefusedAndChangesNothing)
{
    if (!testsupport::CanDropPrivileges())
        GTEST_SKIP() << "needs root to run as another user";
    // A key file the user may read but doesn't own: its mode can't be changed.
    ::chmod(dir.Path().c_str(), 0755);
    ::chmod(data.c_str(), 0644);
    ::chmod(key.c_str(), 0644);
    const auto outcome = testsupport::RunInChild([&] { return ValidateRequest(data, key, 0, 1); }, {-1, true, {}});
    EXPECT_TRUE(outcome.exited);
    EXPECT_EQ(0, outcome.exitCode);
    EXPECT_EQ("Set Attribute Error: Cannot make key file read only.\n", outcome.notices);
    EXPECT_EQ(0644u, ModeOf(key));
}

#endif

}  // namespace
