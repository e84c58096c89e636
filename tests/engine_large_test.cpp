// A file past 2 GiB, whose length doesn't fit 32 bits, goes through whole.
#include "engine/cipher.h"

#include "tests/support/files.h"
#include "tests/support/recorder.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <vector>

using testsupport::Exists;
using testsupport::Recorder;
using testsupport::TempDir;
using testsupport::WriteFile;

namespace {

constexpr off_t kLength = (off_t{1} << 31) + 4097;

unsigned char ByteAt(const std::string& path, off_t at)
{
    const int fd = ::open(path.c_str(), O_RDONLY);
    unsigned char byte = 0xEE;
    EXPECT_EQ(1, ::pread(fd, &byte, 1, at));
    ::close(fd);
    return byte;
}

TEST(LargeFile, RoundTripBeyondTwoGibibytes)
{
    TempDir dir;
    const std::string data = dir / "big.img";
    const std::string key = dir / "key.bin";
    {
        const int fd = ::open(data.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        ASSERT_GE(fd, 0);
        ASSERT_EQ(0, ::ftruncate(fd, kLength));  // sparse: all zero bytes
        ::close(fd);
    }
    WriteFile(key, "\x05");

    Recorder recorder;
    ASSERT_EQ(1, TransformFile(data, key, 7, kDirectionEncrypt));
    EXPECT_TRUE(recorder.notices.empty());
    // The tenth of this length doesn't divide it: an eleventh line at 100%.
    ASSERT_EQ(11u, recorder.titles.size());
    EXPECT_EQ("Working file big.img 1% done.", recorder.titles.front());
    EXPECT_EQ("Working file big.img 90% done.", recorder.titles[9]);
    EXPECT_EQ("Working file big.img 100% done.", recorder.titles[10]);

    struct stat status {};
    ASSERT_EQ(0, ::stat(data.c_str(), &status));
    EXPECT_EQ(kLength, status.st_size);
    for (off_t at : {off_t{0}, (off_t{1} << 31) - 1, off_t{1} << 31, kLength - 1})
        EXPECT_EQ(12, ByteAt(data, at)) << "at " << at;

    ASSERT_EQ(1, TransformFile(data, key, 7, kDirectionDecrypt));
    ASSERT_EQ(0, ::stat(data.c_str(), &status));
    EXPECT_EQ(kLength, status.st_size);
    const int fd = ::open(data.c_str(), O_RDONLY);
    std::vector<char> block(1 << 20);
    off_t total = 0;
    ssize_t got;
    bool allZero = true;
    while ((got = ::read(fd, block.data(), block.size())) > 0) {
        for (ssize_t i = 0; i < got && allZero; ++i)
            allZero = block[static_cast<size_t>(i)] == 0;
        total += got;
    }
    ::close(fd);
    EXPECT_EQ(kLength, total);
    EXPECT_TRUE(allZero);
    EXPECT_FALSE(Exists(dir / "big.1\xC3\xAA" "9"));
}

}  // namespace
