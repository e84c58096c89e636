#include "cli/system.h"

#include "platform/cancel.h"
#include "platform/files.h"

#include <fcntl.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>

namespace cli {

namespace {

volatile std::sig_atomic_t g_stopSignal = 0;

extern "C" void OnStopSignal(int signal)
{
    g_stopSignal = signal;
    platform::RequestCancel();
}

}  // namespace

std::vector<std::string> Arguments(int argc, char** argv) { return std::vector<std::string>(argv, argv + argc); }

void CatchStopRequests()
{
    for (const int signal : {SIGINT, SIGTERM, SIGHUP}) {
        struct sigaction current {};
        if (::sigaction(signal, nullptr, &current) == 0 && current.sa_handler == SIG_IGN)
            continue;
        struct sigaction action {};
        action.sa_handler = OnStopSignal;
        sigemptyset(&action.sa_mask);
        action.sa_flags = SA_RESTART;
        ::sigaction(signal, &action, nullptr);
    }
    // A reader that goes away (`| head`) or a file size limit must not kill
    // the pass either: the failed write is dropped or reported instead.
    std::signal(SIGPIPE, SIG_IGN);
    std::signal(SIGXFSZ, SIG_IGN);
}

int StopRequest() { return g_stopSignal; }

void Finished() {}

std::int64_t FileSize(const std::string& path, bool* regular)
{
    struct stat status {};
    if (::stat(path.c_str(), &status) != 0)
        return -1;
    if (regular)
        *regular = S_ISREG(status.st_mode);
    return status.st_size;
}

bool ErrorIsTerminal() { return ::isatty(STDERR_FILENO) == 1; }

bool OutputIsTerminal() { return ::isatty(STDOUT_FILENO) == 1; }

std::size_t TerminalWidth()
{
    winsize size{};
    if (::ioctl(STDERR_FILENO, TIOCGWINSZ, &size) == 0 && size.ws_col > 0)
        return size.ws_col;
    return 80;
}

void WriteError(const std::string& text)
{
    // Straight to the descriptor, whole, so that a Ctrl-C never leaves half
    // a line.
    platform::WriteStandardStream(text.data(), text.size(), true);
}

std::string OutputText(const std::string& text) { return text; }

bool NameTaken(int error) { return error == EEXIST; }

std::int64_t FreeBytes(const std::string& folder)
{
    struct statvfs room {};
    if (::statvfs(folder.c_str(), &room) != 0)
        return -1;
    return static_cast<std::int64_t>(static_cast<std::uint64_t>(room.f_bavail) * room.f_frsize);
}

bool Reserve(int fd, std::int64_t bytes)
{
    return ::fallocate(fd, FALLOC_FL_KEEP_SIZE, 0, bytes) == 0 || errno == EOPNOTSUPP || errno == ENOSYS;
}

// Exactly owner-read, whatever the umask took away, before the key holds a
// byte.
bool ProtectKey(int fd, bool placed) { return placed || ::fchmod(fd, S_IRUSR) == 0; }

}  // namespace cli
