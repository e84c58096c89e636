// The offset field and its arrows: they keep m_nOffset and the field's text
// in step, and hold the value within 0 to 255 where they touch it. The
// commands read the field afresh anyway, and the request check refuses an
// offset outside the range, so these only make the field convenient.
#include "ui/veltrane_dlg.h"

#include "res/resource.h"
#include "ui/number_text.h"

namespace {

constexpr int kHighestOffset = 255;

}  // namespace

void CVeltraneDlg::ClampOffset()
{
    if (m_nOffset > kHighestOffset)
        m_nOffset = kHighestOffset;
    if (m_nOffset < 0)
        m_nOffset = 0;
}

void CVeltraneDlg::OnChangeOffset(wxCommandEvent& WXUNUSED(event))
{
    m_nOffset = static_cast<std::int32_t>(ReadUnsignedNumber(ItemText(IDC_OFFSET)));
}

void CVeltraneDlg::OnKillFocusOffset(wxCommandEvent& WXUNUSED(event))
{
    ClampOffset();
    SetItemUnsigned(IDC_OFFSET, static_cast<unsigned>(m_nOffset));
}

void CVeltraneDlg::OnVScroll(wxScrollEvent& event)
{
    ClampOffset();
    // The field is written only when the value stepped; the write comes back
    // through the change notification with the same value.
    const wxEventType type = event.GetEventType();
    if (type == wxEVT_SCROLL_LINEUP && m_nOffset < kHighestOffset) {
        ++m_nOffset;
        SetItemUnsigned(IDC_OFFSET, static_cast<unsigned>(m_nOffset));
    }
    if (type == wxEVT_SCROLL_LINEDOWN && m_nOffset > 0) {
        --m_nOffset;
        SetItemUnsigned(IDC_OFFSET, static_cast<unsigned>(m_nOffset));
    }
    ClampOffset();
    event.Skip();
}
