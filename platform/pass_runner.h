// A pass on a thread of its own beside a live window, written once for every
// window toolkit. The toolkit lends it the two things only it can do; the
// rest (the thread, the stop request, what the pass reports and in which
// order) lives here.
#pragma once

#include <condition_variable>
#include <deque>
#include <exception>
#include <functional>
#include <mutex>
#include <string>
#include <thread>

#include "platform/notice.h"

namespace platform {

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

class PassRunner {
public:
    // Starts the pass's thread; throws (std::system_error, std::bad_alloc)
    // when there is none to be had. Tests put a failing one in.
    using ThreadStart = std::function<std::thread(std::function<void()>)>;

    explicit PassRunner(EventPump& pump, ThreadStart start = StartThread);
    PassRunner(const PassRunner&) = delete;
    PassRunner& operator=(const PassRunner&) = delete;

    // On the window thread: runs `work` on a thread of its own and returns
    // its result once it has ended and everything it reported is shown.
    // Meanwhile the notices and titles it raises are carried out here, in
    // order: a notice holds the work until its box is closed; a title never
    // holds it, and one not yet shown gives way to the next. When no thread
    // can be started, `notStarted` runs here instead, with the window's own
    // sinks back in place, and gives the result.
    int Run(const std::function<int()>& work, const std::function<int()>& notStarted);

    // From the window thread: the pass stops at its next block.
    static void RequestStop() noexcept;

    static std::thread StartThread(std::function<void()> body);

private:
    struct Report {
        bool notice = false;
        std::string text;
        int percent = -1;  // a title's, where it shows the pass's progress
        std::string caption;
        NoticeIcon icon = NoticeIcon::Warning;
        NoticeOwner owner = NoticeOwner::ActiveWindow;
        bool done = false;
    };
    class Forwarding;
    friend class Forwarding;

    // From the work's thread.
    void PostTitle(const std::string& text, int percent);
    void PostNotice(Report& notice);
    void Finish();
    // On the window thread: shows every report waiting; false once the
    // work has ended and nothing is left.
    bool Deliver();
    // No window thread to wait for any longer: reports return at once.
    void Abandon();

    EventPump& m_pump;
    ThreadStart m_start;
    std::thread::id m_windowThread;
    NoticeSink* m_notices = nullptr;
    TitleSink* m_titles = nullptr;

    std::mutex m_mutex;
    std::condition_variable m_changed;
    // The one title not yet shown, which the newest replaces; a notice lives
    // on its waiting thread's stack until it is shown.
    Report m_title;
    bool m_titleWaiting = false;
    std::deque<Report*> m_queue;
    bool m_finished = false;
    bool m_abandoned = false;
    std::exception_ptr m_windowFailure;
};

}  // namespace platform
