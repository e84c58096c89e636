// Numbers in dialog fields.
#pragma once

#include <wx/string.h>

#include <cstdint>

// The text as an unsigned decimal number: blanks around the digits are
// allowed; a sign, any other character, no digits at all or a value above
// 4294967295 read as 0.
std::uint32_t ReadUnsignedNumber(const wxString& text);
