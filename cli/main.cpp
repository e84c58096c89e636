// veltrane-cli: the cipher engine for terminals and scripts. Each FILE is
// one request, checked and carried out exactly as the window's commands do.
#include "cli/console.h"
#include "cli/options.h"
#include "cli/system.h"
#include "engine/cipher.h"
#include "platform/cancel.h"
#include "platform/files.h"
#include "res/version.h"

#include <cstdio>
#include <vector>

namespace {

constexpr int kExitDone = 0;
constexpr int kExitRefused = 1;
constexpr int kExitUsage = 2;

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
    std::vector<std::string> arguments = cli::Arguments(argc, argv);
    std::vector<char*> pointers;
    for (std::string& argument : arguments)
        pointers.push_back(argument.data());
    pointers.push_back(nullptr);
    switch (cli::ParseCommandLine(static_cast<int>(arguments.size()), pointers.data(), options, error)) {
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

    cli::CatchStopRequests();
    cli::Console console(options.verbosity, cli::ErrorIsTerminal());
    platform::SetNoticeSink(&console);
    platform::SetTitleSink(&console);

    int status = kExitDone;
    // The first FILE that a stop signal leaves as it was; every one after it
    // is never started.
    size_t unchanged = 0;
    for (; unchanged < options.files.size() && !cli::StopRequest(); ++unchanged) {
        const std::string& file = options.files[unchanged];
        const bool done = ValidateRequest(file, options.keyPath, options.offset, options.makeKeyReadOnly) &&
                          !cli::StopRequest() &&
                          TransformFile(file, options.keyPath, options.offset, options.direction);
        console.EndProgress();
        if (!done)
            status = kExitRefused;
        if (!done && cli::StopRequest())
            break;
    }

    platform::SetTitleSink(nullptr);
    platform::SetNoticeSink(nullptr);
    if (const int stop = cli::StopRequest()) {
        // A signal can come just after a file was replaced, so the exit
        // status alone can't say which files a rerun must leave out.
        for (size_t i = unchanged; i < options.files.size(); ++i)
            std::fprintf(stderr, "veltrane-cli: stopped; unchanged: %s\n", options.files[i].c_str());
        std::fflush(stderr);
        status = 128 + stop;
    }
    cli::Finished();
    return status;
}
