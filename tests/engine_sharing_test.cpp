// A pass beside other programs: other passes whose temporary files coincide,
// an editor saving the file meanwhile, other names of the file, closed
// standard streams, no thread to spare. Real processes, ordered by a gate
// that holds a pass at its first progress line (its temporary file made).
#include "engine/cipher.h"

#include "tests/support/child.h"
#include "tests/support/files.h"
#include "tests/support/recorder.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fcntl.h>
#include <functional>
#include <utility>
#include <vector>
#include <sys/stat.h>
#include <sys/resource.h>
#include <unistd.h>

using testsupport::Child;
using testsupport::Exists;
using testsupport::Gate;
using testsupport::PatternBytes;
using testsupport::ReadFile;
using testsupport::Recorder;
using testsupport::RunInChild;
using testsupport::TempDir;
using testsupport::WriteFile;

namespace {

const std::string kSuffix = "1\u00EA9";

// A pass held at its first progress line until the test opens `gate`.
testsupport::ChildOptions Held(Gate& gate)
{
    testsupport::ChildOptions options;
    options.atProgress = [&gate, held = false]() mutable {
        if (!held) {
            held = true;
            gate.ArriveAndWait();
        }
    };
    return options;
}

struct Beside : testing::Test {
    TempDir dir;
    std::string key = dir / "key.bin";
    std::string keyBytes = PatternBytes(5000, 21);
    std::string doc = dir / "report.doc";
    std::string txt = dir / "report.txt";
    std::string temp = dir / ("report." + kSuffix);
    std::string docPlain = PatternBytes(3 * 1024 * 1024, 22);
    std::string txtPlain = PatternBytes(1024 * 1024, 23);
    Gate gate;

    Beside()
    {
        WriteFile(key, keyBytes);
        WriteFile(doc, docPlain);
        WriteFile(txt, txtPlain);
    }

    // Encrypts `path` in another process, held at its first progress line.
    std::unique_ptr<Child> HeldPass(const std::string& path)
    {
        auto child = std::make_unique<Child>([this, path] { return TransformFile(path, key, 7, kDirectionEncrypt); },
                                             Held(gate));
        EXPECT_TRUE(gate.AwaitArrival());
        return child;
    }
};

TEST_F(Beside, PassFindingItsTemporaryFileHeldByAnotherIsRefusedAndBothFilesSurvive)
{
    auto first = HeldPass(doc);
    Recorder recorder;
    // A file with the same temporary name, and the very same file.
    EXPECT_EQ(0, TransformFile(txt, key, 7, kDirectionEncrypt));
    EXPECT_EQ(0, TransformFile(doc, key, 7, kDirectionEncrypt));
    gate.Open();
    const auto outcome = first->Wait();

    ASSERT_EQ(2u, recorder.notices.size());
    EXPECT_EQ(txt + " is not done: another pass, still running, is using its temporary file " + temp +
                  ". Try again when it has finished.",
              recorder.notices[0].text);
    EXPECT_EQ("Encrypt file error.", recorder.notices[0].caption);
    EXPECT_TRUE(txtPlain == ReadFile(txt));
    EXPECT_EQ(1, outcome.exitCode);
    EXPECT_EQ("", outcome.notices);
    EXPECT_TRUE(testsupport::ReferenceEncrypt(docPlain, keyBytes, 7) == ReadFile(doc));
    EXPECT_FALSE(Exists(temp));

    // Once the other pass is over, the file goes through.
    EXPECT_EQ(1, TransformFile(txt, key, 7, kDirectionEncrypt));
    EXPECT_TRUE(testsupport::ReferenceEncrypt(txtPlain, keyBytes, 7) == ReadFile(txt));
}

// Saved anew while the pass read the old version: by renaming a new file
// over it, by truncating and rewriting it, or by rewriting it in place at
// the same length. Each time the new version stays.
TEST_F(Beside, FileSavedDuringThePassKeepsTheNewVersion)
{
    const std::string sameLength = PatternBytes(docPlain.size(), 24);
    const std::vector<std::pair<std::function<void()>, std::string>> saves = {
        {[&] {
             WriteFile(doc + ".new", "the new version");
             ASSERT_EQ(0, std::rename((doc + ".new").c_str(), doc.c_str()));
         },
         "the new version"},
        {[&] { WriteFile(doc, "rewritten"); }, "rewritten"},
        {[&] {
             const int fd = ::open(doc.c_str(), O_WRONLY);
             ASSERT_EQ(static_cast<ssize_t>(sameLength.size()), ::pwrite(fd, sameLength.data(), sameLength.size(), 0));
             ::close(fd);
         },
         sameLength},
    };
    for (const auto& [save, saved] : saves) {
        WriteFile(doc, docPlain);
        Gate held;
        Child pass([&] { return TransformFile(doc, key, 7, kDirectionEncrypt); }, Held(held));
        ASSERT_TRUE(held.AwaitArrival());
        save();
        held.Open();
        const auto outcome = pass.Wait();
        EXPECT_EQ(0, outcome.exitCode);
        EXPECT_EQ("Encrypt file error: " + doc +
                      " was changed by another program during the pass. The changed file was left as it "
                      "is; run the pass again if it is still wanted.\n",
                  outcome.notices);
        EXPECT_TRUE(saved == ReadFile(doc));
        EXPECT_FALSE(Exists(temp));
    }
}

// A key rewritten in place at the same length would give a result that
// mixes two keys; a name added meanwhile (a backup's hard-link snapshot)
// would keep the plain bytes.
TEST_F(Beside, KeyRewrittenOrLinkMadeDuringThePassStopsItBeforeTheReplacement)
{
    auto pass = HeldPass(doc);
    const std::string newKey = PatternBytes(keyBytes.size(), 25);
    const int fd = ::open(key.c_str(), O_WRONLY);
    ASSERT_EQ(static_cast<ssize_t>(newKey.size()), ::pwrite(fd, newKey.data(), newKey.size(), 0));
    ::close(fd);
    gate.Open();
    auto outcome = pass->Wait();
    EXPECT_EQ("Encrypt file error: The key file " + key +
                  " was changed by another program during the pass, so the result would match no key. " + doc +
                  " was left as it was.\n",
              outcome.notices);
    EXPECT_TRUE(docPlain == ReadFile(doc));
    EXPECT_FALSE(Exists(temp));

    Gate second;
    const std::string snapshot = dir / "snapshot.doc";
    Child linked([&] { return TransformFile(doc, key, 7, kDirectionEncrypt); }, Held(second));
    ASSERT_TRUE(second.AwaitArrival());
    ASSERT_EQ(0, ::link(doc.c_str(), snapshot.c_str()));
    second.Open();
    outcome = linked.Wait();
    EXPECT_EQ("Encrypt file error: " + doc +
                  " has other names (hard links), which would keep the old contents. Remove them first; the "
                  "file was left as it is.\n",
              outcome.notices);
    EXPECT_TRUE(docPlain == ReadFile(doc));
    EXPECT_TRUE(docPlain == ReadFile(snapshot));
    EXPECT_FALSE(Exists(temp));
}

// In a folder shared by a group, another member's temporary file that this
// user can't open may belong to a pass of theirs that is still running.
TEST_F(Beside, TemporaryFileThatCanNotBeOpenedIsLeftAlone)
{
    if (!testsupport::CanDropPrivileges())
        GTEST_SKIP() << "needs root to run as another user";
    ::chmod(dir.Path().c_str(), 02777);
    for (const std::string& path : {txt, key}) {
        ASSERT_EQ(0, ::chown(path.c_str(), testsupport::kUnprivilegedId, testsupport::kUnprivilegedId));
    }
    WriteFile(temp, "someone else's pass");
    ASSERT_EQ(0, ::chown(temp.c_str(), testsupport::kUnprivilegedId - 1, testsupport::kUnprivilegedId - 1));
    ASSERT_EQ(0, ::chmod(temp.c_str(), 0600));
    const auto outcome = RunInChild([&] { return TransformFile(txt, key, 7, kDirectionEncrypt); },
                                    testsupport::ChildOptions{-1, true, {}});
    EXPECT_EQ(0, outcome.exitCode);
    EXPECT_EQ("Encrypt file error: " + txt + " is not done: its temporary file " + temp +
                  " belongs to someone else, and may be in use by a pass of theirs. Try again later, or ask them "
                  "to remove it.\n",
              outcome.notices);
    EXPECT_EQ("someone else's pass", ReadFile(temp));
    EXPECT_TRUE(txtPlain == ReadFile(txt));
}

TEST_F(Beside, FileWithOtherNamesIsRefusedBeforeAnythingIsWritten)
{
    const std::string other = dir / "other-name.doc";
    ASSERT_EQ(0, ::link(doc.c_str(), other.c_str()));
    Recorder recorder;
    EXPECT_EQ(0, TransformFile(doc, key, 7, kDirectionEncrypt));
    ASSERT_EQ(1u, recorder.notices.size());
    EXPECT_EQ(doc + " has other names (hard links), which would keep the old contents. Remove them "
                    "first; the file was left as it is.",
              recorder.notices[0].text);
    EXPECT_TRUE(docPlain == ReadFile(other));
    EXPECT_TRUE(docPlain == ReadFile(doc));
    EXPECT_FALSE(Exists(temp));

    // A key's other names keep nothing old: only its bytes are read.
    ASSERT_EQ(0, ::unlink(other.c_str()));
    ASSERT_EQ(0, ::link(key.c_str(), other.c_str()));
    EXPECT_EQ(1, TransformFile(doc, key, 7, kDirectionEncrypt));
    EXPECT_EQ(1u, recorder.notices.size());
    EXPECT_EQ(1, TransformFile(doc, other, 7, kDirectionDecrypt));
    EXPECT_TRUE(docPlain == ReadFile(doc));
}

TEST_F(Beside, ClosedStandardStreamsDoNotLeakIntoTheResult)
{
    const auto outcome = RunInChild([&] {
        for (int fd = 0; fd <= 2; ++fd)
            ::close(fd);
        std::vector<std::string> words = testsupport::BuiltProgram(VELTRANE_CLI_PATH);
        words.insert(words.end(), {"encrypt", "-v", "-k", key, txt});
        std::vector<char*> argv;
        for (std::string& word : words)
            argv.push_back(word.data());
        argv.push_back(nullptr);
        ::execv(argv[0], argv.data());
        return 121;
    });
    EXPECT_EQ(0, outcome.exitCode);
    EXPECT_TRUE(testsupport::ReferenceEncrypt(txtPlain, keyBytes, 0) == ReadFile(txt));
}

// With no room for the reading thread, the pass says so instead of aborting.
TEST_F(Beside, NoThreadToSpareIsReportedAndLeavesTheFile)
{
    if (!testsupport::CanDropPrivileges())
        GTEST_SKIP() << "needs root to run as another user";
    ::chmod(dir.Path().c_str(), 0777);
    ::chmod(txt.c_str(), 0666);
    ::chmod(key.c_str(), 0644);
    const auto outcome = RunInChild(
        [&] {
            const rlimit one{1, 1};  // this process alone: no thread beside it
            if (::setrlimit(RLIMIT_NPROC, &one) != 0)
                return 99;
            return TransformFile(txt, key, 7, kDirectionEncrypt);
        },
        testsupport::ChildOptions{-1, true, {}});
    EXPECT_TRUE(outcome.exited);
    EXPECT_EQ(0, outcome.exitCode);
    EXPECT_EQ("Error: Could not read file: Could not read " + txt + ".\n", outcome.notices);
    EXPECT_TRUE(txtPlain == ReadFile(txt));
    EXPECT_FALSE(Exists(temp));
}

}  // namespace
