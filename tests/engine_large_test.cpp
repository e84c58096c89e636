// Files past 2 GiB and past 4 GiB, whose lengths and positions don't fit 32
// bits, go through whole.
#include "engine/cipher.h"

#include "tests/support/files.h"
#include "tests/support/recorder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <vector>

using testsupport::Exists;
using testsupport::Recorder;
using testsupport::TempDir;
using testsupport::WriteFile;

namespace {

namespace fs = std::filesystem;

constexpr std::int64_t kLength = (std::int64_t{1} << 31) + 4097;

unsigned char ByteAt(const std::string& path, std::int64_t at)
{
    std::ifstream in(fs::u8path(path), std::ios::binary);
    in.seekg(at);
    char byte = '\xEE';
    EXPECT_TRUE(in.read(&byte, 1));
    return static_cast<unsigned char>(byte);
}

TEST(LargeFile, RoundTripBeyondTwoGibibytes)
{
    TempDir dir;
    const std::string data = dir / "big.img";
    const std::string key = dir / "key.bin";
    WriteFile(data, "");
    fs::resize_file(fs::u8path(data), kLength);  // sparse where it can be: all zero bytes
    WriteFile(key, "\x05");

    Recorder recorder;
    ASSERT_EQ(1, TransformFile(data, key, 7, kDirectionEncrypt));
    EXPECT_TRUE(recorder.notices.empty());
    // The tenth of this length doesn't divide it: an eleventh line at 100%.
    ASSERT_EQ(11u, recorder.titles.size());
    EXPECT_EQ("Working file big.img 1% done.", recorder.titles.front());
    EXPECT_EQ("Working file big.img 90% done.", recorder.titles[9]);
    EXPECT_EQ("Working file big.img 100% done.", recorder.titles[10]);

    EXPECT_EQ(static_cast<std::uintmax_t>(kLength), fs::file_size(fs::u8path(data)));
    for (std::int64_t at : {std::int64_t{0}, (std::int64_t{1} << 31) - 1, std::int64_t{1} << 31, kLength - 1})
        EXPECT_EQ(12, ByteAt(data, at)) << "at " << at;

    ASSERT_EQ(1, TransformFile(data, key, 7, kDirectionDecrypt));
    EXPECT_EQ(static_cast<std::uintmax_t>(kLength), fs::file_size(fs::u8path(data)));
    std::ifstream in(fs::u8path(data), std::ios::binary);
    std::vector<char> block(1 << 20);
    std::int64_t total = 0;
    bool allZero = true;
    while (in.read(block.data(), static_cast<std::streamsize>(block.size())) || in.gcount() > 0) {
        const auto got = static_cast<size_t>(in.gcount());
        for (size_t i = 0; i < got && allZero; ++i)
            allZero = block[i] == 0;
        total += static_cast<std::int64_t>(got);
    }
    EXPECT_EQ(kLength, total);
    EXPECT_TRUE(allZero);
    EXPECT_FALSE(Exists(dir / "big.1\u00EA9"));
}

// Where a position is cut to 32 bits, the bytes past 4 GiB meet the key's
// first bytes again instead of its last one.
TEST(LargeFile, ShortKeyReachesBeyondFourGibibytes)
{
    constexpr std::int64_t kFourGibibytes = std::int64_t{1} << 32;
    constexpr std::size_t kTail = 3 * 4096;
    constexpr std::int64_t kLengthPastFour = kFourGibibytes + static_cast<std::int64_t>(kTail);
    TempDir dir;
    const std::string data = dir / "huge.img";
    const std::string key = dir / "key.bin";
    WriteFile(data, "");
    fs::resize_file(fs::u8path(data), kLengthPastFour);
    WriteFile(key, std::string("\x01\x02\x03", 3));

    Recorder recorder;
    ASSERT_EQ(1, TransformFile(data, key, 7, kDirectionEncrypt));
    EXPECT_TRUE(recorder.notices.empty());
    EXPECT_EQ(static_cast<std::uintmax_t>(kLengthPastFour), fs::file_size(fs::u8path(data)));
    EXPECT_EQ(8, ByteAt(data, 0));
    EXPECT_EQ(9, ByteAt(data, 1));
    EXPECT_EQ(10, ByteAt(data, 2));
    EXPECT_EQ(10, ByteAt(data, kFourGibibytes - 1));

    std::ifstream in(fs::u8path(data), std::ios::binary);
    in.seekg(kFourGibibytes);
    std::vector<char> tail(kTail);
    EXPECT_TRUE(in.read(tail.data(), static_cast<std::streamsize>(kTail)));
    EXPECT_EQ(static_cast<std::ptrdiff_t>(kTail), std::count(tail.begin(), tail.end(), 10));
}

}  // namespace
