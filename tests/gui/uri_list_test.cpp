// Reading the text/uri-list of a drop; no window is involved.
#include "ui/wx/uri_list.h"

#include <gtest/gtest.h>

namespace {

using Kind = ui::ListedUri::Kind;

std::vector<ui::ListedUri> Read(const std::string& list) { return ui::ReadUriList(list, "thisbox"); }

TEST(UriList, LinesEndWithCrLfOrLfAndCommentsAreLeftOut)
{
    for (const char* list : {"file:///a/one.txt\r\nfile:///b/two.txt\r\n",
                             "# from a file manager\nfile:///a/one.txt\n\n#c\nfile:///b/two.txt"}) {
        const auto uris = Read(list);
        ASSERT_EQ(2u, uris.size()) << list;
        EXPECT_EQ("/a/one.txt", uris[0].path);
        EXPECT_EQ("/b/two.txt", uris[1].path);
    }
    EXPECT_TRUE(Read("# nothing but a comment\r\n").empty());
}

TEST(UriList, NamesArePercentDecoded)
{
    const auto uris = Read("file:///tmp/a%20b%C3%A9%25.txt\r\n");
    ASSERT_EQ(1u, uris.size());
    EXPECT_EQ(Kind::LocalFile, uris[0].kind);
    EXPECT_EQ("/tmp/a b\xC3\xA9%.txt", uris[0].path);
    // No file name holds an encoded slash or NUL.
    EXPECT_EQ(Kind::NotAFile, Read("file:///a%2Fb")[0].kind);
    EXPECT_EQ(Kind::NotAFile, Read("file:///a%00b")[0].kind);
}

TEST(UriList, OnlyFilesOfThisMachineAreLocal)
{
    for (const char* local :
         {"file:///x", "file:/x", "file://localhost/x", "file://LocalHost/x", "file://thisbox/x", "file://THISBOX/x"})
        EXPECT_EQ(Kind::LocalFile, Read(local)[0].kind) << local;
    EXPECT_EQ(Kind::OtherHost, Read("file://otherbox/x")[0].kind);
    EXPECT_EQ("", Read("file://otherbox/x")[0].path);
    for (const char* other : {"http://thisbox/x", "x", "file:///a\rfile:///b"})
        EXPECT_EQ(Kind::NotAFile, Read(other)[0].kind) << other;
}

}  // namespace
