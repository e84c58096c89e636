#include "cli/options.h"

#include "cli/keygen.h"
#include "cli/output.h"
#include "engine/cipher.h"
#include "platform/translation.h"

#include <getopt.h>

#include <algorithm>
#include <charconv>
#include <climits>
#include <cstring>
#include <utility>

namespace cli {

using platform::Fill;
using platform::Tr;

// The help in paragraphs, each translated whole. What differs from one
// system to the other is in each one's own words: its links, how a key is
// kept from others, what stops a run, how a name is quoted and a loop is
// written in its shell.
std::string HelpText()
{
    // A translation keeps the option lines' first 24 columns as the
    // English has them, and -r's line ends a sentence that the next text
    // ("below it, in name order; ...") finishes; every line within 80 columns.
    std::string text =
        Tr("Usage: veltrane-cli encrypt|decrypt -k KEYFILE [-o OFFSET] [--key-read-only] [-r] [-q|-v] FILE...\n"
           "       veltrane-cli encrypt|decrypt -c -k KEYFILE [-o OFFSET] FILE|-\n"
           "       veltrane-cli keygen -n SIZE KEYFILE\n"
           "       veltrane-cli keygen --for FILE... KEYFILE\n"
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
           "  -c, --stdout          write the result to standard output (a pipe or a file,\n"
           "                        never a terminal) and leave FILE as it is. One FILE,\n"
           "                        without -r; with -c only, - as FILE reads standard\n"
           "                        input\n"
           "  -r, --recursive       a FILE that is a folder stands for every regular file\n");
#ifdef _WIN32
    text += Tr("                        below it, in name order; links and other reparse\n"
               "                        points, system files (desktop.ini, Thumbs.db), the\n"
               "                        key file and temporary files (*.1\u00EA9) are skipped\n");
#else
    text += Tr("                        below it, in name order; symbolic links, the key file\n"
               "                        and temporary files (*.1\u00EA9) are skipped\n");
#endif
    text += Tr("  -q, --quiet           print nothing but refusals and errors\n"
               "  -v, --verbose         print every progress line on a line of its own\n"
               "  -h, --help            show this help and exit\n"
               "      --version         show the version and exit\n"
               "\n");
#ifdef _WIN32
    text += Tr("keygen makes a new KEYFILE of random bytes from the system, marked read-only\n"
               "(its access list is the one its folder gives); an existing file is never\n"
               "written over. Nothing is printed but errors, and a KEYFILE that can't be\n"
               "made whole is removed.\n");
#else
    text += Tr("keygen makes a new KEYFILE of random bytes from the system, readable by its\n"
               "owner only; an existing file is never written over. Nothing is printed but\n"
               "errors, and a KEYFILE that can't be made whole is removed.\n");
#endif
    text += Tr("  -n, --size=SIZE       the key's length in bytes; K, M, G (or KiB, MiB, GiB)\n"
               "                        multiply by 1024, 1024^2, 1024^3\n"
               "      --for             as long as the largest FILE named before KEYFILE\n"
               "A key shorter than a FILE protects every byte past its end with one single\n"
               "key byte, and a warning says so. A random key at least as long as the FILE,\n"
               "used for that one FILE only, leaves nothing to guess.\n"
               "\n"
               "Refusals and errors go to standard error as \"CAPTION: TEXT\". Progress is\n"
               "shown on one line when standard error is a terminal. A refused FILE doesn't\n"
               "stop the others. ");
#ifdef _WIN32
    text += Tr("A name with spaces goes in double\n"
               "quotes on the command line, as in cmd.exe: \"my report.pdf\".\n"
               "\n");
#else
    text += Tr("A file name with control characters is shown quoted, as a\n"
               "shell would take it: 'a'$'\\n''b'.\n"
               "\n");
#endif
    text += Tr("A file named twice is done once. One key for several files protects none\n"
               "of them fully (two results compared give both away): make a key each;\n"
               "encrypting several files with one key warns of it.\n"
               "\n"
               "Examples:\n");
    // The commands as typed, in any language.
    text += "  veltrane-cli keygen --for report.pdf report.key\n"
            "  veltrane-cli encrypt -k report.key -o 17 report.pdf\n"
            "  veltrane-cli decrypt -k report.key -o 17 report.pdf\n";
#ifdef _WIN32
    text += "  for %f in (*.txt) do veltrane-cli keygen --for \"%f\" \"keys\\%f.key\" ^\n"
            "    && veltrane-cli encrypt -k \"keys\\%f.key\" \"%f\"\n";
    text += Tr("  (in a batch file %%f for %f)\n");
#else
    text += "  for f in letters/*; do veltrane-cli keygen --for \"$f\" \"keys/${f##*/}.key\" &&\n"
            "    veltrane-cli encrypt -k \"keys/${f##*/}.key\" \"$f\"; done\n";
#endif
    text += Tr("\n"
               "Exit status:\n"
               "  0    every FILE done (keygen: KEYFILE made)\n"
               "  1    a FILE was refused or failed (keygen: no KEYFILE made)\n"
               "  2    usage error; no FILE touched\n");
#ifdef _WIN32
    text += Tr("  130  stopped by Ctrl+C (143: Ctrl+Break; 129: the console closed, the user\n"
               "       logged off or Windows shut down); the FILE in work is left as it was,\n"
               "       later ones are not started, and each FILE left unchanged is named on\n"
               "       standard error\n");
#else
    text += Tr("  130  interrupted by SIGINT (143: SIGTERM, 129: SIGHUP); the FILE in work\n"
               "       is left as it was, later ones are not started, and each FILE left\n"
               "       unchanged is named on standard error\n");
#endif
    return text;
}

namespace {

enum LongOnly { kKeyReadOnly = 256, kFor, kHelp, kVersion };

// getopt_long's code for a word that isn't an option, given in order.
constexpr int kWord = 1;

const option kLongOptions[] = {
    {"key", required_argument, nullptr, 'k'},
    {"offset", required_argument, nullptr, 'o'},
    {"key-read-only", no_argument, nullptr, kKeyReadOnly},
    {"recursive", no_argument, nullptr, 'r'},
    {"stdout", no_argument, nullptr, 'c'},
    {"size", required_argument, nullptr, 'n'},
    {"for", no_argument, nullptr, kFor},
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

// The long options that the typed one names: the one it spells out, or
// every one it abbreviates (getopt_long takes any unambiguous abbreviation).
std::vector<const option*> Named(const std::string& typed)
{
    const std::string name = typed.substr(2);
    std::vector<const option*> named;
    for (const option* o = kLongOptions; o->name; ++o) {
        if (name == o->name)
            return {o};
        if (std::strncmp(o->name, name.c_str(), name.size()) == 0)
            named.push_back(o);
    }
    return named;
}

}  // namespace

bool ParseOffset(const std::string& text, int& value)
{
    // The sign is taken here: from_chars reads none into an unsigned number,
    // so a second one is refused with anything else that is not a digit.
    const bool sign = !text.empty() && (text[0] == '+' || text[0] == '-');
    const char* const end = text.data() + text.size();
    unsigned long long magnitude = 0;
    const auto [stop, error] = std::from_chars(text.data() + sign, end, magnitude);
    if (error == std::errc::invalid_argument || stop != end)
        return false;
    if (error == std::errc::result_out_of_range || magnitude > INT_MAX)
        value = text[0] == '-' ? INT_MIN : INT_MAX;
    else
        value = text[0] == '-' ? -static_cast<int>(magnitude) : static_cast<int>(magnitude);
    return true;
}

namespace {

// A word from the command line in a message: in quotes, in the shell's
// quoting when it holds control characters (a file name that a wildcard put
// in the command word's place).
std::string Shown(const std::string& word) { return NeedsQuoting(word) ? QuoteName(word) : "'" + word + "'"; }

// The option as the user typed it, for the message that it doesn't belong
// to the command.
std::string Typed(int code, const char* arg)
{
    if (std::strncmp(arg, "--", 2) == 0)
        return OptionAsTyped(arg);
    return std::string("-") + static_cast<char>(code);
}

Action Usage(std::string& error, std::string text)
{
    error = std::move(text);
    return Action::UsageError;
}

// The same option with two values: which one was meant can't be told.
Action Twice(std::string& error, int code, const char* arg)
{
    return Usage(error, Fill(Tr("option '%1' given twice with different values"), {Typed(code, arg)}));
}

Action CheckKeygen(const std::vector<std::string>& words, bool haveSize, bool sizeForFiles, Options& options,
                   std::string& error)
{
    if (haveSize && sizeForFiles)
        return Usage(error, Tr("-n and --for exclude each other"));
    if (!haveSize && !sizeForFiles)
        return Usage(error, Tr("missing key size: -n SIZE or --for FILE..."));
    if (words.empty())
        return Usage(error, Tr("missing KEYFILE"));
    if (sizeForFiles && words.size() < 2)
        return Usage(error, Tr("missing FILE: --for FILE... KEYFILE"));
    if (haveSize && words.size() > 1)
        return Usage(error, Tr("too many names: keygen -n SIZE makes one KEYFILE"));
    options.command = Command::Keygen;
    options.keyPath = words.back();
    options.files.assign(words.begin(), words.end() - 1);
    return Action::Run;
}

}  // namespace

Action ParseCommandLine(int argc, char** argv, Options& options, std::string& error)
{
    bool quiet = false, verbose = false, haveKey = false, haveOffset = false, haveSize = false, sizeForFiles = false;
    // The first option typed that only encrypt/decrypt or only keygen take.
    std::string transformOption, keygenOption;
    // The command word and the names, in the order given. Words are taken
    // in order wherever they stand ("-" first in the option string), also
    // when POSIXLY_CORRECT would otherwise end the options at the command.
    std::vector<std::string> words;
    opterr = 0;
    // 0, not 1: getopt starts afresh only then, and otherwise goes on inside
    // an option cluster of an earlier call's argv (a parse that stopped at an
    // error or --help in "-qZ" leaves it pointing into words since freed).
    optind = 0;
    int code;
    // The word the next option is read from: getopt moves optind past a
    // cluster ("-qk") only at its end, and past a separate argument too, so
    // argv[optind - 1] can be the word before (whose text then went into
    // the message about this option).
    int word = 1;
    // The command line is read once, before any other thread starts.
    // NOLINTNEXTLINE(concurrency-mt-unsafe)
    while ((code = getopt_long(argc, argv, "-:k:o:rcn:qvh", kLongOptions, nullptr)) != -1) {
        const char* arg = argv[word];
        word = optind;
        switch (code) {
        case kWord:
            words.emplace_back(optarg);
            break;
        case 'k':
            if (haveKey && options.keyPath != optarg)
                return Twice(error, code, arg);
            options.keyPath = optarg;
            haveKey = true;
            break;
        case 'o': {
            int offset = 0;
            if (!ParseOffset(optarg, offset) || offset < 0 || offset > 255)
                return Usage(
                    error, Fill(Tr("invalid offset %1: a decimal number from 0 to 255 is expected"), {Shown(optarg)}));
            if (haveOffset && offset != options.offset)
                return Twice(error, code, arg);
            options.offset = offset;
            haveOffset = true;
            break;
        }
        case 'n': {
            std::int64_t size = 0;
            if (!ParseSize(optarg, size))
                return Usage(error,
                             Fill(Tr("invalid size %1: a number of bytes from 1, with K, M or G"), {Shown(optarg)}));
            if (haveSize && size != options.keySize)
                return Twice(error, code, arg);
            options.keySize = size;
            haveSize = true;
            break;
        }
        case kFor:
            sizeForFiles = true;
            break;
        case kKeyReadOnly:
            options.makeKeyReadOnly = 1;
            break;
        case 'r':
            options.recursive = true;
            break;
        case 'c':
            options.toStdout = true;
            break;
        case 'q':
            quiet = true;
            break;
        case 'v':
            verbose = true;
            break;
        case 'h':
        case kHelp:
            return Action::ShowHelp;
        case kVersion:
            return Action::ShowVersion;
        case ':':
        case '?': {
            const bool isLong = std::strncmp(arg, "--", 2) == 0;
            // The byte as typed could be a terminal's escape.
            const std::string letter = Shown(std::string(1, static_cast<char>(optopt)));
            // getopt_long reports a long option that takes no argument but
            // was given one as ':' on some systems and as '?' on others.
            const std::vector<const option*> named = isLong ? Named(OptionAsTyped(arg)) : std::vector<const option*>();
            const bool unwanted = std::strchr(arg, '=') && named.size() == 1 && named[0]->has_arg == no_argument;
            if (code == ':' && !unwanted)
                error = isLong ? Fill(Tr("option '%1' requires an argument"), {OptionAsTyped(arg)})
                               : Fill(Tr("option requires an argument -- %1"), {letter});
            else if (unwanted || (isLong && optopt != 0))
                error = Fill(Tr("option '%1' doesn't allow an argument"), {OptionAsTyped(arg)});
            else if (isLong)
                error = Fill(named.size() > 1 ? Tr("ambiguous option %1") : Tr("unrecognized option %1"),
                             {Shown(OptionAsTyped(arg))});
            else
                error = Fill(Tr("invalid option -- %1"), {letter});
            return Action::UsageError;
        }
        }
        std::string& only = code == 'n' || code == kFor ? keygenOption : transformOption;
        if (code != kWord && only.empty())
            only = Typed(code, arg);
    }
    // Everything after "--" is a name.
    for (int i = optind; i < argc; ++i)
        words.emplace_back(argv[i]);

    if (words.empty())
        return Usage(error, Tr("missing command: encrypt, decrypt or keygen"));
    const std::string command = words.front();
    words.erase(words.begin());
    const bool emptyName = std::find(words.begin(), words.end(), std::string()) != words.end();
    if (command == "keygen") {
        if (!transformOption.empty())
            return Usage(error, Fill(Tr("option '%1' is not for keygen"), {transformOption}));
        if (emptyName)
            return Usage(error, Tr("empty file name"));
        return CheckKeygen(words, haveSize, sizeForFiles, options, error);
    }
    if (command == "encrypt") {
        options.direction = kDirectionEncrypt;
    } else if (command == "decrypt") {
        options.direction = kDirectionDecrypt;
    } else {
        return Usage(error, Fill(Tr("unknown command %1: encrypt, decrypt or keygen"), {Shown(command)}));
    }
    if (!keygenOption.empty())
        return Usage(error, Fill(Tr("option '%1' is only for keygen"), {keygenOption}));
    if (quiet && verbose)
        return Usage(error, Tr("-q and -v exclude each other"));
    // An empty name would otherwise reach the checks as a missing file; in a
    // script it is almost always an unset variable, worth stopping for.
    if (!haveKey || options.keyPath.empty())
        return Usage(error, haveKey ? Tr("empty key file name") : Tr("missing key file: -k KEYFILE"));
    if (words.empty())
        return Usage(error, Tr("missing FILE"));
    if (emptyName)
        return Usage(error, Tr("empty FILE name"));
    // A file of that name is still reached as ./-.
    if (!options.toStdout && std::find(words.begin(), words.end(), "-") != words.end())
        return Usage(error, Tr("'-' reads standard input only with -c (a file named - is ./-)"));
    if (options.toStdout && (options.recursive || words.size() > 1))
        return Usage(error, options.recursive ? Tr("-c and -r exclude each other") : Tr("-c takes one FILE"));
    options.files = words;
    options.verbosity = quiet ? Verbosity::Quiet : verbose ? Verbosity::Verbose : Verbosity::Normal;
    return Action::Run;
}

}  // namespace cli
