// The window operations on wxWidgets, for a dialog whose items are found by
// their identifiers. The file chooser and the About box belong to the
// dialog that derives from this.
#pragma once

#include "ui/pass_runner.h"
#include "ui/window_ops.h"

class wxDialog;
class wxWindow;

namespace ui {

class WxDialogOps : public ui::WindowOps {
public:
    explicit WxDialogOps(wxDialog& dialog) : m_dialog(dialog) {}

    std::string ItemText(int id) const override;
    void SetItemText(int id, const std::string& text) override;
    void EnableItem(int id, bool enable) override;
    void SetWindowTitle(const std::string& text) override;
    int RunPass(const std::function<int()>& work, const std::function<void()>& onStop,
                const std::function<int()>& notStarted) override;
    void EndDialog(int result) override;
    void FocusItem(int id) override;
    void SaveFocus() override;
    void RestoreFocus() override;

protected:
    wxDialog& m_dialog;

private:
    // Carries the pass's reports to whatever shows them while the dialog
    // lives.
    ui::PassRunner m_runner;
    wxWindow* m_focused = nullptr;
};

}  // namespace ui
