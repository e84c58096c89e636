// veltrane-cli.exe run as a Windows user runs it: a process of its own made
// from a wide command line, its exit status, what it prints and the files
// it leaves. The texts are byte for byte those of the Linux program.
#include "platform/win32/text.h"
#include "res/version.h"
#include "tests/support/files.h"
#include "tests/support/program.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <vector>

using platform::Narrow;
using platform::SystemPath;
using platform::Widen;
using testsupport::Exists;
using testsupport::PatternBytes;
using testsupport::ReadFile;
using testsupport::TempDir;
using testsupport::WriteFile;

namespace {

const std::string kSuffix = "1\u00EA9";

using Outcome = testsupport::ProgramOutcome;

struct Cli : testsupport::Program {
    explicit Cli(const std::vector<std::string>& args) : Program(testsupport::BuiltCommand(VELTRANE_CLI_PATH, args)) {}
};

Outcome RunCli(const std::vector<std::string>& args) { return Cli(args).Wait(); }

struct CliTest : testing::Test {
    TempDir dir;
    std::string key = dir / "key.bin";
    std::string keyBytes = PatternBytes(6000, 3);  // longer than every file: no short-key warning
    std::string data = dir / "data.bin";
    std::string plain = PatternBytes(1000, 4);

    CliTest()
    {
        WriteFile(key, keyBytes);
        WriteFile(data, plain);
    }
};

TEST_F(CliTest, NamesOutsideTheCodePageRoundTripSilently)
{
    // Greek, Chinese, an emoji and a space: none of them in a code page
    // together, so they come only through the wide command line.
    const std::string name =
        dir / "\xCE\xB4\xCE\xBF\xCE\xBA\xCE\xB9\xCE\xBC\xCE\xAE \xE6\x96\x87\xE4\xBB\xB6\xF0\x9F\x94\x91.txt";
    const std::string keyName = dir / "\xCE\xBA\xCE\xBB\xCE\xB5\xCE\xB9\xCE\xB4\xCE\xAF (1).key";
    const std::string longer = PatternBytes(5000, 5);  // beyond the key files' ends
    WriteFile(name, longer);
    WriteFile(keyName, keyBytes);

    const Outcome encrypted = RunCli({"encrypt", "-k", keyName, "-o", "200", name});
    EXPECT_EQ(0, encrypted.status) << encrypted.err;
    EXPECT_EQ("", encrypted.out);
    EXPECT_EQ("", encrypted.err);
    EXPECT_TRUE(testsupport::ReferenceEncrypt(longer, keyBytes, 200) == ReadFile(name));

    const Outcome decrypted = RunCli({"decrypt", "--offset=200", "--key", keyName, "-v", name});
    EXPECT_EQ(0, decrypted.status);
    EXPECT_EQ(0u, decrypted.err.find("Working file \xCE\xB4\xCE\xBF\xCE\xBA\xCE\xB9\xCE\xBC\xCE\xAE "
                                     "\xE6\x96\x87\xE4\xBB\xB6\xF0\x9F\x94\x91.txt 1% done.\n"));
    EXPECT_TRUE(longer == ReadFile(name));
    EXPECT_FALSE(
        Exists(dir / ("\xCE\xB4\xCE\xBF\xCE\xBA\xCE\xB9\xCE\xBC\xCE\xAE \xE6\x96\x87\xE4\xBB\xB6\xF0\x9F\x94\x91." +
                      kSuffix)));
}

TEST_F(CliTest, RefusalsAndUsageErrorsSayWhatTheLinuxProgramSays)
{
    const Outcome same = RunCli({"encrypt", "-k", data, dir / "DATA.BIN"});
    EXPECT_EQ(1, same.status);
    EXPECT_EQ("Filename error (Bad idea): Using  the same filename for encrypting file and a key "
              "file destroys the key file.\n"
              "You won't be able to recover the encrypted file.\n"
              "Choose a differnt key file.\n",
              same.err);

    const std::string missing = dir / "\xC3\xA4rger.txt";
    const Outcome refused = RunCli({"encrypt", "-k", key, "-o", "7", missing, data});
    EXPECT_EQ(1, refused.status);
    EXPECT_EQ("Encrypt file error: Cannot find " + missing + ".\n", refused.err);
    EXPECT_TRUE(testsupport::ReferenceEncrypt(plain, keyBytes, 7) == ReadFile(data));

    for (const char* offset : {"4294967296", "12x"}) {
        const Outcome usage = RunCli({"encrypt", "-k", key, "-o", offset, data});
        EXPECT_EQ(2, usage.status);
        EXPECT_EQ("veltrane-cli: invalid offset '" + std::string(offset) +
                      "': a decimal number from 0 to 255 is expected\nTry 'veltrane-cli --help'.\n",
                  usage.err);
    }

    const Outcome unwanted = RunCli({"--help=foo"});
    EXPECT_EQ(2, unwanted.status);
    EXPECT_EQ("veltrane-cli: option '--help' doesn't allow an argument\nTry 'veltrane-cli --help'.\n", unwanted.err);

    const Outcome version = RunCli({"--version"});
    EXPECT_EQ(0, version.status);
    EXPECT_EQ("veltrane-cli " VELTRANE_VERSION "\n", version.out);
    EXPECT_EQ(0u, RunCli({"/?"}).out.find("Usage: veltrane-cli encrypt|decrypt -k KEYFILE"));
}

// As cmd's users expect: the program expands a wildcard itself, as `dir`
// lists it (hidden files left out), and a pattern that matches nothing is
// refused as a name.
TEST_F(CliTest, WildcardsAreExpandedAsDirListsThem)
{
    for (const char* name : {"a.txt", "b.txt", "hidden.txt"})
        WriteFile(dir / name, plain);
    ASSERT_TRUE(SetFileAttributesW(platform::Widen(dir / "hidden.txt").c_str(), FILE_ATTRIBUTE_HIDDEN));
    const Outcome outcome = RunCli({"encrypt", "-q", "-k", key, dir / "*.txt", dir / "*.none"});
    EXPECT_EQ(1, outcome.status);
    EXPECT_EQ("Encrypt file error: Cannot find " + dir / "*.none" + ".\n", outcome.err);
    const std::string cipher = testsupport::ReferenceEncrypt(plain, keyBytes, 0);
    EXPECT_TRUE(cipher == ReadFile(dir / "a.txt"));
    EXPECT_TRUE(cipher == ReadFile(dir / "b.txt"));
    EXPECT_TRUE(plain == ReadFile(dir / "hidden.txt"));
    EXPECT_TRUE(plain == ReadFile(data));
}

TEST_F(CliTest, FileHeldOpenByAnotherProgramIsRefusedAndTheOthersGoOn)
{
    const std::string held = dir / "held.txt";
    WriteFile(held, plain);
    const HANDLE other = ::CreateFileW(SystemPath(held).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                       nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, other);
    const Outcome outcome = RunCli({"encrypt", "-k", key, held, data});
    ::CloseHandle(other);
    EXPECT_EQ(1, outcome.status);
    EXPECT_EQ("Encrypt file error: " + held +
                  " is in use by another program. Nothing was changed; try again when that program has closed it.\n",
              outcome.err);
    EXPECT_TRUE(plain == ReadFile(held));
    EXPECT_TRUE(testsupport::ReferenceEncrypt(plain, keyBytes, 0) == ReadFile(data));
}

TEST_F(CliTest, KeygenAndFoldersWorkWithWindowsCalls)
{
    // A new key: random, of the size asked for, marked read-only, and never
    // written over an existing file.
    const std::string made = dir / "new.key";
    EXPECT_EQ(0, RunCli({"keygen", "-n", "3M", made}).status);
    const std::string bytes = ReadFile(made);
    EXPECT_EQ(3u << 20, bytes.size());
    EXPECT_NE(std::string::npos, bytes.find_first_not_of('\0'));
    EXPECT_NE(0u, ::GetFileAttributesW(SystemPath(made).c_str()) & FILE_ATTRIBUTE_READONLY);
    const Outcome again = RunCli({"keygen", "-n", "1K", made});
    EXPECT_EQ(1, again.status);
    EXPECT_EQ("veltrane-cli: " + made + " already exists; a key file is never written over\n", again.err);
    EXPECT_TRUE(bytes == ReadFile(made));
    // More than the disk has room for is refused before a byte is taken.
    const Outcome huge = RunCli({"keygen", "-n", "4000T", dir / "huge.key"});
    EXPECT_EQ(1, huge.status);
    EXPECT_EQ(0u, huge.err.find("veltrane-cli: cannot make a key of 4398046511104000 bytes in " + dir.Path() +
                                ": there are only "))
        << huge.err;
    EXPECT_FALSE(Exists(dir / "huge.key"));

    // -r: every file below a folder in name order, leftovers of a pass and
    // Explorer's own files skipped (a hidden file is the user's), a folder
    // reached a second way taken once.
    testsupport::MakeDirectory(dir / "tree");
    testsupport::MakeDirectory(dir / "tree\\sub");
    WriteFile(dir / "tree\\b.txt", plain);
    const std::string shellFile = dir / "tree\\desktop.ini", hidden = dir / "tree\\hidden.txt";
    WriteFile(shellFile, "[.ShellClassInfo]");
    WriteFile(hidden, plain);
    ASSERT_TRUE(::SetFileAttributesW(Widen(shellFile).c_str(), FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_HIDDEN));
    ASSERT_TRUE(::SetFileAttributesW(Widen(hidden).c_str(), FILE_ATTRIBUTE_HIDDEN));
    WriteFile(dir / "tree\\sub\\a.txt", plain);
    WriteFile(dir / ("tree\\old." + kSuffix), "left over");
    // Windows folds names: this is the same ending.
    const std::string upper = dir / "tree\\older.1\xC3\x8A"
                                    "9";
    WriteFile(upper, "left over");
    const Outcome walked = RunCli({"encrypt", "-r", "-v", "-k", key, dir / "tree", dir / "tree\\sub"});
    EXPECT_EQ(0, walked.status);
    EXPECT_NE(std::string::npos,
              walked.err.find("veltrane-cli: skipped (a temporary file): " + dir / ("tree\\old." + kSuffix) + "\n"));
    EXPECT_LT(walked.err.find("Working file b.txt"), walked.err.find("Working file a.txt"));
    EXPECT_NE(std::string::npos,
              walked.err.find("veltrane-cli: skipped (reached a second way): " + dir / "tree\\sub\n"));
    EXPECT_TRUE(testsupport::ReferenceEncrypt(plain, keyBytes, 0) == ReadFile(dir / "tree\\sub\\a.txt"));
    EXPECT_EQ("left over", ReadFile(dir / ("tree\\old." + kSuffix)));
    EXPECT_NE(std::string::npos, walked.err.find("veltrane-cli: skipped (a temporary file): " + upper + "\n"));
    EXPECT_EQ("left over", ReadFile(upper));
    EXPECT_NE(std::string::npos, walked.err.find("veltrane-cli: skipped (a system file): " + shellFile + "\n"));
    EXPECT_EQ("[.ShellClassInfo]", ReadFile(shellFile));
    EXPECT_TRUE(testsupport::ReferenceEncrypt(plain, keyBytes, 0) == ReadFile(hidden));
}

}  // namespace
