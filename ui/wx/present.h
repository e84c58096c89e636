// Bringing a window the user must answer in front of whatever they are
// doing elsewhere on the desktop.
#pragma once

class wxTopLevelWindow;

namespace ui {

// Once `box` appears it is raised and given the keyboard, even when another
// program's window was active when it opened: a window manager that guards
// against focus stealing would otherwise map it beneath that window, where
// nobody sees it. The main window, when not active itself, also asks the
// desktop for the user's attention until `box` has the keyboard or is gone.
class PresentOnShow {
public:
    explicit PresentOnShow(wxTopLevelWindow& box);
    ~PresentOnShow();
    PresentOnShow(const PresentOnShow&) = delete;
    PresentOnShow& operator=(const PresentOnShow&) = delete;

private:
    wxTopLevelWindow& m_box;
    unsigned long m_mapped = 0;
    unsigned long m_focused = 0;
    wxTopLevelWindow* m_urgent = nullptr;
};

}  // namespace ui
