// A long piece of work (a pass over a file) that leaves the window alive.
#pragma once

#include <functional>

class wxTopLevelWindow;

namespace ui {
class PassRunner;
}

namespace ui {

// Runs `work` through `runner` on a thread of its own and returns its
// result, while the calling thread, the window thread, keeps `window` alive:
// it repaints, answers the window manager's pings, and shows what the work
// reports (see ui::PassRunner::Run). Where no thread can be started,
// `notStarted` runs instead and gives the result.
//
// Input meant for `window` (keys, clicks, the wheel, drops) is dropped
// rather than kept for later: nothing the user did during the work is acted
// on after it. Escape and the window manager's close request for `window`
// are the exceptions: each calls `onStop` instead. Other windows, such as a
// notice's box, take input as usual.
int RunWhileWindowLives(wxTopLevelWindow* window, ui::PassRunner& runner, const std::function<int()>& work,
                        const std::function<void()>& onStop, const std::function<int()>& notStarted);

// How many key and button presses and releases have been dropped so far:
// tests use it to know that the input they sent has arrived.
unsigned long DroppedPresses();

}  // namespace ui
