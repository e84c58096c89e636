#include "cli/options.h"

#include "engine/cipher.h"

#include <getopt.h>

#include <climits>
#include <cstring>

namespace cli {

const char kHelpText[] =
    "Usage: veltrane-cli encrypt|decrypt -k KEYFILE [-o OFFSET] [--key-read-only] [-q|-v] FILE...\n"
    "       veltrane-cli --help | --version\n"
    "\n"
    "Encrypt or decrypt each FILE in place with KEYFILE and OFFSET. Every byte of\n"
    "FILE is combined with the byte at the same position in KEYFILE (its last byte\n"
    "where KEYFILE is shorter) and with OFFSET: added to encrypt, subtracted to\n"
    "decrypt. The same KEYFILE and OFFSET undo the change. Each FILE is written to\n"
    "a temporary file beside it, which then takes its name.\n"
    "\n"
    "Options:\n"
    "  -k, --key=KEYFILE     the key file (required)\n"
    "  -o, --offset=OFFSET   a decimal number from 0 to 255 (default 0)\n"
    "      --key-read-only   remove the key file's write permission first\n"
    "  -q, --quiet           print nothing but refusals and errors\n"
    "  -v, --verbose         print every progress line on a line of its own\n"
    "      --help            show this help and exit\n"
    "      --version         show the version and exit\n"
    "\n"
    "Refusals and errors go to standard error as \"CAPTION: TEXT\". Progress is\n"
    "shown on one line when standard error is a terminal. A refused FILE doesn't\n"
    "stop the others.\n"
    "\n"
    "Examples:\n"
    "  veltrane-cli encrypt -k key.bin -o 17 report.pdf notes.txt\n"
    "  veltrane-cli decrypt -k key.bin -o 17 report.pdf notes.txt\n"
    "\n"
    "Exit status:\n"
    "  0    every FILE done\n"
    "  1    a FILE was refused or failed\n"
    "  2    usage error; no FILE touched\n"
    "  130  interrupted by SIGINT (143: SIGTERM, 129: SIGHUP); the FILE in work\n"
    "       is left as it was, later ones are not started, and each FILE left\n"
    "       unchanged is named on standard error\n";

namespace {

enum LongOnly { kKeyReadOnly = 256, kHelp, kVersion };

const option kLongOptions[] = {
    {"key", required_argument, nullptr, 'k'},
    {"offset", required_argument, nullptr, 'o'},
    {"key-read-only", no_argument, nullptr, kKeyReadOnly},
    {"quiet", no_argument, nullptr, 'q'},
    {"verbose", no_argument, nullptr, 'v'},
    {"help", no_argument, nullptr, kHelp},
    {"version", no_argument, nullptr, kVersion},
    {nullptr, 0, nullptr, 0},
};

// The option as the user typed it, for messages: "--key" from "--key=x".
std::string OptionAsTyped(const char* arg)
{
    const char* equals = std::strchr(arg, '=');
    return equals ? std::string(arg, equals) : std::string(arg);
}

// getopt_long takes any unambiguous abbreviation of a long option.
bool IsAmbiguous(const std::string& typed)
{
    const std::string name = typed.substr(2);
    int matches = 0;
    for (const option* o = kLongOptions; o->name; ++o)
        matches += std::strncmp(o->name, name.c_str(), name.size()) == 0;
    return matches > 1;
}

}  // namespace

bool ParseOffset(const std::string& text, int& value)
{
    size_t i = 0;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-'))
        negative = text[i++] == '-';
    if (i == text.size())
        return false;
    long long magnitude = 0;
    for (; i < text.size(); ++i) {
        if (text[i] < '0' || text[i] > '9')
            return false;
        if (magnitude <= INT_MAX)
            magnitude = magnitude * 10 + (text[i] - '0');
    }
    if (negative)
        value = magnitude > INT_MAX ? INT_MIN : static_cast<int>(-magnitude);
    else
        value = magnitude > INT_MAX ? INT_MAX : static_cast<int>(magnitude);
    return true;
}

Action ParseCommandLine(int argc, char** argv, Options& options, std::string& error)
{
    bool quiet = false, verbose = false, haveKey = false;
    opterr = 0;
    optind = 1;
    int code;
    while ((code = getopt_long(argc, argv, ":k:o:qv", kLongOptions, nullptr)) != -1) {
        switch (code) {
        case 'k':
            options.keyPath = optarg;
            haveKey = true;
            break;
        case 'o':
            if (!ParseOffset(optarg, options.offset)) {
                error = std::string("invalid offset '") + optarg + "': a decimal integer is expected";
                return Action::UsageError;
            }
            break;
        case kKeyReadOnly:
            options.makeKeyReadOnly = 1;
            break;
        case 'q':
            quiet = true;
            break;
        case 'v':
            verbose = true;
            break;
        case kHelp:
            return Action::ShowHelp;
        case kVersion:
            return Action::ShowVersion;
        case ':':
        case '?': {
            const char* arg = argv[optind - 1];
            const bool isLong = std::strncmp(arg, "--", 2) == 0;
            if (code == ':')
                error = isLong ? "option '" + OptionAsTyped(arg) + "' requires an argument"
                               : std::string("option requires an argument -- '") +
                                     static_cast<char>(optopt) + "'";
            else if (isLong && optopt != 0)
                error = "option '" + OptionAsTyped(arg) + "' doesn't allow an argument";
            else if (isLong)
                error = std::string(IsAmbiguous(OptionAsTyped(arg)) ? "ambiguous" : "unrecognized") +
                        " option '" + OptionAsTyped(arg) + "'";
            else
                error = std::string("invalid option -- '") + static_cast<char>(optopt) + "'";
            return Action::UsageError;
        }
        }
    }

    if (optind >= argc) {
        error = "missing command: encrypt or decrypt";
        return Action::UsageError;
    }
    const std::string command = argv[optind++];
    if (command == "encrypt") {
        options.direction = kDirectionEncrypt;
    } else if (command == "decrypt") {
        options.direction = kDirectionDecrypt;
    } else {
        error = "unknown command '" + command + "': encrypt or decrypt";
        return Action::UsageError;
    }
    if (quiet && verbose) {
        error = "-q and -v exclude each other";
        return Action::UsageError;
    }
    // An empty name would otherwise reach the checks as a missing file; in a
    // script it is almost always an unset variable, worth stopping for.
    if (!haveKey || options.keyPath.empty()) {
        error = haveKey ? "empty key file name" : "missing key file: -k KEYFILE";
        return Action::UsageError;
    }
    if (optind >= argc) {
        error = "missing FILE";
        return Action::UsageError;
    }
    for (int i = optind; i < argc; ++i) {
        if (argv[i][0] == '\0') {
            error = "empty FILE name";
            return Action::UsageError;
        }
        options.files.emplace_back(argv[i]);
    }
    options.verbosity = quiet ? Verbosity::Quiet : verbose ? Verbosity::Verbose : Verbosity::Normal;
    return Action::Run;
}

}  // namespace cli
