// The pass beside a window, without a window: a pump that stands for the
// toolkit's event loop, and sinks that note on which thread and in which
// order the reports arrive.
#include "platform/cancel.h"
#include "ui/pass_runner.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <mutex>
#include <string>
#include <system_error>
#include <thread>
#include <vector>

namespace {

using std::chrono::seconds;

class FakePump : public ui::EventPump {
public:
    void Wake() override
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_woken = true;
        m_wake.notify_all();
    }
    bool RunOnce() override
    {
        std::unique_lock<std::mutex> lock(m_mutex);
        // Bounded only so that a lost wake-up fails the test instead of hanging it.
        EXPECT_TRUE(m_wake.wait_for(lock, seconds(10), [&] { return m_woken; })) << "never woken";
        m_woken = false;
        lock.unlock();
        if (onRound)
            onRound();
        return true;
    }
    std::function<void()> onRound;

private:
    std::mutex m_mutex;
    std::condition_variable m_wake;
    bool m_woken = false;
};

// The window's side: notes each report it is shown, and where.
class View : public platform::ReportSink {
public:
    View() : m_previous(platform::SetReportSink(this)) {}
    ~View() override { platform::SetReportSink(m_previous); }
    void OnNotice(const platform::Notice& notice) override { Note("notice " + notice.paths.at(0)); }
    void OnProgress(const platform::Progress& progress) override
    {
        Note("progress " + std::to_string(progress.percent));
        if (onProgress)
            onProgress();
    }
    void Note(const std::string& line)
    {
        std::lock_guard<std::mutex> lock(mutex);
        log.push_back(line);
        if (std::this_thread::get_id() != window)
            log.push_back("(not on the window thread)");
    }

    std::function<void()> onProgress;
    std::mutex mutex;
    std::vector<std::string> log;
    const std::thread::id window = std::this_thread::get_id();

private:
    platform::ReportSink* m_previous;
};

// As the engine raises them.
void Notice(const std::string& path) { platform::Report({platform::NoticeKind::CannotFind, {path}}); }
void Progress(int percent)
{
    platform::Progress progress;
    progress.percent = percent;
    platform::ReportProgress(progress);
}

class PassRunnerTest : public ::testing::Test {
protected:
    ~PassRunnerTest() override { platform::ResetCancel(); }

    FakePump pump;
    View view;
    ui::PassRunner runner{view};
    const std::function<int()> unexpected = [] {
        ADD_FAILURE() << "no thread?";
        return -1;
    };
};

TEST_F(PassRunnerTest, NoticesComeInOrderOnTheWindowThreadEachHoldingTheWork)
{
    const int result = runner.Run(
        pump,
        [&] {
            Progress(1);
            Notice("two");
            view.Note("after two");
            Notice("three");
            view.Note("after three");
            Progress(4);
            return 42;
        },
        unexpected);
    EXPECT_EQ(42, result);
    // The last entry from the work's thread: the notice before it was shown
    // and closed first.
    EXPECT_EQ((std::vector<std::string>{"progress 1", "notice two", "after two", "(not on the window thread)",
                                        "notice three", "after three", "(not on the window thread)", "progress 4"}),
              view.log);
}

TEST_F(PassRunnerTest, ProgressNeverHoldsTheWorkAndTheNewestWins)
{
    // The window thread is held up showing the first progress until the
    // work has sent all the rest: a work that waited for it would never end.
    std::atomic<bool> allSent{false};
    bool first = true;
    view.onProgress = [&] {
        if (!first)
            return;
        first = false;
        for (int waited = 0; !allSent && waited < 10000; ++waited)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        EXPECT_TRUE(allSent) << "the work waited for a title";
    };
    runner.Run(
        pump,
        [&] {
            for (int i = 0; i < 1000; ++i)
                Progress(i);
            allSent = true;
            return 0;
        },
        unexpected);
    ASSERT_LE(view.log.size(), 2u);
    EXPECT_EQ("progress 999", view.log.back());
}

TEST_F(PassRunnerTest, AThreadThatCannotStartLeavesReportsOnTheWindowThread)
{
    ui::PassRunner failing(view, [](std::function<void()>) -> std::thread {
        throw std::system_error(std::make_error_code(std::errc::resource_unavailable_try_again));
    });
    const int result = failing.Run(
        pump,
        [] {
            ADD_FAILURE() << "the work ran";
            return 1;
        },
        [] {
            Notice("not started");
            return 5;
        });
    EXPECT_EQ(5, result);
    EXPECT_EQ(std::vector<std::string>{"notice not started"}, view.log);
}

TEST_F(PassRunnerTest, AStopFromTheWindowEndsTheWorkAndAnEarlierOneIsForgotten)
{
    platform::RequestCancel();  // left over from the pass before
    pump.onRound = [] { ui::PassRunner::RequestStop(); };
    bool cancelledAtStart = true;
    const int result = runner.Run(
        pump,
        [&] {
            cancelledAtStart = platform::CancelRequested();
            Progress(0);  // wakes the window thread
            for (int waited = 0; !platform::CancelRequested() && waited < 10000; ++waited)
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
            return platform::CancelRequested() ? 0 : 1;
        },
        unexpected);
    EXPECT_FALSE(cancelledAtStart);
    EXPECT_EQ(0, result);
}

TEST_F(PassRunnerTest, TheWorksFailureReachesTheWindowThread)
{
    EXPECT_THROW(runner.Run(
                     pump, []() -> int { throw std::runtime_error("no"); }, unexpected),
                 std::runtime_error);
    // Reports from the window thread go straight to the view again.
    Notice("after");
    EXPECT_EQ(std::vector<std::string>{"notice after"}, view.log);
}

}  // namespace
