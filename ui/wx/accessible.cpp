#include "ui/wx/accessible.h"

#include <wx/nativewin.h>
#include <wx/window.h>

#include <gtk/gtk.h>

#include <functional>
#include <string>
#include <vector>

namespace platform {

namespace {

AtkObject* AccessibleOf(wxWindow* window)
{
    GtkWidget* widget = window ? window->GetHandle() : nullptr;
    return widget ? gtk_widget_get_accessible(widget) : nullptr;
}

// What a control tells a screen reader beyond what GTK's own object for it
// knows; it lives as long as that object.
struct Extras {
    bool inputDropped = false;
    std::vector<std::pair<std::string, std::function<void()>>> actions;
};

GQuark ExtrasQuark()
{
    static const GQuark quark = g_quark_from_static_string("veltrane-accessible-extras");
    return quark;
}

Extras* ExtrasOf(gpointer accessible)
{
    return static_cast<Extras*>(g_object_get_qdata(G_OBJECT(accessible), ExtrasQuark()));
}

AtkObjectClass* ParentClass(AtkObject* accessible)
{
    return ATK_OBJECT_CLASS(g_type_class_peek_parent(G_OBJECT_GET_CLASS(accessible)));
}

AtkStateSet* RefStateSet(AtkObject* accessible)
{
    AtkStateSet* states = ParentClass(accessible)->ref_state_set(accessible);
    const Extras* extras = ExtrasOf(accessible);
    if (extras && extras->inputDropped) {
        atk_state_set_remove_state(states, ATK_STATE_SENSITIVE);
        atk_state_set_remove_state(states, ATK_STATE_ENABLED);
    }
    return states;
}

void ClassInit(gpointer klass, gpointer) { ATK_OBJECT_CLASS(klass)->ref_state_set = RefStateSet; }

gint ActionCount(AtkAction* object)
{
    const Extras* extras = ExtrasOf(object);
    return extras ? static_cast<gint>(extras->actions.size()) : 0;
}

const gchar* ActionName(AtkAction* object, gint index)
{
    const Extras* extras = ExtrasOf(object);
    if (!extras || index < 0 || index >= ActionCount(object))
        return nullptr;
    return extras->actions[static_cast<size_t>(index)].first.c_str();
}

gboolean DoAction(AtkAction* object, gint index)
{
    Extras* extras = ExtrasOf(object);
    if (!extras || extras->inputDropped || index < 0 || index >= ActionCount(object))
        return FALSE;
    extras->actions[static_cast<size_t>(index)].second();
    return TRUE;
}

void ActionInit(gpointer iface, gpointer)
{
    auto* action = static_cast<AtkActionIface*>(iface);
    action->get_n_actions = ActionCount;
    action->get_name = ActionName;
    action->do_action = DoAction;
}

enum Interfaces : unsigned { kStatesOnly = 0, kActions = 2 };

// GTK makes one accessible object per widget, of the type its widget class
// names, and has no way to add an interface to one widget's object. So the
// object becomes an instance of a subtype of its own type, of the same
// size, that adds what is asked for and otherwise is GTK's own: its text,
// states and relations stay what GTK keeps them.
Extras* Extend(AtkObject* accessible, unsigned interfaces)
{
    if (!accessible)
        return nullptr;
    if (Extras* extras = ExtrasOf(accessible))
        return extras;
    const GType parent = G_OBJECT_TYPE(accessible);
    const std::string name = std::string("Veltrane") + g_type_name(parent) + "_" + std::to_string(interfaces);
    GType type = g_type_from_name(name.c_str());
    if (!type) {
        GTypeQuery query;
        g_type_query(parent, &query);
        type = g_type_register_static_simple(parent, g_intern_string(name.c_str()), query.class_size, ClassInit,
                                             query.instance_size, nullptr, GTypeFlags(0));
        if (interfaces & kActions) {
            const GInterfaceInfo info = {ActionInit, nullptr, nullptr};
            g_type_add_interface_static(type, ATK_TYPE_ACTION, &info);
        }
    }
    reinterpret_cast<GTypeInstance*>(accessible)->g_class = static_cast<GTypeClass*>(g_type_class_ref(type));
    auto* extras = new Extras;
    g_object_set_qdata_full(G_OBJECT(accessible), ExtrasQuark(), extras,
                            [](gpointer data) { delete static_cast<Extras*>(data); });
    return extras;
}

}  // namespace

void SetAccessibleName(wxWindow* control, const wxString& name, const wxString& description)
{
    GtkWidget* widget = control ? control->GetHandle() : nullptr;
    if (!widget)
        return;
    AtkObject* accessible = gtk_widget_get_accessible(widget);
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

void ExposeAsAlert(wxWindow* box, const wxString& caption, const wxString& text)
{
    AtkObject* accessible = AccessibleOf(box);
    if (!accessible)
        return;
    atk_object_set_role(accessible, ATK_ROLE_ALERT);
    atk_object_set_name(accessible, caption.utf8_str());
    atk_object_set_description(accessible, text.utf8_str());
}

void ExposeAsDialog(wxWindow* dialog, const wxString& description)
{
    AtkObject* accessible = AccessibleOf(dialog);
    if (!accessible)
        return;
    atk_object_set_role(accessible, ATK_ROLE_DIALOG);
    atk_object_set_description(accessible, description.utf8_str());
}

void PressAfterTheRequest(wxWindow* button)
{
    GtkWidget* widget = button ? button->GetHandle() : nullptr;
    Extras* extras = widget ? Extend(gtk_widget_get_accessible(widget), kActions) : nullptr;
    if (!extras)
        return;
    extras->actions = {{"click", [widget] {
                            g_idle_add(
                                [](gpointer pressed) -> gboolean {
                                    auto* target = static_cast<GtkWidget*>(pressed);
                                    if (gtk_widget_get_realized(target))
                                        gtk_widget_activate(target);
                                    g_object_unref(target);
                                    return G_SOURCE_REMOVE;
                                },
                                g_object_ref(widget));
                        }}};
}

void ReportInputDropped(wxWindow* control, bool dropped)
{
    AtkObject* accessible = AccessibleOf(control);
    Extras* extras = Extend(accessible, kStatesOnly);
    if (!extras || extras->inputDropped == dropped)
        return;
    extras->inputDropped = dropped;
    atk_object_notify_state_change(accessible, ATK_STATE_SENSITIVE, !dropped);
    atk_object_notify_state_change(accessible, ATK_STATE_ENABLED, !dropped);
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

}  // namespace platform
