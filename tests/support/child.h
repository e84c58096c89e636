// Runs a piece of a test in a child process, for faults that must not touch
// the test runner itself: resource limits, a killed pass, another user.
#pragma once

#include <functional>
#include <string>

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
};

// The body's return value becomes the child's exit code.
ChildOutcome RunInChild(const std::function<int()>& body, const ChildOptions& options = {});

// Whether an unprivileged child can be had (the runner is root).
bool CanDropPrivileges();

constexpr unsigned kUnprivilegedId = 65534;

}  // namespace testsupport
