// Names shown on a terminal: a quoted name holds nothing a terminal acts on,
// a name that needs no quoting is shown as it is, and pasted into bash a
// quoted name gives back the same bytes (checked on a sample: a shell per
// input would leave little time for the rest).
#include "cli/output.h"
#include "fuzz/harness.h"

#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace {

// What `bash -c 'printf %s WORD'` writes.
std::string ThroughBash(const std::string& word)
{
    int out[2];
    FUZZ_CHECK(::pipe(out) == 0);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
    posix_spawn_file_actions_addclose(&actions, out[0]);
    const std::string script = "printf %s " + word;
    char* argv[] = {const_cast<char*>("bash"), const_cast<char*>("-c"), const_cast<char*>(script.c_str()), nullptr};
    pid_t pid;
    FUZZ_CHECK(posix_spawn(&pid, "/bin/bash", &actions, nullptr, argv, environ) == 0);
    posix_spawn_file_actions_destroy(&actions);
    ::close(out[1]);
    std::string got;
    char buffer[4096];
    for (ssize_t n; (n = ::read(out[0], buffer, sizeof buffer)) > 0;)
        got.append(buffer, static_cast<std::size_t>(n));
    ::close(out[0]);
    int status = 0;
    ::waitpid(pid, &status, 0);
    FUZZ_CHECK(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    return got;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string name = fuzz::UpToNul(data, size);
    const std::string quoted = cli::QuoteName(name);
    FUZZ_CHECK(!cli::NeedsQuoting(quoted));
    if (!cli::NeedsQuoting(name)) {
        FUZZ_CHECK(quoted == name);
        return 0;
    }
    // In a line of text, as the messages carry names.
    FUZZ_CHECK(!cli::NeedsQuoting("cannot read " + cli::QuoteName(name) + ": no such file"));
    static unsigned inputs = 0;
    if (inputs++ % 32 == 0)
        FUZZ_CHECK(ThroughBash(quoted) == name);
    return 0;
}
