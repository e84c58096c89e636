// A pass on a thread of its own beside a live window, written once for every
// window toolkit. The toolkit lends it the two things only it can do; the
// rest (the thread, the stop request, what the pass reports and in which
// order) lives here.
#pragma once

#include "platform/notice.h"

#include <chrono>
#include <condition_variable>
#include <deque>
#include <exception>
#include <functional>
#include <mutex>
#include <optional>
#include <thread>

namespace ui {

class EventPump {
public:
    virtual ~EventPump() = default;
    // From any thread: a RunOnce that is waiting, or the next one, returns
    // soon.
    virtual void Wake() = 0;
    // On the window thread: waits for the window's events and handles those
    // that came, input for the window dropped (a stop request excepted).
    // False when the toolkit could not wait: the runner then polls.
    virtual bool RunOnce() = 0;
};

// How a pass ended, for a program that has no window left to tell it in.
struct PassOutcome {
    enum class End {
        NotRun,        // no pass was running
        StillRunning,  // not ended within the time allowed
        Stopped,       // stopped with nothing said: its file as it was
        Replaced,      // done: its file holds the result
        OnNotice,      // ended on `notice`, whether or not anyone saw it
    };
    End end = End::NotRun;
    platform::Notice notice;
};

// The window's way for the engine's reports: the process's report sink
// while a pass runs, it hands each report to the window's `view` on the
// window thread, whichever thread raised it.
class PassRunner : public platform::ReportSink {
public:
    // Starts the pass's thread; throws (std::system_error, std::bad_alloc)
    // when there is none to be had. Tests put a failing one in.
    using ThreadStart = std::function<std::thread(std::function<void()>)>;

    explicit PassRunner(platform::ReportSink& view, ThreadStart start = StartThread);
    PassRunner(const PassRunner&) = delete;
    PassRunner& operator=(const PassRunner&) = delete;

    // On the window thread: runs `work` on a thread of its own and returns
    // its result once it has ended and everything it reported is shown.
    // Meanwhile `pump` keeps the window alive, and the work's reports are
    // shown here, in order: a notice holds the work until its box is
    // closed; progress never holds it, and progress not yet shown gives way
    // to the next. When no thread can be started, `notStarted` runs here
    // instead and gives the result.
    int Run(EventPump& pump, const std::function<int()>& work, const std::function<int()>& notStarted);

    // From the window thread: the pass stops at its next block.
    static void RequestStop() noexcept;
    // From the window thread when it can't go on (its display is gone, its
    // session ends): the running pass, if any, stops, its reports return at
    // once (a notice on show counts as closed), and this waits until it has
    // ended (its temporary file removed), `limit` at the most, or for as
    // long as it takes.
    static PassOutcome EndRunningPass(std::optional<std::chrono::milliseconds> limit);
    // The last pass that was asked to stop, once it has ended: a stop that
    // came while its result took the file's name did not undo it.
    static PassOutcome LastStoppedPass();

    static std::thread StartThread(std::function<void()> body);

    void OnNotice(const platform::Notice& notice) override;
    void OnProgress(const platform::Progress& progress) override;

private:
    struct Waiting {
        const platform::Notice* notice = nullptr;  // null for the progress
        bool done = false;
    };

    // A report raised on the window thread is shown at once.
    bool OnWindowThread() const;
    void Finish(int result);
    // With the lock held.
    PassOutcome Outcome() const;
    // On the window thread: shows every report waiting; false once the
    // work has ended and nothing is left.
    bool Deliver();
    // No window thread to wait for any longer: reports return at once.
    void Abandon();

    platform::ReportSink& m_view;
    ThreadStart m_start;
    EventPump* m_pump = nullptr;
    std::thread::id m_windowThread;

    std::mutex m_mutex;
    std::condition_variable m_changed;
    // The one progress not yet shown, which the newest replaces; a notice
    // lives on its waiting thread's stack until it is shown.
    platform::Progress m_progress;
    Waiting m_progressEntry;
    bool m_progressWaiting = false;
    std::deque<Waiting*> m_queue;
    // The notice the window thread is showing, until it is closed.
    Waiting* m_showing = nullptr;
    bool m_finished = false;
    bool m_abandoned = false;
    int m_result = 0;
    std::optional<platform::Notice> m_notice;  // the last one the work raised
    bool m_stopAsked = false;                  // read and written on the window thread
    std::exception_ptr m_windowFailure;
};

}  // namespace ui
