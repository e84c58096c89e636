#include "ui/wx/arrow_pair.h"

#include <wx/dcbuffer.h>
#include <wx/renderer.h>
#include <wx/settings.h>

#include <algorithm>

namespace {

// The usual feel of scroll bar arrows: a pause before the first repeat, then
// a steady rate.
constexpr int kFirstRepeatMs = 400;
constexpr int kRepeatMs = 60;

void DrawTriangle(wxDC& dc, const wxRect& cell, bool up, const wxColour& colour)
{
    const int half = std::max(2, std::min(cell.width, cell.height) / 4);
    const wxPoint centre(cell.x + cell.width / 2, cell.y + cell.height / 2);
    const int tip = up ? -half / 2 - 1 : half / 2 + 1;
    const int base = up ? half / 2 + 1 : -half / 2 - 1;
    const wxPoint points[3] = {
        {centre.x - half, centre.y + base},
        {centre.x + half, centre.y + base},
        {centre.x, centre.y + tip},
    };
    dc.SetPen(wxPen(colour));
    dc.SetBrush(wxBrush(colour));
    dc.DrawPolygon(3, points);
}

}  // namespace

wxBEGIN_EVENT_TABLE(ArrowPair, wxControl)
    EVT_PAINT(ArrowPair::OnPaint)
    EVT_LEFT_DOWN(ArrowPair::OnLeftDown)
    EVT_LEFT_DCLICK(ArrowPair::OnLeftDown)
    EVT_LEFT_UP(ArrowPair::OnLeftUp)
    EVT_MOUSE_CAPTURE_LOST(ArrowPair::OnCaptureLost)
    EVT_TIMER(wxID_ANY, ArrowPair::OnRepeat)
wxEND_EVENT_TABLE()

ArrowPair::ArrowPair(wxWindow* parent, wxWindowID id, const wxPoint& pos, const wxSize& size)
    : wxControl(parent, id, pos, size, wxBORDER_NONE), m_repeat(this)
{
    SetBackgroundStyle(wxBG_STYLE_PAINT);
}

wxSize ArrowPair::DoGetBestSize() const
{
    // Two cells, each big enough for a visible arrow and its button face.
    return FromDIP(wxSize(16, 24));
}

ArrowPair::Arrow ArrowPair::ArrowAt(const wxPoint& point) const
{
    const wxSize size = GetClientSize();
    if (point.x < 0 || point.y < 0 || point.x >= size.x || point.y >= size.y)
        return Arrow::None;
    return point.y < size.y / 2 ? Arrow::Up : Arrow::Down;
}

void ArrowPair::OnPaint(wxPaintEvent& WXUNUSED(event))
{
    wxAutoBufferedPaintDC dc(this);
    dc.SetBackground(wxBrush(GetParent()->GetBackgroundColour()));
    dc.Clear();

    const wxSize size = GetClientSize();
    const wxRect up(0, 0, size.x, size.y / 2);
    const wxRect down(0, size.y / 2, size.x, size.y - size.y / 2);
    wxRendererNative& renderer = wxRendererNative::Get();
    const int state = IsEnabled() ? 0 : static_cast<int>(wxCONTROL_DISABLED);
    const int pressed = wxCONTROL_PRESSED;
    renderer.DrawPushButton(this, dc, up, state | (m_pressed == Arrow::Up ? pressed : 0));
    renderer.DrawPushButton(this, dc, down, state | (m_pressed == Arrow::Down ? pressed : 0));
    const wxColour ink = wxSystemSettings::GetColour(IsEnabled() ? wxSYS_COLOUR_BTNTEXT
                                                                 : wxSYS_COLOUR_GRAYTEXT);
    DrawTriangle(dc, up, true, ink);
    DrawTriangle(dc, down, false, ink);
}

void ArrowPair::OnLeftDown(wxMouseEvent& event)
{
    const Arrow arrow = ArrowAt(event.GetPosition());
    if (arrow == Arrow::None)
        return;
    m_pressed = arrow;
    // Held until the release, wherever the pointer goes meanwhile; a window
    // not on screen has nothing to hold.
    if (!HasCapture() && IsShownOnScreen())
        CaptureMouse();
    Refresh();
    SendScroll(arrow == Arrow::Up ? wxEVT_SCROLL_LINEUP : wxEVT_SCROLL_LINEDOWN);
    m_repeat.StartOnce(kFirstRepeatMs);
}

void ArrowPair::OnLeftUp(wxMouseEvent& WXUNUSED(event))
{
    if (m_pressed == Arrow::None)
        return;
    if (HasCapture())
        ReleaseMouse();
    EndPress();
}

void ArrowPair::OnCaptureLost(wxMouseCaptureLostEvent& WXUNUSED(event))
{
    if (m_pressed != Arrow::None)
        EndPress();
}

void ArrowPair::OnRepeat(wxTimerEvent& WXUNUSED(event))
{
    if (m_pressed == Arrow::None)
        return;
    // While the pointer has slid off the pressed arrow the steps pause.
    if (ArrowAt(ScreenToClient(wxGetMousePosition())) == m_pressed)
        SendScroll(m_pressed == Arrow::Up ? wxEVT_SCROLL_LINEUP : wxEVT_SCROLL_LINEDOWN);
    m_repeat.StartOnce(kRepeatMs);
}

void ArrowPair::Step(int step)
{
    SendScroll(step > 0 ? wxEVT_SCROLL_LINEUP : wxEVT_SCROLL_LINEDOWN);
    SendScroll(wxEVT_SCROLL_CHANGED);
}

void ArrowPair::EndPress()
{
    m_repeat.Stop();
    m_pressed = Arrow::None;
    Refresh();
    SendScroll(wxEVT_SCROLL_CHANGED);
}

void ArrowPair::SendScroll(wxEventType type)
{
    wxScrollEvent event(type, GetId(), 0, wxVERTICAL);
    event.SetEventObject(this);
    HandleWindowEvent(event);
}
