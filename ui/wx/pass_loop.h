// A long piece of work (a pass over a file) that leaves the window alive.
#pragma once

#include <functional>
#include <memory>
#include <vector>

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

// For as long as it lives, the program asked to end from outside ends as
// Escape would end it, a running pass stopped first (its temporary file
// removed, the data file as it was): a kill, a closed terminal or Ctrl-C
// (SIGTERM, SIGHUP, SIGINT) closes every box that is open, opens no new
// one, and once the boxes are gone calls `end` on the window thread; the
// display going away stops a running pass and waits for it, however long
// it takes, before the program ends with status 1.
class EndRequests {
public:
    explicit EndRequests(std::function<void()> end);
    ~EndRequests();
    EndRequests(const EndRequests&) = delete;
    EndRequests& operator=(const EndRequests&) = delete;
    // The signal that asked, 0 for none.
    int Signal() const { return m_signal; }
    // Once the window has ended for a signal: what became of the pass that
    // was running then, if one was, on standard error.
    void SayHowThePassEnded() const;

private:
    struct Source {
        EndRequests* owner;
        int signal;
        unsigned id;
    };
    class Boxes;
    void OnSignal(int signal);

    std::function<void()> m_end;
    int m_signal = 0;
    // Asked for while a box was open: `end` waits until it has closed, so
    // that the window's own loop is the one it ends.
    bool m_endWhenClosed = false;
    std::unique_ptr<Boxes> m_boxes;
    std::vector<Source> m_sources;
};

}  // namespace ui
