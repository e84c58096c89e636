#include "tests/support/child.h"

#include "platform/notice.h"

#include <csignal>
#include <grp.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace testsupport {

namespace {

class PipeSink : public platform::NoticeSink {
public:
    explicit PipeSink(int fd) : m_fd(fd) {}
    void Show(const std::string& text, const std::string& caption,
              platform::NoticeIcon, platform::NoticeOwner) override
    {
        const std::string line = platform::ConsoleNoticeLine(text, caption) + "\n";
        if (::write(m_fd, line.data(), line.size()) < 0)
            _exit(97);
    }

private:
    int m_fd;
};

}  // namespace

bool CanDropPrivileges() { return ::geteuid() == 0; }

ChildOutcome RunInChild(const std::function<int()>& body, const ChildOptions& options)
{
    int fds[2];
    if (::pipe(fds) != 0)
        return {};
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::close(fds[0]);
        if (options.asUnprivileged && ::geteuid() == 0) {
            if (::setgroups(0, nullptr) != 0 || ::setgid(kUnprivilegedId) != 0 ||
                ::setuid(kUnprivilegedId) != 0)
                _exit(98);
        }
        if (options.fileSizeLimit >= 0) {
            std::signal(SIGXFSZ, SIG_IGN);
            const rlimit limit{static_cast<rlim_t>(options.fileSizeLimit),
                               static_cast<rlim_t>(options.fileSizeLimit)};
            if (::setrlimit(RLIMIT_FSIZE, &limit) != 0)
                _exit(99);
        }
        PipeSink sink(fds[1]);
        platform::SetNoticeSink(&sink);
        platform::SetTitleSink(nullptr);
        const int code = body();
        _exit(code);
    }
    ::close(fds[1]);
    ChildOutcome outcome;
    char chunk[512];
    ssize_t got;
    while ((got = ::read(fds[0], chunk, sizeof chunk)) > 0)
        outcome.notices.append(chunk, static_cast<size_t>(got));
    ::close(fds[0]);
    int status = 0;
    ::waitpid(pid, &status, 0);
    outcome.exited = WIFEXITED(status);
    outcome.exitCode = outcome.exited ? WEXITSTATUS(status) : -1;
    outcome.signal = WIFSIGNALED(status) ? WTERMSIG(status) : 0;
    return outcome;
}

}  // namespace testsupport
