#include "ui/wx/present.h"

#include <wx/app.h>
#include <wx/toplevel.h>

#include <gtk/gtk.h>
#ifdef GDK_WINDOWING_X11
#include <gdk/gdkx.h>
#endif

namespace ui {

namespace {

// A window manager lets a new window take the focus when it comes from what
// the user did last. The last input this program saw may be older than what
// they did in the other window since; the server's time now is not.
guint32 Now(GtkWidget* widget)
{
#ifdef GDK_WINDOWING_X11
    GdkWindow* window = gtk_widget_get_window(widget);
    // A toplevel's X window always listens for property changes, which the
    // server's time is read through.
    if (window && GDK_IS_X11_WINDOW(window))
        return gdk_x11_get_server_time(window);
#else
    (void)widget;
#endif
    return GDK_CURRENT_TIME;
}

// Asked once the window is on the screen: a user time set before it maps is
// replaced by the toolkit's own when it shows the window.
gboolean OnMapped(GtkWidget* widget, GdkEvent*, gpointer)
{
    gtk_window_present_with_time(GTK_WINDOW(widget), Now(widget));
    return FALSE;
}

// Once the box has the keyboard, the user has found it.
gboolean OnFocused(GtkWidget*, GdkEvent*, gpointer main)
{
    gtk_window_set_urgency_hint(GTK_WINDOW(main), FALSE);
    return FALSE;
}

}  // namespace

PresentOnShow::PresentOnShow(wxTopLevelWindow& box) : m_box(box)
{
    GtkWidget* widget = box.GetHandle();
    if (!widget || !GTK_IS_WINDOW(widget))
        return;
    m_mapped = g_signal_connect(widget, "map-event", G_CALLBACK(OnMapped), nullptr);

    auto* main = wxTheApp ? wxDynamicCast(wxTheApp->GetTopWindow(), wxTopLevelWindow) : nullptr;
    if (main && main != &box && main->IsShown() && !main->IsActive()) {
        if (GtkWidget* mainWidget = main->GetHandle(); mainWidget && GTK_IS_WINDOW(mainWidget)) {
            gtk_window_set_urgency_hint(GTK_WINDOW(mainWidget), TRUE);
            m_urgent = main;
            m_focused = g_signal_connect(widget, "focus-in-event", G_CALLBACK(OnFocused), mainWidget);
        }
    }
}

PresentOnShow::~PresentOnShow()
{
    if (GtkWidget* widget = m_box.GetHandle()) {
        for (unsigned long handler : {m_mapped, m_focused}) {
            if (handler)
                g_signal_handler_disconnect(widget, handler);
        }
    }
    if (m_urgent && m_urgent->GetHandle())
        gtk_window_set_urgency_hint(GTK_WINDOW(m_urgent->GetHandle()), FALSE);
}

}  // namespace ui
