// What the new version of a file carries over from the old one: its access
// control list and extended attributes, and never more access than it had.
#include "engine/cipher.h"

#include "platform/posix/syscalls.h"
#include "tests/support/files.h"
#include "tests/support/recorder.h"

#include <gtest/gtest.h>

#include <acl/libacl.h>
#include <sys/acl.h>
#include <sys/xattr.h>

using testsupport::ModeOf;
using testsupport::PatternBytes;
using testsupport::ReadFile;
using testsupport::Recorder;
using testsupport::TempDir;
using testsupport::WriteFile;

namespace {

// The list in its short text form, "" where it can't be read.
std::string AclOf(const std::string& path, acl_type_t type = ACL_TYPE_ACCESS)
{
    acl_t acl = ::acl_get_file(path.c_str(), type);
    if (!acl)
        return "";
    char* text = ::acl_to_any_text(acl, nullptr, ',', TEXT_ABBREVIATE | TEXT_NUMERIC_IDS);
    std::string result = text ? text : "";
    ::acl_free(text);
    ::acl_free(acl);
    return result;
}

bool SetAcl(const std::string& path, const char* text, acl_type_t type = ACL_TYPE_ACCESS)
{
    acl_t acl = ::acl_from_text(text);
    const bool stored = acl && ::acl_set_file(path.c_str(), type, acl) == 0;
    ::acl_free(acl);
    return stored;
}

struct Metadata : testing::Test {
    TempDir dir;
    std::string data = dir / "data.bin";
    std::string key = dir / "key.bin";
    std::string plain = PatternBytes(300000, 31);
    Recorder recorder;

    Metadata()
    {
        WriteFile(data, plain);
        WriteFile(key, PatternBytes(100, 32));
    }

    void RoundTrip()
    {
        ASSERT_EQ(1, TransformFile(data, key, 3, kDirectionEncrypt));
        ASSERT_EQ(1, TransformFile(data, key, 3, kDirectionDecrypt));
        ASSERT_TRUE(plain == ReadFile(data));
    }
};

TEST_F(Metadata, AccessListAndExtendedAttributesTravelWithTheFile)
{
    if (!SetAcl(data, "u::rw-,u:65534:rw-,g::---,m::rw-,o::---"))
        GTEST_SKIP() << "no access control lists on this file system";
    const char tag[] = "blue";
    ASSERT_EQ(0, ::setxattr(data.c_str(), "user.veltrane.tag", tag, sizeof tag - 1, 0));
    const std::string before = AclOf(data);

    RoundTrip();
    EXPECT_EQ(before, AclOf(data));
    char got[16] = {};
    EXPECT_EQ(4, ::getxattr(data.c_str(), "user.veltrane.tag", got, sizeof got));
    EXPECT_STREQ(tag, got);
}

TEST_F(Metadata, FolderDefaultsNeverOpenTheFileToOthers)
{
    ::chmod(data.c_str(), 0640);
    if (!SetAcl(dir.Path(), "u::rwx,u:65534:rwx,g::r-x,m::rwx,o::---", ACL_TYPE_DEFAULT))
        GTEST_SKIP() << "no access control lists on this file system";
    const std::string minimal = "u::rw-,g::r--,o::---";
    ASSERT_EQ(minimal, AclOf(data));
    RoundTrip();
    EXPECT_EQ(minimal, AclOf(data));

    // Where the file system can't hold the permissions, the owner alone; a
    // copy that fails for another reason (a failing disk) fails the pass.
    struct NoPermissionCopy : platform::SystemCalls {
        int error = ENOTSUP;
        int CopyPermissions(const char*, int, const char*, int) override
        {
            errno = error;
            return -1;
        }
    } calls;
    platform::SystemCalls* previous = platform::SetSystemCalls(&calls);
    RoundTrip();
    calls.error = EIO;
    const std::string before = ReadFile(data);
    recorder.kinds.clear();
    EXPECT_EQ(0, TransformFile(data, key, 3, kDirectionEncrypt));
    platform::SetSystemCalls(previous);
    EXPECT_EQ(std::vector{platform::NoticeKind::CouldNotWrite}, recorder.kinds);
    EXPECT_TRUE(before == ReadFile(data));
    EXPECT_EQ("u::rw-,g::---,o::---", AclOf(data));
    EXPECT_EQ(0600u, ModeOf(data));
}

}  // namespace
