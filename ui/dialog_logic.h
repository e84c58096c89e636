// The main dialog's handlers, written once for every window toolkit: they
// reach the window only through ui::WindowOps. Each toolkit's
// CVeltraneDlg derives from this and routes its events here.
#pragma once

#include "platform/notice.h"

#include <optional>
#include <string>
#include <vector>

namespace ui {
class WindowOps;
}

// One item of a drop on a path field: the path this machine opens it by or,
// for a file of another machine, the name its source gave it.
struct DroppedItem {
    std::string path;
    bool local = true;
};
// Why a drop can't fill a path field (several items, another machine's file,
// a folder), the same on every toolkit; nullopt when it can. With
// `atStart`, the same refusal of the files the program was started with,
// in words of their own: nothing was dropped.
std::optional<platform::Notice> DropRefusal(const std::vector<DroppedItem>& items, bool atStart = false);

class CVeltraneDlgLogic {
public:
    explicit CVeltraneDlgLogic(ui::WindowOps& window) : m_window(window) {}
    virtual ~CVeltraneDlgLogic() = default;

    // The offset as last read from or written to the offset field; a request
    // goes ahead only with 0 to kHighestOffset.
    static constexpr int kHighestOffset = 255;
    int m_nOffset = 0;
    // 1 when a request marks the key file read-only; follows the check box.
    int m_bReadOnly = 0;
    // The paths as read at the last command.
    std::string m_szKey;
    std::string m_szFile;

    // What the offset arrows report.
    enum class Scroll { LineUp, LineDown, EndScroll, Other };

    void OnInitDialog();
    void OnEncrypt();
    void OnDecrypt();
    void OnReadOnly();
    void OnBrowseFile();
    void OnBrowseKey();
    void OnVScroll(Scroll code);
    // A key pressed without modifiers in the offset field. Up and Down are
    // its arrows (the arrows themselves take no focus): exactly what a click
    // on one does, the step and then the release. True when the key was
    // taken.
    enum class OffsetKey { Up, Down, Other };
    bool OnOffsetKey(OffsetKey key);
    void OnChangeOffset();
    void OnKillFocusOffset();
    // A press over the icon's frame.
    void OnIconPress();
    void OnOK();
    void OnCancel();
    // The Close box: true when the window must stay until the running pass
    // has stopped.
    bool OnCloseDuringPass();

    bool PassRunning() const { return m_bPassRunning; }

    // The files the program was started with (a file manager's "Open With"),
    // as absolute paths; OpenStartFiles() takes them once the window shows.
    // One file fills the file field, as after a Browse, and the keyboard
    // goes to the key field; several, or a folder, are refused as a drop of
    // them is, and the field stays empty.
    std::vector<std::string> m_startFiles;
    void OpenStartFiles();

private:
    // Holds the offset within 0 to 255.
    void ClampOffset();
    // Encrypt and Decrypt: one request with the fields as they are now.
    void RunRequest(int direction);
    // Escape or the Close box while a pass runs: the pass stops at its next
    // block, then the dialog ends.
    void StopPassAndClose();
    void BrowseInto(int id);

    // What a pass changes in the window (the commands locked, the running
    // state), put back however the pass ends.
    class PassScope {
    public:
        explicit PassScope(CVeltraneDlgLogic& dialog);
        ~PassScope();
        PassScope(const PassScope&) = delete;
        PassScope& operator=(const PassScope&) = delete;

    private:
        CVeltraneDlgLogic& m_dialog;
    };

    ui::WindowOps& m_window;
    bool m_bPassRunning = false;
    bool m_bCloseAfterPass = false;
};
