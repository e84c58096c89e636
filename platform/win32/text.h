// UTF-8 inside the program, UTF-16 at the system's W calls: no name is
// limited to the code page the system happens to be set to.
#pragma once

#include <string>

namespace platform {

// Empty when `utf8` isn't valid UTF-8 (no such name can be opened).
std::wstring Widen(const std::string& utf8);
std::string Narrow(const std::wstring& utf16);

// `path` as the W calls take it with no length limit: absolute, with
// backslashes and the \\?\ (or \\?\UNC\) prefix. Empty when it can't be
// converted.
std::wstring SystemPath(const std::string& path);

// A path the system gave in the \\?\ form, as users write it.
std::wstring WithoutLongPrefix(const std::wstring& path);

}  // namespace platform
