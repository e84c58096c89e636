// Identifiers of the dialogs, the icon and the controls, shared by the layout
// tables, the dialogs and the tests.
#pragma once

// Dialogs and the icon.
constexpr int IDD_ABOUTBOX = 100;
constexpr int IDD_VELTRANE_DIALOG = 102;
constexpr int IDR_MAINFRAME = 128;

// Controls of the main dialog.
constexpr int IDC_FILE_PATH = 1000;
constexpr int IDC_KEY_PATH = 1001;
constexpr int IDC_OFFSET = 1002;
constexpr int IDC_OFFSET_ARROWS = 1003;
constexpr int IDC_BROWSE_FILE = 1004;
constexpr int IDC_BROWSE_KEY = 1005;
constexpr int IDC_READ_ONLY = 1006;
constexpr int IDC_ENCRYPT = 1007;
constexpr int IDC_DECRYPT = 1010;

// The dialog's own OK command; the builder gives the button the toolkit's OK
// identifier so that the standard handling closes the dialog.
constexpr int IDOK_COMMAND = 1;

// Controls that nothing refers to.
constexpr int IDC_STATIC = -1;
