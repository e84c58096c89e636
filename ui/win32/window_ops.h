// The window operations on the Win32 API, for a dialog whose items are
// found by their identifiers, with the system's Open dialog and the About
// box.
#pragma once

#include "ui/pass_runner.h"
#include "ui/window_ops.h"

#include <windows.h>

namespace ui {

class Win32DialogOps : public ui::WindowOps {
public:
    // A pass's reports go to `view` on the window thread.
    explicit Win32DialogOps(platform::ReportSink& view) : m_runner(view) {}

    HWND hwnd = nullptr;

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
    ui::PassRunner m_runner;
    HWND m_focused = nullptr;
};

}  // namespace ui
