#include "ui/number_text.h"

namespace {

bool IsBlank(wxUniChar c)
{
    return c == ' ' || c == '\t';
}

}  // namespace

std::uint32_t ReadUnsignedNumber(const wxString& text)
{
    auto it = text.begin();
    const auto end = text.end();
    while (it != end && IsBlank(*it))
        ++it;
    std::uint64_t value = 0;
    bool digits = false;
    for (; it != end && *it >= '0' && *it <= '9'; ++it) {
        value = value * 10 + static_cast<std::uint64_t>(*it - '0');
        if (value > UINT32_MAX)
            return 0;
        digits = true;
    }
    while (it != end && IsBlank(*it))
        ++it;
    if (!digits || it != end)
        return 0;
    return static_cast<std::uint32_t>(value);
}
