// veltrane-cli: the cipher engine for terminals and scripts. Each FILE is
// one request, checked and carried out exactly as the window's commands do.
#include "cli/console.h"
#include "cli/options.h"
#include "engine/cipher.h"
#include "platform/cancel.h"
#include "platform/files.h"
#include "res/version.h"

#include <unistd.h>

#include <csignal>
#include <cstdio>

namespace {

constexpr int kExitDone = 0;
constexpr int kExitRefused = 1;
constexpr int kExitUsage = 2;

volatile std::sig_atomic_t g_stopSignal = 0;

extern "C" void OnStopSignal(int signal)
{
    g_stopSignal = signal;
    platform::RequestCancel();
}

// A stop signal ends the pass at its next block, which removes the temporary
// file and leaves the data file as it was; being killed instead would strand
// a partial temporary file. A signal the caller chose to ignore (nohup, a
// background job) stays ignored.
void CatchStopSignals()
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

int UsageError(const std::string& error)
{
    std::fprintf(stderr, "veltrane-cli: %s\nTry 'veltrane-cli --help'.\n", error.c_str());
    return kExitUsage;
}

}  // namespace

int main(int argc, char** argv)
{
    // Before anything else: a file opened while a standard stream is closed
    // would take its number and receive the progress lines.
    platform::EnsureStandardStreams();
    cli::Options options;
    std::string error;
    switch (cli::ParseCommandLine(argc, argv, options, error)) {
    case cli::Action::ShowHelp:
        std::fputs(cli::kHelpText, stdout);
        return std::fflush(stdout) == 0 ? kExitDone : kExitRefused;
    case cli::Action::ShowVersion:
        std::puts("veltrane-cli " VELTRANE_VERSION);
        return std::fflush(stdout) == 0 ? kExitDone : kExitRefused;
    case cli::Action::UsageError:
        return UsageError(error);
    case cli::Action::Run:
        break;
    }

    CatchStopSignals();
    cli::Console console(options.verbosity, ::isatty(STDERR_FILENO) == 1);
    platform::SetNoticeSink(&console);
    platform::SetTitleSink(&console);

    int status = kExitDone;
    // The first FILE that a stop signal leaves as it was; every one after it
    // is never started.
    size_t unchanged = 0;
    for (; unchanged < options.files.size() && !g_stopSignal; ++unchanged) {
        const std::string& file = options.files[unchanged];
        const bool done = ValidateRequest(file, options.keyPath, options.offset, options.makeKeyReadOnly) &&
                          !g_stopSignal &&
                          TransformFile(file, options.keyPath, options.offset, options.direction);
        console.EndProgress();
        if (!done)
            status = kExitRefused;
        if (!done && g_stopSignal)
            break;
    }

    platform::SetTitleSink(nullptr);
    platform::SetNoticeSink(nullptr);
    if (g_stopSignal) {
        // A signal can come just after a file was replaced, so the exit
        // status alone can't say which files a rerun must leave out.
        for (size_t i = unchanged; i < options.files.size(); ++i)
            std::fprintf(stderr, "veltrane-cli: stopped; unchanged: %s\n", options.files[i].c_str());
        return 128 + g_stopSignal;
    }
    return status;
}
