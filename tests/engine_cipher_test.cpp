// The cipher itself: what a file becomes, where the temporary file goes, and
// what the title shows while a pass runs.
#include "engine/cipher.h"

#include "tests/support/files.h"
#include "tests/support/recorder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

using testsupport::Exists;
using testsupport::PatternBytes;
using testsupport::ReadFile;
using testsupport::Recorder;
using testsupport::TempDir;
using testsupport::WriteFile;

namespace {

const char kSuffix[] = "1\u00EA9";

TEST(CipherBytes, KnownVectorEncryptsAndDecrypts)
{
    TempDir dir;
    Recorder recorder;
    WriteFile(dir / "data.bin", "\xF0");
    WriteFile(dir / "key.bin", "\x10");
    ASSERT_EQ(1, TransformFile(dir / "data.bin", dir / "key.bin", 20, kDirectionEncrypt));
    EXPECT_EQ("\x14", ReadFile(dir / "data.bin"));
    ASSERT_EQ(1, TransformFile(dir / "data.bin", dir / "key.bin", 20, kDirectionDecrypt));
    EXPECT_EQ("\xF0", ReadFile(dir / "data.bin"));
    EXPECT_TRUE(recorder.notices.empty());
}

TEST(CipherBytes, AnyDirectionOtherThanOneDecrypts)
{
    TempDir dir;
    Recorder recorder;
    WriteFile(dir / "data.bin", "\x14\x14");
    WriteFile(dir / "key.bin", "\x10");
    ASSERT_EQ(1, TransformFile(dir / "data.bin", dir / "key.bin", 20, 7));
    EXPECT_EQ("\xF0\xF0", ReadFile(dir / "data.bin"));
}

TEST(CipherBytes, KeyShorterThanDataRepeatsItsLastByte)
{
    TempDir dir;
    Recorder recorder;
    WriteFile(dir / "data.bin", std::string(6, '\0'));
    WriteFile(dir / "key.bin", "\x01\x02\x03");
    ASSERT_EQ(1, TransformFile(dir / "data.bin", dir / "key.bin", 0, kDirectionEncrypt));
    EXPECT_EQ(std::string("\x01\x02\x03\x03\x03\x03", 6), ReadFile(dir / "data.bin"));
}

// Encrypting with no key byte at all would protect nothing; a file that
// earlier builds encrypted so still decrypts.
TEST(CipherBytes, AnEmptyKeyIsRefusedForEncryptingOnly)
{
    TempDir dir;
    Recorder recorder;
    WriteFile(dir / "data.bin", "bcd");
    WriteFile(dir / "key.bin", "");
    EXPECT_EQ(0, TransformFile(dir / "data.bin", dir / "key.bin", 1, kDirectionEncrypt));
    ASSERT_EQ(1u, recorder.notices.size());
    EXPECT_EQ("Encrypt file error.", recorder.notices[0].caption);
    EXPECT_EQ("bcd", ReadFile(dir / "data.bin"));
    EXPECT_FALSE(Exists(dir / (std::string("data.") + kSuffix)));
    ASSERT_EQ(1, TransformFile(dir / "data.bin", dir / "key.bin", 1, kDirectionDecrypt));
    EXPECT_EQ("abc", ReadFile(dir / "data.bin"));
}

TEST(CipherBytes, OnlyTheOffsetsLowByteCounts)
{
    TempDir dir;
    Recorder recorder;
    WriteFile(dir / "data.bin", "a");
    WriteFile(dir / "key.bin", std::string(1, '\0'));
    ASSERT_EQ(1, TransformFile(dir / "data.bin", dir / "key.bin", 256 + 2, kDirectionEncrypt));
    EXPECT_EQ("c", ReadFile(dir / "data.bin"));
}

// Round trips across block and progress boundaries, with keys shorter than,
// equal to and longer than the data.
TEST(CipherBytes, RoundTripsRestoreEveryByte)
{
    const size_t lengths[] = {1, 19, 20, 1000, 1001, 256 * 1024 + 3, 3 * 1024 * 1024 + 17};
    const size_t keyLengths[] = {1, 777, 300 * 1024, 4 * 1024 * 1024};
    for (size_t length : lengths) {
        for (size_t keyLength : keyLengths) {
            SCOPED_TRACE(testing::Message() << "data " << length << " key " << keyLength);
            TempDir dir;
            Recorder recorder;
            const std::string plain = PatternBytes(length, 3);
            WriteFile(dir / "data.bin", plain);
            WriteFile(dir / "key.bin", PatternBytes(keyLength, 9));
            ASSERT_EQ(1, TransformFile(dir / "data.bin", dir / "key.bin", 201, kDirectionEncrypt));
            const std::string cipher = ReadFile(dir / "data.bin");
            ASSERT_EQ(length, cipher.size());
            EXPECT_NE(plain, cipher);
            ASSERT_EQ(1, TransformFile(dir / "data.bin", dir / "key.bin", 201, kDirectionDecrypt));
            EXPECT_EQ(plain, ReadFile(dir / "data.bin"));
            EXPECT_FALSE(Exists(dir / (std::string("data.") + kSuffix)));
            EXPECT_TRUE(recorder.notices.empty());
        }
    }
}

// The blocked pass must give exactly what the byte-at-a-time rule gives, with
// the key ending inside a block and where one ends (a block is 256 KiB).
TEST(CipherBytes, MatchesTheByteRuleAtEveryPosition)
{
    for (const size_t keyLength : {500000, 256 * 1024}) {
        TempDir dir;
        Recorder recorder;
        const std::string plain = PatternBytes(700000, 5);
        const std::string key = PatternBytes(keyLength, 6);
        WriteFile(dir / "data.bin", plain);
        WriteFile(dir / "key.bin", key);
        ASSERT_EQ(1, TransformFile(dir / "data.bin", dir / "key.bin", 77, kDirectionEncrypt));
        const std::string cipher = ReadFile(dir / "data.bin");
        const std::string expected = testsupport::ReferenceEncrypt(plain, key, 77);
        ASSERT_EQ(expected.size(), cipher.size());
        const auto mismatch = std::mismatch(expected.begin(), expected.end(), cipher.begin());
        EXPECT_TRUE(mismatch.first == expected.end())
            << "key " << keyLength << ": first wrong byte at " << (mismatch.first - expected.begin());
    }
}

TEST(CipherBytes, ZeroKeyAndOffsetStillRewriteThroughTheTemporaryFile)
{
    TempDir dir;
    Recorder recorder;
    WriteFile(dir / "data.bin", "same");
    WriteFile(dir / "key.bin", std::string(4, '\0'));
    const auto before = testsupport::IdentityOf(dir / "data.bin");
    ASSERT_EQ(1, TransformFile(dir / "data.bin", dir / "key.bin", 0, kDirectionEncrypt));
    EXPECT_EQ("same", ReadFile(dir / "data.bin"));
    EXPECT_NE(before, testsupport::IdentityOf(dir / "data.bin"));
}

TEST(CipherBytes, EmptyDataFileStaysEmptyWithoutProgress)
{
    TempDir dir;
    Recorder recorder;
    WriteFile(dir / "data.bin", "");
    WriteFile(dir / "key.bin", "k");
    ASSERT_EQ(1, TransformFile(dir / "data.bin", dir / "key.bin", 5, kDirectionEncrypt));
    EXPECT_EQ("", ReadFile(dir / "data.bin"));
    EXPECT_TRUE(recorder.titles.empty());
}

TEST(TemporaryFile, LiesBesideTheDataFileCutAtTheNamesFirstDot)
{
    EXPECT_EQ(std::string("/home/ann.lee/report.") + kSuffix, TemporaryPath("/home/ann.lee/report.doc"));
    EXPECT_EQ(std::string("/srv/old.files/data.") + kSuffix, TemporaryPath("/srv/old.files/data.bin"));
    EXPECT_EQ(std::string("/srv/archive.") + kSuffix, TemporaryPath("/srv/archive.tar.gz"));
    EXPECT_EQ(std::string("notes.") + kSuffix, TemporaryPath("notes"));
    EXPECT_EQ(std::string("/a.b/notes.") + kSuffix, TemporaryPath("/a.b/notes"));
    EXPECT_EQ(std::string("/home/.") + kSuffix, TemporaryPath("/home/.profile"));
    const std::string longName(5000, 'n');
    EXPECT_EQ("/d/" + longName + "." + kSuffix, TemporaryPath("/d/" + longName + ".txt"));
}

// A file at the temporary name that no pass left there (the user's own, or
// a result kept for the user) is never removed nor written over.
TEST(TemporaryFile, AFileThereThatNoPassLeftIsLeftAlone)
{
    TempDir dir;
    Recorder recorder;
    WriteFile(dir / "data.bin", "abc");
    WriteFile(dir / "key.bin", "\x01");
    const std::string there = dir / (std::string("data.") + kSuffix);
    WriteFile(there, "mine");
    EXPECT_EQ(0, TransformFile(dir / "data.bin", dir / "key.bin", 0, kDirectionEncrypt));
    EXPECT_EQ(std::vector{platform::NoticeKind::TemporaryInTheWay}, recorder.kinds);
    EXPECT_EQ("abc", ReadFile(dir / "data.bin"));
    EXPECT_EQ("mine", ReadFile(there));
}

TEST(TemporaryFile, DotInADirectoryNameDoesNotMoveIt)
{
    TempDir dir;
    Recorder recorder;
    testsupport::MakeDirectory(dir / "old.files");
    WriteFile(dir / "old.files/data.bin", "xyz");
    WriteFile(dir / "key.bin", "\x01");
    ASSERT_EQ(1, TransformFile(dir / "old.files/data.bin", dir / "key.bin", 0, kDirectionEncrypt));
    EXPECT_EQ("yz{", ReadFile(dir / "old.files/data.bin"));
    EXPECT_FALSE(Exists(dir / (std::string("old.") + kSuffix)));
}

std::vector<std::string> TitlesFor(size_t length, const std::string& name = "data.bin")
{
    TempDir dir;
    Recorder recorder;
    WriteFile(dir / name, std::string(length, 'a'));
    WriteFile(dir / "key.bin", "k");
    EXPECT_EQ(1, TransformFile(dir / name, dir / "key.bin", 0, kDirectionEncrypt));
    return recorder.titles;
}

std::vector<std::string> Lines(const std::string& name, std::vector<int> percents)
{
    std::vector<std::string> lines;
    for (int p : percents)
        lines.push_back("Working file " + name + " " + std::to_string(p) + "% done.");
    return lines;
}

TEST(Progress, TitlesFollowTheTenthsOfTheFile)
{
    EXPECT_TRUE(TitlesFor(0).empty());
    EXPECT_EQ(Lines("data.bin", {1, 21, 41, 61, 81}), TitlesFor(5));
    EXPECT_EQ(Lines("data.bin", {1, 11, 21, 31, 41, 51, 61, 71, 81, 91}), TitlesFor(1000));
    EXPECT_EQ(Lines("data.bin", {1, 10, 20, 30, 40, 50, 60, 70, 80, 90, 100}), TitlesFor(1001));
    const auto titles29 = TitlesFor(29);
    ASSERT_EQ(15u, titles29.size());
    EXPECT_EQ("Working file data.bin 1% done.", titles29.front());
    EXPECT_EQ("Working file data.bin 97% done.", titles29.back());
    // The file's whole name, every dot of it.
    EXPECT_EQ(Lines("archive.tar.gz", {1, 21, 41, 61, 81}), TitlesFor(5, "archive.tar.gz"));
}

// What the pass reports, before anyone words it.
struct Reports : platform::ReportSink {
    platform::ReportSink* previous = platform::SetReportSink(this);
    std::vector<platform::Notice> notices;
    std::vector<platform::Progress> progress;
    ~Reports() override { platform::SetReportSink(previous); }
    void OnNotice(const platform::Notice& notice) override { notices.push_back(notice); }
    void OnProgress(const platform::Progress& step) override { progress.push_back(step); }
};

TEST(Progress, IsReportedAsTheFilesNameAndItsBytes)
{
    TempDir dir;
    WriteFile(dir / "data.bin", PatternBytes(1001, 1));
    WriteFile(dir / "key.bin", "k");
    Reports reports;
    ASSERT_EQ(1, TransformFile(dir / "data.bin", dir / "key.bin", 0, kDirectionEncrypt));
    ASSERT_EQ(11u, reports.progress.size());
    for (size_t i = 0; i < reports.progress.size(); ++i) {
        EXPECT_EQ("data.bin", reports.progress[i].fileName);
        EXPECT_EQ(static_cast<std::int64_t>(i) * 100, reports.progress[i].done);
        EXPECT_EQ(1001, reports.progress[i].total);
        EXPECT_EQ(ProgressPercent(reports.progress[i].done, 1001), reports.progress[i].percent);
    }
    EXPECT_EQ(100, reports.progress.back().percent);
    EXPECT_TRUE(reports.notices.empty());
}

TEST(Notices, NameWhatHappenedAndTheFilesItHappenedTo)
{
    TempDir dir;
    WriteFile(dir / "data.bin", "abc");
    Reports reports;
    EXPECT_EQ(0, ValidateRequest(dir / "data.bin", dir / "none.bin", 0, 0));
    ASSERT_EQ(1u, reports.notices.size());
    EXPECT_EQ(platform::NoticeKind::CannotFind, reports.notices[0].kind);
    EXPECT_EQ(std::vector<std::string>{dir / "none.bin"}, reports.notices[0].paths);
    EXPECT_EQ(0, reports.notices[0].systemError);
}

}  // namespace
