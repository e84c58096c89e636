// What the dialogs' handlers may do to their window, and nothing more: each
// window toolkit implements these operations once, and the handlers, written
// once, run on any of them. Notices go through platform/notice.h, which
// each toolkit's PassRunner carries to the window.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

namespace ui {

// How a dialog ends, in the customary numbering of dialog results.
constexpr int kDialogOk = 1;
constexpr int kDialogCancel = 2;

class WindowOps {
public:
    virtual ~WindowOps() = default;

    // An item's text, in the encoding the engine takes paths in (the file
    // system's on Linux, UTF-8 on Windows); an item that isn't there reads
    // as empty and ignores writes.
    virtual std::string ItemText(int id) const = 0;
    // Every write raises the item's change notification, as typing would.
    virtual void SetItemText(int id, const std::string& text) = 0;
    // The text as an unsigned decimal number, as ReadUnsignedText reads it.
    std::uint32_t ItemNumber(int id) const;
    void SetItemNumber(int id, unsigned value);
    virtual void EnableItem(int id, bool enable) = 0;
    virtual void SetWindowTitle(const std::string& text) = 0;

    // The Open dialog: nonzero with the chosen path in `path`; zero when
    // cancelled or failed (after its own notice).
    virtual int ChooseFile(std::string& path) = 0;
    // A chosen path put into a path field; a toolkit may scroll its end,
    // the file name, into view.
    virtual void ShowPath(int id, const std::string& path) { SetItemText(id, path); }

    // Runs `work` while the window stays alive: it repaints, drops input, and
    // calls `onStop` when asked to close. Returns the work's result, or that
    // of `notStarted` when the work could not be started.
    virtual int RunPass(const std::function<int()>& work, const std::function<void()>& onStop,
                        const std::function<int()>& notStarted) = 0;
    // The About box, modally.
    virtual void RunAboutBox() = 0;
    virtual void EndDialog(int result) = 0;

    // Gives the item the keyboard focus.
    virtual void FocusItem(int id) = 0;
    // Disabling the control that has the focus leaves the window with none;
    // these keep it across a pass.
    virtual void SaveFocus() {}
    virtual void RestoreFocus() {}
};

// The text as an unsigned decimal number: blanks around the digits are
// allowed; a sign, any other character, no digits at all or a value above
// 4294967295 read as 0.
std::uint32_t ReadUnsignedText(const std::string& text);

}  // namespace ui
