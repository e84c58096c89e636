// Runs a piece of a test in a child process, for faults that must not touch
// the test runner itself: resource limits, a killed pass, another user.
#pragma once

#include <functional>
#include <string>
#include <vector>

namespace testsupport {

struct ChildOutcome {
    bool exited = false;
    int exitCode = -1;
    int signal = 0;
    // Every notice raised in the child, "CAPTION: TEXT", one per line.
    std::string notices;
};

struct ChildOptions {
    // Limit on the size of any file the child writes (a full disk); SIGXFSZ
    // is ignored so that the write fails with EFBIG instead.
    long fileSizeLimit = -1;
    // Drop root to the unprivileged "nobody" so that permission bits bind.
    bool asUnprivileged = false;
    // Runs in the child at each progress line the body's pass reports.
    std::function<void()> atProgress;
};

// A body running in a child process while the test goes on.
class Child {
public:
    explicit Child(const std::function<int()>& body, const ChildOptions& options = {});
    ~Child();
    Child(const Child&) = delete;
    Child& operator=(const Child&) = delete;
    ChildOutcome Wait();

private:
    int m_pid = -1;
    int m_notices = -1;
};

// The body's return value becomes the child's exit code.
ChildOutcome RunInChild(const std::function<int()>& body, const ChildOptions& options = {});

// Orders two processes without sleeping: one side arrives and waits, the
// other waits for the arrival and then lets it go. Made before the fork.
class Gate {
public:
    Gate();
    ~Gate();
    Gate(const Gate&) = delete;
    Gate& operator=(const Gate&) = delete;
    void ArriveAndWait();  // the held side
    bool AwaitArrival();   // the holding side; false if the other side ended first
    void Open();

private:
    int m_arrived[2] = {-1, -1};
    int m_go[2] = {-1, -1};
};

// Whether an unprivileged child can be had (the runner is root).
bool CanDropPrivileges();

constexpr unsigned kUnprivilegedId = 65534;

// The words that start a program of this build: behind the build's emulator
// where it has one (a 32-bit build on a kernel that runs no 32-bit program).
std::vector<std::string> BuiltProgram(const std::string& path);
// The same as a shell command, for paths that need no quoting.
std::string BuiltProgramCommand(const std::string& path);

}  // namespace testsupport
