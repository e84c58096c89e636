#include "ui/wx/number_text.h"

#include "platform/window_ops.h"

std::uint32_t ReadUnsignedNumber(const wxString& text)
{
    // Any character beyond ASCII is neither a digit nor a blank, in UTF-8 as
    // in the toolkit's own string.
    return platform::ReadUnsignedText(text.utf8_string());
}
