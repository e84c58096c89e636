// The window side of the platform layer on USER32 and comdlg32: dialogs
// built from the layout tables, notices as message boxes, the pass beside a
// live window, and the window operations the dialog handlers use.
#pragma once

#include "platform/notice.h"
#include "platform/window_ops.h"
#include "res/layout.h"

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

namespace platform {

// An in-memory DLGTEMPLATEEX for `layout`; `main` gives the main window's
// styles (visible, centred, minimise box, own task-bar button), otherwise
// the About box's. Static icons show icon resource `iconId`. The dialog is
// drawn in `face`, or else in the face ChooseDialogFace picks for both
// dialogs: from DialogFaces(), else from those and OtherDialogFaces().
std::vector<WORD> BuildDialogTemplate(const res::DialogLayout& layout, bool main, int iconId);
std::vector<WORD> BuildDialogTemplate(const res::DialogLayout& layout, bool main, int iconId,
                                      const std::wstring& face);

// The faces the dialogs are best drawn in, best first, the system's dialog
// face last.
std::vector<std::wstring> DialogFaces();

// The other installed faces that may suit a dialog, by name: the sans-serif
// ones, then those that don't say how they look. Serif, script, decorative,
// symbol and fixed-pitch faces are left out.
std::vector<std::wstring> OtherDialogFaces();

// The first of `faces` that is installed and in which every static text of
// `layouts` fits its box (`fits`), measured as the dialog would be laid out
// in it; failing that, the face that clips the least, the earlier one of
// equals. The system's dialog face counts as installed. Never fails: with
// nothing to measure, the first of `faces`.
struct DialogFaceChoice {
    std::wstring face;
    bool fits;
};
DialogFaceChoice ChooseDialogFace(const std::vector<const res::DialogLayout*>& layouts,
                                  const std::vector<std::wstring>& faces);

// Runs `work` on a thread of its own while `window` stays alive: it paints,
// notices and title changes raised by the work are carried out on this
// thread in order, and input for `window` is dropped, except Escape and the
// Close box, which call `onStop`. Where no thread can be started,
// `notStarted` runs instead and gives the result.
int RunWhileWindowLives(HWND window, const std::function<int()>& work,
                        const std::function<void()>& onStop, const std::function<int()>& notStarted);

// `text` with every word wider than `maxWidth` pixels in `font` broken into
// lines that fit: after a path separator where one falls in the line's
// second half, else at the last character that fits. Spaces and the
// program's own words are left as they are.
std::wstring BreakLongWords(const std::wstring& text, HFONT font, int maxWidth);

// The widest line a notice or a tooltip shows: two thirds of the work area
// of the monitor `window` is on (the primary one without a window).
int LongestLine(HWND window);

// Notices as MessageBoxW, title changes on the main window; installed for
// the object's lifetime.
class Win32Sinks : public NoticeSink, public TitleSink {
public:
    Win32Sinks();
    ~Win32Sinks() override;
    Win32Sinks(const Win32Sinks&) = delete;
    Win32Sinks& operator=(const Win32Sinks&) = delete;
    void Show(const std::string& text, const std::string& caption, NoticeIcon icon,
              NoticeOwner owner) override;
    void SetTitle(const std::string& text) override;
    HWND mainWindow = nullptr;

private:
    NoticeSink* m_previousNotices;
    TitleSink* m_previousTitle;
};

// The operations on a dialog's items, found by their identifiers; the About
// box is the dialog's own.
class Win32DialogOps : public WindowOps {
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
    void SaveFocus() override;
    void RestoreFocus() override;

private:
    HWND m_focused = nullptr;
};

}  // namespace platform
