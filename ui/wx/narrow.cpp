#include "ui/wx/narrow.h"

#include <wx/strconv.h>

namespace ui {

std::string ToNarrow(const wxString& text)
{
    if (text.empty())
        return std::string();
    const wxCharBuffer converted = text.fn_str();
    if (converted.length() > 0)
        return std::string(converted.data(), converted.length());
    const wxScopedCharBuffer utf8 = text.utf8_str();
    return std::string(utf8.data(), utf8.length());
}

wxString FromNarrow(const std::string& text)
{
    if (text.empty())
        return wxString();
    wxString converted(text.data(), *wxConvFileName, text.size());
    if (converted.empty())
        converted = wxString(text.data(), wxConvISO8859_1, text.size());
    return converted;
}

}  // namespace ui
