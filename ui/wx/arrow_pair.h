// A pair of small up and down arrows that step a value in a field beside it.
//
// It keeps no range and no position of its own: every press on an arrow
// reaches the owner as a line-up or line-down scroll event, whatever value the
// owner holds, and the release ends with an end-of-scroll event. Holding an
// arrow down repeats its step. It never takes the keyboard focus.
#pragma once

#include <wx/control.h>
#include <wx/timer.h>

class ArrowPair : public wxControl {
public:
    ArrowPair(wxWindow* parent, wxWindowID id, const wxPoint& pos = wxDefaultPosition,
              const wxSize& size = wxDefaultSize);

    bool AcceptsFocus() const override { return false; }
    bool AcceptsFocusFromKeyboard() const override { return false; }

    enum class Arrow { None, Up, Down };
    // One step up (1) or down (-1), as a press and release of that arrow
    // send it.
    void Step(int step);

    // Which arrow a point in the control's client area lies on.
    Arrow ArrowAt(const wxPoint& point) const;

protected:
    wxSize DoGetBestSize() const override;

private:
    void OnPaint(wxPaintEvent& event);
    void OnLeftDown(wxMouseEvent& event);
    void OnLeftUp(wxMouseEvent& event);
    void OnCaptureLost(wxMouseCaptureLostEvent& event);
    void OnRepeat(wxTimerEvent& event);

    void SendScroll(wxEventType type);
    void EndPress();

    Arrow m_pressed = Arrow::None;
    wxTimer m_repeat;

    wxDECLARE_EVENT_TABLE();
};
