// The pass beside a window, without a window: a pump that stands for the
// toolkit's event loop, and sinks that note on which thread and in which
// order the reports arrive.
#include "platform/cancel.h"
#include "platform/pass_runner.h"

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

class FakePump : public platform::EventPump {
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

class Sinks : public platform::NoticeSink, public platform::TitleSink {
public:
    Sinks() : m_previousNotices(platform::SetNoticeSink(this)), m_previousTitles(platform::SetTitleSink(this)) {}
    ~Sinks() override
    {
        platform::SetNoticeSink(m_previousNotices);
        platform::SetTitleSink(m_previousTitles);
    }
    void Show(const std::string& text, const std::string&, platform::NoticeIcon, platform::NoticeOwner) override
    {
        Note("notice " + text);
    }
    void SetTitle(const std::string& text) override
    {
        Note("title " + text);
        if (onTitle)
            onTitle();
    }
    void SetProgressTitle(const std::string& text, int percent) override
    {
        Note("progress " + text + " " + std::to_string(percent));
    }
    void Note(const std::string& line)
    {
        std::lock_guard<std::mutex> lock(mutex);
        log.push_back(line);
        if (std::this_thread::get_id() != window)
            log.push_back("(not on the window thread)");
    }

    std::function<void()> onTitle;
    std::mutex mutex;
    std::vector<std::string> log;
    const std::thread::id window = std::this_thread::get_id();

private:
    platform::NoticeSink* m_previousNotices;
    platform::TitleSink* m_previousTitles;
};

class PassRunnerTest : public ::testing::Test {
protected:
    ~PassRunnerTest() override { platform::ResetCancel(); }

    FakePump pump;
    Sinks sinks;
    const std::function<int()> unexpected = [] {
        ADD_FAILURE() << "no thread?";
        return -1;
    };
};

TEST_F(PassRunnerTest, NoticesComeInOrderOnTheWindowThreadEachHoldingTheWork)
{
    platform::PassRunner runner(pump);
    const int result = runner.Run(
        [&] {
            platform::SetTitleText("one");
            platform::ShowNotice("two", "c");
            sinks.Note("after two");
            platform::ShowNotice("three", "c");
            sinks.Note("after three");
            platform::SetTitleText("four");
            return 42;
        },
        unexpected);
    EXPECT_EQ(42, result);
    // The last entry from the work's thread: the notice before it was shown
    // and closed first.
    EXPECT_EQ((std::vector<std::string>{"title one", "notice two", "after two", "(not on the window thread)",
                                        "notice three", "after three", "(not on the window thread)", "title four"}),
              sinks.log);
}

TEST_F(PassRunnerTest, AProgressTitleKeepsItsPercentAndAPlainTitleAfterItHasNone)
{
    platform::PassRunner runner(pump);
    runner.Run(
        [&] {
            platform::SetProgressTitleText("half", 50);
            platform::ShowNotice("n", "c");
            platform::SetTitleText("done");
            return 0;
        },
        unexpected);
    EXPECT_EQ((std::vector<std::string>{"progress half 50", "notice n", "title done"}), sinks.log);
}

TEST_F(PassRunnerTest, TitlesNeverHoldTheWorkAndTheNewestWins)
{
    // The window thread is held up showing the first title until the work
    // has sent every other one: a work that waited for it would never end.
    std::atomic<bool> allSent{false};
    bool first = true;
    sinks.onTitle = [&] {
        if (!first)
            return;
        first = false;
        for (int waited = 0; !allSent && waited < 10000; ++waited)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        EXPECT_TRUE(allSent) << "the work waited for a title";
    };
    platform::PassRunner runner(pump);
    runner.Run(
        [&] {
            for (int i = 0; i < 1000; ++i)
                platform::SetTitleText(std::to_string(i));
            allSent = true;
            return 0;
        },
        unexpected);
    ASSERT_LE(sinks.log.size(), 2u);
    EXPECT_EQ("title 999", sinks.log.back());
}

TEST_F(PassRunnerTest, AThreadThatCannotStartPutsTheSinksBackAndSaysSo)
{
    platform::PassRunner runner(pump, [](std::function<void()>) -> std::thread {
        throw std::system_error(std::make_error_code(std::errc::resource_unavailable_try_again));
    });
    const int result = runner.Run(
        [] {
            ADD_FAILURE() << "the work ran";
            return 1;
        },
        [] {
            platform::ShowNotice("not started", "c");
            return 5;
        });
    EXPECT_EQ(5, result);
    EXPECT_EQ(std::vector<std::string>{"notice not started"}, sinks.log);
    EXPECT_EQ(&sinks, platform::SetNoticeSink(&sinks));
    EXPECT_EQ(&sinks, platform::SetTitleSink(&sinks));
}

TEST_F(PassRunnerTest, AStopFromTheWindowEndsTheWorkAndAnEarlierOneIsForgotten)
{
    platform::RequestCancel();  // left over from the pass before
    pump.onRound = [] { platform::PassRunner::RequestStop(); };
    platform::PassRunner runner(pump);
    bool cancelledAtStart = true;
    const int result = runner.Run(
        [&] {
            cancelledAtStart = platform::CancelRequested();
            platform::SetTitleText("working");  // wakes the window thread
            for (int waited = 0; !platform::CancelRequested() && waited < 10000; ++waited)
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
            return platform::CancelRequested() ? 0 : 1;
        },
        unexpected);
    EXPECT_FALSE(cancelledAtStart);
    EXPECT_EQ(0, result);
}

TEST_F(PassRunnerTest, TheWorksFailureReachesTheWindowThreadAfterTheSinksAreBack)
{
    platform::PassRunner runner(pump);
    EXPECT_THROW(runner.Run([]() -> int { throw std::runtime_error("no"); }, unexpected), std::runtime_error);
    EXPECT_EQ(&sinks, platform::SetNoticeSink(&sinks));
}

}  // namespace
