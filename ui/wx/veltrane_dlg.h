// The main window: the file to change, the key file, the offset and the two
// commands.
#pragma once

#include "ui/wx/window_ops.h"
#include "ui/dialog_logic.h"

#include <wx/dialog.h>
#include <wx/iconbndl.h>

#include <vector>

struct PlacedControl;

class CVeltraneDlg : public wxDialog, public CVeltraneDlgLogic {
public:
    // A pass's reports go to `reports` on the window thread.
    CVeltraneDlg(wxWindow* parent, platform::ReportSink& reports);

    wxIconBundle m_hIcon;

    // Where a press opens the About box, in client coordinates.
    wxRect IconFrame() const;

private:
    ui::WxDialogOps m_ops;
    // The frame around the icon.
    wxWindow* m_iconFrame = nullptr;

    void DescribeForScreenReaders(const std::vector<PlacedControl>& controls);
    // By a press on the icon or by F1.
    void OpenAboutBox();

    void OnLButtonDown(wxMouseEvent& event);
    void OnIconPressed(wxMouseEvent& event);
    void OnEncrypt(wxCommandEvent& event);
    void OnDecrypt(wxCommandEvent& event);
    void OnReadOnly(wxCommandEvent& event);
    void OnBrowseFile(wxCommandEvent& event);
    void OnBrowseKey(wxCommandEvent& event);
    void OnChangeOffset(wxCommandEvent& event);
    void OnChangePath(wxCommandEvent& event);
    void OnKillFocusOffset(wxFocusEvent& event);
    void OnInitDialog(wxInitDialogEvent& event);
    void OnCharHook(wxKeyEvent& event);
    void OnOK(wxCommandEvent& event);
    void OnCancel(wxCommandEvent& event);
    void OnClose(wxCloseEvent& event);

    wxDECLARE_EVENT_TABLE();
};
