#include "tests/gui/gui_test.h"

#include <wx/app.h>
#include <wx/button.h>
#include <wx/checkbox.h>
#include <wx/dialog.h>
#include <wx/evtloop.h>
#include <wx/spinctrl.h>
#include <wx/textctrl.h>

#include <gtk/gtk.h>

#include <chrono>
#include <memory>

namespace {

bool g_allowRealModal = false;

wxString Describe(wxDialog* dialog)
{
    if (auto* box = dynamic_cast<wxMessageDialogBase*>(dialog))
        return "message box \"" + box->GetMessage() + "\" (" + box->GetCaption() + ")";
    return "dialog \"" + dialog->GetTitle() + "\"";
}

// Registered first, so asked last: only dialogs no wxTEST_DIALOG answered get
// here.
class CatchAllHook : public wxModalDialogHook {
protected:
    int Enter(wxDialog* dialog) override
    {
        if (g_allowRealModal)
            return wxID_NONE;
        ADD_FAILURE() << "unexpected modal " << Describe(dialog).utf8_string();
        return wxID_CANCEL;
    }
};

}  // namespace

int GuiTestModalHook::Enter(wxDialog* dialog)
{
    const int answer = wxTestingModalHook::Enter(dialog);
    return answer == wxID_NONE ? wxID_CANCEL : answer;
}

void GuiTestModalHook::ReportFailure(const wxString& message)
{
    ADD_FAILURE_AT(m_file, m_line) << message.utf8_string();
}

int ExpectBox::OnInvoked(wxMessageDialogBase* box) const
{
    m_seen->message = box->GetMessage();
    m_seen->caption = box->GetCaption();
    m_seen->style = box->GetMessageDialogStyle();
    m_seen->owner = box->GetParent();
    m_seen->shown = true;
    return wxID_OK;
}

namespace guitest {

AllowRealModal::AllowRealModal() { g_allowRealModal = true; }
AllowRealModal::~AllowRealModal() { g_allowRealModal = false; }

void InstallCatchAllHook()
{
    static CatchAllHook hook;
    hook.Register();
}

void Flush()
{
    for (int round = 0; round < 5; ++round) {
        wxTheApp->ProcessPendingEvents();
        wxTheApp->Yield(true);
    }
}

bool PumpUntil(const std::function<bool()>& done)
{
    // Outside any loop (the tests run none of their own) a loop is made for
    // the wait; inside one (a pass's) that one serves.
    std::unique_ptr<wxGUIEventLoop> own;
    std::unique_ptr<wxEventLoopActivator> activate;
    if (!wxEventLoopBase::GetActive()) {
        own = std::make_unique<wxGUIEventLoop>();
        activate = std::make_unique<wxEventLoopActivator>(own.get());
    }
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (!done() && std::chrono::steady_clock::now() < deadline)
        wxEventLoopBase::GetActive()->DispatchTimeout(50);
    return done();
}

wxWindow* Item(wxWindow* dialog, int id)
{
    wxWindow* item = dialog->FindWindow(id);
    EXPECT_NE(nullptr, item) << "no control " << id;
    return item;
}

std::string Text(wxWindow* dialog, int id)
{
    wxWindow* item = Item(dialog, id);
    if (auto* spin = wxDynamicCast(item, wxSpinCtrl))
        return spin->GetTextValue().utf8_string();
    auto* field = wxDynamicCast(item, wxTextCtrl);
    return field ? field->GetValue().utf8_string() : std::string();
}

void Type(wxWindow* dialog, int id, const std::string& text)
{
    wxWindow* item = Item(dialog, id);
    // A spin control's text as typed: the value follows only when GTK next
    // reads the text.
    if (wxDynamicCast(item, wxSpinCtrl))
        gtk_entry_set_text(GTK_ENTRY(item->GetHandle()), text.c_str());
    else if (auto* field = wxDynamicCast(item, wxTextCtrl))
        field->SetValue(wxString::FromUTF8(text));
}

bool Click(wxWindow* dialog, int id)
{
    wxWindow* item = Item(dialog, id);
    if (!item || !item->IsEnabled())
        return false;
    wxEventType type = wxEVT_BUTTON;
    if (auto* box = wxDynamicCast(item, wxCheckBox)) {
        box->SetValue(!box->GetValue());  // an automatic check box checks itself
        type = wxEVT_CHECKBOX;
    }
    wxCommandEvent event(type, id);
    event.SetEventObject(item);
    if (type == wxEVT_CHECKBOX)
        event.SetInt(static_cast<wxCheckBox*>(item)->GetValue() ? 1 : 0);
    item->GetEventHandler()->ProcessEvent(event);
    return true;
}

void PressKey(wxWindow* dialog, wxWindow* focus, int keyCode)
{
    wxKeyEvent event(wxEVT_CHAR_HOOK);
    event.m_keyCode = keyCode;
    event.SetEventObject(focus);
    dialog->GetEventHandler()->ProcessEvent(event);
}

}  // namespace guitest
