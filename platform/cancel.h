// A request to stop the pass that is running, safe to raise from a signal
// handler. The pass looks at it between blocks and, when raised, removes its
// temporary file and leaves the data file as it was.
#pragma once

namespace platform {

void RequestCancel() noexcept;
bool CancelRequested() noexcept;
void ResetCancel() noexcept;

}  // namespace platform
