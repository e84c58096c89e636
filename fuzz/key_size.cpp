// keygen's SIZE: accepted exactly when it is digits with an optional unit
// and a value from 1 byte to the largest file length, and then read exactly.
#include "cli/keygen.h"
#include "fuzz/harness.h"

#include <limits>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string text(reinterpret_cast<const char*>(data), size);
    std::int64_t bytes = -7;
    const bool accepted = cli::ParseSize(text, bytes);

    std::size_t digits = 0;
    __int128 value = 0;
    for (; digits < text.size() && text[digits] >= '0' && text[digits] <= '9'; ++digits)
        value = std::min<__int128>(value * 10 + (text[digits] - '0'), __int128(1) << 70);
    const std::string unit = text.substr(digits);
    int shift = -1;
    const std::string units[] = {"", "K", "M", "G", "T"};
    for (int i = 0; i < 5; ++i)
        if (unit == units[i] || (i > 0 && unit == units[i] + "iB"))
            shift = 10 * i;
    const __int128 expected = value << (shift < 0 ? 0 : shift);
    const bool valid = digits > 0 && shift >= 0 && expected > 0 && expected <= std::numeric_limits<std::int64_t>::max();
    FUZZ_CHECK(accepted == valid);
    FUZZ_CHECK(accepted ? bytes == expected : bytes == -7);
    return 0;
}
