// A pass through the window's pass runner against the same pass alone, as
// the command line runs it. The window stands in as a thread that takes a
// while over every title (a repaint on a busy display); the pass must not
// wait for it. 512 MiB in /dev/shm, five pairs in turns, encrypting and
// decrypting alternately; prints the median ratio.
#include "bench/fill.h"
#include "engine/cipher.h"
#include "platform/notice.h"
#include "ui/pass_runner.h"
#include "ui/texts.h"

#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace {

constexpr long long kBytes = 512LL << 20;
constexpr int kPairs = 5;
constexpr std::chrono::milliseconds kRepaint{20};

class IdleWindow : public ui::EventPump {
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
        m_wake.wait(lock, [&] { return m_woken; });
        m_woken = false;
        return true;
    }

private:
    std::mutex m_mutex;
    std::condition_variable m_wake;
    bool m_woken = false;
};

// Worded as the window words them, each title a slow repaint.
class SlowTitle : public ui::ReportView {
public:
    void ShowBox(const ui::NoticeWords&) override {}
    void ShowTitle(const std::string&, int) override { std::this_thread::sleep_for(kRepaint); }
};

template <typename Pass> double Seconds(Pass pass)
{
    const auto start = std::chrono::steady_clock::now();
    if (pass() != 1) {
        std::fprintf(stderr, "a pass failed\n");
        std::exit(1);
    }
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

}  // namespace

int main()
{
    std::string dir = "/dev/shm/veltrane-runner-bench-XXXXXX";
    if (!::mkdtemp(dir.data())) {
        std::perror("/dev/shm");
        return 1;
    }
    const std::string data = dir + "/data.bin";
    const std::string key = dir + "/key.bin";
    bench::Fill(data, kBytes, 1);
    bench::Fill(key, kBytes, 2);

    IdleWindow window;
    std::vector<double> ratios;
    int direction = kDirectionEncrypt;
    for (int pair = 0; pair < kPairs; ++pair) {
        // Alone, the titles go nowhere, as a quiet command line's do.
        const double alone = Seconds([&] { return TransformFile(data, key, 17, direction); });
        direction = 1 - direction;
        double beside = 0;
        {
            SlowTitle title;
            ui::PassRunner runner{title};
            beside = Seconds([&] {
                return runner.Run(
                    window, [&] { return TransformFile(data, key, 17, direction); }, [] { return 0; });
            });
        }
        direction = 1 - direction;
        ratios.push_back(beside / alone);
    }
    std::sort(ratios.begin(), ratios.end());
    std::printf("window pass/command-line pass: %.2f (median of %d, 512 MiB in /dev/shm, %lld ms a title; "
                "target <= 1.10)\n",
                ratios[ratios.size() / 2], kPairs, static_cast<long long>(kRepaint.count()));

    ::unlink(data.c_str());
    ::unlink(key.c_str());
    ::rmdir(dir.c_str());
    return 0;
}
