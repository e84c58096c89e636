#include "platform/wx/accessible.h"

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

}  // namespace platform
