// What Windows adds to the request checks and the pass: the read-only
// attribute, files held open without sharing, names that fold their letter
// case, names outside any code page, long paths, and failures of the calls
// beneath (through the system-call seam).
#include "engine/cipher.h"

#include "platform/cancel.h"
#include "platform/files.h"
#include "platform/win32/syscalls.h"
#include "platform/win32/text.h"
#include "tests/support/files.h"
#include "tests/support/recorder.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <cwchar>
#include <memory>
#include <thread>
#include <utility>

using platform::SystemPath;
using testsupport::Exists;
using testsupport::PatternBytes;
using testsupport::ReadFile;
using testsupport::Recorder;
using testsupport::TempDir;
using testsupport::WriteFile;

namespace {

const std::string kSuffix = "1\u00EA9";
const char kSameFileText[] = "Using  the same filename for encrypting file and a key file destroys the key file.\n"
                             "You won't be able to recover the encrypted file.\n"
                             "Choose a differnt key file.";

const std::string kInUseText =
    " is in use by another program. Nothing was changed; try again when that program has closed it.";

DWORD AttributesOf(const std::string& path) { return ::GetFileAttributesW(SystemPath(path).c_str()); }

void SetAttributes(const std::string& path, DWORD attributes)
{
    ASSERT_TRUE(::SetFileAttributesW(SystemPath(path).c_str(), attributes));
}

// Another program's handle on a file, with the sharing it allows others.
struct Held {
    HANDLE handle;
    Held(const std::string& path, DWORD share, DWORD disposition = OPEN_EXISTING,
         DWORD access = GENERIC_READ | GENERIC_WRITE)
        : handle(::CreateFileW(SystemPath(path).c_str(), access, share, nullptr, disposition, 0, nullptr))
    {
    }
    ~Held() { ::CloseHandle(handle); }
};

template <class Calls> struct Installed : Calls {
    platform::SystemCalls* previous = platform::SetSystemCalls(this);
    ~Installed() override { platform::SetSystemCalls(previous); }
};

struct Windows : testing::Test {
    TempDir dir;
    Recorder recorder;
    std::string data = dir / "data.bin";
    std::string key = dir / "key.bin";
    std::string temp = dir / ("data." + kSuffix);
    std::string plain = PatternBytes(300000, 21);
    std::string keyBytes = PatternBytes(1000, 22);
    std::string cipher = testsupport::ReferenceEncrypt(plain, keyBytes, 9);

    Windows()
    {
        WriteFile(data, plain);
        WriteFile(key, keyBytes);
    }

    void ExpectOneNotice(const std::string& text, const std::string& caption)
    {
        ASSERT_EQ(1u, recorder.notices.size());
        EXPECT_EQ(text, recorder.notices[0].text);
        EXPECT_EQ(caption, recorder.notices[0].caption);
        recorder.notices.clear();
    }
};

TEST_F(Windows, NamesThatFoldToOneAreRefusedBeforeAnyFileIsLookedAt)
{
    // Windows folds every script's letters, not only A to Z.
    for (const auto& [a, b] :
         {std::pair{"Key.BIN", "key.bin"}, std::pair{"\xC3\x84RGER.TXT", "\xC3\xA4rger.txt"},
          std::pair{"\xCE\x94\xCE\x95\xCE\x9B\xCE\xA4\xCE\x91", "\xCE\xB4\xCE\xB5\xCE\xBB\xCF\x84\xCE\xB1"}}) {
        SCOPED_TRACE(a);
        EXPECT_EQ(0, ValidateRequest(dir / a, dir / b, 0, 1));
        ExpectOneNotice(kSameFileText, "Filename error. (Bad idea.)");
    }
    // The same file by a hard link, or by a relative name, is caught by its
    // identity.
    ASSERT_TRUE(::CreateHardLinkW(SystemPath(dir / "hard").c_str(), SystemPath(data).c_str(), nullptr));
    EXPECT_EQ(0, ValidateRequest(data, dir / "hard", 0, 1));
    ExpectOneNotice(kSameFileText, "Filename error. (Bad idea.)");
    EXPECT_EQ(0u, AttributesOf(data) & FILE_ATTRIBUTE_READONLY);
}

TEST_F(Windows, FileHeldOpenElsewhereIsInUseAndNothingChanges)
{
    {
        // Even a program that only reads and lets others do anything is in
        // the way: Windows would not let the result replace the file.
        Held other(data, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, OPEN_EXISTING, GENERIC_READ);
        ASSERT_NE(INVALID_HANDLE_VALUE, other.handle);
        EXPECT_EQ(0, ValidateRequest(data, key, 0, 1));
        ExpectOneNotice(data + kInUseText, "Encrypt file error.");
    }
    {
        // The key may be read along, but not written.
        Held reader(key, FILE_SHARE_READ, OPEN_EXISTING, GENERIC_READ);
        EXPECT_EQ(1, ValidateRequest(data, key, 0, 0));
    }
    {
        Held writer(key, FILE_SHARE_READ | FILE_SHARE_WRITE);
        EXPECT_EQ(0, ValidateRequest(data, key, 0, 1));
        ExpectOneNotice(key + kInUseText, "Encrypt file error.");
    }
    EXPECT_EQ(0u, AttributesOf(key) & FILE_ATTRIBUTE_READONLY);
    // Folders and devices are no data files.
    testsupport::MakeDirectory(dir / "folder");
    for (const std::string& odd : {dir / "folder", std::string("NUL"), std::string("CON")}) {
        EXPECT_EQ(0, ValidateRequest(odd, key, 0, 0)) << odd;
        ExpectOneNotice("Cannot find " + odd + ".", "Encrypt file error.");
    }
}

TEST_F(Windows, ReadOnlyMarkIsTheAttributeAddedToTheOthers)
{
    SetAttributes(key, FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_ARCHIVE);
    EXPECT_EQ(1, ValidateRequest(data, key, 5, 0));
    EXPECT_EQ(0u, AttributesOf(key) & FILE_ATTRIBUTE_READONLY);
    // Set before the offset is looked at, and set again when already there.
    EXPECT_EQ(0, ValidateRequest(data, key, 300, 1));
    ExpectOneNotice("Offset must be value between 0 and 255.", "Error");
    EXPECT_EQ(DWORD{FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_READONLY}, AttributesOf(key));
    EXPECT_EQ(1, ValidateRequest(data, key, 5, 1));
    EXPECT_TRUE(recorder.notices.empty());

    // A mark that can't be stored.
    struct NoAttributes : platform::SystemCalls {
        BOOL SetAttributes(const wchar_t*, DWORD) override
        {
            ::SetLastError(ERROR_ACCESS_DENIED);
            return FALSE;
        }
    };
    Installed<NoAttributes> calls;
    WriteFile(dir / "other.key", "k");
    EXPECT_EQ(0, ValidateRequest(data, dir / "other.key", 5, 1));
    ExpectOneNotice("Cannot make key file read only.", "Set Attribute Error.");
}

// Wine, unlike Windows, lets a read-only file be replaced: the pass looks at
// the attribute itself.
TEST_F(Windows, ReadOnlyDataFileIsNotReplacedAndTheResultWaitsBesideIt)
{
    SetAttributes(data, FILE_ATTRIBUTE_READONLY);
    EXPECT_EQ(0, TransformFile(data, key, 9, kDirectionEncrypt));
    ExpectOneNotice("Could not delete " + data + ".", "Error: Could not delete original file!");
    EXPECT_TRUE(plain == ReadFile(data));
    EXPECT_TRUE(cipher == ReadFile(temp));
}

TEST_F(Windows, TemporaryFileIsHeldWithoutSharingForTheWholePass)
{
    // Meanwhile nobody can open it, and a second pass over the same file is
    // turned away without touching it.
    int tries = 0;
    recorder.onTitle = [&](const std::string&) {
        if (++tries != 3)
            return;
        Held other(temp, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE);
        EXPECT_EQ(INVALID_HANDLE_VALUE, other.handle);
        EXPECT_EQ(DWORD{ERROR_SHARING_VIOLATION}, ::GetLastError());
    };
    ASSERT_EQ(1, TransformFile(data, key, 9, kDirectionEncrypt));
    EXPECT_TRUE(cipher == ReadFile(data));
    EXPECT_FALSE(Exists(temp));

    recorder.onTitle = nullptr;
    Held running(temp, 0, CREATE_NEW);
    ASSERT_NE(INVALID_HANDLE_VALUE, running.handle);
    EXPECT_EQ(0, TransformFile(data, key, 9, kDirectionDecrypt));
    ASSERT_EQ(1u, recorder.notices.size());
    EXPECT_EQ(0u, recorder.notices[0].text.find(data + " is not done: another pass, still running"));
    EXPECT_TRUE(cipher == ReadFile(data));
    EXPECT_TRUE(Exists(temp));
}

TEST_F(Windows, PassUnderWaySharesItsKeyAndTurnsAwayASecondPassOverItsFile)
{
    // Checked and run while the first pass waits on its progress report.
    const std::string other = dir / "other.bin";
    WriteFile(other, plain);
    bool started = false;
    recorder.onTitle = [&](const std::string&) {
        if (std::exchange(started, true))
            return;
        EXPECT_EQ(1, ValidateRequest(other, key, 9, 0));
        EXPECT_EQ(1, TransformFile(other, key, 9, kDirectionEncrypt));
        EXPECT_EQ(0, ValidateRequest(data, key, 9, 0));
    };
    ASSERT_EQ(1, TransformFile(data, key, 9, kDirectionEncrypt));
    ExpectOneNotice(data + " is not done: another pass, still running, is using its temporary file " + temp +
                        ". Try again when it has finished.",
                    "Encrypt file error.");
    EXPECT_TRUE(cipher == ReadFile(data));
    EXPECT_TRUE(cipher == ReadFile(other));
}

// Only the file's attributes can be written while a pass holds it; a new
// last-write time is as much a change as new bytes.
TEST_F(Windows, FileOrKeyChangedDuringThePassIsLeftAsChanged)
{
    for (const std::string* changed : {&data, &key}) {
        SCOPED_TRACE(*changed);
        recorder.titles.clear();
        const FILETIME touched{0x12345678, 0x01D00000};
        recorder.onTitle = [&](const std::string&) {
            if (recorder.titles.size() != 2)
                return;
            // No program may write either while the pass reads them: the
            // pass's own opening keeps writers out, whatever the file
            // system's clock.
            Held writer(*changed, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, OPEN_EXISTING, GENERIC_WRITE);
            EXPECT_EQ(INVALID_HANDLE_VALUE, writer.handle);
            Held other(*changed, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, OPEN_EXISTING,
                       FILE_WRITE_ATTRIBUTES);
            ASSERT_NE(INVALID_HANDLE_VALUE, other.handle);
            EXPECT_TRUE(::SetFileTime(other.handle, nullptr, nullptr, &touched));
        };
        EXPECT_EQ(0, TransformFile(data, key, 9, kDirectionEncrypt));
        ASSERT_EQ(1u, recorder.notices.size());
        EXPECT_NE(std::string::npos, recorder.notices[0].text.find("was changed by another program during the pass"));
        recorder.notices.clear();
        EXPECT_TRUE(plain == ReadFile(data));
        EXPECT_TRUE(keyBytes == ReadFile(key));
        EXPECT_FALSE(Exists(temp));
        WIN32_FILE_ATTRIBUTE_DATA now{};
        ASSERT_TRUE(::GetFileAttributesExW(SystemPath(*changed).c_str(), GetFileExInfoStandard, &now));
        EXPECT_EQ(touched.dwHighDateTime, now.ftLastWriteTime.dwHighDateTime);
        EXPECT_EQ(touched.dwLowDateTime, now.ftLastWriteTime.dwLowDateTime);
    }
}

TEST_F(Windows, DataFileHeldOpenAtTheEndKeepsItsBytesAndTheResultWaits)
{
    std::unique_ptr<Held> other;
    recorder.onTitle = [&](const std::string&) {
        if (!other) {
            other = std::make_unique<Held>(data, FILE_SHARE_READ, OPEN_EXISTING, GENERIC_READ);
            EXPECT_NE(INVALID_HANDLE_VALUE, other->handle);
        }
    };
    EXPECT_EQ(0, TransformFile(data, key, 9, kDirectionEncrypt));
    other.reset();
    ExpectOneNotice("Encrypted file's name is left as: " + temp, "Error: Could not rename encrypted file!");
    EXPECT_TRUE(plain == ReadFile(data));
    EXPECT_TRUE(cipher == ReadFile(temp));
}

TEST_F(Windows, NamesOutsideAnyCodePageAndLongPathsGoThroughWhole)
{
    // Greek, Chinese and an emoji (a UTF-16 surrogate pair), in a folder deep
    // enough that the whole path passes 260 characters.
    std::string folder = dir.Path();
    for (int i = 0; i < 4; ++i) {
        folder += "\\" + std::string(60, static_cast<char>('a' + i));
        testsupport::MakeDirectory(folder);
    }
    const std::string name =
        folder + "\\\xCE\xB4\xCE\xBF\xCE\xBA\xCE\xB9\xCE\xBC\xCE\xAE-\xE6\x96\x87\xE4\xBB\xB6-\xF0\x9F\x94\x91.bin";
    ASSERT_GT(name.size(), 260u);
    WriteFile(name, plain);
    ASSERT_EQ(1, ValidateRequest(name, key, 9, 0));
    ASSERT_EQ(1, TransformFile(name, key, 9, kDirectionEncrypt));
    EXPECT_TRUE(cipher == ReadFile(name));
    ASSERT_EQ(1, TransformFile(name, key, 9, kDirectionDecrypt));
    EXPECT_TRUE(plain == ReadFile(name));
    EXPECT_TRUE(recorder.notices.empty());
    EXPECT_EQ("Working file "
              "\xCE\xB4\xCE\xBF\xCE\xBA\xCE\xB9\xCE\xBC\xCE\xAE-\xE6\x96\x87\xE4\xBB\xB6-\xF0\x9F\x94\x91.bin 1% done.",
              recorder.titles.front());
}

TEST_F(Windows, ResultKeepsTheAttributesThatDescribeTheFile)
{
    SetAttributes(data, FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_ARCHIVE);
    ASSERT_EQ(1, TransformFile(data, key, 9, kDirectionEncrypt));
    EXPECT_EQ(DWORD{FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_ARCHIVE}, AttributesOf(data));
    EXPECT_TRUE(cipher == ReadFile(data));
}

TEST(WindowsPaths, TemporaryFileLiesBesideTheDataFileWhateverTheSeparator)
{
    EXPECT_EQ("C:\\old.files\\data." + kSuffix, TemporaryPath("C:\\old.files\\data.bin"));
    EXPECT_EQ("C:\\old.files/data." + kSuffix, TemporaryPath("C:\\old.files/data.bin"));
    EXPECT_EQ("C:notes." + kSuffix, TemporaryPath("C:notes"));
}

struct FailingCalls : platform::SystemCalls {
    bool failWrite = false, failFlush = false, failRename = false;
    BOOL Write(HANDLE file, const void* buffer, DWORD count, DWORD* done) override
    {
        if (failWrite) {
            ::SetLastError(ERROR_DISK_FULL);
            return FALSE;
        }
        return SystemCalls::Write(file, buffer, count, done);
    }
    BOOL Flush(HANDLE file) override
    {
        if (failFlush) {
            ::SetLastError(ERROR_IO_DEVICE);
            return FALSE;
        }
        return SystemCalls::Flush(file);
    }
    BOOL SetFileInformation(HANDLE file, FILE_INFO_BY_HANDLE_CLASS kind, void* info, DWORD size) override
    {
        if (failRename && kind == FileRenameInfo) {
            ::SetLastError(ERROR_ACCESS_DENIED);
            return FALSE;
        }
        return SystemCalls::SetFileInformation(file, kind, info, size);
    }
};

TEST_F(Windows, FailuresBeneathThePassLeaveTheDataFileWhole)
{
    for (int fault = 0; fault < 2; ++fault) {
        Installed<FailingCalls> calls;
        (fault == 0 ? calls.failWrite : calls.failFlush) = true;
        EXPECT_EQ(0, TransformFile(data, key, 9, kDirectionEncrypt));
        ExpectOneNotice("Could not write " + temp + ".", "Error: Could not write encrypted file!");
        EXPECT_TRUE(plain == ReadFile(data));
        EXPECT_FALSE(Exists(temp));
    }
    Installed<FailingCalls> calls;
    calls.failRename = true;
    EXPECT_EQ(0, TransformFile(data, key, 9, kDirectionEncrypt));
    ExpectOneNotice("Encrypted file's name is left as: " + temp, "Error: Could not rename encrypted file!");
    EXPECT_TRUE(plain == ReadFile(data));
    EXPECT_TRUE(cipher == ReadFile(temp));
}

// A new file whose name can't be flushed to the disk after it was given
// (keygen's key) is not kept: it may not be there after a crash.
TEST_F(Windows, ANewFileWhoseNameIsNotFlushedGoesAgain)
{
    struct FlushFailsOnceNamed : FailingCalls {
        BOOL SetFileInformation(HANDLE file, FILE_INFO_BY_HANDLE_CLASS kind, void* info, DWORD size) override
        {
            const BOOL done = FailingCalls::SetFileInformation(file, kind, info, size);
            failFlush = failFlush || (done && kind == FileRenameInfo);
            return done;
        }
    };
    Installed<FlushFailsOnceNamed> calls;
    platform::Folder folder;
    ASSERT_TRUE(folder.Open(dir.Path()));
    {
        platform::ReplacementFile made;
        ASSERT_TRUE(made.CreateNew(folder, "new.key"));
        ASSERT_TRUE(made.Write("key", 3));
        EXPECT_EQ(platform::ReplacementFile::Replaced::NotFlushed, made.Place());
        EXPECT_EQ(DWORD{ERROR_IO_DEVICE}, ::GetLastError());
    }
    EXPECT_FALSE(Exists(dir / "new.key"));
}

// What Windows keeps on a file beyond its bytes stays with the result: the
// date it was created, and every named stream, above all the mark of a file
// from the internet (Zone.Identifier). Wine keeps no streams, so the calls
// beneath stand in for one, kept in a file of its own; a stream that can't
// be copied fails the pass.
TEST_F(Windows, TheResultKeepsTheCreationTimeAndEveryNamedStream)
{
    struct Streams : platform::SystemCalls {
        std::string kept;  // where the original's stream lives
        std::string copy;  // where the result's goes
        bool refuse = false;
        LARGE_INTEGER created{};
        HANDLE FindFirstStream(const wchar_t*, WIN32_FIND_STREAM_DATA* found) override
        {
            std::wcscpy(found->cStreamName, L"::$DATA");
            return reinterpret_cast<HANDLE>(this);
        }
        BOOL FindNextStream(HANDLE, WIN32_FIND_STREAM_DATA* found) override
        {
            if (std::wcscmp(found->cStreamName, L"::$DATA") == 0) {
                std::wcscpy(found->cStreamName, L":Zone.Identifier:$DATA");
                return TRUE;
            }
            ::SetLastError(ERROR_HANDLE_EOF);
            return FALSE;
        }
        BOOL FindClose(HANDLE) override { return TRUE; }
        HANDLE Open(const wchar_t* path, DWORD access, DWORD share, DWORD disposition, DWORD flags) override
        {
            const std::wstring name = path;
            const std::wstring stream = L":Zone.Identifier";
            if (name.size() <= stream.size() || name.compare(name.size() - stream.size(), stream.size(), stream) != 0)
                return SystemCalls::Open(path, access, share, disposition, flags);
            if (access == GENERIC_WRITE && refuse) {
                ::SetLastError(ERROR_ACCESS_DENIED);
                return INVALID_HANDLE_VALUE;
            }
            return SystemCalls::Open(SystemPath(access == GENERIC_WRITE ? copy : kept).c_str(), access, share,
                                     disposition, flags);
        }
        BOOL SetFileInformation(HANDLE file, FILE_INFO_BY_HANDLE_CLASS kind, void* info, DWORD size) override
        {
            if (kind == FileBasicInfo)
                created = static_cast<FILE_BASIC_INFO*>(info)->CreationTime;
            return SystemCalls::SetFileInformation(file, kind, info, size);
        }
    };
    const std::string zone = "[ZoneTransfer]\r\nZoneId=3\r\n";
    WriteFile(dir / "zone", zone);
    FILETIME created{};
    {
        Held original(data, FILE_SHARE_READ, OPEN_EXISTING, GENERIC_READ);
        ASSERT_TRUE(::GetFileTime(original.handle, &created, nullptr, nullptr));
    }
    Installed<Streams> calls;
    calls.kept = dir / "zone";
    calls.copy = dir / "zone copied";
    EXPECT_EQ(1, TransformFile(data, key, 9, kDirectionEncrypt));
    EXPECT_EQ(zone, ReadFile(dir / "zone copied"));
    EXPECT_EQ(created.dwLowDateTime, calls.created.LowPart);
    EXPECT_EQ(created.dwHighDateTime, static_cast<DWORD>(calls.created.HighPart));

    calls.refuse = true;
    EXPECT_EQ(0, TransformFile(data, key, 9, kDirectionDecrypt));
    ExpectOneNotice("Could not write " + temp + ".", "Error: Could not write encrypted file!");
    EXPECT_TRUE(cipher == ReadFile(data));
    EXPECT_FALSE(Exists(temp));
}

// Another program (a scanner, an indexer) holding the data file without
// letting it be replaced just as the pass renames over it: for 300 ms the
// pass waits it out; for good, it gives up after a few seconds and keeps the
// result under the temporary name.
TEST_F(Windows, ARenameWaitsOutAFileHeldForAMoment)
{
    struct HeldAtTheRename : platform::SystemCalls {
        std::string path;
        bool forGood = false;
        std::unique_ptr<Held> held;
        std::thread release;
        int renames = 0;
        BOOL SetFileInformation(HANDLE file, FILE_INFO_BY_HANDLE_CLASS kind, void* info, DWORD size) override
        {
            if (kind == FileRenameInfo && renames++ == 0) {
                held = std::make_unique<Held>(path, FILE_SHARE_READ | FILE_SHARE_WRITE, OPEN_EXISTING, GENERIC_READ);
                if (!forGood)
                    release = std::thread([this] {
                        ::Sleep(300);
                        held.reset();
                    });
            }
            return SystemCalls::SetFileInformation(file, kind, info, size);
        }
    };
    for (bool forGood : {false, true}) {
        WriteFile(data, plain);
        Installed<HeldAtTheRename> calls;
        calls.path = data;
        calls.forGood = forGood;
        EXPECT_EQ(forGood ? 0 : 1, TransformFile(data, key, 9, kDirectionEncrypt));
        if (calls.release.joinable())
            calls.release.join();
        calls.held.reset();
        EXPECT_GT(calls.renames, 1);
        if (forGood) {
            ExpectOneNotice("Encrypted file's name is left as: " + temp, "Error: Could not rename encrypted file!");
            EXPECT_TRUE(plain == ReadFile(data));
            EXPECT_TRUE(cipher == ReadFile(temp));
        } else {
            EXPECT_TRUE(cipher == ReadFile(data));
            EXPECT_FALSE(Exists(temp));
        }
    }
}

TEST_F(Windows, CancelledPassRemovesItsTemporaryFileSilently)
{
    recorder.onTitle = [&](const std::string&) {
        if (recorder.titles.size() == 3)
            platform::RequestCancel();
    };
    EXPECT_EQ(0, TransformFile(data, key, 9, kDirectionEncrypt));
    platform::ResetCancel();
    EXPECT_TRUE(recorder.notices.empty());
    EXPECT_TRUE(plain == ReadFile(data));
    EXPECT_FALSE(Exists(temp));
}

}  // namespace
