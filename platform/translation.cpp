#include "platform/translation.h"

namespace platform {

std::string Fill(const char* pattern, const std::vector<std::string>& values)
{
    std::string text;
    for (const char* at = pattern; *at; ++at) {
        if (at[0] == '%' && at[1] == '%') {
            text += '%';
            ++at;
        } else if (at[0] == '%' && at[1] >= '1' && at[1] <= '9') {
            const auto slot = static_cast<size_t>(at[1] - '1');
            if (slot < values.size())
                text += values[slot];
            ++at;
        } else {
            text += *at;
        }
    }
    return text;
}

}  // namespace platform
