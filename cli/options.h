// The command line of veltrane-cli, read into one request per data file.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace cli {

enum class Verbosity { Quiet, Normal, Verbose };

enum class Command { Transform, Keygen };

struct Options {
    Command command = Command::Transform;
    int direction = 0;
    std::string keyPath;
    int offset = 0;
    int makeKeyReadOnly = 0;
    Verbosity verbosity = Verbosity::Normal;
    // The data files; for keygen, the files to size the key for (--for).
    std::vector<std::string> files;
    bool recursive = false;
    // -c: the result goes to standard output, the one FILE ("-": standard
    // input) stays as it is.
    bool toStdout = false;
    // keygen: the key's length in bytes (-n), or -1 to size it for `files`.
    std::int64_t keySize = -1;
};

enum class Action { Run, ShowHelp, ShowVersion, UsageError };

// Reads argv. On a usage error, `error` says what is wrong in one line
// (without the program name) and nothing has been touched yet.
Action ParseCommandLine(int argc, char** argv, Options& options, std::string& error);

// Reads a decimal integer, optionally signed. Values beyond int saturate, so
// that a huge offset is still refused as out of range instead of wrapping
// round into it. False for anything that isn't a decimal integer.
bool ParseOffset(const std::string& text, int& value);

// What --help shows, in the user's language.
std::string HelpText();

}  // namespace cli
