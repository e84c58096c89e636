#include "ui/win32/veltrane_dlg.h"

#include "res/layout.h"
#include "res/resource.h"
#include "ui/pass_runner.h"
#include "ui/win32/accessible.h"
#include "ui/win32/layout_builder.h"

#include "platform/notice.h"
#include "platform/win32/text.h"

#include <commctrl.h>
#include <objbase.h>
#include <shellapi.h>

#include <optional>
#include <string>
#include <vector>

namespace {

HINSTANCE Instance() { return GetModuleHandleW(nullptr); }

// The frame around the icon in client pixels, where a press opens the
// About box.
RECT IconFrame(HWND dialog, const std::vector<res::ControlLayout>& placed)
{
    for (const res::ControlLayout& c : placed) {
        if (c.kind == res::ControlKind::RaisedFrame) {
            RECT r{c.x, c.y, c.x + c.width, c.y + c.height};
            MapDialogRect(dialog, &r);
            return r;
        }
    }
    return RECT{};
}

// Every name a drop holds, in its order.
std::vector<std::string> DroppedNames(HDROP drop)
{
    std::vector<std::string> names;
    const UINT count = DragQueryFileW(drop, 0xFFFFFFFF, nullptr, 0);
    for (UINT i = 0; i < count; ++i) {
        const UINT length = DragQueryFileW(drop, i, nullptr, 0);
        std::wstring name(static_cast<size_t>(length) + 1, L'\0');
        name.resize(DragQueryFileW(drop, i, &name[0], length + 1));
        names.push_back(platform::Narrow(name));
    }
    return names;
}

}  // namespace

// In the order of the main dialog's table; the system menu, the Close box
// and everything not named here get the dialog's default handling.
const CVeltraneDlg::MessageEntry CVeltraneDlg::kMessageMap[] = {
    {WM_PAINT, 0, 0, &CVeltraneDlg::OnPaint, nullptr},
    {WM_QUERYDRAGICON, 0, 0, &CVeltraneDlg::OnQueryDragIcon, nullptr},
    {WM_LBUTTONDOWN, 0, 0, &CVeltraneDlg::OnLButtonDown, nullptr},
    {WM_COMMAND, IDC_ENCRYPT, BN_CLICKED, nullptr, &CVeltraneDlgLogic::OnEncrypt},
    {WM_COMMAND, IDC_DECRYPT, BN_CLICKED, nullptr, &CVeltraneDlgLogic::OnDecrypt},
    {WM_COMMAND, IDC_READ_ONLY, BN_CLICKED, nullptr, &CVeltraneDlgLogic::OnReadOnly},
    {WM_COMMAND, IDC_BROWSE_FILE, BN_CLICKED, nullptr, &CVeltraneDlgLogic::OnBrowseFile},
    {WM_COMMAND, IDC_BROWSE_KEY, BN_CLICKED, nullptr, &CVeltraneDlgLogic::OnBrowseKey},
    {WM_VSCROLL, IDC_OFFSET_ARROWS, 0, &CVeltraneDlg::OnVScroll, nullptr},
    {WM_COMMAND, IDC_OFFSET, EN_CHANGE, nullptr, &CVeltraneDlgLogic::OnChangeOffset},
    {WM_COMMAND, IDC_FILE_PATH, EN_CHANGE, &CVeltraneDlg::OnChangePath, nullptr},
    {WM_COMMAND, IDC_KEY_PATH, EN_CHANGE, &CVeltraneDlg::OnChangePath, nullptr},
    {WM_DROPFILES, 0, 0, &CVeltraneDlg::OnDropFiles, nullptr},
    {WM_COMMAND, IDC_OFFSET, EN_KILLFOCUS, nullptr, &CVeltraneDlgLogic::OnKillFocusOffset},
    // The dialog's standard commands: Enter and Escape.
    {WM_COMMAND, IDOK, BN_CLICKED, nullptr, &CVeltraneDlgLogic::OnOK},
    {WM_COMMAND, IDCANCEL, BN_CLICKED, nullptr, &CVeltraneDlgLogic::OnCancel},
    {WM_INITDIALOG, 0, 0, &CVeltraneDlg::OnInitDialog, nullptr},
    {WM_HELP, 0, 0, &CVeltraneDlg::OnHelp, nullptr},
    {WM_CLOSE, 0, 0, &CVeltraneDlg::OnClose, nullptr},
    {WM_ENDSESSION, 0, 0, &CVeltraneDlg::OnEndSession, nullptr},
    {WM_APP, 0, 0, &CVeltraneDlg::OnOpenStartFiles, nullptr},
};

CVeltraneDlg::CVeltraneDlg(HWND parent)
    : CVeltraneDlgLogic(m_ops), m_hIcon(LoadIconW(Instance(), MAKEINTRESOURCEW(IDR_MAINFRAME))), m_parent(parent)
{
}

INT_PTR CVeltraneDlg::DoModal()
{
    // A screen reader, another process, is handed the controls' accessible
    // objects through COM, and the Open dialog's shell parts use it too: this
    // thread is a single-threaded apartment for as long as the dialog lives.
    const HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
    const std::vector<WORD> dialog = ui::BuildDialogTemplate(res::MainDialogLayout(), true, IDR_MAINFRAME, m_placed);
    const INT_PTR result = DialogBoxIndirectParamW(Instance(), reinterpret_cast<LPCDLGTEMPLATEW>(dialog.data()),
                                                   m_parent, DialogProc, reinterpret_cast<LPARAM>(this));
    if (SUCCEEDED(com))
        CoUninitialize();
    return result;
}

INT_PTR CALLBACK CVeltraneDlg::DialogProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_INITDIALOG) {
        SetWindowLongPtrW(hwnd, DWLP_USER, lParam);
        reinterpret_cast<CVeltraneDlg*>(lParam)->m_ops.hwnd = hwnd;
    }
    auto* self = reinterpret_cast<CVeltraneDlg*>(GetWindowLongPtrW(hwnd, DWLP_USER));
    if (!self)
        return FALSE;
    for (const MessageEntry& entry : kMessageMap) {
        if (entry.message != message)
            continue;
        if (message == WM_COMMAND && (LOWORD(wParam) != entry.id || HIWORD(wParam) != entry.code))
            continue;
        if (message == WM_VSCROLL && reinterpret_cast<HWND>(lParam) != GetDlgItem(hwnd, entry.id))
            continue;
        if (entry.onCommand) {
            (self->*entry.onCommand)();
            return TRUE;
        }
        return (self->*entry.onMessage)(wParam, lParam);
    }
    return FALSE;
}

BOOL CVeltraneDlg::OnInitDialog(WPARAM, LPARAM)
{
    HWND hwnd = m_ops.hwnd;
    m_reports.mainWindow = hwnd;
    SendMessageW(hwnd, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(m_hIcon));
    HICON small =
        static_cast<HICON>(LoadImageW(Instance(), MAKEINTRESOURCEW(IDR_MAINFRAME), IMAGE_ICON,
                                      GetSystemMetrics(SM_CXSMICON), GetSystemMetrics(SM_CYSMICON), LR_SHARED));
    SendMessageW(hwnd, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(small ? small : m_hIcon));
    // Up and Down in the offset field are its arrows, as on the other
    // toolkit: the arrows themselves take no focus.
    SetWindowSubclass(GetDlgItem(hwnd, IDC_OFFSET), OffsetFieldProc, 0, reinterpret_cast<DWORD_PTR>(this));
    // Each field named after its label and each Browse button after what it
    // browses for, as on the other toolkit.
    const res::SpokenNames spoken = res::MainDialogSpokenNames();
    for (std::size_t i = 0; i < spoken.count; ++i)
        ui::SetAccessibleName(GetDlgItem(hwnd, spoken.names[i].id), platform::Widen(spoken.names[i].name));
    AddPathTips();
    // A file dropped from a file manager onto either path field fills it,
    // as on the other toolkit.
    DragAcceptFiles(hwnd, TRUE);
    CVeltraneDlgLogic::OnInitDialog();
    // Once the window shows, so that a refusal's box stands over it.
    PostMessageW(hwnd, WM_APP, 0, 0);
    // TRUE: the focus goes to the first tab stop, the first Browse button.
    return TRUE;
}

LRESULT CALLBACK CVeltraneDlg::OffsetFieldProc(HWND field, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR,
                                               DWORD_PTR data)
{
    if (message == WM_KEYDOWN && GetKeyState(VK_SHIFT) >= 0 && GetKeyState(VK_CONTROL) >= 0 &&
        GetKeyState(VK_MENU) >= 0) {
        auto* dialog = reinterpret_cast<CVeltraneDlg*>(data);
        if (dialog->OnOffsetKey(wParam == VK_UP     ? OffsetKey::Up
                                : wParam == VK_DOWN ? OffsetKey::Down
                                                    : OffsetKey::Other))
            return 0;
    }
    return DefSubclassProc(field, message, wParam, lParam);
}

BOOL CVeltraneDlg::OnPaint(WPARAM, LPARAM)
{
    HWND hwnd = m_ops.hwnd;
    if (!IsIconic(hwnd))
        return FALSE;
    PAINTSTRUCT paint;
    HDC dc = BeginPaint(hwnd, &paint);
    SendMessageW(hwnd, WM_ICONERASEBKGND, reinterpret_cast<WPARAM>(dc), 0);
    const int cx = GetSystemMetrics(SM_CXICON);
    const int cy = GetSystemMetrics(SM_CYICON);
    RECT client;
    GetClientRect(hwnd, &client);
    DrawIcon(dc, (client.right - cx + 1) / 2, (client.bottom - cy + 1) / 2, m_hIcon);
    EndPaint(hwnd, &paint);
    return TRUE;
}

BOOL CVeltraneDlg::OnQueryDragIcon(WPARAM, LPARAM)
{
    SetWindowLongPtrW(m_ops.hwnd, DWLP_MSGRESULT, reinterpret_cast<LONG_PTR>(m_hIcon));
    return TRUE;
}

BOOL CVeltraneDlg::OnLButtonDown(WPARAM, LPARAM lParam)
{
    const RECT frame = IconFrame(m_ops.hwnd, m_placed);
    const POINT at{static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))};
    if (PtInRect(&frame, at))
        OnIconPress();
    return FALSE;  // then the default handling
}

BOOL CVeltraneDlg::OnVScroll(WPARAM wParam, LPARAM)
{
    const WORD code = LOWORD(wParam);
    CVeltraneDlgLogic::OnVScroll(code == SB_LINEUP      ? Scroll::LineUp
                                 : code == SB_LINEDOWN  ? Scroll::LineDown
                                 : code == SB_ENDSCROLL ? Scroll::EndScroll
                                                        : Scroll::Other);
    return TRUE;
}

BOOL CVeltraneDlg::OnHelp(WPARAM, LPARAM)
{
    // F1, as on the other toolkit: the About box.
    OnIconPress();
    return TRUE;
}

BOOL CVeltraneDlg::OnClose(WPARAM, LPARAM)
{
    // During a pass the Close box stops it; the dialog ends after it.
    return OnCloseDuringPass() ? TRUE : FALSE;
}

BOOL CVeltraneDlg::OnOpenStartFiles(WPARAM, LPARAM)
{
    OpenStartFiles();
    return TRUE;
}

BOOL CVeltraneDlg::OnEndSession(WPARAM ending, LPARAM)
{
    // The system ends the program once this returns: a running pass stops
    // first, as on Escape, and takes its temporary file with it.
    if (ending)
        ui::PassRunner::EndRunningPass(std::chrono::seconds(4));
    return TRUE;
}

void CVeltraneDlg::AddPathTips()
{
    HWND hwnd = m_ops.hwnd;
    m_pathTips =
        CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_ALWAYSTIP | TTS_NOPREFIX, CW_USEDEFAULT,
                        CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, hwnd, nullptr, Instance(), nullptr);
    if (!m_pathTips)
        return;
    // A width of its own, so that the tip breaks its lines where told.
    SendMessageW(m_pathTips, TTM_SETMAXTIPWIDTH, 0, ui::LongestLine(hwnd));
    for (int id : {IDC_FILE_PATH, IDC_KEY_PATH}) {
        TTTOOLINFOW tool{};
        tool.cbSize = sizeof tool;
        tool.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
        tool.hwnd = hwnd;
        tool.uId = reinterpret_cast<UINT_PTR>(GetDlgItem(hwnd, id));
        tool.lpszText = const_cast<wchar_t*>(L"");
        SendMessageW(m_pathTips, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
    }
}

BOOL CVeltraneDlg::OnChangePath(WPARAM wParam, LPARAM lParam)
{
    // The field shows only part of a long path; the whole of it is a hover
    // away. An empty tip shows nothing.
    if (!m_pathTips)
        return TRUE;
    const std::string path = m_ops.ItemText(LOWORD(wParam));
    HFONT font = reinterpret_cast<HFONT>(SendMessageW(m_pathTips, WM_GETFONT, 0, 0));
    std::wstring shown = ui::BreakLongWords(platform::Widen(path), font, ui::LongestLine(m_ops.hwnd));
    TTTOOLINFOW tool{};
    tool.cbSize = sizeof tool;
    tool.hwnd = m_ops.hwnd;
    tool.uId = static_cast<UINT_PTR>(reinterpret_cast<LONG_PTR>(reinterpret_cast<HWND>(lParam)));
    tool.lpszText = &shown[0];
    SendMessageW(m_pathTips, TTM_UPDATETIPTEXTW, 0, reinterpret_cast<LPARAM>(&tool));
    return TRUE;
}

BOOL CVeltraneDlg::OnDropFiles(WPARAM wParam, LPARAM)
{
    HWND hwnd = m_ops.hwnd;
    auto drop = reinterpret_cast<HDROP>(wParam);
    POINT at{};
    const bool inClient = DragQueryPoint(drop, &at) != FALSE;
    const std::vector<std::string> names = DroppedNames(drop);
    DragFinish(drop);
    // Static texts and disabled controls are not in the way: the field is
    // what the pointer is over.
    HWND under = inClient ? ChildWindowFromPointEx(hwnd, at, CWP_SKIPINVISIBLE | CWP_SKIPDISABLED) : nullptr;
    const int id = under && under != hwnd ? GetDlgCtrlID(under) : 0;
    // Beside the fields nothing is taken, as the other toolkit takes
    // nothing there; and a pass running keeps its paths.
    if ((id != IDC_FILE_PATH && id != IDC_KEY_PATH) || names.empty() || PassRunning())
        return TRUE;
    // A system drop names its items by paths this machine opens, a network
    // share's included, so there is no other machine's file to refuse.
    std::vector<DroppedItem> items;
    for (const std::string& name : names)
        items.push_back({name});
    if (const std::optional<platform::Notice> refusal = DropRefusal(items)) {
        platform::Report(*refusal);
        return TRUE;
    }
    m_ops.ShowPath(id, names.front());
    return TRUE;
}
