#include "ui/wx/veltrane_dlg.h"

#include "ui/wx/accessible.h"
#include "platform/translation.h"
#include "ui/window_ops.h"
#include "res/layout.h"
#include "res/resource.h"
#include "ui/wx/layout_builder.h"
#include "ui/wx/path_drop.h"
#include "ui/wx/program_icon.h"

#include <wx/button.h>
#include <wx/spinctrl.h>
#include <wx/textctrl.h>
#include <wx/window.h>

#include <gtk/gtk.h>

#include <cstdint>

// The system menu, minimising and the Close box are the toolkit's own, and so
// is painting: the window icon stands for the window wherever it is small.
wxBEGIN_EVENT_TABLE(CVeltraneDlg, wxDialog)
    EVT_LEFT_DOWN(CVeltraneDlg::OnLButtonDown)
    EVT_BUTTON(IDC_ENCRYPT, CVeltraneDlg::OnEncrypt)
    EVT_BUTTON(IDC_DECRYPT, CVeltraneDlg::OnDecrypt)
    EVT_CHECKBOX(IDC_READ_ONLY, CVeltraneDlg::OnReadOnly)
    EVT_BUTTON(IDC_BROWSE_FILE, CVeltraneDlg::OnBrowseFile)
    EVT_BUTTON(IDC_BROWSE_KEY, CVeltraneDlg::OnBrowseKey)
    EVT_TEXT(IDC_OFFSET, CVeltraneDlg::OnChangeOffset)
    EVT_TEXT(IDC_FILE_PATH, CVeltraneDlg::OnChangePath)
    EVT_TEXT(IDC_KEY_PATH, CVeltraneDlg::OnChangePath)
    EVT_INIT_DIALOG(CVeltraneDlg::OnInitDialog)
    EVT_CHAR_HOOK(CVeltraneDlg::OnCharHook)
    EVT_BUTTON(wxID_OK, CVeltraneDlg::OnOK)
    EVT_BUTTON(wxID_CANCEL, CVeltraneDlg::OnCancel)
    EVT_CLOSE(CVeltraneDlg::OnClose)
wxEND_EVENT_TABLE()

namespace {

// The spin control reads its text as the commands read the offset, not as
// GTK reads a number ("12abc" as 12, "1e2" as 100): an unsigned number, or
// 0; from 2^31 up it reads as negative, which the control holds at 0, as
// leaving the field does.
gint ReadOffset(GtkSpinButton* spin, gdouble* value, gpointer)
{
    *value = static_cast<std::int32_t>(ui::ReadUnsignedText(gtk_entry_get_text(GTK_ENTRY(spin))));
    return TRUE;
}

}  // namespace

// The handlers are the toolkit-free ones; the dialog's own code only turns
// the toolkit's events into their calls.
CVeltraneDlg::CVeltraneDlg(wxWindow* parent, platform::ReportSink& reports)
    : CVeltraneDlgLogic(m_ops), m_ops(*this, reports)
{
    const res::DialogLayout& layout = res::MainDialogLayout();
    // No resize border: the layout is fixed. Without a parent the window has
    // its own task-bar entry.
    Create(parent, IDD_VELTRANE_DIALOG, wxString::FromUTF8(layout.caption), wxDefaultPosition, wxDefaultSize,
           wxCAPTION | wxSYSTEM_MENU | wxMINIMIZE_BOX | wxCLOSE_BOX);
    // The theme draws the background, as it would anyway with no one erasing
    // it; the toolkit then skips setting up a drawing context, with the
    // theme's font and colours looked up afresh, at every repaint (each
    // progress line repaints).
    SetBackgroundStyle(wxBG_STYLE_SYSTEM);
    const std::vector<PlacedControl> controls = BuildControls(this, layout);
    for (const PlacedControl& control : controls) {
        // A press anywhere in the icon's frame, edges included, opens the
        // About box.
        if (control.layout->kind == res::ControlKind::RaisedFrame)
            m_iconFrame = control.window;
        if (control.layout->kind == res::ControlKind::RaisedFrame ||
            control.layout->kind == res::ControlKind::StaticIcon) {
            control.window->Bind(wxEVT_LEFT_DOWN, &CVeltraneDlg::OnIconPressed, this);
            control.window->Bind(wxEVT_LEFT_DCLICK, &CVeltraneDlg::OnIconPressed, this);
        }
    }
    DescribeForScreenReaders(controls);
    if (auto* offset = wxDynamicCast(FindWindow(IDC_OFFSET), wxSpinCtrl)) {
        offset->SetRange(0, kHighestOffset);
        // Any text may be typed, as into any field; it is read as a number
        // only when used, by this reader, connected after the toolkit's own
        // so that it has the last word.
        gtk_spin_button_set_numeric(GTK_SPIN_BUTTON(offset->GetHandle()), FALSE);
        g_signal_connect(offset->GetHandle(), "input", G_CALLBACK(ReadOffset), nullptr);
        // A held arrow or key steps one by one, as it does on Windows,
        // rather than faster and faster.
        g_object_set(offset->GetHandle(), "climb-rate", 0.0, nullptr);
        offset->Bind(wxEVT_KILL_FOCUS, &CVeltraneDlg::OnKillFocusOffset, this);
        RefuseDrops(offset);
    }
    CentreOnScreen();
    m_hIcon = LoadProgramIcon();

    // A file dropped from a file manager onto either path field fills it.
    for (int id : {IDC_FILE_PATH, IDC_KEY_PATH}) {
        if (auto* field = wxDynamicCast(FindWindow(id), wxTextCtrl))
            field->SetDropTarget(new PathDropTarget(field));
    }
}

void CVeltraneDlg::DescribeForScreenReaders(const std::vector<PlacedControl>& controls)
{
    auto labelled = [&](const char* text) -> wxWindow* {
        for (const PlacedControl& control : controls) {
            if (control.layout->kind == res::ControlKind::StaticText && control.layout->text &&
                std::string(control.layout->text) == text)
                return control.window;
        }
        return nullptr;
    };
    // The two Browse buttons look alike, so their names tell them apart; a
    // field is named after its label.
    const res::SpokenNames names = res::MainDialogSpokenNames();
    for (std::size_t i = 0; i < names.count; ++i) {
        const res::SpokenName& spoken = names.names[i];
        wxWindow* control = FindWindow(spoken.id);
        ui::SetAccessibleName(control, wxString::FromUTF8(spoken.name));
        if (spoken.label)
            ui::RelateLabel(labelled(spoken.label), control);
    }
    for (const PlacedControl& control : controls) {
        if (control.layout->kind == res::ControlKind::StaticIcon)
            ui::SetAccessibleName(control.window, wxString::FromUTF8(platform::Tr("About Veltrane")),
                                  wxString::FromUTF8(platform::Tr("A click here or F1 opens the About box.")));
    }
    for (const PlacedControl& control : controls) {
        if (wxDynamicCast(control.window, wxButton))
            ui::PressAfterTheRequest(control.window);
    }
    ui::AddPassProgress(this);
}

void CVeltraneDlg::OpenAboutBox() { OnIconPress(); }

void CVeltraneDlg::OnInitDialog(wxInitDialogEvent& event)
{
    event.Skip();  // the toolkit's own initialisation first
    SetIcons(m_hIcon);
    CVeltraneDlgLogic::OnInitDialog();
    // The focus starts on the first tab stop, the first Browse button; left
    // to itself the toolkit would prefer the first text field.
    if (wxWindow* first = FindWindow(IDC_BROWSE_FILE))
        first->SetFocus();
    // Once the window shows, so that a refusal's box stands over it.
    CallAfter([this] { OpenStartFiles(); });
}

wxRect CVeltraneDlg::IconFrame() const { return m_iconFrame ? m_iconFrame->GetRect() : wxRect(); }

void CVeltraneDlg::OnLButtonDown(wxMouseEvent& event)
{
    if (IconFrame().Contains(event.GetPosition()))
        OnIconPress();
    event.Skip();
}

void CVeltraneDlg::OnIconPressed(wxMouseEvent& WXUNUSED(event)) { OnIconPress(); }

void CVeltraneDlg::OnBrowseFile(wxCommandEvent& WXUNUSED(event)) { CVeltraneDlgLogic::OnBrowseFile(); }

void CVeltraneDlg::OnBrowseKey(wxCommandEvent& WXUNUSED(event)) { CVeltraneDlgLogic::OnBrowseKey(); }

void CVeltraneDlg::OnChangePath(wxCommandEvent& event)
{
    // The field shows only part of a long path; the whole of it is a hover
    // away.
    if (auto* field = wxDynamicCast(event.GetEventObject(), wxWindow)) {
        if (event.GetString().empty())
            field->UnsetToolTip();
        else
            field->SetToolTip(event.GetString());
    }
    event.Skip();
}

void CVeltraneDlg::OnEncrypt(wxCommandEvent& WXUNUSED(event)) { CVeltraneDlgLogic::OnEncrypt(); }

void CVeltraneDlg::OnDecrypt(wxCommandEvent& WXUNUSED(event)) { CVeltraneDlgLogic::OnDecrypt(); }

void CVeltraneDlg::OnReadOnly(wxCommandEvent& WXUNUSED(event)) { CVeltraneDlgLogic::OnReadOnly(); }

void CVeltraneDlg::OnChangeOffset(wxCommandEvent& WXUNUSED(event)) { CVeltraneDlgLogic::OnChangeOffset(); }

void CVeltraneDlg::OnKillFocusOffset(wxFocusEvent& event)
{
    event.Skip();  // the field's own handling of the focus goes on
    CVeltraneDlgLogic::OnKillFocusOffset();
}

void CVeltraneDlg::OnCharHook(wxKeyEvent& event)
{
    // The dialog has no OK or Cancel button, yet Enter (anywhere but on a push
    // button, which it presses) is the OK command and Escape the Cancel
    // command: both end the dialog, and with it the program.
    const int key = event.GetKeyCode();
    if (key == WXK_F1 && event.GetModifiers() == wxMOD_NONE) {
        OpenAboutBox();
        return;
    }
    int command = wxID_NONE;
    if (key == WXK_ESCAPE && event.GetModifiers() == wxMOD_NONE) {
        command = wxID_CANCEL;
    } else if (key == WXK_RETURN || key == WXK_NUMPAD_ENTER) {
        if (!wxDynamicCast(event.GetEventObject(), wxButton))
            command = wxID_OK;
    }
    if (command == wxID_NONE) {
        event.Skip();
        return;
    }
    wxCommandEvent commandEvent(wxEVT_BUTTON, command);
    commandEvent.SetEventObject(this);
    ProcessWindowEvent(commandEvent);
}

void CVeltraneDlg::OnOK(wxCommandEvent& WXUNUSED(event)) { CVeltraneDlgLogic::OnOK(); }

void CVeltraneDlg::OnCancel(wxCommandEvent& WXUNUSED(event)) { CVeltraneDlgLogic::OnCancel(); }

void CVeltraneDlg::OnClose(wxCloseEvent& event)
{
    if (event.CanVeto() && OnCloseDuringPass()) {
        event.Veto();
        return;
    }
    event.Skip();
}
