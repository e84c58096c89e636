// veltrane-cli: the cipher engine for terminals and scripts. Each FILE is
// one request, checked and carried out exactly as the window's commands do.
#include "cli/console.h"
#include "cli/folders.h"
#include "cli/keygen.h"
#include "cli/options.h"
#include "cli/output.h"
#include "cli/system.h"
#include "engine/cipher.h"
#include "platform/cancel.h"
#include "platform/files.h"
#include "platform/translation.h"
#include "res/version.h"

#include <algorithm>
#include <cstdio>
#include <set>
#include <vector>

namespace {

constexpr int kExitDone = 0;
constexpr int kExitRefused = 1;
constexpr int kExitUsage = 2;

// Standard output on a full disk or a closed pipe: a script must learn that
// what it asked for never arrived. `failure` says what, %1 standing for why.
int Flushed(const char* failure)
{
    if (std::fflush(stdout) == 0 && !std::ferror(stdout))
        return kExitDone;
    cli::Say(platform::Fill(failure, {platform::SystemErrorText(platform::LastSystemError())}));
    return kExitRefused;
}

int UsageError(const std::string& error)
{
    cli::WriteError("veltrane-cli: " + error + "\n" + platform::Tr("Try 'veltrane-cli --help'.") + "\n");
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
    cli::Say(platform::Tr("stopped; no key file made"));
    return 128 + cli::StopRequest();
}

// The pass itself stays as it always was, so that files encrypted with a
// short key keep decrypting; the user is told what that key protects.
void WarnIfKeyShort(const std::string& file, const std::string& key, int direction)
{
    const std::int64_t dataSize = cli::FileSize(file);
    platform::InputFile keyFile;
    if (dataSize < 0 || !keyFile.Open(key))
        return;
    // Counted the way the pass reads it: some keys report no true length
    // (files under /proc). One that gives a whole block and no more than it
    // reports is taken at its word, so that a large key is not read twice.
    std::vector<char> block(std::size_t{64} << 10);
    std::int64_t keySize = 0;
    while (keySize < dataSize) {
        const auto want = static_cast<std::size_t>(
            std::min<std::int64_t>(static_cast<std::int64_t>(block.size()), dataSize - keySize));
        const std::int64_t got = keyFile.ReadFull(block.data(), want);
        if (got < 0)
            return;
        keySize += got;
        if (got < static_cast<std::int64_t>(want))
            break;
        if (keyFile.Size() >= keySize) {
            keySize = keyFile.Size();
            break;
        }
    }
    if (keySize >= dataSize)
        return;
    if (keySize == 0) {
        // Encrypting is refused by the pass itself.
        if (direction != kDirectionEncrypt)
            cli::Say(platform::Fill(platform::Tr("warning: %1: the key file is empty; no key byte is combined with "
                                                 "the file, only the offset"),
                                    {cli::QuoteName(file)}));
        return;
    }
    cli::Say(platform::Fill(
        platform::TrPlural("warning: %1: the key is only %2 byte long; every byte from position %2 on is combined "
                           "with one single key byte",
                           "warning: %1: the key is only %2 bytes long; every byte from position %2 on is combined "
                           "with one single key byte",
                           static_cast<unsigned long>(keySize)),
        {cli::QuoteName(file), std::to_string(keySize)}));
}

// One command's passes over its files, and what became of each. No file is
// started once a stop was asked for. A signal can come just after a file was
// replaced, so the exit status alone can't say which files a rerun must
// leave out: the first one a stop leaves as it was and every one after it
// are named.
struct FilePasses {
    FilePasses(const cli::Options& commandLine, cli::Console& terminal) : options(commandLine), console(terminal) {}

    // A FILE of the command line (`folder` null), or the file `name` that a
    // walk found in the open `folder`.
    void Take(const platform::Folder* folder, const std::string& name);
    // Told of each file once its pass is settled, or at once when it was not
    // carried out.
    void Settled(const std::string& file, bool ok, const platform::FileIdentity& result);

    const cli::Options& options;
    const bool quiet = options.verbosity == cli::Verbosity::Quiet;
    cli::Console& console;
    int status = kExitDone;
    // For the summary a terminal gets after a folder.
    int done = 0, skipped = 0, failed = 0, stopped = 0;
    // Every file this command has taken, as it was before its pass and as
    // it is after: a pass puts a new file in place, so a later name for a
    // file already done finds the new one.
    std::set<platform::FileIdentity> taken;
    int passes = 0;
    // Small files wait for the disk together; each is told of once settled.
    PassGroup group{
        [this](const std::string& file, bool ok, const platform::FileIdentity& result) { Settled(file, ok, result); }};
};

void FilePasses::Settled(const std::string& file, bool ok, const platform::FileIdentity& result)
{
    if (ok) {
        ++done;
        taken.insert(result);
        return;
    }
    status = kExitRefused;
    if (!cli::StopRequest()) {
        ++failed;
        return;
    }
    ++stopped;
    cli::Say(platform::Fill(platform::Tr("stopped; unchanged: %1"), {cli::QuoteName(file)}));
}

void FilePasses::Take(const platform::Folder* folder, const std::string& name)
{
    const std::string file = folder ? folder->Shown() + name : name;
    platform::FileIdentity identity;
    platform::EntryKind kind{};
    if (!cli::StopRequest() && (folder ? folder->EntryIdentity(name, false, identity, &kind)
                                       : platform::PathIdentity(file, identity, &kind))) {
        if (!taken.insert(identity).second) {
            ++skipped;
            if (!quiet)
                cli::Say(platform::Fill(platform::Tr("skipped (named twice): %1"), {cli::QuoteName(file)}));
            return;
        }
        if (kind == platform::EntryKind::Folder && !folder) {
            cli::Say(
                platform::Fill(platform::Tr("%1 is a folder; -r takes the files in a folder"), {cli::QuoteName(file)}));
            status = kExitRefused;
            return;
        }
    }
    bool passed =
        !cli::StopRequest() &&
        (folder ? ValidateRequestIn(*folder, name, file, options.keyPath, options.offset, options.makeKeyReadOnly)
                : ValidateRequest(file, options.keyPath, options.offset, options.makeKeyReadOnly)) &&
        !cli::StopRequest();
    if (passed && !quiet) {
        WarnIfKeyShort(file, options.keyPath, options.direction);
        // One key for several files lets anyone who has two results
        // subtract them and learn about both plain texts; decrypting
        // them with the key they were made with only undoes that.
        if (options.direction == kDirectionEncrypt && ++passes == 2)
            cli::Say(platform::Tr(
                "warning: one key file is used for several files, which protects none of them fully: anyone who "
                "has two of the results can learn about both from their difference; make a key for each file "
                "instead (veltrane-cli keygen --for FILE KEYFILE)"));
    }
    // A file found in a folder is taken as it stands in that open folder,
    // and known afterwards by the file the pass made, wherever its name
    // has gone meanwhile.
    passed = passed &&
             (folder ? TransformFileIn(*folder, name, file, options.keyPath, options.offset, options.direction, &group)
                     : TransformFile(file, options.keyPath, options.offset, options.direction, &group));
    console.EndProgress();
    if (!passed)
        Settled(file, false, {});
}

}  // namespace

int main(int argc, char** argv)
{
    // Before anything else: a file opened while a standard stream is closed
    // would take its number and receive the progress lines.
    const bool outputClosed = platform::EnsureStandardStreams();
    platform::UseUserLanguage();
    cli::Options options;
    std::string error;
    std::vector<std::string> arguments = cli::Arguments(argc, argv);
    std::vector<char*> pointers;
    pointers.reserve(arguments.size() + 1);
    for (std::string& argument : arguments)
        pointers.push_back(argument.data());
    pointers.push_back(nullptr);
    switch (cli::ParseCommandLine(static_cast<int>(arguments.size()), pointers.data(), options, error)) {
    case cli::Action::ShowHelp:
        std::fputs(cli::OutputText(cli::HelpText()).c_str(), stdout);
        return Flushed(platform::Tr("cannot write the help text: %1"));
    case cli::Action::ShowVersion:
        std::fputs(cli::OutputText("veltrane-cli " VELTRANE_VERSION "\n").c_str(), stdout);
        return Flushed(platform::Tr("cannot write the version: %1"));
    case cli::Action::UsageError:
        return UsageError(error);
    case cli::Action::Run:
        break;
    }

    cli::CatchStopRequests();
    if (options.command == cli::Command::Keygen) {
        const int made = Keygen(options);
        cli::Finished();
        return made;
    }

    // Bytes a terminal would take for commands, and nobody could read.
    if (options.toStdout && cli::OutputIsTerminal())
        return UsageError(platform::Tr("standard output is a terminal: -c writes only into a pipe or a file"));
    // Nothing written there would reach anyone.
    if (options.toStdout && outputClosed) {
        cli::Say(platform::Tr("cannot write standard output: it is closed; nothing was written"));
        return kExitRefused;
    }
    cli::Console console(options.verbosity, cli::ErrorIsTerminal());
    platform::SetReportSink(&console);
    FilePasses files(options, console);
    const auto take = [&files](const platform::Folder* folder, const std::string& name) { files.Take(folder, name); };
    if (options.toStdout) {
        const std::string& file = options.files.front();
        if (file != "-" && !files.quiet)
            WarnIfKeyShort(file, options.keyPath, options.direction);
        if (!TransformToOutput(file, options.keyPath, options.offset, options.makeKeyReadOnly, options.direction))
            files.status = kExitRefused;
        console.EndProgress();
    } else if (!options.recursive) {
        for (const std::string& file : options.files)
            take(nullptr, file);
    } else if (!cli::WalkFiles(options.files, options.keyPath, files.quiet, take, &files.skipped))
        files.status = kExitRefused;
    files.group.Settle();
    // Only where somebody reads it: a script sees the lines it always saw.
    if (options.recursive && !files.quiet && cli::ErrorIsTerminal()) {
        std::string summary = platform::Fill(
            platform::TrPlural("%1 file done, %2 skipped, %3 failed", "%1 files done, %2 skipped, %3 failed",
                               static_cast<unsigned long>(files.done)),
            {std::to_string(files.done), std::to_string(files.skipped), std::to_string(files.failed)});
        if (files.stopped > 0)
            summary = platform::Fill(platform::Tr("%1, %2 left by the stop"), {summary, std::to_string(files.stopped)});
        cli::Say(summary);
    }

    platform::SetReportSink(nullptr);
    if (const int stop = cli::StopRequest())
        files.status = 128 + stop;
    cli::Finished();
    return files.status;
}
