#include "ui/pass_runner.h"

#include "platform/cancel.h"

#include <chrono>
#include <utility>

namespace ui {

namespace {

// How often the window thread looks for reports when the toolkit could not
// wait for its events.
constexpr std::chrono::milliseconds kPollInterval{10};

}  // namespace

PassRunner::PassRunner(platform::ReportSink& view, ThreadStart start)
    : m_view(view), m_start(std::move(start)), m_windowThread(std::this_thread::get_id())
{
}

std::thread PassRunner::StartThread(std::function<void()> body) { return std::thread(std::move(body)); }

namespace {
// The runner whose pass is running: one at a time, set and read on the
// window thread, as is the outcome kept below.
PassRunner* g_running = nullptr;
PassOutcome g_lastStopped;
}  // namespace

void PassRunner::RequestStop() noexcept
{
    platform::RequestCancel();
    if (g_running)
        g_running->m_stopAsked = true;
}

PassOutcome PassRunner::EndRunningPass(std::optional<std::chrono::milliseconds> limit)
{
    RequestStop();
    if (!g_running)
        return {};
    g_running->Abandon();
    std::unique_lock<std::mutex> lock(g_running->m_mutex);
    const auto ended = [] { return g_running->m_finished; };
    if (limit)
        g_running->m_changed.wait_for(lock, *limit, ended);
    else
        g_running->m_changed.wait(lock, ended);
    return g_running->Outcome();
}

PassOutcome PassRunner::LastStoppedPass() { return g_lastStopped; }

PassOutcome PassRunner::Outcome() const
{
    PassOutcome outcome;
    if (!m_finished)
        outcome.end = PassOutcome::End::StillRunning;
    else if (m_result)
        outcome.end = PassOutcome::End::Replaced;
    else if (m_notice)
        outcome = {PassOutcome::End::OnNotice, *m_notice};
    else
        outcome.end = PassOutcome::End::Stopped;
    return outcome;
}

bool PassRunner::OnWindowThread() const { return std::this_thread::get_id() == m_windowThread; }

int PassRunner::Run(EventPump& pump, const std::function<int()>& work, const std::function<int()>& notStarted)
{
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_pump = &pump;
        m_queue.clear();
        m_progressWaiting = false;
        m_finished = false;
        m_abandoned = false;
        m_showing = nullptr;
        m_result = 0;
        m_notice.reset();
        m_windowFailure = nullptr;
    }
    m_stopAsked = false;
    // A stop asked for after the last pass had ended is not for this one.
    platform::ResetCancel();

    int result = 0;
    std::exception_ptr workFailure;
    bool started = false;
    {
        // Reports come here until the work's thread is joined, however the
        // loop below is left, and go straight to the view again after that.
        struct Installed {
            platform::ReportSink* previous;
            ~Installed() { platform::SetReportSink(previous); }
        } installed{platform::SetReportSink(this)};
        struct Joined {
            PassRunner& runner;
            std::thread thread;
            ~Joined()
            {
                if (thread.joinable()) {
                    runner.Abandon();
                    thread.join();
                }
            }
        } joined{*this, std::thread()};
        struct Running {
            PassRunner* outer = g_running;
            explicit Running(PassRunner* runner) { g_running = runner; }
            ~Running() { g_running = outer; }
        } running(this);
        try {
            joined.thread = m_start([&] {
                try {
                    result = work();
                } catch (...) {
                    workFailure = std::current_exception();
                }
                Finish(result);
            });
            started = joined.thread.joinable();
        } catch (...) {
            started = false;
        }
        if (started) {
            while (Deliver()) {
                if (pump.RunOnce())
                    continue;
                std::unique_lock<std::mutex> lock(m_mutex);
                m_changed.wait_for(lock, kPollInterval, [&] { return m_finished || !m_queue.empty(); });
            }
            joined.thread.join();
        }
    }
    if (started && m_stopAsked) {
        std::lock_guard<std::mutex> lock(m_mutex);
        g_lastStopped = Outcome();
    }
    if (!started)
        return notStarted ? notStarted() : 0;
    if (m_windowFailure)
        std::rethrow_exception(m_windowFailure);
    if (workFailure)
        std::rethrow_exception(workFailure);
    return result;
}

void PassRunner::OnProgress(const platform::Progress& progress)
{
    if (OnWindowThread()) {
        m_view.OnProgress(progress);
        return;
    }
    std::unique_lock<std::mutex> lock(m_mutex);
    if (m_abandoned)
        return;
    m_progress = progress;
    if (m_progressWaiting)
        return;
    m_progressWaiting = true;
    // A queue that was not empty has its wake-up on the way already.
    const bool wake = m_queue.empty();
    m_queue.push_back(&m_progressEntry);
    lock.unlock();
    if (wake)
        m_pump->Wake();
}

void PassRunner::OnNotice(const platform::Notice& notice)
{
    // The window thread itself has no one to wait for.
    if (OnWindowThread()) {
        m_view.OnNotice(notice);
        return;
    }
    std::unique_lock<std::mutex> lock(m_mutex);
    m_notice = notice;
    if (m_abandoned)
        return;
    Waiting waiting{&notice};
    m_queue.push_back(&waiting);
    lock.unlock();
    m_pump->Wake();
    lock.lock();
    m_changed.wait(lock, [&] { return waiting.done; });
}

void PassRunner::Finish(int result)
{
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_result = result;
        m_finished = true;
    }
    m_changed.notify_all();
    m_pump->Wake();
}

bool PassRunner::Deliver()
{
    std::unique_lock<std::mutex> lock(m_mutex);
    while (!m_queue.empty()) {
        Waiting* report = m_queue.front();
        m_queue.pop_front();
        // Copied: abandoned while on show, the notice's thread goes on and
        // takes the original with it.
        std::optional<platform::Notice> notice;
        platform::Progress progress;
        if (report->notice) {
            notice = *report->notice;
            m_showing = report;
        } else {
            progress = m_progress;
            m_progressWaiting = false;
        }
        lock.unlock();
        try {
            if (notice)
                m_view.OnNotice(*notice);
            else
                m_view.OnProgress(progress);
        } catch (...) {
            if (!m_windowFailure)
                m_windowFailure = std::current_exception();
        }
        lock.lock();
        if (notice && m_showing == report) {
            report->done = true;
            m_changed.notify_all();
        }
        m_showing = nullptr;
    }
    return !m_finished;
}

void PassRunner::Abandon()
{
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_abandoned = true;
        for (Waiting* report : m_queue)
            report->done = true;
        m_queue.clear();
        if (m_showing)
            m_showing->done = true;
        m_showing = nullptr;
        m_progressWaiting = false;
    }
    m_changed.notify_all();
    // Nobody is left to see how it ends: the data file stays as it was.
    platform::RequestCancel();
}

}  // namespace ui
