// veltrane-cli.exe run as a Windows user runs it: a process of its own made
// from a wide command line, its exit status, what it prints and the files
// it leaves. The texts are byte for byte those of the Linux program.
#include "platform/win32/text.h"
#include "res/version.h"
#include "tests/support/files.h"

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

const std::string kSuffix = "1\xC3\xAA" "9";

// One argument as CommandLineToArgvW and the C runtime read it back.
std::wstring Quoted(const std::wstring& argument)
{
    if (!argument.empty() && argument.find_first_of(L" \t\"") == std::wstring::npos)
        return argument;
    std::wstring out = L"\"";
    size_t slashes = 0;
    for (const wchar_t c : argument) {
        if (c == L'\\') {
            ++slashes;
            continue;
        }
        out.append(c == L'"' ? slashes * 2 + 1 : slashes, L'\\');
        slashes = 0;
        out += c;
    }
    out.append(slashes * 2, L'\\');
    return out + L"\"";
}

struct Outcome {
    DWORD status = 0;
    std::string out, err;
};

class Cli {
public:
    explicit Cli(const std::vector<std::string>& args)
    {
        std::wstring command = Quoted(Widen(VELTRANE_CLI_PATH));
        for (const std::string& arg : args)
            command += L" " + Quoted(Widen(arg));
        SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
        HANDLE errWrite = nullptr;
        ::CreatePipe(&m_err, &errWrite, &inherit, 0);
        ::SetHandleInformation(m_err, HANDLE_FLAG_INHERIT, 0);
        m_outPath = m_dir / "stdout";
        const HANDLE out = ::CreateFileW(SystemPath(m_outPath).c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherit,
                                         CREATE_ALWAYS, 0, nullptr);
        const HANDLE in = ::CreateFileW(L"NUL", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit,
                                        OPEN_EXISTING, 0, nullptr);
        STARTUPINFOW startup{};
        startup.cb = sizeof startup;
        startup.dwFlags = STARTF_USESTDHANDLES;
        startup.hStdInput = in;
        startup.hStdOutput = out;
        startup.hStdError = errWrite;
        PROCESS_INFORMATION process{};
        if (::CreateProcessW(nullptr, command.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup,
                             &process)) {
            ::CloseHandle(process.hThread);
            m_process = process.hProcess;
        }
        ::CloseHandle(errWrite);
        ::CloseHandle(out);
        ::CloseHandle(in);
    }

    ~Cli()
    {
        if (m_process) {
            ::TerminateProcess(m_process, 99);
            Wait();
        }
    }

    Outcome Wait()
    {
        while (ReadSome()) {
        }
        Outcome outcome;
        ::WaitForSingleObject(m_process, INFINITE);
        ::GetExitCodeProcess(m_process, &outcome.status);
        ::CloseHandle(m_process);
        m_process = nullptr;
        ::CloseHandle(m_err);
        outcome.err = m_errText;
        outcome.out = ReadFile(m_outPath);
        return outcome;
    }

private:
    bool ReadSome()
    {
        char chunk[4096];
        DWORD got = 0;
        if (!::ReadFile(m_err, chunk, sizeof chunk, &got, nullptr) || got == 0)
            return false;
        m_errText.append(chunk, got);
        return true;
    }

    TempDir m_dir;
    std::string m_outPath;
    HANDLE m_process = nullptr;
    HANDLE m_err = nullptr;
    std::string m_errText;
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
    const std::string name = dir / "\xCE\xB4\xCE\xBF\xCE\xBA\xCE\xB9\xCE\xBC\xCE\xAE \xE6\x96\x87\xE4\xBB\xB6\xF0\x9F\x94\x91.txt";
    const std::string keyName = dir / "\xCE\xBA\xCE\xBB\xCE\xB5\xCE\xB9\xCE\xB4\xCE\xAF (1).key";
    const std::string longer = PatternBytes(5000, 5);  // beyond the key files' ends
    WriteFile(name, longer);
    WriteFile(keyName, keyBytes);

    const Outcome encrypted = RunCli({"encrypt", "-k", keyName, "-o", "200", name});
    EXPECT_EQ(0u, encrypted.status) << encrypted.err;
    EXPECT_EQ("", encrypted.out);
    EXPECT_EQ("", encrypted.err);
    EXPECT_TRUE(testsupport::ReferenceEncrypt(longer, keyBytes, 200) == ReadFile(name));

    const Outcome decrypted = RunCli({"decrypt", "--offset=200", "--key", keyName, "-v", name});
    EXPECT_EQ(0u, decrypted.status);
    EXPECT_EQ(0u, decrypted.err.find("Working file \xCE\xB4\xCE\xBF\xCE\xBA\xCE\xB9\xCE\xBC\xCE\xAE "
                                     "\xE6\x96\x87\xE4\xBB\xB6\xF0\x9F\x94\x91.txt 1% done.\n"));
    EXPECT_TRUE(longer == ReadFile(name));
    EXPECT_FALSE(Exists(dir / ("\xCE\xB4\xCE\xBF\xCE\xBA\xCE\xB9\xCE\xBC\xCE\xAE \xE6\x96\x87\xE4\xBB\xB6\xF0\x9F\x94\x91." + kSuffix)));
}

TEST_F(CliTest, RefusalsAndUsageErrorsSayWhatTheLinuxProgramSays)
{
    const Outcome same = RunCli({"encrypt", "-k", data, dir / "DATA.BIN"});
    EXPECT_EQ(1u, same.status);
    EXPECT_EQ("Filename error. (Bad idea.): Using  the same filename for encrypting file and a key "
              "file destroys the key file.\n"
              "You won't be able to recover the encrypted file.\n"
              "Choose a differnt key file.\n",
              same.err);

    const std::string missing = dir / "\xC3\xA4rger.txt";
    const Outcome refused = RunCli({"encrypt", "-k", key, "-o", "7", missing, data});
    EXPECT_EQ(1u, refused.status);
    EXPECT_EQ("Encrypt file error.: Cannot find " + missing + ".\n", refused.err);
    EXPECT_TRUE(testsupport::ReferenceEncrypt(plain, keyBytes, 7) == ReadFile(data));

    const Outcome range = RunCli({"decrypt", "-k", key, "-o", "4294967296", data});
    EXPECT_EQ(1u, range.status);
    EXPECT_EQ("Error: Offset must be value between 0 and 255.\n", range.err);

    const Outcome usage = RunCli({"encrypt", "-k", key, "-o", "12x", data});
    EXPECT_EQ(2u, usage.status);
    EXPECT_EQ("veltrane-cli: invalid offset '12x': a decimal integer is expected\n"
              "Try 'veltrane-cli --help'.\n",
              usage.err);

    const Outcome unwanted = RunCli({"--help=foo"});
    EXPECT_EQ(2u, unwanted.status);
    EXPECT_EQ("veltrane-cli: option '--help' doesn't allow an argument\nTry 'veltrane-cli --help'.\n", unwanted.err);

    const Outcome version = RunCli({"--version"});
    EXPECT_EQ(0u, version.status);
    EXPECT_EQ("veltrane-cli " VELTRANE_VERSION "\n", version.out);
    EXPECT_EQ(0u, RunCli({"--help"}).out.find("Usage: veltrane-cli encrypt|decrypt -k KEYFILE"));
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
    EXPECT_EQ(1u, outcome.status);
    EXPECT_EQ("Encrypt file error.: " + held +
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
    EXPECT_EQ(0u, RunCli({"keygen", "-n", "3M", made}).status);
    const std::string bytes = ReadFile(made);
    EXPECT_EQ(3u << 20, bytes.size());
    EXPECT_NE(std::string::npos, bytes.find_first_not_of('\0'));
    EXPECT_NE(0u, ::GetFileAttributesW(SystemPath(made).c_str()) & FILE_ATTRIBUTE_READONLY);
    const Outcome again = RunCli({"keygen", "-n", "1K", made});
    EXPECT_EQ(1u, again.status);
    EXPECT_EQ("veltrane-cli: " + made + " already exists; a key file is never written over\n", again.err);
    EXPECT_TRUE(bytes == ReadFile(made));

    // -r: every file below a folder in name order, leftovers of a pass skipped.
    testsupport::MakeDirectory(dir / "tree");
    testsupport::MakeDirectory(dir / "tree\\sub");
    WriteFile(dir / "tree\\b.txt", plain);
    WriteFile(dir / "tree\\sub\\a.txt", plain);
    WriteFile(dir / ("tree\\old." + kSuffix), "left over");
    // Windows folds names: this is the same ending.
    const std::string upper = dir / "tree\\older.1\xC3\x8A" "9";
    WriteFile(upper, "left over");
    const Outcome walked = RunCli({"encrypt", "-r", "-v", "-k", key, dir / "tree"});
    EXPECT_EQ(0u, walked.status);
    EXPECT_EQ("veltrane-cli: skipped (a temporary file): " + dir / ("tree\\old." + kSuffix) + "\n", walked.err.substr(0, walked.err.find('\n') + 1));
    EXPECT_LT(walked.err.find("Working file b.txt"), walked.err.find("Working file a.txt"));
    EXPECT_TRUE(testsupport::ReferenceEncrypt(plain, keyBytes, 0) == ReadFile(dir / "tree\\sub\\a.txt"));
    EXPECT_EQ("left over", ReadFile(dir / ("tree\\old." + kSuffix)));
    EXPECT_NE(std::string::npos, walked.err.find("veltrane-cli: skipped (a temporary file): " + upper + "\n"));
    EXPECT_EQ("left over", ReadFile(upper));
}

}  // namespace
