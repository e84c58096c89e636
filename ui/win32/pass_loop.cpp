#include "ui/win32/pass_loop.h"

#include "ui/pass_runner.h"

#include <shellapi.h>

#include <atomic>

namespace ui {

namespace {

bool IsInput(UINT message)
{
    return (message >= WM_KEYFIRST && message <= WM_KEYLAST) || (message >= WM_MOUSEFIRST && message <= WM_MOUSELAST) ||
           (message >= WM_NCMOUSEMOVE && message <= WM_NCXBUTTONDBLCLK) || message == WM_DROPFILES;
}

// The system's share of a pass: an event wakes the window thread, which
// waits on it and on its messages together.
class MessagePump : public ui::EventPump {
public:
    MessagePump(HWND window, const std::function<void()>& onStop)
        : m_window(window), m_onStop(onStop), m_wake(CreateEventW(nullptr, FALSE, FALSE, nullptr))
    {
    }
    ~MessagePump() override
    {
        if (m_wake)
            CloseHandle(m_wake);
    }
    MessagePump(const MessagePump&) = delete;
    MessagePump& operator=(const MessagePump&) = delete;

    void Wake() override
    {
        // Without the event the window thread looks for reports now and
        // then instead of being woken.
        if (!m_wake || !SetEvent(m_wake))
            m_polling = true;
    }

    bool RunOnce() override
    {
        const bool polling = m_polling || !m_wake;
        const DWORD woke =
            MsgWaitForMultipleObjectsEx(m_wake ? 1 : 0, m_wake ? &m_wake : nullptr,
                                        polling ? kPollMilliseconds : INFINITE, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
        if (woke == WAIT_FAILED) {
            // The window still paints while the runner polls.
            DispatchWaiting();
            return false;
        }
        if (woke == WAIT_OBJECT_0 + (m_wake ? 1 : 0))
            DispatchWaiting();
        return true;
    }

private:
    static constexpr DWORD kPollMilliseconds = 10;

    void DispatchWaiting()
    {
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            const bool ours = msg.hwnd && (msg.hwnd == m_window || IsChild(m_window, msg.hwnd));
            // With the focused button disabled no control has the focus,
            // and keys come to the window as system keys.
            const bool key = msg.message == WM_KEYDOWN || msg.message == WM_SYSKEYDOWN;
            if (ours && key && msg.wParam == VK_ESCAPE) {
                m_onStop();
                continue;
            }
            // The Close box and the system menu's Close still reach the
            // window, which turns them into a stop request.
            const bool closeBox = msg.message == WM_NCLBUTTONDOWN && msg.wParam == HTCLOSE;
            const bool altF4 = msg.message == WM_SYSKEYDOWN && msg.wParam == VK_F4;
            if (ours && (closeBox || altF4)) {
                m_onStop();
                continue;
            }
            if (ours && IsInput(msg.message) && msg.message != WM_NCMOUSEMOVE && msg.message != WM_MOUSEMOVE) {
                // A drop's names are the window's to free, taken or not.
                if (msg.message == WM_DROPFILES)
                    DragFinish(reinterpret_cast<HDROP>(msg.wParam));
                continue;
            }
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
    }

    HWND m_window;
    const std::function<void()>& m_onStop;
    HANDLE m_wake;
    std::atomic<bool> m_polling{false};
};

}  // namespace

int RunWhileWindowLives(HWND window, ui::PassRunner& runner, const std::function<int()>& work,
                        const std::function<void()>& onStop, const std::function<int()>& notStarted)
{
    MessagePump pump(window, onStop);
    return runner.Run(pump, work, notStarted);
}

}  // namespace ui
