// The About box: name, version, authors, and the warning that the program
// changes files for good.
#pragma once

#include <windows.h>

class CAboutDlg {
public:
    explicit CAboutDlg(HWND owner = nullptr) : m_owner(owner) {}
    INT_PTR DoModal();

private:
    // OK, Enter, Escape and the Close box close it; nothing else is handled.
    static INT_PTR CALLBACK DialogProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
    HWND m_owner;
};
