// A long piece of work (a pass over a file) that leaves the window alive.
#pragma once

#include <windows.h>

#include <functional>

namespace ui {

class PassRunner;

// Runs `work` through `runner` on a thread of its own while `window` stays
// alive: it paints, what the work reports is shown on this thread in order
// (see ui::PassRunner::Run), and input for `window` is dropped, except Escape and the
// Close box, which call `onStop`. Where no thread can be started,
// `notStarted` runs instead and gives the result.
int RunWhileWindowLives(HWND window, ui::PassRunner& runner, const std::function<int()>& work,
                        const std::function<void()>& onStop, const std::function<int()>& notStarted);

}  // namespace ui
