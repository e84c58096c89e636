#include "platform/cancel.h"

#include <atomic>

namespace platform {

namespace {
// Raised from a signal handler or from the window thread, read by the pass
// on another thread: a lock-free atomic is safe for both.
std::atomic<int> g_cancel{0};
static_assert(std::atomic<int>::is_always_lock_free, "a signal handler may raise it");
}  // namespace

void RequestCancel() noexcept { g_cancel = 1; }
bool CancelRequested() noexcept { return g_cancel != 0; }
void ResetCancel() noexcept { g_cancel = 0; }

}  // namespace platform
