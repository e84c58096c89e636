// The windows on USER32 and comdlg32: dialogs built from the layout tables,
// notices as message boxes, the pass beside a live window, and the window
// operations the dialog handlers use.
#pragma once

#include "ui/pass_runner.h"
#include "ui/texts.h"
#include "ui/window_ops.h"
#include "res/layout.h"

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

namespace ui {

// An in-memory DLGTEMPLATEEX for `layout`, in the system's dialog face;
// `main` gives the main window's styles (visible, centred, minimise box, own
// task-bar button), otherwise the About box's. Static icons show icon
// resource `iconId`. Every text's control takes the room its text needs in
// that face, and the controls around it and the dialog make way (see
// ui::FitToTexts); `placed` holds the controls where they are put.
std::vector<WORD> BuildDialogTemplate(const res::DialogLayout& layout, bool main, int iconId,
                                      std::vector<res::ControlLayout>& placed);

// Runs `work` through `runner` on a thread of its own while `window` stays
// alive: it paints, what the work reports is shown on this thread in order
// (see ui::PassRunner::Run), and input for `window` is dropped, except Escape and the
// Close box, which call `onStop`. Where no thread can be started,
// `notStarted` runs instead and gives the result.
int RunWhileWindowLives(HWND window, ui::PassRunner& runner, const std::function<int()>& work,
                        const std::function<void()>& onStop, const std::function<int()>& notStarted);

// `text` with every word wider than `maxWidth` pixels in `font` broken into
// lines that fit: after a path separator where one falls in the line's
// second half, else at the last character that fits. Spaces and the
// program's own words are left as they are.
std::wstring BreakLongWords(const std::wstring& text, HFONT font, int maxWidth);

// The widest line a notice or a tooltip shows: two thirds of the work area
// of the monitor `window` is on (the primary one without a window).
int LongestLine(HWND window);

// Notices as MessageBoxW, titles on the main window.
class Win32Reports : public ReportView {
public:
    void ShowBox(const NoticeWords& words) override;
    void ShowTitle(const std::string& text, int percent) override;
    HWND mainWindow = nullptr;
};

// The operations on a dialog's items, found by their identifiers.
class Win32DialogOps : public ui::WindowOps {
public:
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
    // Carries the pass's reports to whatever shows them while the dialog
    // lives.
    ui::PassRunner m_runner;
    HWND m_focused = nullptr;
};

}  // namespace ui
