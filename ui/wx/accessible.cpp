#include "ui/wx/accessible.h"

#include <wx/nativewin.h>
#include <wx/window.h>

#include <gtk/gtk.h>

namespace ui {

namespace {

AtkObject* AccessibleOf(wxWindow* window)
{
    GtkWidget* widget = window ? window->GetHandle() : nullptr;
    return widget ? gtk_widget_get_accessible(widget) : nullptr;
}

}  // namespace

void SetAccessibleName(wxWindow* control, const wxString& name, const wxString& description, Role role)
{
    AtkObject* accessible = AccessibleOf(control);
    if (!accessible)
        return;
    if (role != Role::AsIs)
        atk_object_set_role(accessible, role == Role::Alert ? ATK_ROLE_ALERT : ATK_ROLE_DIALOG);
    if (!name.empty())
        atk_object_set_name(accessible, name.utf8_str());
    if (!description.empty())
        atk_object_set_description(accessible, description.utf8_str());
}

void RelateLabel(wxWindow* label, wxWindow* control)
{
    GtkWidget* labelWidget = label ? label->GetHandle() : nullptr;
    GtkWidget* controlWidget = control ? control->GetHandle() : nullptr;
    if (!labelWidget || !controlWidget || !GTK_IS_LABEL(labelWidget))
        return;
    // The label's mnemonic widget is where GTK's accessibility takes both
    // relations from; the toolkit sets it to whatever control it created next.
    gtk_label_set_mnemonic_widget(GTK_LABEL(labelWidget), controlWidget);
}

void PressAfterTheRequest(wxWindow* button)
{
    GtkWidget* widget = button ? button->GetHandle() : nullptr;
    if (!GTK_IS_BUTTON(widget))
        return;
    // GTK carries out a screen reader's press inside its request, and where
    // the reader watches the keyboard, even inside the handling of a key
    // (GTK awaits the reader's verdict on the key in a loop of its own): no
    // input event tells that press apart, so every press waits until the
    // loop is idle. This handler runs before the toolkit's own, which is
    // connected after all others.
    static const char kDue[] = "veltrane-press-due";
    auto defer = +[](GtkWidget* pressed, gpointer) {
        if (g_object_steal_data(G_OBJECT(pressed), kDue))
            return;
        g_signal_stop_emission_by_name(pressed, "clicked");
        g_idle_add(
            [](gpointer data) -> gboolean {
                auto* target = static_cast<GtkWidget*>(data);
                if (gtk_widget_get_realized(target) && gtk_widget_is_sensitive(target)) {
                    g_object_set_data(G_OBJECT(target), kDue, target);
                    gtk_button_clicked(GTK_BUTTON(target));
                }
                g_object_unref(target);
                return G_SOURCE_REMOVE;
            },
            g_object_ref(pressed));
    };
    g_signal_connect(widget, "clicked", G_CALLBACK(defer), nullptr);
}

namespace {

// Draws the control as it looked when it stopped taking input, in place of
// GTK's look for an insensitive control.
gboolean DrawAsBefore(GtkWidget*, cairo_t* cr, cairo_surface_t* look)
{
    cairo_set_source_surface(cr, look, 0, 0);
    cairo_paint(cr);
    return TRUE;
}

}  // namespace

void ReportInputDropped(wxWindow* control, bool dropped)
{
    GtkWidget* widget = control ? control->GetHandle() : nullptr;
    if (!widget || bool(gtk_widget_get_sensitive(widget)) != dropped)
        return;
    if (!dropped) {
        g_signal_handlers_disconnect_matched(widget, G_SIGNAL_MATCH_FUNC, 0, 0, nullptr,
                                             reinterpret_cast<gpointer>(DrawAsBefore), nullptr);
    } else if (gtk_widget_get_realized(widget)) {
        // In the display's pixels, at its scale.
        const int scale = gtk_widget_get_scale_factor(widget);
        cairo_surface_t* look = gdk_window_create_similar_image_surface(
            gtk_widget_get_window(widget), CAIRO_FORMAT_ARGB32, gtk_widget_get_allocated_width(widget) * scale,
            gtk_widget_get_allocated_height(widget) * scale, scale);
        cairo_t* cr = cairo_create(look);
        gtk_widget_draw(widget, cr);
        cairo_destroy(cr);
        g_signal_connect_data(
            widget, "draw", G_CALLBACK(DrawAsBefore), look,
            [](gpointer surface, GClosure*) { cairo_surface_destroy(static_cast<cairo_surface_t*>(surface)); },
            GConnectFlags(0));
    }
    // GTK's own sensitivity is what a screen reader hears, with the news of
    // each change, and what makes GTK refuse the control's actions.
    gtk_widget_set_sensitive(widget, !dropped);
}

namespace {

const char kPassProgressName[] = "veltrane-pass-progress";
const char kPassNewsName[] = "veltrane-pass-news";

// Only a screen reader reads it, and nothing ever focuses it: Tab passes.
class UnseenWindow : public wxNativeWindow {
public:
    UnseenWindow(wxWindow* parent, GtkWidget* widget) : wxNativeWindow(parent, wxID_ANY, widget) {}
    bool AcceptsFocus() const override { return false; }
    bool AcceptsFocusFromKeyboard() const override { return false; }
};

// A screen reader passes over an object of no size; one pixel in the
// corner, drawn without size, edges or background, shows nothing and covers
// nothing that is pressed. Hidden until a pass starts.
void AddUnseen(wxWindow* window, const char* name, GtkWidget* widget)
{
    static GtkCssProvider* const provider = [] {
        GtkCssProvider* css = gtk_css_provider_new();
        gtk_css_provider_load_from_data(css,
                                        "* { min-width: 0; min-height: 0; margin: 0; padding: 0; border: none;"
                                        " background: none; box-shadow: none; }",
                                        -1, nullptr);
        return css;
    }();
    gtk_style_context_add_provider(gtk_widget_get_style_context(widget), GTK_STYLE_PROVIDER(provider),
                                   GTK_STYLE_PROVIDER_PRIORITY_APPLICATION);
    gtk_widget_set_can_focus(widget, FALSE);
    auto* unseen = new UnseenWindow(window, widget);
    unseen->SetName(name);
    const wxSize client = window->GetClientSize();
    unseen->SetSize(client.x - 1, client.y - 1, 1, 1);
    unseen->Hide();
}

wxWindow* UnseenOf(wxWindow* window, const char* name) { return window ? window->FindWindow(name) : nullptr; }

// Tells a screen reader the progress bar's value, where it is a new one.
void MoveProgressTo(wxWindow* progress, int percent)
{
    GtkWidget* bar = progress ? progress->GetHandle() : nullptr;
    if (!GTK_IS_PROGRESS_BAR(bar) || gtk_progress_bar_get_fraction(GTK_PROGRESS_BAR(bar)) == percent / 100.0)
        return;
    gtk_progress_bar_set_fraction(GTK_PROGRESS_BAR(bar), percent / 100.0);
}

}  // namespace

void AddPassProgress(wxWindow* window)
{
    if (!window || UnseenOf(window, kPassProgressName))
        return;
    AddUnseen(window, kPassProgressName, gtk_progress_bar_new());
    // A progress bar's changes are spoken as bare numbers, and the first
    // may already be the last; an info bar that appears is spoken whole, so
    // the start is heard in the program's own words. GTK's own info bar
    // would show; an area that draws nothing takes its role.
    GtkWidget* news = gtk_drawing_area_new();
    atk_object_set_role(gtk_widget_get_accessible(news), ATK_ROLE_INFO_BAR);
    AddUnseen(window, kPassNewsName, news);
}

void StartPassProgress(wxWindow* window)
{
    wxWindow* progress = UnseenOf(window, kPassProgressName);
    if (!progress)
        return;
    MoveProgressTo(progress, 0);
    progress->Show();
}

void SetPassProgress(wxWindow* window, int percent, const wxString& title)
{
    wxWindow* news = UnseenOf(window, kPassNewsName);
    if (news && !news->IsShown()) {
        // The first report of a pass is told by the news, not twice; the
        // bar goes on from where the pass started.
        atk_object_set_name(AccessibleOf(news), title.utf8_str());
        news->Show();
        return;
    }
    MoveProgressTo(UnseenOf(window, kPassProgressName), percent);
}

void EndPassProgress(wxWindow* window)
{
    wxWindow* progress = UnseenOf(window, kPassProgressName);
    // Even a pass too short to report anything is heard to end.
    MoveProgressTo(progress, 100);
    for (wxWindow* unseen : {progress, UnseenOf(window, kPassNewsName)}) {
        if (unseen)
            unseen->Hide();
    }
}

void SizeIndicatorWithText(wxWindow* checkBox)
{
    GtkWidget* widget = checkBox ? checkBox->GetHandle() : nullptr;
    if (!widget)
        return;
    // The theme gives the square a size in pixels, the text a size in
    // points: at 1.5 times the text the square looks shrunk and crowded.
    // In units of the text's own size both grow together; at the usual
    // text size this is what the theme draws anyway.
    static GtkCssProvider* provider = [] {
        GtkCssProvider* css = gtk_css_provider_new();
        gtk_css_provider_load_from_data(css, "check { min-width: 1.05em; min-height: 1.05em; margin-right: 0.4em; }",
                                        -1, nullptr);
        return css;
    }();
    gtk_style_context_add_provider(gtk_widget_get_style_context(widget), GTK_STYLE_PROVIDER(provider),
                                   GTK_STYLE_PROVIDER_PRIORITY_APPLICATION);
}

}  // namespace ui
