// The main window: the file to change, the key file, the offset and the two
// commands.
#pragma once

#include <wx/dialog.h>
#include <wx/iconbndl.h>

#include <vector>

struct PlacedControl;

class CVeltraneDlg : public wxDialog {
public:
    explicit CVeltraneDlg(wxWindow* parent = nullptr);

    // The offset as last read from or written to the offset field; a request
    // goes ahead only with 0 to 255.
    int m_nOffset = 0;
    // 1 when a request marks the key file read-only; follows the check box.
    int m_bReadOnly = 0;
    // The paths as read at the last command.
    wxString m_szKey;
    wxString m_szFile;
    wxIconBundle m_hIcon;

    // Where a press opens the About box, in client coordinates.
    const wxRect& IconFrame() const { return m_iconFrame; }

private:
    // Holds the offset within 0 to 255.
    void ClampOffset();
    // The frame around the icon, where a press opens the About box.
    wxRect m_iconFrame;

    void DescribeForScreenReaders(const std::vector<PlacedControl>& controls);
    // By a press on the icon or by F1.
    void OpenAboutBox();
    // Up and Down in the offset field: the arrows' own step.
    void StepOffset(bool up);

    // Encrypt and Decrypt: one request with the fields as they are now.
    void RunRequest(int direction);
    // Escape or the Close box while a pass runs: the pass stops at its next
    // block, then the dialog ends.
    void StopPassAndClose();
    bool m_bPassRunning = false;
    bool m_bCloseAfterPass = false;

    wxString ItemText(int id) const;
    void SetItemText(int id, const wxString& text);
    void SetItemUnsigned(int id, unsigned value);
    void EnableItem(int id, bool enable);

    void OnLButtonDown(wxMouseEvent& event);
    void OnEncrypt(wxCommandEvent& event);
    void OnDecrypt(wxCommandEvent& event);
    void OnReadOnly(wxCommandEvent& event);
    void OnBrowseFile(wxCommandEvent& event);
    void OnBrowseKey(wxCommandEvent& event);
    void OnVScroll(wxScrollEvent& event);
    void OnChangeOffset(wxCommandEvent& event);
    void OnChangePath(wxCommandEvent& event);
    void OnKillFocusOffset(wxCommandEvent& event);
    void OnInitDialog(wxInitDialogEvent& event);
    void OnCharHook(wxKeyEvent& event);
    void OnOK(wxCommandEvent& event);
    void OnCancel(wxCommandEvent& event);
    void OnClose(wxCloseEvent& event);

    wxDECLARE_EVENT_TABLE();
};
