// veltrane-cli: the cipher engine for terminals and scripts. Each FILE is
// one request, checked and carried out exactly as the window's commands do.
#include "cli/console.h"
#include "cli/folders.h"
#include "cli/keygen.h"
#include "cli/options.h"
#include "cli/output.h"
#include "engine/cipher.h"
#include "platform/cancel.h"
#include "platform/files.h"
#include "res/version.h"

#include <sys/stat.h>
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

int Keygen(const cli::Options& options)
{
    const std::int64_t size = options.keySize >= 0 ? options.keySize : cli::LargestFile(options.files);
    if (size < 0)
        return kExitRefused;
    switch (cli::MakeKeyFile(options.keyPath, size)) {
    case cli::KeygenResult::Made:
        return kExitDone;
    case cli::KeygenResult::Failed:
        return kExitRefused;
    case cli::KeygenResult::Stopped:
        break;
    }
    cli::Say("stopped; no key file made");
    return 128 + g_stopSignal;
}

// Every name a request's messages can hold: the paths as given, the file a
// link leads to, the temporary file, and the file name in progress lines.
std::vector<std::string> NamesOfRequest(const std::string& file, const std::string& key)
{
    const std::string target = platform::ResolvePath(file);
    std::vector<std::string> names = {file, key, target, TemporaryPath(target)};
    for (const std::string& path : {file, target}) {
        std::string baseName, extension;
        SplitFileName(path, baseName, extension);
        names.push_back(baseName + extension);
    }
    return names;
}

// The pass itself stays as it always was, so that files encrypted with a
// short key keep decrypting; the user is told what that key protects.
void WarnIfKeyShort(const std::string& file, const std::string& key)
{
    struct stat data {}, keyStatus {};
    if (::stat(file.c_str(), &data) != 0 || ::stat(key.c_str(), &keyStatus) != 0 ||
        keyStatus.st_size >= data.st_size)
        return;
    const std::string length = std::to_string(keyStatus.st_size);
    cli::Say("warning: " + cli::QuoteName(file) + ": the key is only " + length +
             " bytes long; every byte from position " + length + " on is combined with one single key byte");
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
    if (options.command == cli::Command::Keygen)
        return Keygen(options);

    int status = kExitDone;
    if (options.recursive) {
        const cli::FileList list =
            cli::ExpandFolders(options.files, options.keyPath, options.verbosity == cli::Verbosity::Quiet);
        // Stopped while the folders were read: nothing has been started.
        if (!g_stopSignal)
            options.files = list.files;
        if (list.failed)
            status = kExitRefused;
    }

    cli::Console console(options.verbosity, ::isatty(STDERR_FILENO) == 1);
    platform::SetNoticeSink(&console);
    platform::SetTitleSink(&console);

    // The first FILE that a stop signal leaves as it was; every one after it
    // is never started.
    size_t unchanged = 0;
    for (; unchanged < options.files.size() && !g_stopSignal; ++unchanged) {
        const std::string& file = options.files[unchanged];
        console.SetNames(NamesOfRequest(file, options.keyPath));
        bool done = ValidateRequest(file, options.keyPath, options.offset, options.makeKeyReadOnly) && !g_stopSignal;
        if (done && options.verbosity != cli::Verbosity::Quiet)
            WarnIfKeyShort(file, options.keyPath);
        done = done && TransformFile(file, options.keyPath, options.offset, options.direction);
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
            cli::Say("stopped; unchanged: " + cli::QuoteName(options.files[i]));
        return 128 + g_stopSignal;
    }
    return status;
}
