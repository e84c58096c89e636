// Lines of veltrane-cli's own on standard error, and file names made safe
// to show on a terminal.
#pragma once

#include <string>

namespace cli {

// True when a name holds a byte that a terminal would act on instead of
// showing: control characters (escape sequences, line breaks), their 8-bit
// forms and bytes that aren't UTF-8.
bool NeedsQuoting(const std::string& name);

// The name as it is, or, when it needs quoting, in the shell's quoting:
// printable runs in '…' and the rest as $'\n', $'\033' and so on. Pasted
// back into a shell, the quoted form names the same file.
std::string QuoteName(const std::string& name);

// Writes "veltrane-cli: TEXT" and a line break to standard error in one
// piece; output that can't be written is dropped.
void Say(const std::string& text);

}  // namespace cli
