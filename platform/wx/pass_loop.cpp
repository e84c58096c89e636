#include "platform/wx/pass_loop.h"

#include "platform/notice.h"

#include <wx/app.h>
#include <wx/evtloop.h>
#include <wx/thread.h>
#include <wx/toplevel.h>

#include <gtk/gtk.h>

#include <atomic>
#include <condition_variable>
#include <deque>
#include <exception>
#include <mutex>
#include <thread>

namespace platform {

namespace {

std::atomic<unsigned long> g_droppedPresses{0};

// What the event handler below needs to know; set and read on the window
// thread only.
struct Guard {
    GdkWindow* window = nullptr;
    const std::function<void()>* onStop = nullptr;
};
Guard g_guard;

bool IsPress(GdkEventType type)
{
    switch (type) {
    case GDK_KEY_PRESS:
    case GDK_KEY_RELEASE:
    case GDK_BUTTON_PRESS:
    case GDK_2BUTTON_PRESS:
    case GDK_3BUTTON_PRESS:
    case GDK_BUTTON_RELEASE:
        return true;
    default:
        return false;
    }
}

bool IsInput(GdkEventType type)
{
    switch (type) {
    case GDK_MOTION_NOTIFY:
    case GDK_SCROLL:
    case GDK_TOUCH_BEGIN:
    case GDK_TOUCH_UPDATE:
    case GDK_TOUCH_END:
    case GDK_TOUCH_CANCEL:
    case GDK_TOUCHPAD_SWIPE:
    case GDK_TOUCHPAD_PINCH:
    case GDK_PAD_BUTTON_PRESS:
    case GDK_PAD_BUTTON_RELEASE:
    case GDK_PAD_RING:
    case GDK_PAD_STRIP:
    case GDK_PAD_GROUP_MODE:
    case GDK_DRAG_ENTER:
    case GDK_DRAG_LEAVE:
    case GDK_DRAG_MOTION:
    case GDK_DROP_START:
        return true;
    default:
        return IsPress(type);
    }
}

bool IsStopKey(const GdkEvent* event)
{
    return event->type == GDK_KEY_PRESS && event->key.keyval == GDK_KEY_Escape &&
           (event->key.state & gtk_accelerator_get_default_mod_mask()) == 0;
}

// GTK's own handler, in the shape an event handler has.
void PassToGtk(GdkEvent* event, gpointer)
{
    gtk_main_do_event(event);
}

// Sits in front of GTK's own event handling while the work runs. Painting,
// configuration, focus and the window manager's traffic pass; input for the
// guarded window is dropped.
void FilterEvent(GdkEvent* event, gpointer)
{
    GdkWindow* target = event->any.window ? gdk_window_get_toplevel(event->any.window) : nullptr;
    if (g_guard.window && target == g_guard.window) {
        if (event->type == GDK_DELETE || IsStopKey(event)) {
            if (g_guard.onStop && *g_guard.onStop)
                (*g_guard.onStop)();
            return;
        }
        if (IsInput(event->type)) {
            if (IsPress(event->type))
                ++g_droppedPresses;
            return;
        }
    }
    PassToGtk(event, nullptr);
}

// Jobs handed from the work's thread to the window thread.
class Hop {
public:
    // From the work's thread: runs `job` on the window thread and returns
    // once it has run.
    void Run(const std::function<void()>& job)
    {
        if (wxIsMainThread()) {
            job();
            return;
        }
        Entry entry{&job};
        std::unique_lock<std::mutex> lock(m_mutex);
        m_queue.push_back(&entry);
        wxWakeUpIdle();
        m_done.wait(lock, [&] { return entry.done; });
    }

    void Finish()
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_finished = true;
        wxWakeUpIdle();
    }

    // On the window thread: runs the next job, if any. False once the work
    // has finished and no job is left.
    bool Serve(bool& ranJob)
    {
        std::unique_lock<std::mutex> lock(m_mutex);
        ranJob = false;
        if (m_queue.empty())
            return !m_finished;
        Entry* entry = m_queue.front();
        m_queue.pop_front();
        lock.unlock();
        (*entry->job)();
        lock.lock();
        entry->done = true;
        m_done.notify_all();
        ranJob = true;
        return true;
    }

private:
    struct Entry {
        const std::function<void()>* job;
        bool done = false;
    };
    std::mutex m_mutex;
    std::condition_variable m_done;
    std::deque<Entry*> m_queue;
    bool m_finished = false;
};

class ForwardedNotices : public NoticeSink {
public:
    ForwardedNotices(Hop& hop, NoticeSink* target) : m_hop(hop), m_target(target) {}
    void Show(const std::string& text, const std::string& caption, NoticeIcon icon,
              NoticeOwner owner) override
    {
        if (m_target)
            m_hop.Run([&] { m_target->Show(text, caption, icon, owner); });
    }

private:
    Hop& m_hop;
    NoticeSink* m_target;
};

class ForwardedTitles : public TitleSink {
public:
    ForwardedTitles(Hop& hop, TitleSink* target) : m_hop(hop), m_target(target) {}
    void SetTitle(const std::string& text) override
    {
        if (m_target)
            m_hop.Run([&] { m_target->SetTitle(text); });
    }

private:
    Hop& m_hop;
    TitleSink* m_target;
};

GdkWindow* ToplevelOf(wxTopLevelWindow* window)
{
    GtkWidget* widget = window ? window->GetHandle() : nullptr;
    return widget ? gtk_widget_get_window(widget) : nullptr;
}

}  // namespace

unsigned long DroppedPresses()
{
    return g_droppedPresses.load();
}

int RunWhileWindowLives(wxTopLevelWindow* window, const std::function<int()>& work,
                        const std::function<void()>& onStop)
{
    Hop hop;
    NoticeSink* const previousNotices = SetNoticeSink(nullptr);
    TitleSink* const previousTitles = SetTitleSink(nullptr);
    ForwardedNotices notices(hop, previousNotices);
    ForwardedTitles titles(hop, previousTitles);
    SetNoticeSink(&notices);
    SetTitleSink(&titles);

    g_guard.window = ToplevelOf(window);
    g_guard.onStop = &onStop;

    int result = 0;
    std::exception_ptr failure;
    std::thread worker([&] {
        try {
            result = work();
        } catch (...) {
            failure = std::current_exception();
        }
        hop.Finish();
    });

    {
        wxGUIEventLoop loop;
        wxEventLoopActivator active(&loop);
        bool ranJob = false;
        while (hop.Serve(ranJob)) {
            if (ranJob)
                continue;
            // A yield elsewhere puts GTK's own handler back; ours goes back
            // in front before every wait.
            gdk_event_handler_set(FilterEvent, nullptr, nullptr);
            loop.Dispatch();
        }
    }
    worker.join();

    g_guard = Guard();
    gdk_event_handler_set(PassToGtk, nullptr, nullptr);
    SetNoticeSink(previousNotices);
    SetTitleSink(previousTitles);
    if (failure)
        std::rethrow_exception(failure);
    return result;
}

}  // namespace platform
