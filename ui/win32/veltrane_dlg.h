// The main window on the Win32 API: the file to change, the key file, the
// offset and the two commands. The handlers are the shared ones
// (ui/dialog_logic.h); the class routes messages to them.
#pragma once

#include "res/layout.h"
#include "ui/dialog_logic.h"
#include "ui/win32/sinks.h"
#include "ui/win32/window_ops.h"

#include <windows.h>

#include <vector>

class CVeltraneDlg : public CVeltraneDlgLogic {
public:
    explicit CVeltraneDlg(HWND parent = nullptr);
    INT_PTR DoModal();

    HICON m_hIcon;

private:
    ui::Win32Reports m_reports;
    ui::Win32DialogOps m_ops{m_reports};
    HWND m_parent;
    // The whole path of each path field, where the field shows its end.
    HWND m_pathTips = nullptr;
    // The controls where the dialog puts them, in dialog units.
    std::vector<res::ControlLayout> m_placed;

    BOOL OnInitDialog(WPARAM, LPARAM);
    BOOL OnPaint(WPARAM, LPARAM);
    BOOL OnQueryDragIcon(WPARAM, LPARAM);
    BOOL OnLButtonDown(WPARAM, LPARAM);
    BOOL OnVScroll(WPARAM, LPARAM);
    BOOL OnHelp(WPARAM, LPARAM);
    BOOL OnClose(WPARAM, LPARAM);
    BOOL OnEndSession(WPARAM, LPARAM);
    BOOL OnOpenStartFiles(WPARAM, LPARAM);
    BOOL OnDropFiles(WPARAM, LPARAM);
    BOOL OnChangePath(WPARAM, LPARAM);
    void AddPathTips();

    // One line of the message table: a window message handled here, or a
    // command or notification from one control handled by the shared code.
    struct MessageEntry {
        UINT message;
        int id;
        UINT code;
        BOOL (CVeltraneDlg::*onMessage)(WPARAM, LPARAM);
        void (CVeltraneDlgLogic::*onCommand)();
    };
    static const MessageEntry kMessageMap[];
    static INT_PTR CALLBACK DialogProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
    static LRESULT CALLBACK OffsetFieldProc(HWND field, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR,
                                            DWORD_PTR);
};
