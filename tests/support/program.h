// A program run in a process of its own, as a user runs it: its exit status
// and what it prints, standard error read as it comes. One way to start a
// program for every test that needs one, on both systems.
#pragma once

#include <chrono>
#include <memory>
#include <string>
#include <vector>

namespace testsupport {

struct ProgramOptions {
    // POSIX only. Standard error on a pseudo-terminal this many columns wide
    // (0: a pipe).
    unsigned short terminalColumns = 0;
    // POSIX only. Run under `prlimit --fsize=N` (a full disk), optionally
    // with SIGXFSZ already ignored as a careful caller would.
    long fileSizeLimit = -1;
    bool ignoreFileSizeSignal = false;
    // POSIX only. Nobody reads standard error: its reading end is closed at
    // once.
    bool closedStderr = false;
    // NAME=VALUE pairs added to the environment.
    std::vector<std::string> environment{};
    // The folder it starts in ("" for this one).
    std::string directory{};
    // Standard output and error appended to this file instead of read (a
    // window program, whose log is shown only when a test fails).
    std::string log{};
};

struct ProgramOutcome {
    int status = -1;  // exit status, or -1 when killed by a signal
    std::string out, err;
};

class Program {
public:
    // `command` is the program and its arguments; the program is looked up
    // on PATH when it has no folder.
    explicit Program(const std::vector<std::string>& command, const ProgramOptions& options = {});
    // Still running, it is killed: no test leaves a process behind.
    ~Program();
    Program(const Program&) = delete;
    Program& operator=(const Program&) = delete;

    // Reads standard error until it holds `text`; false at its end.
    bool ReadUntil(const std::string& text);
    // Waits up to `limit` for it to end by itself: its exit status, or -1
    // (still running, or killed).
    int WaitForExit(std::chrono::milliseconds limit);
    // Waits for it to end: its status and everything it printed.
    ProgramOutcome Wait();

    long Id() const;
    // POSIX only.
    void Signal(int signal);

private:
    struct State;
    std::unique_ptr<State> m_state;
};

// A program of this build, behind the build's emulator where it has one (a
// 32-bit build on a kernel that runs no 32-bit program), with `args`.
std::vector<std::string> BuiltCommand(const std::string& path, const std::vector<std::string>& args);

}  // namespace testsupport
