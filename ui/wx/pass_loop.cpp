#include "ui/wx/pass_loop.h"

#include "ui/pass_runner.h"
#include "platform/translation.h"
#include "ui/texts.h"
#include "ui/wx/accessible.h"

#include <wx/app.h>
#include <wx/dialog.h>
#include <wx/evtloop.h>
#include <wx/modalhook.h>
#include <wx/statbox.h>
#include <wx/statline.h>
#include <wx/stattext.h>
#include <wx/toplevel.h>

#include <glib-unix.h>
#include <gtk/gtk.h>
#ifdef GDK_WINDOWING_X11
#include <gdk/gdkx.h>
#endif

#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace ui {

namespace {

// What the event handler below needs to know; set and read on the window
// thread only.
struct Guard {
    GdkWindow* window = nullptr;
    const std::function<void()>* onStop = nullptr;
};
Guard g_guard;

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

bool IsStopKey(const GdkEvent* event)
{
    return event->type == GDK_KEY_PRESS && event->key.keyval == GDK_KEY_Escape &&
           (event->key.state & gtk_accelerator_get_default_mod_mask()) == 0;
}

// GTK's own handler, in the shape an event handler has.
void PassToGtk(GdkEvent* event, gpointer) { gtk_main_do_event(event); }

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
        if (IsInput(event->type))
            return;
    }
    PassToGtk(event, nullptr);
}

// The toolkit's share of a pass: the window thread is woken through the
// toolkit's idle wake-up, and each round dispatches GTK's events with the
// filter above in front.
class GtkPump : public ui::EventPump {
public:
    void Wake() override { wxWakeUpIdle(); }
    bool RunOnce() override
    {
        // A yield elsewhere puts GTK's own handler back; ours goes back in
        // front before every wait.
        gdk_event_handler_set(FilterEvent, nullptr, nullptr);
        // It waits for an event in any case; its result only says whether
        // a quit was asked of the innermost loop, which is not ours to obey.
        m_loop.Dispatch();
        return true;
    }

private:
    wxGUIEventLoop m_loop;
    wxEventLoopActivator m_active{&m_loop};
};

GdkWindow* ToplevelOf(wxTopLevelWindow* window)
{
    GtkWidget* widget = window ? window->GetHandle() : nullptr;
    return widget ? gtk_widget_get_window(widget) : nullptr;
}

// What takes input and isn't already disabled or hidden: a screen reader is
// told that its input goes nowhere now, as a sighted user sees nothing
// happen.
bool TakesInput(wxWindow* child)
{
    return child->IsShown() && child->IsEnabled() && !wxDynamicCast(child, wxStaticText) &&
           !wxDynamicCast(child, wxStaticLine) && !wxDynamicCast(child, wxStaticBox);
}

// The filter sees the guarded window only while the pass runs; a screen
// reader sees the pass's progress, and the window's controls unavailable.
class WindowHeldForPass {
public:
    WindowHeldForPass(wxTopLevelWindow* window, const std::function<void()>& onStop) : m_window(window)
    {
        PauseAnimations();
        g_guard.window = ToplevelOf(window);
        g_guard.onStop = &onStop;
        if (!window)
            return;
        for (wxWindow* child : window->GetChildren()) {
            if (TakesInput(child)) {
                ReportInputDropped(child, true);
                m_dropped.push_back(child);
            }
        }
        StartPassProgress(window);
    }
    ~WindowHeldForPass()
    {
        g_guard = Guard();
        gdk_event_handler_set(PassToGtk, nullptr, nullptr);
        EndPassProgress(m_window);
        for (wxWindow* child : m_dropped)
            ReportInputDropped(child, false);
        if (m_animationsPaused)
            gtk_settings_reset_property(gtk_settings_get_default(), "gtk-enable-animations");
    }
    WindowHeldForPass(const WindowHeldForPass&) = delete;
    WindowHeldForPass& operator=(const WindowHeldForPass&) = delete;

private:
    // The buttons the pass has just disabled would fade out over a fifth of
    // a second, the whole window redrawn at every frame: on two cores that
    // is taken from the pass itself. They turn grey at once instead; the
    // desktop's own choice comes back with the pass's end, before they are
    // enabled again.
    void PauseAnimations()
    {
        GtkSettings* settings = gtk_settings_get_default();
        gboolean enabled = FALSE;
        if (settings)
            g_object_get(settings, "gtk-enable-animations", &enabled, nullptr);
        if (!enabled)
            return;
        g_object_set(settings, "gtk-enable-animations", FALSE, nullptr);
        m_animationsPaused = true;
    }

    bool m_animationsPaused = false;
    wxTopLevelWindow* m_window;
    std::vector<wxWindow*> m_dropped;
};

}  // namespace

int RunWhileWindowLives(wxTopLevelWindow* window, ui::PassRunner& runner, const std::function<int()>& work,
                        const std::function<void()>& onStop, const std::function<int()>& notStarted)
{
    WindowHeldForPass held(window, onStop);
    GtkPump pump;
    return runner.Run(pump, work, notStarted);
}

namespace {

// Every box that is open ends as if the user had closed it: the toolkit's
// own boxes (a notice, the file chooser) and the program's (About).
void CloseBoxes()
{
    GList* toplevels = gtk_window_list_toplevels();
    for (GList* at = toplevels; at; at = at->next) {
        if (GTK_IS_DIALOG(at->data) && gtk_widget_get_visible(GTK_WIDGET(at->data)))
            gtk_dialog_response(GTK_DIALOG(at->data), GTK_RESPONSE_DELETE_EVENT);
    }
    g_list_free(toplevels);
    for (wxWindow* window : wxTopLevelWindows) {
        auto* dialog = wxDynamicCast(window, wxDialog);
        if (dialog && dialog->IsModal() && dialog != wxTheApp->GetTopWindow())
            dialog->EndModal(wxID_CANCEL);
    }
}

// What became of the pass a stop was asked of, for standard error; "" when
// none was.
std::string PassLine(const PassOutcome& outcome)
{
    switch (outcome.end) {
    case PassOutcome::End::NotRun:
        break;
    case PassOutcome::End::StillRunning:
        return platform::Tr("the pass in progress has not ended");
    case PassOutcome::End::Stopped:
        return platform::Tr("the pass in progress was stopped; its file is as it was");
    case PassOutcome::End::Replaced:
        return platform::Tr("the pass in progress had already finished; its file holds the result");
    case PassOutcome::End::OnNotice:
        return WordNotice(outcome.notice).Line();
    }
    return std::string();
}

void Say(const std::string& line)
{
    if (!line.empty())
        std::fprintf(stderr, "veltrane: %s\n", line.c_str());
}

#ifdef GDK_WINDOWING_X11
// Xlib ends the program once this returns; the pass goes first, taking its
// temporary file with it, however long its last flush takes.
int OnDisplayLost(Display*)
{
    Say(platform::Tr("the display has gone away"));
    Say(PassLine(PassRunner::EndRunningPass(std::nullopt)));
    ::_exit(1);
}
#endif

}  // namespace

// The boxes open over the program's window (the window itself is the top
// one): wx's own boxes, the file chooser included, all pass through here.
class EndRequests::Boxes : public wxModalDialogHook {
public:
    explicit Boxes(EndRequests& owner) : m_owner(owner) { Register(); }
    int Open() const { return m_open; }

protected:
    int Enter(wxDialog* dialog) override
    {
        if (dialog == wxTheApp->GetTopWindow())
            return wxID_NONE;
        // Asked to end, the program opens nothing more for anyone to answer.
        if (m_owner.m_signal)
            return wxID_CANCEL;
        ++m_open;
        return wxID_NONE;
    }
    void Exit(wxDialog* dialog) override
    {
        if (dialog == wxTheApp->GetTopWindow() || --m_open > 0 || !m_owner.m_endWhenClosed)
            return;
        m_owner.m_endWhenClosed = false;
        m_owner.m_end();
    }

private:
    EndRequests& m_owner;
    int m_open = 0;
};

EndRequests::EndRequests(std::function<void()> end) : m_end(std::move(end)), m_boxes(std::make_unique<Boxes>(*this))
{
    m_sources.reserve(3);
    for (int signal : {SIGTERM, SIGHUP, SIGINT}) {
        m_sources.push_back({this, signal, 0});
        m_sources.back().id = g_unix_signal_add(
            signal,
            [](gpointer data) -> gboolean {
                auto* source = static_cast<Source*>(data);
                source->owner->OnSignal(source->signal);
                return G_SOURCE_CONTINUE;
            },
            &m_sources.back());
    }
#ifdef GDK_WINDOWING_X11
    if (GDK_IS_X11_DISPLAY(gdk_display_get_default()))
        XSetIOErrorHandler(OnDisplayLost);
#endif
}

void EndRequests::OnSignal(int signal)
{
    const bool first = !m_signal;
    if (first)
        m_signal = signal;
    CloseBoxes();
    // A box's loop ends only once its handler has returned; ending the
    // window from inside it would leave the window's loop running, and the
    // program with it.
    if (m_boxes->Open() > 0)
        m_endWhenClosed = true;
    else
        m_end();
    // At once: a pass's last flush may keep the program a while yet.
    if (first)
        Say(platform::Fill(platform::Tr("asked to end by SIG%1"), {sigabbrev_np(signal)}));
}

void EndRequests::SayHowThePassEnded() const
{
    if (m_signal)
        Say(PassLine(PassRunner::LastStoppedPass()));
}

EndRequests::~EndRequests()
{
    for (const Source& source : m_sources)
        g_source_remove(source.id);
}

}  // namespace ui
