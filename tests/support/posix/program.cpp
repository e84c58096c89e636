#include "tests/support/program.h"

#include "tests/support/child.h"

#include <fcntl.h>
#include <sys/ioctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <thread>

namespace testsupport {

struct Program::State {
    pid_t pid = -1;
    std::FILE* out = nullptr;
    int err = -1;
    std::string errText;
    bool ended = false;
    int status = -1;

    // A pseudo-terminal's reading end reports EIO once the program is gone.
    bool ReadSome()
    {
        if (err < 0)
            return false;
        char chunk[4096];
        ssize_t got;
        do
            got = ::read(err, chunk, sizeof chunk);
        while (got < 0 && errno == EINTR);
        if (got <= 0)
            return false;
        errText.append(chunk, static_cast<size_t>(got));
        return true;
    }

    void Reap(int how)
    {
        int raw = 0;
        if (::waitpid(pid, &raw, how) == pid) {
            ended = true;
            status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
        }
    }
};

Program::Program(const std::vector<std::string>& command, const ProgramOptions& options)
    : m_state(std::make_unique<State>())
{
    std::vector<std::string> all;
    if (options.fileSizeLimit >= 0)
        all = {"prlimit", "--fsize=" + std::to_string(options.fileSizeLimit)};
    all.insert(all.end(), command.begin(), command.end());
    std::vector<char*> argv;
    for (std::string& arg : all)
        argv.push_back(arg.data());
    argv.push_back(nullptr);

    State& s = *m_state;
    int outWrite = -1, errWrite = -1;
    if (!options.log.empty()) {
        outWrite = errWrite = ::open(options.log.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0600);
    } else {
        s.out = std::tmpfile();
        outWrite = s.out ? ::fileno(s.out) : -1;
        if (options.terminalColumns) {
            s.err = ::posix_openpt(O_RDWR | O_NOCTTY);
            ::grantpt(s.err);
            ::unlockpt(s.err);
            const winsize size{24, options.terminalColumns, 0, 0};
            ::ioctl(s.err, TIOCSWINSZ, &size);
            errWrite = ::open(::ptsname(s.err), O_RDWR | O_NOCTTY);
        } else {
            int fds[2];
            if (::pipe(fds) == 0) {
                s.err = fds[0];
                errWrite = fds[1];
            }
        }
        if (options.closedStderr) {
            ::close(s.err);
            s.err = -1;
        }
    }

    s.pid = ::fork();
    if (s.pid == 0) {
        // Whatever this test runner inherited, the program starts with the
        // dispositions of a shell's foreground job.
        for (const int signal : {SIGINT, SIGTERM, SIGHUP, SIGPIPE, SIGXFSZ})
            std::signal(signal, SIG_DFL);
        if (options.ignoreFileSizeSignal)
            std::signal(SIGXFSZ, SIG_IGN);
        for (const std::string& variable : options.environment)
            ::putenv(const_cast<char*>(variable.c_str()));
        const int devNull = ::open("/dev/null", O_RDONLY);
        if (devNull < 0 || ::dup2(devNull, 0) < 0 || ::dup2(outWrite, 1) < 0 || ::dup2(errWrite, 2) < 0)
            _exit(120);
        if (!options.directory.empty() && ::chdir(options.directory.c_str()) != 0)
            _exit(126);
        ::execvp(argv[0], argv.data());
        _exit(127);
    }
    if (errWrite >= 0 && errWrite != outWrite)
        ::close(errWrite);
    if (!s.out && outWrite >= 0)
        ::close(outWrite);
}

Program::~Program()
{
    if (m_state->pid > 0 && !m_state->ended) {
        ::kill(m_state->pid, SIGKILL);
        Wait();
    }
    if (m_state->err >= 0)
        ::close(m_state->err);
    if (m_state->out)
        std::fclose(m_state->out);
}

bool Program::ReadUntil(const std::string& text)
{
    while (m_state->errText.find(text) == std::string::npos)
        if (!m_state->ReadSome())
            return false;
    return true;
}

int Program::WaitForExit(std::chrono::milliseconds limit)
{
    using namespace std::chrono_literals;
    const auto deadline = std::chrono::steady_clock::now() + limit;
    for (;;) {
        m_state->Reap(WNOHANG);
        if (m_state->ended || std::chrono::steady_clock::now() >= deadline)
            break;
        std::this_thread::sleep_for(50ms);
    }
    return m_state->ended ? m_state->status : -1;
}

ProgramOutcome Program::Wait()
{
    State& s = *m_state;
    while (s.ReadSome()) {}
    if (!s.ended)
        s.Reap(0);
    ProgramOutcome outcome;
    outcome.status = s.status;
    outcome.err = s.errText;
    if (s.out) {
        std::rewind(s.out);
        char chunk[4096];
        size_t got;
        while ((got = std::fread(chunk, 1, sizeof chunk, s.out)) > 0)
            outcome.out.append(chunk, got);
        std::fclose(s.out);
        s.out = nullptr;
    }
    if (s.err >= 0)
        ::close(s.err);
    s.err = -1;
    return outcome;
}

long Program::Id() const { return m_state->pid; }

void Program::Signal(int signal) { ::kill(m_state->pid, signal); }

std::vector<std::string> BuiltCommand(const std::string& path, const std::vector<std::string>& args)
{
    std::vector<std::string> command = BuiltProgram(path);
    command.insert(command.end(), args.begin(), args.end());
    return command;
}

}  // namespace testsupport
