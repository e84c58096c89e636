// veltrane-cli run as a user runs it: the built program in a child process,
// its exit status and what it prints, and the files it leaves.
#include "cli/folders.h"
#include "cli/keygen.h"
#include "engine/cipher.h"
#include "platform/files.h"
#include "platform/posix/syscalls.h"
#include "res/version.h"
#include "tests/support/child.h"
#include "tests/support/files.h"
#include "tests/support/posix/syscalls.h"
#include "tests/support/program.h"
#include "tests/support/recorder.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <poll.h>
#include <sys/inotify.h>
#include <sys/wait.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <iterator>
#include <sstream>
#include <functional>
#include <string_view>
#include <vector>

using testsupport::Exists;
using testsupport::ModeOf;
using testsupport::PatternBytes;
using testsupport::ReadFile;
using testsupport::Recorder;
using testsupport::TempDir;
using testsupport::WriteFile;

namespace {

const std::string kSuffix = "1\u00EA9";
const std::string kTryHelp = "Try 'veltrane-cli --help'.\n";

using Outcome = testsupport::ProgramOutcome;
using SpawnOptions = testsupport::ProgramOptions;

// One run of the program, with standard error read as it comes.
struct Cli : testsupport::Program {
    explicit Cli(const std::vector<std::string>& args, const SpawnOptions& options = {})
        : Program(testsupport::BuiltCommand(VELTRANE_CLI_PATH, args), options)
    {
    }
    pid_t Pid() const { return static_cast<pid_t>(Id()); }
};

Outcome RunCli(const std::vector<std::string>& args, const SpawnOptions& options = {})
{
    return Cli(args, options).Wait();
}

struct CliTest : testing::Test {
    TempDir dir;
    std::string key = dir / "key.bin";
    std::string keyBytes = PatternBytes(1200, 3);
    std::string data = dir / "data.bin";
    std::string plain = PatternBytes(1000, 4);

    CliTest()
    {
        WriteFile(key, keyBytes);
        WriteFile(data, plain);
    }

    std::string Encrypted(const std::string& bytes, int offset) const
    {
        return testsupport::ReferenceEncrypt(bytes, keyBytes, offset);
    }

    // A line of bash that runs the program as "${CLI[@]}", with `args` as $1,
    // $2, ...; with `ownMounts`, in a mount namespace of its own, so that
    // what it mounts is gone with it.
    static std::vector<std::string> Shell(const std::string& line, const std::vector<std::string>& args,
                                          bool ownMounts = false)
    {
        std::string program;
        for (const std::string& word : testsupport::BuiltProgram(VELTRANE_CLI_PATH))
            program += " '" + word + "'";
        std::vector<std::string> command = {"bash", "-c", "CLI=(" + program + "); " + line, "bash"};
        if (ownMounts)
            command.insert(command.begin(), {"unshare", "-m"});
        command.insert(command.end(), args.begin(), args.end());
        return command;
    }

    static bool HaveStrace() { return testsupport::Program({"strace", "-V"}).Wait().status == 0; }

    // The program run with `args` under strace, each of `expressions` given
    // with -e (faults to inject, calls to trace), the trace written to
    // `trace` with the paths of descriptors.
    static std::vector<std::string> Traced(const std::vector<std::string>& expressions,
                                           const std::vector<std::string>& args, const std::string& trace = "/dev/null")
    {
        std::vector<std::string> command = {"strace", "-f", "-y", "-qq", "-o", trace};
        for (const std::string& expression : expressions)
            command.insert(command.end(), {"-e", expression});
        command.push_back(VELTRANE_CLI_PATH);
        command.insert(command.end(), args.begin(), args.end());
        return command;
    }
};

// A program run under strace, where a leak check can't run (it needs to
// trace the program itself); the sanitizers' other checks still do.
const SpawnOptions kTraced{0, -1, false, false, {"ASAN_OPTIONS=detect_leaks=0"}};

// Whether this process may make mounts of its own (root, in a mount
// namespace of its own), for the cases that need a file system as users
// have them.
bool CanMount() { return ::geteuid() == 0 && testsupport::Program({"unshare", "-m", "true"}).Wait().status == 0; }

TEST_F(CliTest, RoundTripRestoresEveryByteAndOnlyWarnsOfTheShortKey)
{
    const Outcome encrypted = RunCli({"encrypt", "-k", key, "-o", "200", data});
    EXPECT_EQ(0, encrypted.status);
    EXPECT_EQ("", encrypted.out);
    EXPECT_EQ("", encrypted.err);

    // Past the key file's end the pass is as it always was, with a warning
    // that says what the short key protects, but never with -q.
    const std::string longer = PatternBytes(5000, 5);
    WriteFile(data, longer);
    const std::string warning = "veltrane-cli: warning: " + data +
                                ": the key is only 1200 bytes long; every byte from position 1200 on is "
                                "combined with one single key byte\n";
    const Outcome warned = RunCli({"encrypt", "-k", key, "-o", "200", data});
    EXPECT_EQ(0, warned.status);
    EXPECT_EQ(warning, warned.err);
    EXPECT_TRUE(Encrypted(longer, 200) == ReadFile(data));

    const Outcome decrypted = RunCli({"decrypt", "-q", "--offset=200", "--key", key, data});
    EXPECT_EQ(0, decrypted.status);
    EXPECT_EQ("", decrypted.err);
    EXPECT_TRUE(longer == ReadFile(data));

    // A key's length is what it gives where the length it reports says
    // nothing (under /proc), and what it reports once it gives a whole block.
    WriteFile(data, PatternBytes(200000, 5));
    WriteFile(key, PatternBytes(100000, 7));
    for (const std::string& shortKey : {key, std::string("/proc/version")}) {
        const Outcome outcome = RunCli({"encrypt", "-k", shortKey, data});
        EXPECT_EQ(0, outcome.status);
        EXPECT_NE(std::string::npos,
                  outcome.err.find(": the key is only " + std::to_string(ReadFile(shortKey).size()) + " bytes long"))
            << outcome.err;
    }
    EXPECT_FALSE(Exists(dir / ("data." + kSuffix)));
}

TEST_F(CliTest, RefusedFileInTheMiddleDoesNotStopTheOthers)
{
    const std::string first = dir / "first.txt", last = dir / "last.txt";
    WriteFile(first, plain);
    WriteFile(last, plain);
    const Outcome outcome = RunCli({"encrypt", "-q", "-k", key, "-o", "7", first, dir / "missing.txt", last});
    EXPECT_EQ(1, outcome.status);
    EXPECT_EQ("Encrypt file error: Cannot find " + dir / "missing.txt" + ".\n", outcome.err);
    EXPECT_TRUE(Encrypted(plain, 7) == ReadFile(first));
    EXPECT_TRUE(Encrypted(plain, 7) == ReadFile(last));
}

TEST_F(CliTest, RefusalsPrintTheirExactLinesAndChangeNothing)
{
    const Outcome same = RunCli({"encrypt", "-k", data, data});
    EXPECT_EQ(1, same.status);
    EXPECT_EQ("Filename error (Bad idea): Using  the same filename for encrypting file and a key "
              "file destroys the key file.\n"
              "You won't be able to recover the encrypted file.\n"
              "Choose a differnt key file.\n",
              same.err);
    EXPECT_TRUE(plain == ReadFile(data));
}

// Where a user would believe a file protected that isn't: an empty key, a
// file named twice, one key for several files; and what a refusal leaves.
TEST_F(CliTest, NoFalseComfort)
{
    const std::string empty = dir / "empty.key", copy = dir / "copy.bin";
    WriteFile(empty, "");
    const std::string refusal = "Encrypt file error: The key file " + empty +
                                " is empty: encrypting with it would protect nothing. Choose a key file that holds "
                                "bytes; nothing was changed.\n";
    for (const char* quiet : {"-v", "-q"}) {
        const Outcome refused = RunCli({"encrypt", quiet, "-k", empty, data});
        EXPECT_EQ(1, refused.status);
        EXPECT_EQ(refusal, refused.err);
    }
    EXPECT_TRUE(plain == ReadFile(data));
    EXPECT_FALSE(Exists(dir / ("data." + kSuffix)));
    // Files once encrypted so can still be restored.
    const Outcome decrypted = RunCli({"decrypt", "-o", "1", "-k", empty, data});
    EXPECT_EQ(0, decrypted.status);
    EXPECT_EQ("veltrane-cli: warning: " + data +
                  ": the key file is empty; no key byte is combined with the file, only the offset\n",
              decrypted.err);
    WriteFile(data, plain);

    // Done once, whatever the names; one key for two files is warned of once.
    WriteFile(copy, plain);
    const std::string again = dir / "./data.bin";
    const Outcome twice = RunCli({"encrypt", "-k", key, data, copy, again, data});
    EXPECT_EQ(0, twice.status);
    EXPECT_EQ("veltrane-cli: warning: one key file is used for several files, which protects none of them fully: "
              "anyone who has two of the results can learn about both from their difference; make a key for each "
              "file instead (veltrane-cli keygen --for FILE KEYFILE)\n"
              "veltrane-cli: skipped (named twice): " +
                  again + "\n" + "veltrane-cli: skipped (named twice): " + data + "\n",
              twice.err);
    EXPECT_TRUE(Encrypted(plain, 0) == ReadFile(data));
    EXPECT_TRUE(Encrypted(plain, 0) == ReadFile(copy));
    // Decrypting them with the key they were made with is what it is for.
    EXPECT_EQ("", RunCli({"decrypt", "-k", key, data, copy}).err);

    // A folder without -r, and a read-only file whose result waits beside it.
    const Outcome folder = RunCli({"decrypt", "-k", key, dir.Path()});
    EXPECT_EQ(1, folder.status);
    EXPECT_EQ("veltrane-cli: " + dir.Path() + " is a folder; -r takes the files in a folder\n", folder.err);
    ASSERT_EQ(0, ::chmod(data.c_str(), 0444));
    const Outcome readOnly = RunCli({"encrypt", "-k", key, data});
    EXPECT_EQ(1, readOnly.status);
    EXPECT_EQ("Error: Could not delete original file: Could not delete " + data +
                  ": it is read-only; the finished result was kept as " + dir / ("data." + kSuffix) + ".\n",
              readOnly.err);
}

// -c: the result on standard output, the file as it was; standard input as
// FILE; a reader that stops early, a full disk and a terminal.
TEST_F(CliTest, StandardOutputLeavesTheFileAsItIs)
{
    const std::string temp = dir / ("data." + kSuffix);
    const Outcome encrypted = RunCli({"encrypt", "-c", "-o", "3", "-k", key, data});
    EXPECT_EQ(0, encrypted.status) << encrypted.err;
    EXPECT_TRUE(Encrypted(plain, 3) == encrypted.out);
    EXPECT_TRUE(plain == ReadFile(data));
    EXPECT_FALSE(Exists(temp));

    WriteFile(dir / "sealed", encrypted.out);
    WriteFile(dir / "big", PatternBytes(1 << 20, 5));
    const auto shell = [&](const std::string& line) {
        return testsupport::Program(Shell(line, {key, dir / "sealed", dir / "big"})).Wait();
    };
    const Outcome restored = shell("\"${CLI[@]}\" decrypt -c -o 3 -k \"$1\" - < \"$2\"");
    EXPECT_EQ(0, restored.status) << restored.err;
    EXPECT_TRUE(plain == restored.out);
    // More than a pipe holds, so that the reader leaves before the end.
    const Outcome head =
        shell("\"${CLI[@]}\" decrypt -c -q -k \"$1\" \"$3\" | head -c 10 >/dev/null; echo ${PIPESTATUS[0]}");
    EXPECT_EQ("1\n", head.out);
    EXPECT_EQ("", head.err);
    const Outcome full = shell("\"${CLI[@]}\" decrypt -c -k \"$1\" \"$2\" > /dev/full");
    EXPECT_EQ(1, full.status);
    EXPECT_EQ("Error: Could not write encrypted file: Could not write standard output: No space left on device.\n",
              full.err);
    const std::string cli = testsupport::BuiltProgramCommand(VELTRANE_CLI_PATH);
    const Outcome terminal =
        testsupport::Program({"script", "-qec", cli + " decrypt -c -k " + key + " " + data, "/dev/null"}).Wait();
    EXPECT_EQ(2, terminal.status);
    EXPECT_NE(std::string::npos, terminal.out.find("standard output is a terminal")) << terminal.out;
    EXPECT_TRUE(plain == ReadFile(data));
}

TEST_F(CliTest, UsageErrorsExitWithTwoAndTouchNothing)
{
    const mode_t keyMode = ModeOf(key);
    const std::vector<std::vector<std::string>> wrong = {
        {},
        {"scramble", "-k", key, data},
        {"encrypt", data},
        {"encrypt", "-k", key},
        {"encrypt", "-k", "", data},
        {"encrypt", "-k", key, ""},
        {"encrypt", "-k", key, "-o", "12x", data},
        {"encrypt", "-k", key, "-o", "", data},
        // Out of range however far: a value past 32 bits must not wrap
        // round into the range (4294967296 would become offset 0).
        {"decrypt", "-k", key, "-o", "256", data},
        {"decrypt", "-k", key, "-o", "-1", data},
        {"decrypt", "-k", key, "-o", "4294967296", data},
        {"decrypt", "-k", key, "-o", "-4294967295", data},
        {"decrypt", "-k", key, "-o", "99999999999999999999", data},
        {"decrypt", "-k", key, data, "-"},
        {"encrypt", "-k", key, "-q", "-v", data},
        {"encrypt", "-k", key, "--frobnicate", data},
        {"encrypt", "-k", key, "--key-read-only", "-o", "0x10", data},
        {"encrypt", data, "-k"},
        {"encrypt", "-k", key, "-o", "3", "--offset=4", data},
        {"encrypt", "-k", key, "--key", data, data},
        {"keygen", "-n", "1K", "--size=2K", dir / "k"},
        {"decrypt", "-c", "-k", key, data, data},
        {"decrypt", "-c", "-r", "-k", key, dir.Path()},
    };
    for (const auto& args : wrong) {
        const Outcome outcome = RunCli(args);
        const std::string shown = testing::PrintToString(args);
        EXPECT_EQ(2, outcome.status) << shown;
        EXPECT_EQ("", outcome.out) << shown;
        EXPECT_EQ(0u, outcome.err.rfind("veltrane-cli: ", 0)) << shown << outcome.err;
        EXPECT_EQ(2, std::count(outcome.err.begin(), outcome.err.end(), '\n')) << shown;
        EXPECT_TRUE(outcome.err.size() > kTryHelp.size() &&
                    outcome.err.compare(outcome.err.size() - kTryHelp.size(), kTryHelp.size(), kTryHelp) == 0)
            << shown << outcome.err;
    }
    EXPECT_EQ("veltrane-cli: invalid offset '12x': a decimal number from 0 to 255 is expected\n" + kTryHelp,
              RunCli({"encrypt", "-k", key, "-o", "12x", data}).err);
    EXPECT_TRUE(plain == ReadFile(data));
    EXPECT_EQ(keyMode, ModeOf(key));

    // The same value twice is no conflict.
    EXPECT_EQ(0, RunCli({"decrypt", "-k", key, "--key", key, "-o", "3", "-o", "03", data}).status);
    EXPECT_EQ("veltrane-cli: option '--offset' given twice with different values\n" + kTryHelp,
              RunCli({"encrypt", "-k", key, "-o", "3", "--offset=4", data}).err);

    const Outcome help = RunCli({"-h"});
    EXPECT_EQ(0, help.status);
    EXPECT_EQ(0u, help.out.rfind("Usage: veltrane-cli encrypt|decrypt -k KEYFILE", 0));
    EXPECT_NE(std::string::npos, help.out.find("\nExit status:\n"));
    EXPECT_EQ("", help.err);

    const Outcome version = RunCli({"--version"});
    EXPECT_EQ(0, version.status);
    EXPECT_EQ("veltrane-cli " VELTRANE_VERSION "\n", version.out);
}

TEST_F(CliTest, VerboseShowsEveryProgressLineAndQuietNone)
{
    const Outcome verbose = RunCli({"encrypt", "-v", "-k", key, data});
    EXPECT_EQ(0, verbose.status);
    std::string expected;
    for (int percent = 1; percent <= 91; percent += 10)
        expected += "Working file data.bin " + std::to_string(percent) + "% done.\n";
    EXPECT_EQ(expected, verbose.err);

    const Outcome quiet = RunCli({"decrypt", "-q", "-k", key, data}, SpawnOptions{80});
    EXPECT_EQ(0, quiet.status);
    EXPECT_EQ("", quiet.err);
    EXPECT_TRUE(plain == ReadFile(data));
}

TEST_F(CliTest, TerminalGetsOneLineRedrawnInPlaceAndWipedAtTheEnd)
{
    const Outcome outcome = RunCli({"encrypt", "-k", key, data}, SpawnOptions{40});
    EXPECT_EQ(0, outcome.status);
    EXPECT_EQ(std::string::npos, outcome.err.find('\n'));

    // Each draw starts with a carriage return; the last wipes the line and
    // returns to its start.
    std::vector<std::string> draws;
    size_t at = 0;
    for (size_t next; (next = outcome.err.find('\r', at)) != std::string::npos; at = next + 1)
        draws.push_back(outcome.err.substr(at, next - at));
    EXPECT_EQ(outcome.err.size(), at);
    ASSERT_EQ(12u, draws.size());
    EXPECT_EQ("", draws[0]);
    // Too narrow for the bar here; no draw may reach the last column, where
    // the terminal would wrap and the next carriage return miss the line.
    EXPECT_EQ("Working file data.bin 1% done.", draws[1]);
    EXPECT_EQ("Working file data.bin 91% done.", draws[10]);
    for (const std::string& draw : draws)
        EXPECT_GT(40u, draw.size()) << draw;
    EXPECT_EQ(std::string(draws[10].size(), ' '), draws[11]);

    // Where there is room, once the file has taken a second (its second
    // line is held up that long), how fast it goes and how long it has
    // left; a folder ends with what became of its files.
    if (!HaveStrace())
        GTEST_SKIP() << "no strace";
    SpawnOptions traced = kTraced;
    traced.terminalColumns = 100;
    const Outcome wide =
        testsupport::Program(
            Traced({"inject=write:delay_exit=1100000:when=2"}, {"decrypt", "-r", "-k", key, dir.Path()}), traced)
            .Wait();
    const size_t last = wide.err.find("\rWorking file data.bin 91% done. [##################..] ");
    ASSERT_NE(std::string::npos, last) << wide.err;
    EXPECT_NE(std::string::npos, wide.err.find("/s, 0:0", last));
    // The terminal turns each line break into CR LF.
    const std::string summary = "veltrane-cli: 1 file done, 1 skipped, 0 failed\r\n";
    EXPECT_EQ(summary, wide.err.substr(wide.err.size() - std::min(summary.size(), wide.err.size())));
    EXPECT_TRUE(plain == ReadFile(data));
}

TEST_F(CliTest, ProgressThatNobodyReadsDoesNotStopThePass)
{
    SpawnOptions options;
    options.closedStderr = true;
    EXPECT_EQ(0, RunCli({"encrypt", "-v", "-k", key, data}, options).status);
    EXPECT_TRUE(Encrypted(plain, 0) == ReadFile(data));
    EXPECT_FALSE(Exists(dir / ("data." + kSuffix)));
}

TEST_F(CliTest, FullDiskLeavesTheDataFileWhole)
{
    plain = PatternBytes(2 * 1024 * 1024, 6);
    WriteFile(data, plain);
    // The limit holds the temporary file to 100 KiB. Whether the caller
    // ignores SIGXFSZ or not, the write fails instead of killing the pass.
    for (const bool callerIgnores : {true, false}) {
        SpawnOptions options;
        options.fileSizeLimit = 100 * 1024;
        options.ignoreFileSizeSignal = callerIgnores;
        const Outcome outcome = RunCli({"encrypt", "-k", key, data}, options);
        EXPECT_EQ(1, outcome.status);
        // The system's reason follows the window's text.
        EXPECT_EQ("Error: Could not write encrypted file: Could not write " + dir / ("data." + kSuffix) +
                      ": File too large.\n",
                  outcome.err.substr(outcome.err.find("Error: ")));
        EXPECT_TRUE(plain == ReadFile(data));
        EXPECT_FALSE(Exists(dir / ("data." + kSuffix)));
    }
}

// A fingerprint of a file too big to hold twice in memory.
size_t Fingerprint(const std::string& path)
{
    const int fd = ::open(path.c_str(), O_RDONLY);
    std::vector<char> chunk(1 << 20);
    size_t hash = 0;
    ssize_t got;
    while ((got = ::read(fd, chunk.data(), chunk.size())) > 0)
        hash = hash * 31 + std::hash<std::string_view>()(std::string_view(chunk.data(), static_cast<size_t>(got)));
    ::close(fd);
    return hash;
}

TEST_F(CliTest, InterruptedPassLeavesTheFileAsItWasAndStartsNoOther)
{
    const std::string big = dir / "big.img";
    {
        // Sparse but for real bytes at both ends: quick to make, and long
        // enough to be caught mid-pass.
        const int fd = ::open(big.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        ASSERT_GE(fd, 0);
        const std::string ends = PatternBytes(1 << 20, 7);
        constexpr off_t kLength = off_t{512} << 20;
        ASSERT_EQ(static_cast<ssize_t>(ends.size()), ::pwrite(fd, ends.data(), ends.size(), 0));
        ASSERT_EQ(static_cast<ssize_t>(ends.size()),
                  ::pwrite(fd, ends.data(), ends.size(), kLength - static_cast<off_t>(ends.size())));
        ::close(fd);
    }
    const size_t before = Fingerprint(big);

    // The second time the same two files come from their folder (the key
    // file in it is skipped): a stop leaves the same list.
    for (const auto& [signal, status] : {std::pair{SIGINT, 130}, std::pair{SIGTERM, 143}}) {
        Cli cli(signal == SIGINT ? std::vector<std::string>{"encrypt", "-v", "-k", key, big, data}
                                 : std::vector<std::string>{"encrypt", "-v", "-r", "-k", key, dir.Path()});
        ASSERT_TRUE(cli.ReadUntil("Working file big.img 1% done.\n"));
        cli.Signal(signal);
        const Outcome outcome = cli.Wait();
        EXPECT_EQ(status, outcome.status) << outcome.err;
        EXPECT_EQ(before, Fingerprint(big));
        EXPECT_FALSE(Exists(dir / ("big." + kSuffix)));
        EXPECT_TRUE(plain == ReadFile(data));
        const std::string stopped = "veltrane-cli: stopped; unchanged: ";
        EXPECT_EQ(stopped + big + "\n" + stopped + data + "\n", outcome.err.substr(outcome.err.find(stopped)));
    }
}

TEST_F(CliTest, KeygenMakesANewOwnerOnlyKeyOfRandomBytes)
{
    const std::string first = dir / "first.key", second = dir / "second.key";
    const Outcome made = RunCli({"keygen", "-n", "3K", first});
    EXPECT_EQ(0, made.status);
    EXPECT_EQ("", made.out + made.err);
    EXPECT_EQ(3072u, ReadFile(first).size());
    EXPECT_EQ(0400u, ModeOf(first));

    // --for: as long as the largest file, so no position falls back on the
    // key's last byte.
    WriteFile(dir / "large.bin", PatternBytes(5000));
    EXPECT_EQ(0, RunCli({"keygen", "--for", data, dir / "large.bin", second}).status);
    EXPECT_EQ(5000u, ReadFile(second).size());
    EXPECT_NE(ReadFile(first), ReadFile(second).substr(0, 3072));

    // Never over an existing file, a key or a data file named by mistake,
    // nor through a link, even one that leads nowhere.
    const std::string keep = ReadFile(second), dangling = dir / "dangling.key";
    ASSERT_EQ(0, ::symlink((dir / "nowhere").c_str(), dangling.c_str()));
    for (const std::string& existing : {second, data, dangling}) {
        const Outcome refused = RunCli({"keygen", "-n", "1M", existing});
        EXPECT_EQ(1, refused.status);
        EXPECT_EQ("veltrane-cli: " + existing + " already exists; a key file is never written over\n", refused.err);
    }
    EXPECT_TRUE(keep == ReadFile(second));
    EXPECT_TRUE(plain == ReadFile(data));
    EXPECT_FALSE(Exists(dir / "nowhere"));

    for (const char* size : {"0", "1.5K", "2KB", "-4", "99999999999G"})
        EXPECT_EQ(2, RunCli({"keygen", "-n", size, dir / "bad.key"}).status) << size;
    EXPECT_EQ(1, RunCli({"keygen", "--for", dir / "missing", dir / "bad.key"}).status);
    EXPECT_FALSE(Exists(dir / "bad.key"));
}

TEST_F(CliTest, KeygenOnAFullDiskLeavesNoKeyFile)
{
    const std::string partial = dir / "partial.key";
    SpawnOptions options;
    options.fileSizeLimit = 100 * 1024;
    const Outcome outcome = RunCli({"keygen", "-n", "1M", partial}, options);
    EXPECT_EQ(1, outcome.status);
    EXPECT_EQ("veltrane-cli: could not write " + partial + ": File too large; no key file made\n", outcome.err);
    EXPECT_FALSE(Exists(partial));

    // More than the file system has room for is refused before a byte is
    // taken from it.
    const Outcome huge = RunCli({"keygen", "-n", "4000T", partial});
    EXPECT_EQ(1, huge.status);
    EXPECT_EQ(0u, huge.err.find("veltrane-cli: cannot make a key of 4398046511104000 bytes in " + dir.Path() +
                                ": there are only "))
        << huge.err;
    EXPECT_FALSE(Exists(partial));
}

TEST_F(CliTest, HelpOrVersionThatCanNotBeWrittenSaysSo)
{
    for (const std::string option : {"--help", "--version"}) {
        const std::string command =
            testsupport::BuiltProgramCommand(VELTRANE_CLI_PATH) + " " + option + " 2>&1 >/dev/full";
        std::FILE* pipe = ::popen(command.c_str(), "r");
        ASSERT_NE(nullptr, pipe);
        char said[256] = {};
        const bool read = std::fgets(said, sizeof said, pipe) != nullptr;
        const int status = ::pclose(pipe);
        EXPECT_TRUE(read);
        EXPECT_EQ(1, WEXITSTATUS(status)) << option;
        EXPECT_EQ(std::string("veltrane-cli: cannot write ") + (option == "--help" ? "the help text" : "the version") +
                      ": No space left on device\n",
                  said);
    }
}

namespace fs = std::filesystem;

// Bytes written so far to a file `pid` holds in `folder` with no name yet.
off_t NamelessBytes(pid_t pid, const std::string& folder)
{
    const std::string fds = "/proc/" + std::to_string(pid) + "/fd/";
    for (const auto& entry : fs::directory_iterator(fds, fs::directory_options::skip_permission_denied)) {
        std::error_code error;
        const std::string target = fs::read_symlink(entry.path(), error).string();
        struct stat status {};
        if (target.rfind(folder + "/#", 0) == 0 && ::stat(entry.path().c_str(), &status) == 0)
            return status.st_size;
    }
    return 0;
}

TEST_F(CliTest, KeygenStoppedOrKilledMidwayLeavesNoKeyFile)
{
    const std::string keys = dir / "keys";
    testsupport::MakeDirectory(keys);
    for (const int signal : {SIGTERM, SIGKILL}) {
        const std::string partial = keys + "/stopped.key";
        Cli cli({"keygen", "-n", "1G", partial});
        // Stopped once the first bytes are on disk, long before the last (a
        // deadline only so that a keygen that never writes can't hang the test).
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
        while (NamelessBytes(cli.Pid(), keys) == 0 && std::chrono::steady_clock::now() < deadline) {}
        ASSERT_GT(NamelessBytes(cli.Pid(), keys), 0);
        cli.Signal(signal);
        const Outcome outcome = cli.Wait();
        if (signal == SIGTERM) {
            EXPECT_EQ(143, outcome.status);
            EXPECT_EQ("veltrane-cli: stopped; no key file made\n", outcome.err);
        }
        EXPECT_FALSE(Exists(partial));
        EXPECT_TRUE(fs::is_empty(keys)) << signal;
    }
}

// Where the file system makes no nameless files and can't rename without
// replacing (NFS), the key still takes its name only when whole, and still
// never over a file that came there meanwhile.
TEST_F(CliTest, KeygenWithoutNamelessFilesOrRenamingWithoutReplacing)
{
    // As bindfs and fuse2fs: no nameless files, no renaming that refuses to
    // replace, and folders that can't be flushed (EINVAL), or whose flush
    // fails (EIO).
    struct NetworkFileSystem : testsupport::FolderFlushFails {
        std::string comesMeanwhile;
        // So full that it takes no byte, nor even a removal (fuse2fs).
        bool full = false;
        NetworkFileSystem() { error = EINVAL; }
        ssize_t Write(int fd, const void* buffer, size_t count) override
        {
            if (!full || fd <= STDERR_FILENO)
                return SystemCalls::Write(fd, buffer, count);
            errno = ENOSPC;
            return -1;
        }
        int UnlinkAt(int dir, const char* name) override
        {
            if (!full)
                return SystemCalls::UnlinkAt(dir, name);
            errno = ENOSPC;
            return -1;
        }
        int OpenAt(int dir, const char* name, int flags, mode_t mode) override
        {
            if ((flags & O_TMPFILE) == O_TMPFILE) {
                errno = EOPNOTSUPP;
                return -1;
            }
            return SystemCalls::OpenAt(dir, name, flags, mode);
        }
        int RenameNoReplace(int, const char*, const char*) override
        {
            if (!comesMeanwhile.empty())
                WriteFile(comesMeanwhile, "theirs");
            errno = EINVAL;
            return -1;
        }
    } calls;
    const std::string keys = dir / "keys", made = keys + "/made.key", taken = keys + "/taken.key";
    testsupport::MakeDirectory(keys);
    platform::SystemCalls* const previous = platform::SetSystemCalls(&calls);
    const cli::KeygenResult first = cli::MakeKeyFile(made, 5000);
    calls.comesMeanwhile = taken;
    testing::internal::CaptureStderr();
    const cli::KeygenResult second = cli::MakeKeyFile(taken, 5000);
    const std::string said = testing::internal::GetCapturedStderr();
    calls.error = EIO;
    testing::internal::CaptureStderr();
    EXPECT_EQ(cli::KeygenResult::Failed, cli::MakeKeyFile(keys + "/unflushed.key", 10));
    EXPECT_EQ("veltrane-cli: could not flush the folder of " + keys +
                  "/unflushed.key: Input/output error; no key file made\n",
              testing::internal::GetCapturedStderr());
    calls.full = true;
    testing::internal::CaptureStderr();
    EXPECT_EQ(cli::KeygenResult::Failed, cli::MakeKeyFile(keys + "/full.key", 5000));
    const std::string full = testing::internal::GetCapturedStderr();
    calls.full = false;
    platform::SetSystemCalls(previous);
    // The file it could not remove is emptied and named.
    for (const auto& entry : fs::directory_iterator(keys)) {
        if (entry.path().filename().string().rfind(".veltrane-", 0) != 0)
            continue;
        EXPECT_NE(std::string::npos, full.find(entry.path().string() + " could not be removed")) << full;
        EXPECT_EQ(0u, entry.file_size());
        fs::remove(entry.path());
    }

    EXPECT_EQ(cli::KeygenResult::Made, first);
    EXPECT_EQ(5000u, ReadFile(made).size());
    EXPECT_EQ(0400u, ModeOf(made));
    EXPECT_EQ(cli::KeygenResult::Failed, second);
    EXPECT_EQ("veltrane-cli: " + taken + " already exists; a key file is never written over\n", said);
    EXPECT_EQ("theirs", ReadFile(taken));
    // Neither left its private name behind.
    EXPECT_EQ(2, std::distance(fs::directory_iterator(keys), fs::directory_iterator()));
}

TEST_F(CliTest, RecursiveTakesEveryRegularFileBelowAFolderInNameOrder)
{
    const std::string tree = dir / "tree", outside = dir / "outside.txt";
    ::mkdir(tree.c_str(), 0755);
    ::mkdir((tree + "/a").c_str(), 0755);
    const std::vector<std::string> files = {tree + "/B.txt", tree + "/a/nested.txt", tree + "/b.txt"};
    for (const std::string& file : files)
        WriteFile(file, plain);
    WriteFile(outside, plain);
    ASSERT_EQ(0, ::symlink(outside.c_str(), (tree + "/link.txt").c_str()));
    const std::string leftover = tree + "/old." + kSuffix, treeKey = tree + "/key.bin";
    const std::string madeByAKilledPass = tree + "/.veltrane-0123456789abcdef";
    WriteFile(leftover, plain);
    WriteFile(madeByAKilledPass, plain);
    WriteFile(treeKey, keyBytes);

    const Outcome outcome = RunCli({"encrypt", "-r", "-v", "-k", treeKey, tree + "/"});
    EXPECT_EQ(0, outcome.status);
    // The first progress line of each file gives the order; what is skipped
    // is named where the walk meets it.
    std::string firstLines, skipped;
    for (size_t at = 0, end; (end = outcome.err.find('\n', at)) != std::string::npos; at = end + 1) {
        const std::string line = outcome.err.substr(at, end + 1 - at);
        if (line.size() > 10 && line.compare(line.size() - 10, 10, " 1% done.\n") == 0)
            firstLines += line;
        else if (line.rfind("veltrane-cli: skipped", 0) == 0)
            skipped += line;
    }
    EXPECT_EQ("Working file B.txt 1% done.\nWorking file nested.txt 1% done.\nWorking file b.txt 1% done.\n",
              firstLines);
    EXPECT_EQ("veltrane-cli: skipped (a temporary file): " + madeByAKilledPass + "\n" +
                  "veltrane-cli: skipped (the key file): " + treeKey + "\n" +
                  "veltrane-cli: skipped (a symbolic link): " + tree + "/link.txt\n" +
                  "veltrane-cli: skipped (a temporary file): " + leftover + "\n",
              skipped)
        << outcome.err;
    for (const std::string& file : files)
        EXPECT_TRUE(Encrypted(plain, 0) == ReadFile(file)) << file;
    for (const std::string& untouched : {outside, leftover, madeByAKilledPass})
        EXPECT_TRUE(plain == ReadFile(untouched)) << untouched;

    const Outcome quiet = RunCli({"decrypt", "-r", "-q", "-k", treeKey, tree});
    EXPECT_EQ(0, quiet.status);
    EXPECT_EQ("", quiet.err);
    EXPECT_TRUE(plain == ReadFile(files[1]));

    // Without -r a folder is refused as ever.
    EXPECT_EQ(1, RunCli({"encrypt", "-k", key, tree}).status);
    EXPECT_TRUE(plain == ReadFile(files[0]));
}

// A tree changed while it is walked can't lead a pass outside it: a file or
// a folder swapped for a link after the walk saw it leads nowhere, and a
// file reached a second way is done once.
TEST_F(CliTest, RecursiveNeverLeavesTheTreeNorTakesAFileTwice)
{
    const std::string tree = dir / "t", outside = dir / "outside";
    for (const std::string& folder : {tree, tree + "/sub", outside})
        ::mkdir(folder.c_str(), 0755);
    for (const std::string& file : {tree + "/a.txt", tree + "/sub/b.txt", outside + "/a.txt", outside + "/b.txt"})
        WriteFile(file, plain);

    std::vector<std::string> taken;
    Recorder recorder;
    const bool read = cli::WalkFiles({tree}, key, true, [&](const platform::Folder* folder, const std::string& name) {
        taken.push_back(folder->Shown() + name);
        ASSERT_EQ(0, ::unlink((tree + "/a.txt").c_str()));
        ASSERT_EQ(0, ::symlink((outside + "/a.txt").c_str(), (tree + "/a.txt").c_str()));
        ASSERT_EQ(0, ::rename((tree + "/sub").c_str(), (tree + "/sub.old").c_str()));
        ASSERT_EQ(0, ::symlink(outside.c_str(), (tree + "/sub").c_str()));
        // The pass takes the name as it stands in its folder.
        EXPECT_EQ(0, TransformFileIn(*folder, name, taken.back(), key, 0, kDirectionEncrypt));
    });
    EXPECT_TRUE(read);
    EXPECT_EQ(std::vector<std::string>{tree + "/a.txt"}, taken);
    for (const std::string& file : {outside + "/a.txt", outside + "/b.txt", tree + "/sub.old/b.txt"})
        EXPECT_TRUE(plain == ReadFile(file)) << file;

    // A link to the tree named beside it reaches the same files.
    ASSERT_EQ(0, ::unlink((tree + "/sub").c_str()));
    ASSERT_EQ(0, ::rename((tree + "/sub.old").c_str(), (tree + "/sub").c_str()));
    ASSERT_EQ(0, ::symlink(tree.c_str(), (dir / "tl").c_str()));
    const Outcome twice = RunCli({"encrypt", "-r", "-k", key, tree, dir / "tl/sub"});
    EXPECT_EQ(0, twice.status) << twice.err;
    EXPECT_NE(std::string::npos, twice.err.find("skipped (reached a second way): " + dir / "tl/sub\n")) << twice.err;
    EXPECT_TRUE(Encrypted(plain, 0) == ReadFile(tree + "/sub/b.txt"));
}

// A tree deeper than the descriptors a process may hold: the walk keeps
// only so many folders open, and takes each back when it returns to it.
// Deeper than the folders it may hold open, and with more files waiting
// for the disk together than it may hold open.
TEST_F(CliTest, RecursiveWalksATreeDeeperAndWiderThanItsDescriptors)
{
    std::string path = dir / "top";
    std::vector<std::string> files;
    ASSERT_EQ(0, ::mkdir(path.c_str(), 0755));
    for (int file = 0; file < 40; ++file) {
        files.push_back(path + "/w" + std::to_string(file));
        WriteFile(files.back(), plain);
    }
    for (int level = 0; level < 1500; ++level) {
        if (level % 500 == 0) {
            files.push_back(path + "/f.txt");
            WriteFile(files.back(), plain);
        }
        path += "/d";
        ASSERT_EQ(0, ::mkdir(path.c_str(), 0755));
    }
    files.push_back(path + "/f.txt");
    WriteFile(files.back(), plain);
    std::vector<std::string> command =
        testsupport::BuiltCommand(VELTRANE_CLI_PATH, {"encrypt", "-r", "-q", "-k", key, dir / "top"});
    command.insert(command.begin(), {"prlimit", "--nofile=64"});
    const Outcome outcome = testsupport::Program(command).Wait();
    EXPECT_EQ(0, outcome.status) << outcome.err;
    for (const std::string& file : files)
        EXPECT_TRUE(Encrypted(plain, 0) == ReadFile(file)) << file.size();
}

// Past the system's limit on a whole path (4096 bytes): -r works folder by
// folder, so the length doesn't matter; named directly, the refusal says why.
TEST_F(CliTest, PathsLongerThanTheSystemsLimit)
{
    std::string deep = dir.Path();
    int folder = ::open(deep.c_str(), O_RDONLY | O_DIRECTORY);
    for (int level = 0; level < 26; ++level) {
        const std::string name = level == 0 ? "top" : std::string(200, 'd');
        ASSERT_EQ(0, ::mkdirat(folder, name.c_str(), 0755));
        const int inner = ::openat(folder, name.c_str(), O_RDONLY | O_DIRECTORY);
        ::close(folder);
        folder = inner;
        deep += "/" + name;
    }
    const int fd = ::openat(folder, "deep.txt", O_WRONLY | O_CREAT, 0644);
    ASSERT_EQ(static_cast<ssize_t>(plain.size()), ::write(fd, plain.data(), plain.size()));
    ::close(fd);
    deep += "/deep.txt";
    ASSERT_GT(deep.size(), 5000u);

    EXPECT_EQ(0, RunCli({"encrypt", "-r", "-q", "-k", key, dir / "top"}).status);
    std::string now(plain.size(), '\0');
    const int read = ::openat(folder, "deep.txt", O_RDONLY);
    EXPECT_EQ(static_cast<ssize_t>(now.size()), ::read(read, now.data(), now.size()));
    ::close(read);
    ::close(folder);
    EXPECT_TRUE(Encrypted(plain, 0) == now);

    const Outcome named = RunCli({"decrypt", "-k", key, deep});
    EXPECT_EQ(1, named.status);
    EXPECT_EQ("Encrypt file error: Cannot find " + deep + ": File name too long.\n", named.err);
}

TEST_F(CliTest, NamesWithControlCharactersAreShownQuoted)
{
    // An escape sequence that would colour the terminal, and a line break
    // that would fake a line of output.
    const std::string name = "it's\x1B[1;31mred\nveltrane-cli: stopped; unchanged: x.txt";
    const std::string quoted = "'it'\\''s'$'\\033''[1;31mred'$'\\n''veltrane-cli: stopped; unchanged: x.txt'";
    WriteFile(dir / name, PatternBytes(2000));

    const Outcome outcome = RunCli({"encrypt", "-v", "-k", key, dir / name, dir / ("missing" + name)});
    EXPECT_EQ(1, outcome.status);
    EXPECT_EQ("veltrane-cli: warning: '" + dir.Path() + "/" + quoted.substr(1) +
                  ": the key is only 1200 bytes long; every byte from position 1200 on is combined with one "
                  "single key byte\n",
              outcome.err.substr(0, outcome.err.find('\n') + 1));
    EXPECT_NE(std::string::npos, outcome.err.find("\nWorking file " + quoted + " 91% done.\n"));
    EXPECT_NE(std::string::npos,
              outcome.err.find("Cannot find '" + dir.Path() + "/missing" + quoted.substr(1) + ".\n"));
    EXPECT_EQ(std::string::npos, outcome.err.find('\x1B'));
}

TEST_F(CliTest, ALineBreakInANameIsQuotedThereAndNowhereElse)
{
    // A file named by a line break alone, refused as its own key: the
    // notice's own line breaks stay as they are; where the name is put in,
    // it is quoted.
    const std::string lineBreak = dir / "\n";
    WriteFile(lineBreak, plain);
    const Outcome outcome = RunCli({"encrypt", "-k", lineBreak, lineBreak, dir / "gone\n"});
    EXPECT_EQ(1, outcome.status);
    EXPECT_EQ("Filename error (Bad idea): Using  the same filename for encrypting file and a key "
              "file destroys the key file.\n"
              "You won't be able to recover the encrypted file.\n"
              "Choose a differnt key file.\n"
              "Encrypt file error: Cannot find '" +
                  dir / "gone'$'\\n'.\n",
              outcome.err);
}

TEST_F(CliTest, AFailedReadSaysWhyInTheSystemsWords)
{
    // The kernel's memory file of the program itself gives no byte at 0.
    const Outcome outcome = RunCli({"encrypt", "-k", "/proc/self/mem", data});
    EXPECT_EQ(1, outcome.status);
    EXPECT_EQ("Error: Could not read file: Could not read /proc/self/mem: " + std::string(std::strerror(EIO)) + ".\n",
              outcome.err);
    EXPECT_TRUE(plain == ReadFile(data));
}

TEST_F(CliTest, OptionsAfterTheCommandWorkUnderPosixlyCorrect)
{
    SpawnOptions posix;
    posix.environment = {"POSIXLY_CORRECT=1"};
    EXPECT_EQ(0, RunCli({"encrypt", "-k", key, "-o", "9", data}, posix).status);
    EXPECT_TRUE(Encrypted(plain, 9) == ReadFile(data));
    EXPECT_EQ(0, RunCli({"-q", "decrypt", data, "--offset=9", "--key", key}, posix).status);
    EXPECT_TRUE(plain == ReadFile(data));
    // "--" still ends the options: "-o" is a file name after it.
    const Outcome dashes = RunCli({"encrypt", "-k", key, "--", data, "-o"}, posix);
    EXPECT_EQ(1, dashes.status);
    EXPECT_EQ("Encrypt file error: Cannot find -o.\n", dashes.err);
    EXPECT_TRUE(Encrypted(plain, 0) == ReadFile(data));
    EXPECT_EQ(0, RunCli({"keygen", "-n", "16", dir / "posix.key"}, posix).status);
}

// -c reads its input whole before it could see its own output in it: a
// file that is also standard output (or the key) is refused before a byte
// is written, as `cat` refuses; a closed standard output is a failure.
TEST_F(CliTest, StandardOutputNeverWritesWhatItReads)
{
    for (const char* line :
         {"\"${CLI[@]}\" encrypt -c -k \"$1\" \"$2\" >> \"$2\"", "\"${CLI[@]}\" encrypt -c -k \"$1\" \"$2\" 1<> \"$2\"",
          "\"${CLI[@]}\" encrypt -c -k \"$1\" - < \"$2\" >> \"$2\"", "\"${CLI[@]}\" encrypt -c -k \"$2\" - < \"$2\"",
          "\"${CLI[@]}\" encrypt -c -k \"$1\" \"$2\" >&-"}) {
        const Outcome outcome = testsupport::Program(Shell(line, {key, data})).Wait();
        EXPECT_EQ(1, outcome.status) << line;
        EXPECT_EQ("", outcome.out) << line;
        EXPECT_TRUE(plain == ReadFile(data)) << line;
    }
    // A file that reports no length is read to its end, as a stream.
    const Outcome proc = RunCli({"encrypt", "-c", "-k", key, "/proc/version"});
    EXPECT_EQ(0, proc.status);
    EXPECT_TRUE(Encrypted(ReadFile("/proc/version"), 0) == proc.out);
}

TEST_F(CliTest, AStopEndsAWaitForStandardInputAtOnce)
{
    // Standard input that gives nothing for a long time: the pass waits on
    // it in its reading thread, the second one of the process.
    testsupport::Program waiting(Shell("exec \"${CLI[@]}\" encrypt -c -k \"$1\" - < <(sleep 60) > /dev/null", {key}));
    const std::string tasks = "/proc/" + std::to_string(waiting.Id()) + "/task";
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (std::distance(fs::directory_iterator(tasks), fs::directory_iterator()) < 2 &&
           std::chrono::steady_clock::now() < deadline) {}
    waiting.Signal(SIGTERM);
    EXPECT_EQ(143, waiting.WaitForExit(std::chrono::seconds(10)));
}

// A file of the user's that has a temporary file's name, and a result kept
// for the user, are never removed nor written over: the pass is refused.
TEST_F(CliTest, AFileThatNoPassLeftIsNeverRemovedNorWrittenOver)
{
    const std::string theirs = dir / ("data." + kSuffix);
    WriteFile(theirs, "mine");
    EXPECT_EQ(1, RunCli({"encrypt", "-q", "-k", key, data}).status);
    EXPECT_EQ("mine", ReadFile(theirs));
    EXPECT_TRUE(plain == ReadFile(data));

    // Both read-only, with one temporary name: the first result is kept,
    // and only its line says so.
    const std::string doc = dir / "rep.doc", txt = dir / "rep.txt", kept = dir / ("rep." + kSuffix);
    WriteFile(doc, "first");
    WriteFile(txt, "second");
    ASSERT_EQ(0, ::chmod(doc.c_str(), 0444));
    ASSERT_EQ(0, ::chmod(txt.c_str(), 0444));
    const Outcome outcome = RunCli({"encrypt", "-q", "-k", key, doc, txt});
    EXPECT_EQ(1, outcome.status);
    EXPECT_TRUE(Encrypted("first", 0) == ReadFile(kept));
    EXPECT_EQ("first", ReadFile(doc));
    EXPECT_EQ("second", ReadFile(txt));
    EXPECT_EQ(outcome.err.find("kept as"), outcome.err.rfind("kept as")) << outcome.err;
}

// What the system brings that a pass can't see in the file itself: a
// metadata copy that fails, a write in the same second on a file system
// that keeps whole seconds, a file mounted under a second name.
TEST_F(CliTest, MetadataThatFailsToArriveFailsThePass)
{
    if (::setxattr(data.c_str(), "user.note", "blue", 4, 0) != 0 || !HaveStrace())
        GTEST_SKIP() << "no extended attributes here, or no strace";
    const Outcome outcome =
        testsupport::Program(Traced({"inject=fsetxattr:error=EIO"}, {"encrypt", "-k", key, data}), kTraced).Wait();
    EXPECT_EQ(1, outcome.status);
    EXPECT_NE(std::string::npos, outcome.err.find("Input/output error")) << outcome.err;
    EXPECT_TRUE(plain == ReadFile(data));
    EXPECT_FALSE(Exists(dir / ("data." + kSuffix)));
}

TEST_F(CliTest, AWriteInTheSameSecondIsSeenWhereTimesKeepWholeSeconds)
{
    const std::string image = dir / "coarse.img", mount = dir / "mnt";
    testsupport::MakeDirectory(mount);
    if (!CanMount() ||
        testsupport::Program({"bash", "-c", "truncate -s 64M \"$1\" && mkfs.ext4 -q -I 128 \"$1\"", "bash", image})
                .Wait()
                .status != 0)
        GTEST_SKIP() << "can't make a file system with whole-second times here";
    const std::string big = PatternBytes(16 << 20, 9);
    WriteFile(dir / "big", big);
    testsupport::Program pass(Shell("mount -o loop \"$2\" \"$3\" && cp \"$4\" \"$3/data\" && "
                                    "exec \"${CLI[@]}\" encrypt -v -k \"$1\" \"$3/data\"",
                                    {key, image, mount, dir / "big"}, true));
    ASSERT_TRUE(pass.ReadUntil("Working file data 1% done.\n"));
    // Held still while another program writes the same length over it.
    pass.Signal(SIGSTOP);
    siginfo_t stopped{};
    ASSERT_EQ(0, ::waitid(P_PID, static_cast<id_t>(pass.Id()), &stopped, WSTOPPED | WNOWAIT));
    const std::string inside = "/proc/" + std::to_string(pass.Id()) + "/root" + mount + "/data";
    const int fd = ::open(inside.c_str(), O_WRONLY);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(1, ::pwrite(fd, "!", 1, 0));
    ::close(fd);
    pass.Signal(SIGCONT);
    EXPECT_EQ(1, pass.Wait().status);
}

TEST_F(CliTest, AFileMountedUnderASecondNameIsRefusedAsAHardLinkIs)
{
    if (!CanMount())
        GTEST_SKIP() << "can't make mounts here";
    const std::string tree = dir / "t";
    testsupport::MakeDirectory(tree);
    WriteFile(tree + "/a", plain);
    WriteFile(tree + "/b", "");
    const Outcome outcome = testsupport::Program(Shell("mount --bind \"$2\" \"$3\" && "
                                                       "exec \"${CLI[@]}\" encrypt -q -r -k \"$1\" \"$4\"",
                                                       {key, tree + "/a", tree + "/b", tree}, true))
                                .Wait();
    EXPECT_EQ(1, outcome.status) << outcome.err;
    EXPECT_TRUE(plain == ReadFile(tree + "/a"));
}

// A file is done once per command, whatever moves: one moved into a folder
// the walk has yet to reach, just after its result took its name, is not
// done again there.
TEST_F(CliTest, RecursiveDoesAFileOnceWhereverItMoves)
{
    if (!HaveStrace())
        GTEST_SKIP() << "no strace";
    const std::string tree = dir / "t", first = tree + "/a", later = tree + "/b";
    for (const std::string& folder : {tree, first, later})
        testsupport::MakeDirectory(folder);
    // Large enough to be done alone rather than wait for the files after it.
    const std::string large = PatternBytes(2 << 20, 5);
    WriteFile(first + "/f", large);
    const int watch = ::inotify_init1(IN_CLOEXEC);
    ASSERT_GE(::inotify_add_watch(watch, first.c_str(), IN_MOVED_TO), 0);
    // Every flush held up a while: the move comes between the rename and
    // the flush of the folder that follows it.
    testsupport::Program walk(Traced({"inject=fsync:delay_exit=300000"}, {"encrypt", "-q", "-r", "-k", key, tree}),
                              kTraced);
    for (bool renamed = false; !renamed;) {
        pollfd ready{watch, POLLIN, 0};
        ASSERT_EQ(1, ::poll(&ready, 1, 30000));
        alignas(inotify_event) char events[4096];
        const ssize_t got = ::read(watch, events, sizeof events);
        ASSERT_GT(got, 0);
        for (const char* at = events; at < events + got;) {
            const auto* event = reinterpret_cast<const inotify_event*>(at);
            renamed = renamed || std::string(event->name) == "f";
            at += sizeof(inotify_event) + event->len;
        }
    }
    ::close(watch);
    ASSERT_EQ(0, ::rename((first + "/f").c_str(), (later + "/f").c_str()));
    const Outcome outcome = walk.Wait();
    EXPECT_EQ(0, outcome.status) << outcome.err;
    EXPECT_TRUE(Encrypted(large, 0) == ReadFile(later + "/f"));
}

// Folders of small files share their flushes; what makes each file
// crash-safe must still hold for each: its result's bytes reach the disk
// before it takes the file's name, and that name before the command ends.
// "x.txt" and "x.doc" share a temporary name.
TEST_F(CliTest, EachFileOfAGroupIsFlushedBeforeItsNameAndItsNameBeforeTheEnd)
{
    if (!HaveStrace())
        GTEST_SKIP() << "no strace";
    const std::string tree = dir / "t";
    const std::vector<std::pair<std::string, std::string>> files = {
        {tree + "/a", "x.txt"}, {tree + "/a", "x.doc"}, {tree + "/a", "y"}, {tree + "/b", "z.bin"}};
    for (const std::string& folder : {tree, tree + "/a", tree + "/b"})
        testsupport::MakeDirectory(folder);
    for (const auto& [folder, name] : files)
        WriteFile(folder + "/" + name, plain);
    const std::string trace = dir / "trace";
    const Outcome outcome =
        testsupport::Program(
            Traced({"trace=write,pwrite64,fsync,fdatasync,syncfs,linkat,rename,renameat,renameat2,exit_group"},
                   {"encrypt", "-q", "-r", "-k", key, tree}, trace),
            kTraced)
            .Wait();
    ASSERT_EQ(0, outcome.status) << outcome.err;
    std::vector<std::string> lines;
    std::istringstream in(ReadFile(trace));
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    // The first line at or after `from` that has every one of `parts`.
    const auto find = [&](size_t from, std::vector<std::string> parts) {
        for (size_t at = from; at < lines.size(); ++at)
            if (std::all_of(parts.begin(), parts.end(),
                            [&](auto& p) { return lines[at].find(p) != std::string::npos; }))
                return at;
        return lines.size();
    };
    for (const auto& [folder, name] : files) {
        EXPECT_TRUE(Encrypted(plain, 0) == ReadFile(folder + "/" + name)) << name;
        // As strace shows the temporary name: its "ê" in octal escapes.
        const std::string temp = "\"" + name.substr(0, name.find('.')) + ".1\\303\\2529\"";
        const size_t renamed = find(0, {"rename", "<" + folder + ">", temp, "\"" + name + "\""});
        ASSERT_LT(renamed, lines.size()) << name;
        // The result is known by its descriptor from the moment it got the
        // temporary name (a file made without a name shows none).
        size_t linked = lines.size();
        for (size_t at = 0; (at = find(at, {"link", "<" + folder + ">", temp})) < renamed; ++at)
            linked = at;
        ASSERT_LT(linked, renamed) << name;
        const size_t call = lines[linked].find('(') + 1;
        const std::string fd = lines[linked].substr(call, lines[linked].find('<', call) - call);
        size_t written = linked;
        for (size_t at = linked; (at = find(at, {"write(" + fd + "<"})) < renamed; ++at)
            written = at;
        const size_t flushed = std::min(find(written, {"fsync(" + fd + "<"}), find(written, {"syncfs("}));
        const size_t named = find(renamed, {"fsync(", "<" + folder + ">)"});
        EXPECT_LT(linked, written) << name;
        EXPECT_LT(flushed, renamed) << name;
        EXPECT_LT(named, find(0, {"exit_group("})) << name;
    }
}

// A stop that comes while a group takes its names, or a flush that fails:
// each file of the group is done or as it was, and named when it is not.
TEST_F(CliTest, AStopAFaultOrAKillInAGroupLeavesEachFileWholeAndNamed)
{
    if (!HaveStrace())
        GTEST_SKIP() << "no strace";
    const std::string tree = dir / "t";
    testsupport::MakeDirectory(tree);
    const std::vector<std::string> names = {"a", "b", "c", "d"};
    struct Case {
        std::vector<std::string> injected;
        int status;
        std::string unchanged, said;
    };
    // The file system's flush failing makes each file flush alone, and the
    // second one's failure is told of that file.
    const std::string stopped = "veltrane-cli: stopped; unchanged: " + tree;
    for (const Case& fault :
         {Case{{"inject=renameat:signal=SIGINT:when=2"}, 130, "cd", stopped + "/c\n" + stopped + "/d\n"},
          Case{{"inject=syncfs:error=EIO", "inject=fsync:error=EIO:when=2"},
               1,
               "b",
               "/b." + kSuffix + ": Input/output error"}}) {
        for (const std::string& name : names)
            WriteFile(tree + "/" + name, plain);
        const Outcome outcome =
            testsupport::Program(Traced(fault.injected, {"encrypt", "-r", "-k", key, tree}), kTraced).Wait();
        EXPECT_EQ(fault.status, outcome.status) << outcome.err;
        EXPECT_NE(std::string::npos, outcome.err.find(fault.said)) << outcome.err;
        for (const std::string& name : names) {
            const bool unchanged = fault.unchanged.find(name) != std::string::npos;
            EXPECT_TRUE((unchanged ? plain : Encrypted(plain, 0)) == ReadFile(tree + "/" + name)) << name;
        }
        // No temporary file left beside them.
        EXPECT_EQ(4, std::distance(std::filesystem::directory_iterator(tree), {}));
    }

    // Killed while its results wait (here as the last temporary file gets
    // its name): every file as it was, and the next command replaces the
    // leftovers and does each file once.
    for (const std::string& name : names)
        WriteFile(tree + "/" + name, plain);
    const Outcome killed =
        testsupport::Program(Traced({"inject=linkat:signal=SIGKILL:when=4"}, {"encrypt", "-r", "-k", key, tree}),
                             kTraced)
            .Wait();
    EXPECT_NE(0, killed.status);
    EXPECT_TRUE(plain == ReadFile(tree + "/a"));
    EXPECT_EQ(0, RunCli({"encrypt", "-q", "-r", "-k", key, tree}).status);
    for (const std::string& name : names)
        EXPECT_TRUE(Encrypted(plain, 0) == ReadFile(tree + "/" + name)) << name;
    EXPECT_EQ(4, std::distance(std::filesystem::directory_iterator(tree), {}));
}

TEST(CliCompletion, OffersCommandsOptionsAndFileNames)
{
    TempDir dir;
    for (const char* name : {"notes.txt", "my notes.txt", "star*.txt", "starry.txt"})
        WriteFile(dir / name, "x");
    // compopt only works inside a real completion; here it is a no-op.
    const auto complete = [&](const std::vector<std::string>& words) {
        std::string command = "cd '" + dir.Path() + "' && bash -c 'compopt() { :; }; . " + VELTRANE_COMPLETION_PATH +
                              "; COMP_WORDS=(\"$@\"); COMP_CWORD=$(($# - 1)); _veltrane_cli; " +
                              "printf \"[%s]\" \"${COMPREPLY[@]}\"; echo' bash";
        for (const std::string& word : words)
            command += " '" + word + "'";
        command += " 2>&1";
        std::FILE* pipe = ::popen(command.c_str(), "r");
        std::string out;
        char chunk[256];
        while (pipe && std::fgets(chunk, sizeof chunk, pipe))
            out += chunk;
        if (pipe)
            ::pclose(pipe);
        return out;
    };
    EXPECT_EQ("[encrypt][decrypt][keygen]\n", complete({"veltrane-cli", ""}));
    EXPECT_EQ("[--key=][--key-read-only]\n", complete({"veltrane-cli", "-q", "encrypt", "--k"}));
    EXPECT_EQ("[--for]\n", complete({"veltrane-cli", "keygen", "--f"}));
    EXPECT_EQ("[notes.txt]\n", complete({"veltrane-cli", "decrypt", "-k", "key.bin", "no"}));
    // A name is one candidate whatever it holds, never split or expanded.
    EXPECT_EQ("[my notes.txt]\n", complete({"veltrane-cli", "encrypt", "-k", "my"}));
    EXPECT_EQ("[star*.txt]\n", complete({"veltrane-cli", "encrypt", "-k", "key.bin", "star*"}));
}

}  // namespace
