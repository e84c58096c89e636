// A pass beside a live window on Windows: the window thread keeps serving
// the window, drops the input meant for it, hears Escape as a stop request,
// and carries out the pass's notices itself.
#include "platform/notice.h"
#include "ui/pass_runner.h"
#include "ui/win32/pass_loop.h"

#include <gtest/gtest.h>

#include <atomic>

namespace {

std::atomic<int> g_input{0};
std::atomic<int> g_other{0};

LRESULT CALLBACK CountingProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_LBUTTONDOWN || message == WM_KEYDOWN || message == WM_SYSKEYDOWN || message == WM_CHAR)
        ++g_input;
    if (message == WM_USER)
        ++g_other;
    return DefWindowProcW(window, message, wParam, lParam);
}

class ThreadOfNotices : public platform::ReportSink {
public:
    void OnNotice(const platform::Notice&) override { thread = GetCurrentThreadId(); }
    void OnProgress(const platform::Progress&) override {}
    DWORD thread = 0;
};

TEST(PassLoop, DropsInputStopsOnEscapeAndShowsNoticesOnTheWindowThread)
{
    WNDCLASSW cls{};
    cls.lpfnWndProc = CountingProc;
    cls.hInstance = GetModuleHandleW(nullptr);
    cls.lpszClassName = L"PassLoopTest";
    RegisterClassW(&cls);
    HWND window = CreateWindowW(L"PassLoopTest", L"Pass", WS_OVERLAPPEDWINDOW, 0, 0, 200, 100, nullptr, nullptr,
                                cls.hInstance, nullptr);
    ASSERT_TRUE(window) << "no display? error " << GetLastError();

    ThreadOfNotices notices;
    platform::ReportSink* previous = platform::SetReportSink(&notices);
    std::atomic<int> stops{0};
    int result = 0;
    {
        ui::PassRunner runner{notices};
        result = ui::RunWhileWindowLives(
            window, runner,
            [&] {
                PostMessageW(window, WM_LBUTTONDOWN, MK_LBUTTON, 0);
                PostMessageW(window, WM_USER, 0, 0);
                platform::Report({platform::NoticeKind::CannotFind, {"x"}});
                // As Escape comes when no control has the focus.
                PostMessageW(window, WM_SYSKEYDOWN, VK_ESCAPE, 0);
                for (int waited = 0; stops == 0 && waited < 10000; ++waited)
                    Sleep(1);
                return 7;
            },
            [&] { ++stops; }, [] { return -1; });
    }
    platform::SetReportSink(previous);
    DestroyWindow(window);

    EXPECT_EQ(7, result);
    EXPECT_EQ(1, stops.load());
    EXPECT_EQ(0, g_input.load());
    EXPECT_EQ(1, g_other.load());
    EXPECT_EQ(GetCurrentThreadId(), notices.thread);
}

}  // namespace
