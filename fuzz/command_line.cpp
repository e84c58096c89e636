// The command line: any words are either refused in one printable line or
// read into a request that holds together, and read the same every time
// (getopt keeps state between calls).
#include "cli/options.h"
#include "cli/output.h"
#include "fuzz/harness.h"

namespace {

struct Reading {
    cli::Action action;
    cli::Options options;
    std::string error;
};

Reading Read(const std::vector<std::string>& words)
{
    std::vector<std::string> copy = words;
    std::vector<char*> argv;
    static char program[] = "veltrane-cli";
    argv.push_back(program);
    for (std::string& word : copy)
        argv.push_back(word.data());
    argv.push_back(nullptr);
    Reading r;
    r.action = cli::ParseCommandLine(static_cast<int>(argv.size() - 1), argv.data(), r.options, r.error);
    return r;
}

bool Same(const cli::Options& a, const cli::Options& b)
{
    return a.command == b.command && a.direction == b.direction && a.keyPath == b.keyPath && a.offset == b.offset &&
           a.makeKeyReadOnly == b.makeKeyReadOnly && a.verbosity == b.verbosity && a.files == b.files &&
           a.recursive == b.recursive && a.keySize == b.keySize;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::vector<std::string> words = fuzz::Words(data, size);
    const Reading first = Read(words), again = Read(words);
    FUZZ_CHECK(first.action == again.action && first.error == again.error);
    if (first.action == cli::Action::UsageError) {
        // Shown on a terminal as it stands.
        FUZZ_CHECK(!first.error.empty() && !cli::NeedsQuoting(first.error));
        return 0;
    }
    FUZZ_CHECK(first.error.empty());
    if (first.action != cli::Action::Run)
        return 0;
    FUZZ_CHECK(Same(first.options, again.options));
    const cli::Options& o = first.options;
    FUZZ_CHECK(!o.keyPath.empty());
    for (const std::string& file : o.files)
        FUZZ_CHECK(!file.empty());
    if (o.command == cli::Command::Keygen)
        FUZZ_CHECK((o.keySize > 0) != !o.files.empty());
    else
        FUZZ_CHECK(!o.files.empty());
    return 0;
}
