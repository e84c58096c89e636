#include "platform/cancel.h"

#include <csignal>

namespace platform {

namespace {
volatile std::sig_atomic_t g_cancel = 0;
}

void RequestCancel() noexcept { g_cancel = 1; }
bool CancelRequested() noexcept { return g_cancel != 0; }
void ResetCancel() noexcept { g_cancel = 0; }

}  // namespace platform
