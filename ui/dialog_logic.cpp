#include "ui/dialog_logic.h"

#include "engine/cipher.h"
#include "platform/files.h"
#include "ui/pass_runner.h"
#include "ui/window_ops.h"
#include "res/resource.h"
#include "ui/texts.h"

#include <cstdint>

namespace {

// Disabled for the length of a pass and enabled again after it, in this
// order: everything that could start a second request or change a path.
const int kPassButtons[] = {IDC_ENCRYPT, IDC_DECRYPT, IDC_BROWSE_FILE, IDC_BROWSE_KEY};

}  // namespace

void CVeltraneDlgLogic::OnInitDialog()
{
    m_window.SetItemNumber(IDC_OFFSET, 0);
    m_bReadOnly = 0;
}

void CVeltraneDlgLogic::RunRequest(int direction)
{
    // One pass at a time; the window drops input meanwhile, so this is only
    // a second line of defence.
    if (m_bPassRunning)
        return;
    m_szFile = m_window.ItemText(IDC_FILE_PATH);
    m_szKey = m_window.ItemText(IDC_KEY_PATH);
    // From 2^31 up the number reads as negative, which the request check
    // refuses like any other offset outside 0 to 255.
    m_nOffset = static_cast<std::int32_t>(m_window.ItemNumber(IDC_OFFSET));

    if (m_szKey.empty() || m_szFile.empty())
        return;
    if (!ValidateRequest(m_szFile, m_szKey, m_nOffset, m_bReadOnly))
        return;

    // The pass runs beside the window, which stays alive meanwhile; what the
    // user does to it is dropped, except asking it to close.
    const std::string file = m_szFile;
    const std::string key = m_szKey;
    const int offset = m_nOffset;
    {
        PassScope scope(*this);
        m_window.RunPass([&] { return TransformFile(file, key, offset, direction); }, [this] { StopPassAndClose(); },
                         [&] { return PassNotStarted(file); });
    }
    // Closing was asked for during the pass; the pass has stopped (its
    // temporary file is gone, the data file as it was) or had already ended.
    if (m_bCloseAfterPass)
        m_window.EndDialog(ui::kDialogCancel);
}

CVeltraneDlgLogic::PassScope::PassScope(CVeltraneDlgLogic& dialog) : m_dialog(dialog)
{
    dialog.m_window.SaveFocus();
    for (int id : kPassButtons)
        dialog.m_window.EnableItem(id, false);
    dialog.m_bPassRunning = true;
}

CVeltraneDlgLogic::PassScope::~PassScope()
{
    ui::WindowOps& window = m_dialog.m_window;
    m_dialog.m_bPassRunning = false;
    window.SetWindowTitle(ui::kIdleTitle);
    for (int id : kPassButtons)
        window.EnableItem(id, true);
    // The key and the offset stay for the next file.
    window.SetItemText(IDC_FILE_PATH, std::string());
    window.RestoreFocus();
}

void CVeltraneDlgLogic::StopPassAndClose()
{
    ui::PassRunner::RequestStop();
    m_bCloseAfterPass = true;
}

void CVeltraneDlgLogic::BrowseInto(int id)
{
    std::string path;
    if (m_window.ChooseFile(path))
        m_window.ShowPath(id, path);
}

void CVeltraneDlgLogic::OnBrowseFile() { BrowseInto(IDC_FILE_PATH); }

void CVeltraneDlgLogic::OnBrowseKey() { BrowseInto(IDC_KEY_PATH); }

void CVeltraneDlgLogic::OnEncrypt() { RunRequest(kDirectionEncrypt); }

void CVeltraneDlgLogic::OnDecrypt() { RunRequest(kDirectionDecrypt); }

void CVeltraneDlgLogic::OnReadOnly()
{
    // The box checks itself; the flag follows it click by click.
    m_bReadOnly = m_bReadOnly == 1 ? 0 : 1;
}

void CVeltraneDlgLogic::OnIconPress() { m_window.RunAboutBox(); }

void CVeltraneDlgLogic::OnOK()
{
    if (!m_bPassRunning)
        m_window.EndDialog(ui::kDialogOk);
}

void CVeltraneDlgLogic::OnCancel()
{
    if (m_bPassRunning)
        StopPassAndClose();
    else
        m_window.EndDialog(ui::kDialogCancel);
}

bool CVeltraneDlgLogic::OnCloseDuringPass()
{
    // Ending the dialog in the middle of a pass would leave the pass's loop
    // behind; the pass stops first, and the dialog ends after it.
    if (!m_bPassRunning)
        return false;
    StopPassAndClose();
    return true;
}

// The offset field and its arrows keep m_nOffset and the field's text in
// step, and hold the value within 0 to 255 where they touch it. The commands
// read the field afresh anyway, and the request check refuses an offset
// outside the range, so these only make the field convenient.

void CVeltraneDlgLogic::ClampOffset()
{
    if (m_nOffset > kHighestOffset)
        m_nOffset = kHighestOffset;
    if (m_nOffset < 0)
        m_nOffset = 0;
}

void CVeltraneDlgLogic::OnChangeOffset() { m_nOffset = static_cast<std::int32_t>(m_window.ItemNumber(IDC_OFFSET)); }

void CVeltraneDlgLogic::OnKillFocusOffset()
{
    ClampOffset();
    m_window.SetItemNumber(IDC_OFFSET, static_cast<unsigned>(m_nOffset));
}

bool CVeltraneDlgLogic::OnOffsetKey(OffsetKey key)
{
    if (key == OffsetKey::Other)
        return false;
    OnVScroll(key == OffsetKey::Up ? Scroll::LineUp : Scroll::LineDown);
    OnVScroll(Scroll::EndScroll);
    return true;
}

void CVeltraneDlgLogic::OnVScroll(Scroll code)
{
    ClampOffset();
    // The field is written only when the value stepped; the write comes back
    // through the change notification with the same value.
    if (code == Scroll::LineUp && m_nOffset < kHighestOffset) {
        ++m_nOffset;
        m_window.SetItemNumber(IDC_OFFSET, static_cast<unsigned>(m_nOffset));
    }
    if (code == Scroll::LineDown && m_nOffset > 0) {
        --m_nOffset;
        m_window.SetItemNumber(IDC_OFFSET, static_cast<unsigned>(m_nOffset));
    }
    ClampOffset();
}

void CVeltraneDlgLogic::OpenStartFiles()
{
    if (m_startFiles.empty())
        return;
    std::vector<DroppedItem> items;
    for (const std::string& file : m_startFiles)
        items.push_back({file, true});
    if (const std::optional<platform::Notice> refusal = DropRefusal(items, true)) {
        platform::Report(*refusal);
        return;
    }
    m_window.ShowPath(IDC_FILE_PATH, m_startFiles.front());
    m_window.FocusItem(IDC_KEY_PATH);
}

std::optional<platform::Notice> DropRefusal(const std::vector<DroppedItem>& items, bool atStart)
{
    using platform::NoticeKind;
    if (items.size() > 1)
        return platform::Notice{atStart ? NoticeKind::StartedWithSeveral : NoticeKind::DropOfSeveral, {}};
    if (!items.front().local)
        return platform::Notice{NoticeKind::DropNotLocal, {items.front().path}};
    if (platform::Folder folder; folder.Open(items.front().path))
        return platform::Notice{atStart ? NoticeKind::StartedWithFolder : NoticeKind::DropOfFolder,
                                {items.front().path}};
    return std::nullopt;
}
