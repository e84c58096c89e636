#include "cli/output.h"

#include "cli/system.h"

#include <cstring>

namespace cli {

namespace {

// The length of the printable character at `at`, or 0 when the byte there
// must be escaped.
size_t PrintableLength(const std::string& s, size_t at)
{
    const auto byte = [&](size_t i) { return i < s.size() ? static_cast<unsigned char>(s[i]) : 0u; };
    const unsigned first = byte(at);
    if (first < 0x20 || first == 0x7F)
        return 0;
    if (first < 0x80)
        return 1;
    size_t length;
    unsigned code;
    if (first >= 0xC2 && first <= 0xDF) {
        length = 2;
        code = first & 0x1F;
    } else if (first >= 0xE0 && first <= 0xEF) {
        length = 3;
        code = first & 0x0F;
    } else if (first >= 0xF0 && first <= 0xF4) {
        length = 4;
        code = first & 0x07;
    } else {
        return 0;
    }
    for (size_t i = 1; i < length; ++i) {
        if ((byte(at + i) & 0xC0) != 0x80)
            return 0;
        code = code << 6 | (byte(at + i) & 0x3F);
    }
    const bool overlong = (length == 3 && code < 0x800) || (length == 4 && code < 0x10000);
    const bool surrogate = code >= 0xD800 && code <= 0xDFFF;
    // C1 controls (U+009B is a one-character escape sequence on some
    // terminals) and the Unicode line and paragraph separators.
    const bool control = (code >= 0x80 && code <= 0x9F) || code == 0x2028 || code == 0x2029;
    if (overlong || surrogate || control || code > 0x10FFFF)
        return 0;
    return length;
}

std::string Escaped(unsigned char byte)
{
    // The shell's own letters where it has one, else three octal digits.
    static const char kControls[] = "\a\b\f\n\r\t\v", kLetters[] = "abfnrtv";
    if (const char* control = byte ? std::strchr(kControls, byte) : nullptr)
        return std::string("\\") + kLetters[control - kControls];
    const char octal[] = {'\\', static_cast<char>('0' + (byte >> 6)), static_cast<char>('0' + ((byte >> 3) & 7)),
                          static_cast<char>('0' + (byte & 7)), '\0'};
    return octal;
}

}  // namespace

bool NeedsQuoting(const std::string& name)
{
    for (size_t at = 0; at < name.size();) {
        const size_t length = PrintableLength(name, at);
        if (length == 0)
            return true;
        at += length;
    }
    return false;
}

std::string QuoteName(const std::string& name)
{
    if (!NeedsQuoting(name))
        return name;
    std::string quoted = "'";
    bool open = true;
    for (size_t at = 0; at < name.size();) {
        const size_t length = PrintableLength(name, at);
        if (length == 0) {
            quoted += open ? "'$'" : "$'";
            for (; at < name.size() && PrintableLength(name, at) == 0; ++at)
                quoted += Escaped(static_cast<unsigned char>(name[at]));
            quoted += "'";
            open = false;
            continue;
        }
        if (name[at] == '\'') {
            quoted += open ? "'\\''" : "\\'";
        } else {
            if (!open)
                quoted += "'";
            open = true;
            quoted += name.substr(at, length);
        }
        at += length;
    }
    if (open)
        quoted += "'";
    return quoted;
}

void Say(const std::string& text) { WriteError("veltrane-cli: " + text + "\n"); }

}  // namespace cli
