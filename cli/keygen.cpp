#include "cli/keygen.h"

#include <limits>

// Making the file is the system's business: see posix/keygen.cpp and
// win32/keygen.cpp.
namespace cli {

bool ParseSize(const std::string& text, std::int64_t& bytes)
{
    size_t at = 0;
    std::uint64_t number = 0;
    constexpr std::uint64_t kMax = static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max());
    for (; at < text.size() && text[at] >= '0' && text[at] <= '9'; ++at) {
        const unsigned digit = static_cast<unsigned>(text[at] - '0');
        // Checked before the step: past 2^64 the number would wrap round
        // into a smaller size and make a key of the wrong length.
        if (number > (kMax - digit) / 10)
            return false;
        number = number * 10 + digit;
    }
    if (at == 0)
        return false;
    const std::string suffix = text.substr(at);
    int shift = 0;
    if (!suffix.empty()) {
        const std::string units = "KMGT";
        const size_t unit = units.find(suffix[0]);
        if (unit == std::string::npos || (suffix.size() != 1 && suffix.substr(1) != "iB"))
            return false;
        shift = 10 * static_cast<int>(unit + 1);
    }
    if (number == 0 || number > kMax >> shift)
        return false;
    bytes = static_cast<std::int64_t>(number << shift);
    return true;
}

}  // namespace cli
