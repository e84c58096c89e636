// Faults met for real (or, where root can't meet them, through the system
// call seam): whatever happens, the data file is either the old bytes or the
// complete new ones, and no stray temporary file is left behind.
#include "engine/cipher.h"

#include "platform/cancel.h"
#include "platform/files.h"
#include "platform/posix/syscalls.h"
#include "tests/support/child.h"
#include "tests/support/files.h"
#include "tests/support/posix/syscalls.h"
#include "tests/support/recorder.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <filesystem>
#include <iterator>
#include <set>
#include <sys/stat.h>
#include <unistd.h>

using testsupport::ChildOptions;
using testsupport::Exists;
using testsupport::ModeOf;
using testsupport::PatternBytes;
using testsupport::ReadFile;
using testsupport::Recorder;
using testsupport::RunInChild;
using testsupport::TempDir;
using testsupport::WriteFile;

namespace {

const std::string kSuffix = "1\u00EA9";

struct Pass : testing::Test {
    TempDir dir;
    std::string data = dir / "data.bin";
    std::string key = dir / "key.bin";
    std::string temp = dir / ("data." + kSuffix);
    std::string plain = PatternBytes(2 * 1024 * 1024 + 5, 11);

    std::string cipher;

    Pass()
    {
        WriteFile(data, plain);
        const std::string keyBytes = PatternBytes(1000, 12);
        WriteFile(key, keyBytes);
        cipher = testsupport::ReferenceEncrypt(plain, keyBytes, 9);
    }

    void ExpectUntouched()
    {
        EXPECT_TRUE(plain == ReadFile(data));
        EXPECT_FALSE(Exists(temp));
    }
};

// Installs a system call replacement for the lifetime of the object.
template <class Calls> struct Installed : Calls {
    platform::SystemCalls* previous = platform::SetSystemCalls(this);
    ~Installed() override { platform::SetSystemCalls(previous); }
};

TEST_F(Pass, FullDiskLeavesTheDataFileAndNoTemporaryFile)
{
    const auto outcome =
        RunInChild([&] { return TransformFile(data, key, 9, kDirectionEncrypt); }, ChildOptions{100 * 1024, false, {}});
    ASSERT_TRUE(outcome.exited);
    EXPECT_EQ(0, outcome.exitCode);
    EXPECT_EQ("Error: Could not write encrypted file: Could not write " + temp + ".\n", outcome.notices);
    ExpectUntouched();
}

TEST_F(Pass, KilledMidPassLeavesTheDataFileAndTheNextPassCleansUp)
{
    ChildOptions killed;
    killed.atProgress = [seen = 0]() mutable {
        if (++seen == 3)
            ::kill(::getpid(), SIGKILL);
    };
    const auto outcome = RunInChild([&] { return TransformFile(data, key, 9, kDirectionEncrypt); }, killed);
    EXPECT_EQ(SIGKILL, outcome.signal);
    EXPECT_TRUE(plain == ReadFile(data));
    // The partial temporary file can't be removed by a killed process; the
    // next pass over the same file replaces it.
    Recorder recorder;
    ASSERT_EQ(1, TransformFile(data, key, 9, kDirectionEncrypt));
    EXPECT_TRUE(cipher == ReadFile(data));
    EXPECT_FALSE(Exists(temp));
}

TEST_F(Pass, CancelledPassRemovesItsTemporaryFileSilently)
{
    Recorder recorder;
    recorder.onTitle = [&](const std::string&) {
        if (recorder.titles.size() == 3)
            platform::RequestCancel();
    };
    EXPECT_EQ(0, TransformFile(data, key, 9, kDirectionEncrypt));
    platform::ResetCancel();
    EXPECT_TRUE(recorder.notices.empty());
    ExpectUntouched();

    // Asked for while the whole result is being flushed: still in time.
    struct CancelDuringFlush : platform::SystemCalls {
        int Fsync(int fd) override
        {
            platform::RequestCancel();
            return SystemCalls::Fsync(fd);
        }
    };
    Installed<CancelDuringFlush> calls;
    recorder.onTitle = nullptr;
    EXPECT_EQ(0, TransformFile(data, key, 9, kDirectionEncrypt));
    platform::ResetCancel();
    EXPECT_TRUE(recorder.notices.empty());
    ExpectUntouched();
}

TEST_F(Pass, SymlinkPlantedAtTheTemporaryPathIsNeitherFollowedNorRemoved)
{
    const std::string victim = dir / "victim";
    WriteFile(victim, "precious");
    ASSERT_EQ(0, ::symlink(victim.c_str(), temp.c_str()));
    Recorder recorder;
    EXPECT_EQ(0, TransformFile(data, key, 9, kDirectionEncrypt));
    EXPECT_EQ(std::vector{platform::NoticeKind::TemporaryInTheWay}, recorder.kinds);
    EXPECT_EQ("precious", ReadFile(victim));
    EXPECT_TRUE(plain == ReadFile(data));
    EXPECT_EQ(victim, std::filesystem::read_symlink(temp).string());
}

TEST_F(Pass, AKeyThatReportsBytesButGivesNoneIsAnEmptyKey)
{
    // As files under /sys: a length of 4096, and not a byte to read.
    struct KeyGivesNothing : platform::SystemCalls {
        std::pair<std::uint64_t, std::uint64_t> key;
        ssize_t Read(int fd, void* buffer, size_t count) override
        {
            struct stat status {};
            if (::fstat(fd, &status) == 0 &&
                std::pair<std::uint64_t, std::uint64_t>(status.st_dev, status.st_ino) == key)
                return 0;
            return SystemCalls::Read(fd, buffer, count);
        }
    };
    Installed<KeyGivesNothing> calls;
    calls.key = testsupport::IdentityOf(key);
    Recorder recorder;
    EXPECT_EQ(0, TransformFile(data, key, 9, kDirectionEncrypt));
    EXPECT_EQ(std::vector{platform::NoticeKind::EmptyKey}, recorder.kinds);
    ExpectUntouched();
}

// A file that can't be opened is refused with the system's reason, which
// the command line shows; only a file that isn't there needs none.
TEST_F(Pass, AFileThatCannotBeOpenedIsRefusedWithTheSystemsReason)
{
    struct OpenFails : platform::SystemCalls {
        std::string path;
        int error = EIO;
        int OpenAt(int dir, const char* name, int flags, mode_t mode) override
        {
            if (name == path) {
                errno = error;
                return -1;
            }
            return SystemCalls::OpenAt(dir, name, flags, mode);
        }
    };
    Installed<OpenFails> calls;
    calls.path = data;
    Recorder recorder;
    EXPECT_EQ(0, ValidateRequest(data, key, 9, 0));
    calls.error = EACCES;
    EXPECT_EQ(0, ValidateRequest(data, key, 9, 0));
    EXPECT_EQ(0, ValidateRequest(dir / "missing", key, 9, 0));
    EXPECT_EQ(std::vector<int>({EIO, EACCES, 0}), recorder.errors);
    ExpectUntouched();
}

TEST_F(Pass, TemporaryPathThatIsOneOfTheInputsIsRefusedBeforeAnyWrite)
{
    Recorder recorder;
    const std::string expected = "The temporary file " + temp + " would overwrite one of the request's files.";

    // The key file lies where the temporary file would go, by name...
    const std::string keyThere = temp;
    WriteFile(keyThere, "key bytes");
    EXPECT_EQ(0, TransformFile(data, keyThere, 9, kDirectionEncrypt));
    // ...or the entry there is another name of the key file.
    ASSERT_EQ(0, ::unlink(temp.c_str()));
    ASSERT_EQ(0, ::link(key.c_str(), temp.c_str()));
    EXPECT_EQ(0, TransformFile(data, key, 9, kDirectionEncrypt));
    EXPECT_EQ(PatternBytes(1000, 12), ReadFile(key));
    EXPECT_TRUE(plain == ReadFile(data));
    ASSERT_EQ(0, ::unlink(temp.c_str()));
    // ...or the key is named by a link that stands there.
    ASSERT_EQ(0, ::symlink(key.c_str(), temp.c_str()));
    EXPECT_EQ(0, TransformFile(data, temp, 9, kDirectionEncrypt));
    EXPECT_TRUE(Exists(temp));
    ASSERT_EQ(0, ::unlink(temp.c_str()));

    // A data file whose name already is its own temporary name.
    const std::string odd = dir / ("odd." + kSuffix);
    WriteFile(odd, "odd data");
    EXPECT_EQ(0, TransformFile(odd, key, 9, kDirectionEncrypt));
    EXPECT_EQ("odd data", ReadFile(odd));

    ASSERT_EQ(4u, recorder.notices.size());
    EXPECT_EQ(expected, recorder.notices[0].text);
    EXPECT_EQ("Filename error. (Bad idea.)", recorder.notices[0].caption);
    EXPECT_EQ(expected, recorder.notices[1].text);
    EXPECT_EQ(expected, recorder.notices[2].text);
    EXPECT_EQ("The temporary file " + odd + " would overwrite one of the request's files.", recorder.notices[3].text);
}

TEST_F(Pass, ReadOnlyDataFileIsNotReplacedAndTheResultWaitsBesideIt)
{
    ::chmod(data.c_str(), 0444);
    Recorder recorder;
    EXPECT_EQ(0, TransformFile(data, key, 9, kDirectionEncrypt));
    ASSERT_EQ(1u, recorder.notices.size());
    EXPECT_EQ("Could not delete " + data + ".", recorder.notices[0].text);
    EXPECT_EQ("Error: Could not delete original file!", recorder.notices[0].caption);
    EXPECT_EQ("Could not delete " + data + ".", recorder.titles.back());
    EXPECT_TRUE(plain == ReadFile(data));
    EXPECT_TRUE(cipher == ReadFile(temp));
}

TEST_F(Pass, FailedRenameKeepsTheOldBytesAndTheResultUnderTheTemporaryName)
{
    struct NoRename : platform::SystemCalls {
        int RenameAt(int, const char*, const char*) override
        {
            errno = EXDEV;
            return -1;
        }
    };
    Installed<NoRename> calls;
    Recorder recorder;
    EXPECT_EQ(0, TransformFile(data, key, 9, kDirectionEncrypt));
    ASSERT_EQ(1u, recorder.notices.size());
    EXPECT_EQ("Encrypted file's name is left as: " + temp, recorder.notices[0].text);
    EXPECT_EQ("Error: Could not rename encrypted file!", recorder.notices[0].caption);
    EXPECT_EQ(recorder.notices[0].text, recorder.titles.back());
    EXPECT_TRUE(plain == ReadFile(data));
    EXPECT_TRUE(cipher == ReadFile(temp));
}

// Renamed, but the folder's flush failed: the new name may not survive a
// crash, so the pass is no success; nothing is removed.
TEST_F(Pass, AFolderThatCanNotBeFlushedAfterTheRenameFailsThePass)
{
    Installed<testsupport::FolderFlushFails> calls;
    Recorder recorder;
    EXPECT_EQ(0, TransformFile(data, key, 9, kDirectionEncrypt));
    ASSERT_EQ(1u, recorder.notices.size());
    EXPECT_EQ(data + " was replaced, but the system could not confirm that the change is on the disk: after a crash "
                     "the file may still hold its old content.",
              recorder.notices[0].text);
    EXPECT_EQ("Error: Could not rename encrypted file!", recorder.notices[0].caption);
    EXPECT_TRUE(cipher == ReadFile(data));
    EXPECT_FALSE(Exists(temp));
}

TEST_F(Pass, RenameRefusedByAStickyDirectoryForAnotherUsersFile)
{
    if (!testsupport::CanDropPrivileges())
        GTEST_SKIP() << "needs root to run as another user";
    // Like /tmp: anyone may create files, only a file's owner may replace it.
    ::chmod(dir.Path().c_str(), 01777);
    ::chmod(data.c_str(), 0666);
    ::chmod(key.c_str(), 0644);
    const auto outcome =
        RunInChild([&] { return TransformFile(data, key, 9, kDirectionEncrypt); }, ChildOptions{-1, true, {}});
    EXPECT_EQ("Error: Could not rename encrypted file: Encrypted file's name is left as: " + temp + "\n",
              outcome.notices);
    EXPECT_TRUE(plain == ReadFile(data));
    EXPECT_TRUE(cipher == ReadFile(temp));
    // Owner and group couldn't be kept, so only the new owner may read it.
    EXPECT_EQ(0600u, ModeOf(temp));
}

TEST_F(Pass, UnwritableDirectoryIsReportedAndChangesNothing)
{
    ::chmod(data.c_str(), 0644);
    ::chmod(key.c_str(), 0644);
    ::chmod(dir.Path().c_str(), 0555);
    const auto outcome = RunInChild([&] { return TransformFile(data, key, 9, kDirectionEncrypt); },
                                    ChildOptions{-1, testsupport::CanDropPrivileges(), {}});
    EXPECT_EQ("Error: Could not write encrypted file: Could not write " + temp + ".\n", outcome.notices);
    ExpectUntouched();
}

struct FailingCalls : platform::SystemCalls {
    std::set<int> outputs;
    std::string failReadPath;
    int failReadFd = -1, reads = 0, failReadAt = -1;
    int failFsync = 0, writeLimit = 0;
    bool dropWrites = false;
    // No nameless files, no renaming without replacing.
    bool networkFileSystem = false;

    int OpenAt(int dir, const char* name, int flags, mode_t mode) override
    {
        if (networkFileSystem && (flags & O_TMPFILE) == O_TMPFILE) {
            errno = EOPNOTSUPP;
            return -1;
        }
        const int fd = SystemCalls::OpenAt(dir, name, flags, mode);
        if (fd >= 0 && ((flags & O_CREAT) || (flags & O_TMPFILE) == O_TMPFILE))
            outputs.insert(fd);
        if (fd >= 0 && (failReadPath == name || platform::LastNameOf(failReadPath) == name))
            failReadFd = fd;
        return fd;
    }
    ssize_t Read(int fd, void* buffer, size_t count) override
    {
        if (fd == failReadFd && ++reads == failReadAt) {
            errno = EIO;
            return -1;
        }
        return SystemCalls::Read(fd, buffer, count);
    }
    ssize_t Write(int fd, const void* buffer, size_t count) override
    {
        if (dropWrites && outputs.count(fd))
            return static_cast<ssize_t>(count);  // claims it, stores nothing
        return SystemCalls::Write(fd, buffer, writeLimit ? std::min<size_t>(count, writeLimit) : count);
    }
    int RenameNoReplace(int dir, const char* from, const char* to) override
    {
        if (!networkFileSystem)
            return SystemCalls::RenameNoReplace(dir, from, to);
        errno = EINVAL;
        return -1;
    }
    int Fsync(int fd) override
    {
        if (failFsync) {
            errno = EIO;
            return -1;
        }
        return SystemCalls::Fsync(fd);
    }
};

TEST_F(Pass, ReadErrorsStopThePassAndNameTheFile)
{
    Recorder recorder;
    {
        Installed<FailingCalls> calls;
        calls.failReadPath = data;
        calls.failReadAt = 2;
        EXPECT_EQ(0, TransformFile(data, key, 9, kDirectionEncrypt));
    }
    {
        Installed<FailingCalls> calls;
        calls.failReadPath = key;
        calls.failReadAt = 1;
        EXPECT_EQ(0, TransformFile(data, key, 9, kDirectionEncrypt));
    }
    ASSERT_EQ(2u, recorder.notices.size());
    EXPECT_EQ("Could not read " + data + ".", recorder.notices[0].text);
    EXPECT_EQ("Error: Could not read file!", recorder.notices[0].caption);
    EXPECT_EQ("Could not read " + key + ".", recorder.notices[1].text);
    EXPECT_EQ(recorder.notices[1].text, recorder.titles.back());
    ExpectUntouched();
}

TEST_F(Pass, FailedFlushOrAResultShorterThanTheDataStopsBeforeTheReplacement)
{
    Recorder recorder;
    {
        Installed<FailingCalls> calls;
        calls.failFsync = 1;
        EXPECT_EQ(0, TransformFile(data, key, 9, kDirectionEncrypt));
    }
    {
        Installed<FailingCalls> calls;
        calls.dropWrites = true;
        EXPECT_EQ(0, TransformFile(data, key, 9, kDirectionEncrypt));
    }
    ASSERT_EQ(2u, recorder.notices.size());
    for (const auto& notice : recorder.notices) {
        EXPECT_EQ("Could not write " + temp + ".", notice.text);
        EXPECT_EQ("Error: Could not write encrypted file!", notice.caption);
    }
    ExpectUntouched();
}

TEST_F(Pass, WithoutNamelessFilesOrRenamingWithoutReplacingTheResultStillTakesItsPlace)
{
    Recorder recorder;
    Installed<FailingCalls> calls;
    calls.networkFileSystem = true;
    EXPECT_EQ(1, TransformFile(data, key, 9, kDirectionEncrypt));
    EXPECT_TRUE(recorder.notices.empty());
    EXPECT_TRUE(cipher == ReadFile(data));
    // Nothing left under the temporary or a private name.
    EXPECT_EQ(2, std::distance(std::filesystem::directory_iterator(dir.Path()), {}));
}

// Someone else cuts an input short during the pass. A shorter key would
// silently change the cipher for the rest of the file, so it stops the pass
// too.
TEST_F(Pass, InputCutShortDuringThePassStopsIt)
{
    for (const std::string* victim : {&data, &key}) {
        Recorder recorder;
        recorder.onTitle = [&](const std::string&) {
            if (recorder.titles.size() == 3) {
                ASSERT_EQ(0, ::truncate(victim->c_str(), 10));
            }
        };
        WriteFile(key, PatternBytes(3 * 1024 * 1024, 12));
        EXPECT_EQ(0, TransformFile(data, key, 9, kDirectionEncrypt));
        ASSERT_EQ(1u, recorder.notices.size());
        EXPECT_EQ(victim == &data ? data + " was changed by another program during the pass. The changed file was "
                                           "left as it is; run the pass again if it is still wanted."
                                  : "The key file " + key + " was changed by another program during the pass, so " +
                                        "the result would match no key. " + data + " was left as it was.",
                  recorder.notices[0].text);
        EXPECT_FALSE(Exists(temp));
        WriteFile(data, plain);
    }
}

TEST_F(Pass, ShortWritesAreCarriedOnToTheEnd)
{
    Installed<FailingCalls> calls;
    calls.writeLimit = 1000;
    Recorder recorder;
    ASSERT_EQ(1, TransformFile(data, key, 9, kDirectionEncrypt));
    calls.writeLimit = 0;
    EXPECT_TRUE(cipher == ReadFile(data));
}

TEST_F(Pass, FifoGivenAsDataIsRefusedWithoutBlocking)
{
    const std::string fifo = dir / "fifo.bin";
    ASSERT_EQ(0, ::mkfifo(fifo.c_str(), 0644));
    Recorder recorder;
    EXPECT_EQ(0, TransformFile(fifo, key, 9, kDirectionEncrypt));
    ASSERT_EQ(1u, recorder.notices.size());
    EXPECT_EQ("Could not read " + fifo + ".", recorder.notices[0].text);
    EXPECT_FALSE(Exists(dir / ("fifo." + kSuffix)));
}

TEST_F(Pass, SymlinkedDataFileIsRewrittenWhereItLies)
{
    ASSERT_EQ(0, ::mkdir((dir / "real").c_str(), 0755));
    const std::string real = dir / "real/data.bin";
    ASSERT_EQ(0, ::rename(data.c_str(), real.c_str()));
    ASSERT_EQ(0, ::symlink(real.c_str(), data.c_str()));
    Recorder recorder;
    ASSERT_EQ(1, TransformFile(data, key, 9, kDirectionEncrypt));
    struct stat link {};
    ASSERT_EQ(0, ::lstat(data.c_str(), &link));
    EXPECT_TRUE(S_ISLNK(link.st_mode));
    EXPECT_TRUE(cipher == ReadFile(real));
    EXPECT_FALSE(Exists(temp));
    EXPECT_FALSE(Exists(dir / ("real/data." + kSuffix)));
}

TEST_F(Pass, ResultKeepsThePermissionsOfTheFileItReplaces)
{
    ::chmod(data.c_str(), 0640);
    Recorder recorder;
    ASSERT_EQ(1, TransformFile(data, key, 9, kDirectionEncrypt));
    EXPECT_EQ(0640u, ModeOf(data));

    struct NoChown : platform::SystemCalls {
        int Fchown(int, uid_t, gid_t) override
        {
            errno = EPERM;
            return -1;
        }
    };
    {
        Installed<NoChown> calls;
        ::chmod(data.c_str(), 0664);
        ASSERT_EQ(1, TransformFile(data, key, 9, kDirectionDecrypt));
        EXPECT_EQ(0600u, ModeOf(data));
        EXPECT_TRUE(plain == ReadFile(data));
    }

    // A filesystem without permission bits still gets the file replaced,
    // with no more access than owner-only.
    struct NoModes : platform::SystemCalls {
        int Fchmod(int, mode_t) override
        {
            errno = EPERM;
            return -1;
        }
        int CopyPermissions(const char*, int, const char*, int) override
        {
            errno = EPERM;
            return -1;
        }
    };
    Installed<NoModes> calls;
    ASSERT_EQ(1, TransformFile(data, key, 9, kDirectionEncrypt));
    EXPECT_EQ(0600u, ModeOf(data));
    EXPECT_TRUE(cipher == ReadFile(data));
}

// The kernel's own files report a length of 0 (/proc) or a page (/sys) but
// give other bytes when read.
TEST_F(Pass, KeyThatReportsNoTrueLengthIsUsedForWhatItGives)
{
    for (const std::string kernel : {"/proc/version", "/sys/kernel/mm/transparent_hugepage/enabled"}) {
        const std::string given = ReadFile(kernel);
        if (given.empty())
            continue;  // no such file on this kernel
        WriteFile(data, plain);
        Recorder recorder;
        ASSERT_EQ(1, TransformFile(data, kernel, 9, kDirectionEncrypt)) << kernel;
        EXPECT_TRUE(testsupport::ReferenceEncrypt(plain, given, 9) == ReadFile(data)) << kernel;
    }
}

TEST_F(Pass, TemporaryNameTooLongForTheFolderIsRefusedBeforeAnyWrite)
{
    const std::string longName = dir / std::string(251, 'n');  // + ".1ê9" passes 255 bytes
    WriteFile(longName, "plain");
    Recorder recorder;
    EXPECT_EQ(0, TransformFile(longName, key, 9, kDirectionEncrypt));
    ASSERT_EQ(1u, recorder.notices.size());
    EXPECT_EQ(longName + " is not done: the name of its temporary file, " + longName + "." + kSuffix +
                  ", would be too long for its folder. Give the file a shorter name first.",
              recorder.notices[0].text);
    EXPECT_EQ("plain", ReadFile(longName));
}

}  // namespace
