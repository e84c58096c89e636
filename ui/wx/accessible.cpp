#include "ui/wx/accessible.h"

#include <wx/window.h>

#include <gtk/gtk.h>

namespace platform {

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
        gtk_css_provider_load_from_data(
            css, "check { min-width: 1.05em; min-height: 1.05em; margin-right: 0.4em; }", -1,
            nullptr);
        return css;
    }();
    gtk_style_context_add_provider(gtk_widget_get_style_context(widget),
                                   GTK_STYLE_PROVIDER(provider),
                                   GTK_STYLE_PROVIDER_PRIORITY_APPLICATION);
}

}  // namespace platform
