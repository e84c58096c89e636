#include "ui/veltrane_dlg.h"

#include "engine/cipher.h"
#include "platform/cancel.h"
#include "platform/wx/accessible.h"
#include "platform/wx/narrow.h"
#include "platform/wx/pass_loop.h"
#include "res/layout.h"
#include "res/resource.h"
#include "ui/about_dlg.h"
#include "ui/file_chooser.h"
#include "ui/layout_builder.h"
#include "ui/number_text.h"
#include "ui/path_drop.h"
#include "ui/program_icon.h"

#include <wx/button.h>
#include <wx/textctrl.h>
#include <wx/window.h>

namespace {

// Disabled for the length of a pass and enabled again after it, in this
// order: everything that could start a second request or change a path.
const int kPassButtons[] = {IDC_ENCRYPT, IDC_DECRYPT, IDC_BROWSE_FILE, IDC_BROWSE_KEY};

const char kIdleTitle[] = "Veltrane";

// What a screen reader says for each control: the two Browse buttons look
// alike, so their names tell them apart; a field is named after its label.
struct SpokenName {
    int id;
    const char* name;
    const char* label;  // the static text that describes it, if any
};
const SpokenName kSpokenNames[] = {
    {IDC_FILE_PATH, "File to encrypt", "File to encrypt"},
    {IDC_KEY_PATH, "Key file", "Key file"},
    {IDC_OFFSET, "Offset", "Offset"},
    {IDC_BROWSE_FILE, "Browse for the file to encrypt", nullptr},
    {IDC_BROWSE_KEY, "Browse for the key file", nullptr},
    {IDC_OFFSET_ARROWS, "Offset up and down", nullptr},
};

}  // namespace

// The system menu, minimising and the Close box are the toolkit's own, and so
// is painting: the window icon stands for the window wherever it is small.
wxBEGIN_EVENT_TABLE(CVeltraneDlg, wxDialog)
    EVT_LEFT_DOWN(CVeltraneDlg::OnLButtonDown)
    EVT_BUTTON(IDC_ENCRYPT, CVeltraneDlg::OnEncrypt)
    EVT_BUTTON(IDC_DECRYPT, CVeltraneDlg::OnDecrypt)
    EVT_CHECKBOX(IDC_READ_ONLY, CVeltraneDlg::OnReadOnly)
    EVT_BUTTON(IDC_BROWSE_FILE, CVeltraneDlg::OnBrowseFile)
    EVT_BUTTON(IDC_BROWSE_KEY, CVeltraneDlg::OnBrowseKey)
    EVT_COMMAND_SCROLL(IDC_OFFSET_ARROWS, CVeltraneDlg::OnVScroll)
    EVT_TEXT(IDC_OFFSET, CVeltraneDlg::OnChangeOffset)
    EVT_TEXT(IDC_FILE_PATH, CVeltraneDlg::OnChangePath)
    EVT_TEXT(IDC_KEY_PATH, CVeltraneDlg::OnChangePath)
    EVT_COMMAND(IDC_OFFSET, VT_EVT_FIELD_KILL_FOCUS, CVeltraneDlg::OnKillFocusOffset)
    EVT_INIT_DIALOG(CVeltraneDlg::OnInitDialog)
    EVT_CHAR_HOOK(CVeltraneDlg::OnCharHook)
    EVT_BUTTON(wxID_OK, CVeltraneDlg::OnOK)
    EVT_BUTTON(wxID_CANCEL, CVeltraneDlg::OnCancel)
    EVT_CLOSE(CVeltraneDlg::OnClose)
wxEND_EVENT_TABLE()

CVeltraneDlg::CVeltraneDlg(wxWindow* parent)
{
    const res::DialogLayout& layout = res::MainDialogLayout();
    // No resize border: the layout is fixed. Without a parent the window has
    // its own task-bar entry.
    Create(parent, IDD_VELTRANE_DIALOG, wxString::FromUTF8(layout.caption), wxDefaultPosition,
           wxDefaultSize, wxCAPTION | wxSYSTEM_MENU | wxMINIMIZE_BOX | wxCLOSE_BOX);
    const std::vector<PlacedControl> controls = BuildControls(this, layout);
    for (const PlacedControl& control : controls) {
        if (control.layout->kind == res::ControlKind::RaisedFrame)
            m_iconFrame = control.rect;
    }
    DescribeForScreenReaders(controls);
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
    for (const SpokenName& spoken : kSpokenNames) {
        wxWindow* control = FindWindow(spoken.id);
        platform::SetAccessibleName(control, wxString::FromUTF8(spoken.name));
        if (spoken.label)
            platform::RelateLabel(labelled(spoken.label), control);
    }
    for (const PlacedControl& control : controls) {
        if (control.layout->kind == res::ControlKind::StaticIcon)
            platform::SetAccessibleName(control.window, "About Veltrane",
                                        "A click here or F1 opens the About box.");
    }
}

void CVeltraneDlg::OpenAboutBox()
{
    CAboutDlg about;
    about.ShowModal();
}

void CVeltraneDlg::StepOffset(bool up)
{
    // Exactly what a click on an arrow sends: the step, then the release.
    for (wxEventType type : {up ? wxEVT_SCROLL_LINEUP : wxEVT_SCROLL_LINEDOWN,
                             wxEVT_SCROLL_CHANGED}) {
        wxScrollEvent event(type, IDC_OFFSET_ARROWS, 0, wxVERTICAL);
        event.SetEventObject(FindWindow(IDC_OFFSET_ARROWS));
        ProcessWindowEvent(event);
    }
}

void CVeltraneDlg::OnInitDialog(wxInitDialogEvent& event)
{
    event.Skip();  // the toolkit's own initialisation first
    SetIcons(m_hIcon);
    SetItemUnsigned(IDC_OFFSET, 0);
    m_bReadOnly = 0;
    // The focus starts on the first tab stop, the first Browse button; left
    // to itself the toolkit would prefer the first text field.
    if (wxWindow* first = FindWindow(IDC_BROWSE_FILE))
        first->SetFocus();
}

wxString CVeltraneDlg::ItemText(int id) const
{
    auto* field = wxDynamicCast(FindWindow(id), wxTextCtrl);
    return field ? field->GetValue() : wxString();
}

void CVeltraneDlg::SetItemText(int id, const wxString& text)
{
    // SetValue, not ChangeValue: every write raises the field's change
    // notification, which the offset field relies on.
    if (auto* field = wxDynamicCast(FindWindow(id), wxTextCtrl))
        field->SetValue(text);
}

void CVeltraneDlg::SetItemUnsigned(int id, unsigned value)
{
    SetItemText(id, wxString::Format("%u", value));
}

void CVeltraneDlg::EnableItem(int id, bool enable)
{
    if (wxWindow* item = FindWindow(id))
        item->Enable(enable);
}

void CVeltraneDlg::RunRequest(int direction)
{
    // One pass at a time; the window drops input meanwhile, so this is only
    // a second line of defence.
    if (m_bPassRunning)
        return;
    m_szFile = ItemText(IDC_FILE_PATH);
    m_szKey = ItemText(IDC_KEY_PATH);
    // From 2^31 up the number reads as negative, which the request check
    // refuses like any other offset outside 0 to 255.
    m_nOffset = static_cast<std::int32_t>(ReadUnsignedNumber(ItemText(IDC_OFFSET)));

    if (m_szKey.empty() || m_szFile.empty())
        return;

    const std::string file = platform::ToNarrow(m_szFile);
    const std::string key = platform::ToNarrow(m_szKey);
    if (!ValidateRequest(file, key, m_nOffset, m_bReadOnly))
        return;

    // Disabling the button that has the focus leaves the window with none,
    // and then not even Escape reaches it; the focus goes back afterwards.
    wxWindow* const focused = FindFocus();
    for (int id : kPassButtons)
        EnableItem(id, false);
    // The pass runs beside the window, which stays alive meanwhile; what the
    // user does to it is dropped, except asking it to close.
    const int offset = m_nOffset;
    platform::ResetCancel();
    m_bPassRunning = true;
    platform::RunWhileWindowLives(
        this, [&] { return TransformFile(file, key, offset, direction); },
        [this] { StopPassAndClose(); });
    m_bPassRunning = false;
    SetTitle(kIdleTitle);
    for (int id : kPassButtons)
        EnableItem(id, true);
    // The key and the offset stay for the next file.
    SetItemText(IDC_FILE_PATH, wxString());
    if (focused && focused != FindFocus() && IsDescendant(focused))
        focused->SetFocus();
    // Closing was asked for during the pass; the pass has stopped (its
    // temporary file is gone, the data file as it was) or had already ended.
    if (m_bCloseAfterPass)
        EndDialog(wxID_CANCEL);
}

void CVeltraneDlg::StopPassAndClose()
{
    platform::RequestCancel();
    m_bCloseAfterPass = true;
}

void CVeltraneDlg::OnLButtonDown(wxMouseEvent& event)
{
    // The icon's frame as laid out in this font, edges included.
    if (m_iconFrame.Contains(event.GetPosition()))
        OpenAboutBox();
    event.Skip();
}

void CVeltraneDlg::OnBrowseFile(wxCommandEvent& WXUNUSED(event))
{
    wxString path;
    if (BrowseForFile(wxGetActiveWindow(), path, false))
        ShowPath(wxDynamicCast(FindWindow(IDC_FILE_PATH), wxTextCtrl), path);
}

void CVeltraneDlg::OnBrowseKey(wxCommandEvent& WXUNUSED(event))
{
    wxString path;
    if (BrowseForFile(wxGetActiveWindow(), path, false))
        ShowPath(wxDynamicCast(FindWindow(IDC_KEY_PATH), wxTextCtrl), path);
}

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

void CVeltraneDlg::OnEncrypt(wxCommandEvent& WXUNUSED(event))
{
    RunRequest(kDirectionEncrypt);
}

void CVeltraneDlg::OnDecrypt(wxCommandEvent& WXUNUSED(event))
{
    RunRequest(kDirectionDecrypt);
}

void CVeltraneDlg::OnReadOnly(wxCommandEvent& WXUNUSED(event))
{
    // The box checks itself; the flag follows it click by click.
    m_bReadOnly = m_bReadOnly == 1 ? 0 : 1;
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
    // Up and Down in the offset field are its arrows.
    if ((key == WXK_UP || key == WXK_DOWN) && event.GetModifiers() == wxMOD_NONE &&
        event.GetEventObject() == FindWindow(IDC_OFFSET)) {
        StepOffset(key == WXK_UP);
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

void CVeltraneDlg::OnOK(wxCommandEvent& WXUNUSED(event))
{
    if (!m_bPassRunning)
        EndDialog(wxID_OK);
}

void CVeltraneDlg::OnCancel(wxCommandEvent& WXUNUSED(event))
{
    if (m_bPassRunning)
        StopPassAndClose();
    else
        EndDialog(wxID_CANCEL);
}

void CVeltraneDlg::OnClose(wxCloseEvent& event)
{
    // Ending the dialog in the middle of a pass would leave the pass's loop
    // behind; the pass stops first, and the dialog ends after it.
    if (m_bPassRunning && event.CanVeto()) {
        StopPassAndClose();
        event.Veto();
        return;
    }
    event.Skip();
}
