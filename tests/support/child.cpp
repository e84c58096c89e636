#include "tests/support/child.h"

#include "platform/notice.h"
#include "ui/texts.h"

#include <csignal>
#include <cstdlib>
#include <grp.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <utility>

namespace testsupport {

namespace {

// Each notice a line on the pipe.
class PipeSink : public ui::ReportView {
public:
    PipeSink(int fd, std::function<void()> atProgress) : m_fd(fd), m_atProgress(std::move(atProgress)) {}
    void ShowBox(const ui::NoticeWords& words) override
    {
        const std::string line = words.Line() + "\n";
        if (::write(m_fd, line.data(), line.size()) < 0)
            _exit(97);
    }
    void ShowTitle(const std::string&, int percent) override
    {
        if (percent >= 0 && m_atProgress)
            m_atProgress();
    }

private:
    int m_fd;
    std::function<void()> m_atProgress;
};

}  // namespace

bool CanDropPrivileges() { return ::geteuid() == 0; }

std::vector<std::string> BuiltProgram(const std::string& path)
{
    if (*VELTRANE_EMULATOR)
        return {VELTRANE_EMULATOR, path};
    return {path};
}

std::string BuiltProgramCommand(const std::string& path)
{
    std::string command;
    for (const std::string& word : BuiltProgram(path))
        command += (command.empty() ? "" : " ") + word;
    return command;
}

Child::Child(const std::function<int()>& body, const ChildOptions& options)
{
    int fds[2];
    if (::pipe(fds) != 0)
        return;
    m_pid = ::fork();
    if (m_pid == 0) {
        ::close(fds[0]);
        if (options.asUnprivileged && ::geteuid() == 0) {
            if (::setgroups(0, nullptr) != 0 || ::setgid(kUnprivilegedId) != 0 || ::setuid(kUnprivilegedId) != 0)
                _exit(98);
        }
        if (options.fileSizeLimit >= 0) {
            std::signal(SIGXFSZ, SIG_IGN);
            const rlimit limit{static_cast<rlim_t>(options.fileSizeLimit), static_cast<rlim_t>(options.fileSizeLimit)};
            if (::setrlimit(RLIMIT_FSIZE, &limit) != 0)
                _exit(99);
        }
        PipeSink sink(fds[1], options.atProgress);
        const int code = body();
        _exit(code);
    }
    ::close(fds[1]);
    m_notices = fds[0];
}

Child::~Child()
{
    if (m_pid > 0) {
        ::kill(m_pid, SIGKILL);
        Wait();
    }
}

ChildOutcome Child::Wait()
{
    ChildOutcome outcome;
    if (m_pid <= 0)
        return outcome;
    char chunk[512];
    ssize_t got;
    while ((got = ::read(m_notices, chunk, sizeof chunk)) > 0)
        outcome.notices.append(chunk, static_cast<size_t>(got));
    ::close(m_notices);
    int status = 0;
    ::waitpid(m_pid, &status, 0);
    m_pid = -1;
    outcome.exited = WIFEXITED(status);
    outcome.exitCode = outcome.exited ? WEXITSTATUS(status) : -1;
    outcome.signal = WIFSIGNALED(status) ? WTERMSIG(status) : 0;
    return outcome;
}

ChildOutcome RunInChild(const std::function<int()>& body, const ChildOptions& options)
{
    return Child(body, options).Wait();
}

Gate::Gate()
{
    if (::pipe(m_arrived) != 0 || ::pipe(m_go) != 0)
        std::abort();
}

Gate::~Gate()
{
    for (const int fd : {m_arrived[0], m_arrived[1], m_go[0], m_go[1]})
        ::close(fd);
}

void Gate::ArriveAndWait()
{
    char byte = 1;
    if (::write(m_arrived[1], &byte, 1) != 1 || ::read(m_go[0], &byte, 1) != 1)
        _exit(96);
}

bool Gate::AwaitArrival()
{
    // The holder's own copy of the writing end would keep the pipe open.
    ::close(m_arrived[1]);
    m_arrived[1] = -1;
    char byte = 0;
    return ::read(m_arrived[0], &byte, 1) == 1;
}

void Gate::Open()
{
    char byte = 1;
    if (::write(m_go[1], &byte, 1) != 1)
        std::abort();
}

}  // namespace testsupport
