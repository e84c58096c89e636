#include "ui/window_ops.h"

namespace ui {

std::uint32_t ReadUnsignedText(const std::string& text)
{
    auto blank = [](char c) { return c == ' ' || c == '\t'; };
    auto it = text.begin();
    const auto end = text.end();
    while (it != end && blank(*it))
        ++it;
    std::uint64_t value = 0;
    bool digits = false;
    for (; it != end && *it >= '0' && *it <= '9'; ++it) {
        value = value * 10 + static_cast<std::uint64_t>(*it - '0');
        if (value > UINT32_MAX)
            return 0;
        digits = true;
    }
    while (it != end && blank(*it))
        ++it;
    if (!digits || it != end)
        return 0;
    return static_cast<std::uint32_t>(value);
}

std::uint32_t WindowOps::ItemNumber(int id) const { return ReadUnsignedText(ItemText(id)); }

void WindowOps::SetItemNumber(int id, unsigned value) { SetItemText(id, std::to_string(value)); }

}  // namespace ui
