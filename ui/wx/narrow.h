// Paths and texts between the toolkit's strings and the narrow strings of the
// engine, in the encoding the file system uses for names.
#pragma once

#include <wx/string.h>

#include <string>

namespace ui {

// A text the file-name encoding can't hold (never the case with UTF-8 names)
// falls back to UTF-8, so that no path silently turns into an empty one.
std::string ToNarrow(const wxString& text);

// Bytes that are not valid in the file-name encoding are shown one character
// per byte rather than dropped, so that a message never loses its path.
wxString FromNarrow(const std::string& text);

}  // namespace ui
