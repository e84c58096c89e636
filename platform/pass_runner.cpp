#include "platform/pass_runner.h"

#include "platform/cancel.h"

#include <chrono>
#include <utility>

namespace platform {

namespace {

// How often the window thread looks for reports when the toolkit could not
// wait for its events.
constexpr std::chrono::milliseconds kPollInterval{10};

bool OnThread(std::thread::id id) { return std::this_thread::get_id() == id; }

}  // namespace

// The process's sinks while the work runs: what the work reports is handed
// to the window thread, which shows it with the sinks these replaced.
class PassRunner::Forwarding : public NoticeSink, public TitleSink {
public:
    explicit Forwarding(PassRunner& runner) : m_runner(runner)
    {
        runner.m_notices = SetNoticeSink(this);
        runner.m_titles = SetTitleSink(this);
    }
    ~Forwarding() override
    {
        SetNoticeSink(m_runner.m_notices);
        SetTitleSink(m_runner.m_titles);
    }
    Forwarding(const Forwarding&) = delete;
    Forwarding& operator=(const Forwarding&) = delete;

    void Show(const std::string& text, const std::string& caption, NoticeIcon icon, NoticeOwner owner) override
    {
        if (!m_runner.m_notices)
            return;
        // The window thread itself has no one to wait for.
        if (OnThread(m_runner.m_windowThread)) {
            m_runner.m_notices->Show(text, caption, icon, owner);
            return;
        }
        Report notice;
        notice.notice = true;
        notice.text = text;
        notice.caption = caption;
        notice.icon = icon;
        notice.owner = owner;
        m_runner.PostNotice(notice);
    }

    void SetTitle(const std::string& text) override { SetProgressTitle(text, -1); }

    void SetProgressTitle(const std::string& text, int percent) override
    {
        if (!m_runner.m_titles)
            return;
        if (OnThread(m_runner.m_windowThread)) {
            ShowTitle(*m_runner.m_titles, text, percent);
            return;
        }
        m_runner.PostTitle(text, percent);
    }

    static void ShowTitle(TitleSink& sink, const std::string& text, int percent)
    {
        if (percent < 0)
            sink.SetTitle(text);
        else
            sink.SetProgressTitle(text, percent);
    }

private:
    PassRunner& m_runner;
};

PassRunner::PassRunner(EventPump& pump, ThreadStart start) : m_pump(pump), m_start(std::move(start)) {}

std::thread PassRunner::StartThread(std::function<void()> body) { return std::thread(std::move(body)); }

void PassRunner::RequestStop() noexcept { RequestCancel(); }

int PassRunner::Run(const std::function<int()>& work, const std::function<int()>& notStarted)
{
    m_windowThread = std::this_thread::get_id();
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_queue.clear();
        m_titleWaiting = false;
        m_finished = false;
        m_abandoned = false;
        m_windowFailure = nullptr;
    }
    // A stop asked for after the last pass had ended is not for this one.
    ResetCancel();

    int result = 0;
    std::exception_ptr workFailure;
    bool started = false;
    {
        Forwarding sinks(*this);
        // However the loop below is left, the work's thread is joined before
        // the sinks go back.
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
        try {
            joined.thread = m_start([&] {
                try {
                    result = work();
                } catch (...) {
                    workFailure = std::current_exception();
                }
                Finish();
            });
            started = joined.thread.joinable();
        } catch (...) {
            started = false;
        }
        if (started) {
            while (Deliver()) {
                if (m_pump.RunOnce())
                    continue;
                std::unique_lock<std::mutex> lock(m_mutex);
                m_changed.wait_for(lock, kPollInterval, [&] { return m_finished || !m_queue.empty(); });
            }
            joined.thread.join();
        }
    }
    if (!started)
        return notStarted ? notStarted() : 0;
    if (m_windowFailure)
        std::rethrow_exception(m_windowFailure);
    if (workFailure)
        std::rethrow_exception(workFailure);
    return result;
}

void PassRunner::PostTitle(const std::string& text, int percent)
{
    bool wake = false;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (m_abandoned)
            return;
        m_title.text = text;
        m_title.percent = percent;
        if (!m_titleWaiting) {
            m_titleWaiting = true;
            wake = m_queue.empty();
            m_queue.push_back(&m_title);
        }
    }
    // A queue that was not empty has its wake-up on the way already.
    if (wake)
        m_pump.Wake();
}

void PassRunner::PostNotice(Report& notice)
{
    std::unique_lock<std::mutex> lock(m_mutex);
    if (m_abandoned)
        return;
    m_queue.push_back(&notice);
    lock.unlock();
    m_pump.Wake();
    lock.lock();
    m_changed.wait(lock, [&] { return notice.done; });
}

void PassRunner::Finish()
{
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_finished = true;
    }
    m_changed.notify_all();
    m_pump.Wake();
}

bool PassRunner::Deliver()
{
    std::unique_lock<std::mutex> lock(m_mutex);
    while (!m_queue.empty()) {
        Report* report = m_queue.front();
        m_queue.pop_front();
        std::string title;
        int percent = -1;
        if (!report->notice) {
            title = report->text;
            percent = report->percent;
            m_titleWaiting = false;
        }
        lock.unlock();
        try {
            // A notice's thread waits until it is done, so its report stays.
            if (report->notice)
                m_notices->Show(report->text, report->caption, report->icon, report->owner);
            else
                Forwarding::ShowTitle(*m_titles, title, percent);
        } catch (...) {
            if (!m_windowFailure)
                m_windowFailure = std::current_exception();
        }
        lock.lock();
        if (report->notice) {
            report->done = true;
            m_changed.notify_all();
        }
    }
    return !m_finished;
}

void PassRunner::Abandon()
{
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_abandoned = true;
        for (Report* report : m_queue)
            report->done = true;
        m_queue.clear();
        m_titleWaiting = false;
    }
    m_changed.notify_all();
    // Nobody is left to see how it ends: the data file stays as it was.
    RequestCancel();
}

}  // namespace platform
