#include "ui/window_ops.h"

#include <charconv>

namespace ui {

std::uint32_t ReadUnsignedText(const std::string& text)
{
    const size_t first = text.find_first_not_of(" \t");
    if (first == std::string::npos)
        return 0;
    const char* const end = text.data() + text.find_last_not_of(" \t") + 1;
    std::uint32_t value = 0;
    const auto [stop, error] = std::from_chars(text.data() + first, end, value);
    return error == std::errc() && stop == end ? value : 0;
}

std::uint32_t WindowOps::ItemNumber(int id) const { return ReadUnsignedText(ItemText(id)); }

void WindowOps::SetItemNumber(int id, unsigned value) { SetItemText(id, std::to_string(value)); }

}  // namespace ui
