// Dialog layouts as data: every control with its identifier, kind, text,
// rectangle in dialog units, style and grid cell. The window code turns a table into
// controls with one routine, so both dialogs are built the same way.
#pragma once

#include <cstddef>

namespace res {

enum class ControlKind {
    PushButton,
    EditField,
    ArrowPair,  // a pair of up and down arrows that step a value
    CheckBox,
    StaticText,
    StaticIcon,   // the program icon
    RaisedFrame,  // an empty frame that groups what lies inside it
    EtchedLine,   // a horizontal separator
};

// Style bits, combined with |.
enum ControlStyle : unsigned {
    kNoStyle = 0,
    kTabStop = 1u << 0,
    kDefaultButton = 1u << 1,
    kNoPrefix = 1u << 2,  // "&" in the text is shown, not a mnemonic
    kWrap = 1u << 3,      // the text wraps within the box's width
};

// Where a window laid out by sizers puts a control: the row and column of the
// grid of the frame it lies in (or of the dialog), and how many of each it
// spans. It keeps the arrangement of the rectangles (what stands beside or
// above what, what lines up) while the sizes come from the controls.
struct GridCell {
    int row, column, rowSpan, columnSpan;
    bool setApart = false;  // its row stands further from the row above than rows usually do
};

struct ControlLayout {
    int id;
    ControlKind kind;
    const char* text;         // UTF-8
    int x, y, width, height;  // dialog units
    unsigned style;
    GridCell cell;
};

struct DialogLayout {
    int id;
    const char* caption;
    int width, height;              // client area, dialog units
    const ControlLayout* controls;  // in tab order
    std::size_t count;
};

const DialogLayout& MainDialogLayout();
const DialogLayout& AboutDialogLayout();

// What a screen reader reads for the main dialog's controls whose own text
// doesn't say it (a field, a Browse button), on both toolkits, and the static
// text that labels the control, if any. The control order stays as it is.
struct SpokenName {
    int id;
    const char* name;   // UTF-8
    const char* label;  // the label's text, or null
};
struct SpokenNames {
    const SpokenName* names;
    std::size_t count;
};
SpokenNames MainDialogSpokenNames();

}  // namespace res
