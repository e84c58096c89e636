// The window operations on wxWidgets, for a dialog whose items are found by
// their identifiers, with the toolkit's file chooser and the About box.
#pragma once

#include "ui/pass_runner.h"
#include "ui/window_ops.h"

#include <wx/string.h>

class wxDialog;
class wxWindow;

namespace ui {

class WxDialogOps : public ui::WindowOps {
public:
    // A pass's reports go to `view` on the window thread.
    WxDialogOps(wxDialog& dialog, platform::ReportSink& view) : m_dialog(dialog), m_runner(view) {}

    std::string ItemText(int id) const override;
    void SetItemText(int id, const std::string& text) override;
    void EnableItem(int id, bool enable) override;
    void SetWindowTitle(const std::string& text) override;
    int ChooseFile(std::string& path) override;
    void ShowPath(int id, const std::string& path) override;
    int RunPass(const std::function<int()>& work, const std::function<void()>& onStop,
                const std::function<int()>& notStarted) override;
    void EndDialog(int result) override;
    void FocusItem(int id) override;
    void SaveFocus() override;
    void RestoreFocus() override;
    void RunAboutBox() override;

private:
    wxDialog& m_dialog;
    // The chooser's own string, so that a path shows exactly as chosen.
    wxString m_chosen;
    ui::PassRunner m_runner;
    wxWindow* m_focused = nullptr;
};

}  // namespace ui
