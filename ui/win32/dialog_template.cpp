#include "ui/win32/dialog_template.h"

#ifdef _WIN32
#include <windows.h>
#endif

#include <algorithm>
#include <limits>

namespace ui {

namespace {

// The values of the Windows headers, written out for the build on Linux;
// the Windows build checks each against the headers.
constexpr std::uint32_t kWsPopup = 0x80000000, kWsChild = 0x40000000, kWsVisible = 0x10000000, kWsCaption = 0x00C00000,
                        kWsBorder = 0x00800000, kWsSysMenu = 0x00080000, kWsGroup = 0x00020000, kWsTabStop = 0x00010000,
                        kWsMinimizeBox = 0x00020000, kWsExDlgModalFrame = 0x1, kWsExAppWindow = 0x40000,
                        kDsModalFrame = 0x80, kDsShellFont = 0x48, kDsCenter = 0x800, kBsPushButton = 0,
                        kBsDefPushButton = 1, kBsAutoCheckBox = 3, kEsLeft = 0, kEsAutoHScroll = 0x80, kSbsVert = 1,
                        kSsLeft = 0, kSsIcon = 3, kSsOwnerDraw = 0xD, kSsEtchedHorz = 0x10, kSsNoPrefix = 0x80;
constexpr std::uint16_t kFwNormal = 400;
#ifdef _WIN32
static_assert(kWsPopup == WS_POPUP && kWsChild == WS_CHILD && kWsVisible == WS_VISIBLE && kWsCaption == WS_CAPTION &&
                  kWsBorder == WS_BORDER && kWsSysMenu == WS_SYSMENU && kWsGroup == WS_GROUP &&
                  kWsTabStop == WS_TABSTOP && kWsMinimizeBox == WS_MINIMIZEBOX &&
                  kWsExDlgModalFrame == WS_EX_DLGMODALFRAME && kWsExAppWindow == WS_EX_APPWINDOW &&
                  kDsModalFrame == DS_MODALFRAME && kDsShellFont == DS_SHELLFONT && kDsCenter == DS_CENTER &&
                  kBsPushButton == BS_PUSHBUTTON && kBsDefPushButton == BS_DEFPUSHBUTTON &&
                  kBsAutoCheckBox == BS_AUTOCHECKBOX && kEsLeft == ES_LEFT && kEsAutoHScroll == ES_AUTOHSCROLL &&
                  kSbsVert == SBS_VERT && kSsLeft == SS_LEFT && kSsIcon == SS_ICON && kSsOwnerDraw == SS_OWNERDRAW &&
                  kSsEtchedHorz == SS_ETCHEDHORZ && kSsNoPrefix == SS_NOPREFIX && kFwNormal == FW_NORMAL,
              "a style value differs from the Windows headers");
#endif

using Words = std::vector<std::uint16_t>;

void Align(Words& t)
{
    // Items start on a DWORD boundary; the buffer itself starts on one.
    if (t.size() % 2)
        t.push_back(0);
}

void PutDword(Words& t, std::uint32_t value)
{
    t.push_back(static_cast<std::uint16_t>(value & 0xFFFF));
    t.push_back(static_cast<std::uint16_t>(value >> 16));
}

void PutText(Words& t, const std::u16string& text)
{
    t.insert(t.end(), text.begin(), text.end());
    t.push_back(0);
}

struct ItemClass {
    std::uint16_t atom;
    std::uint32_t style;
    std::uint32_t exStyle;
};

ItemClass ClassOf(const res::ControlLayout& c)
{
    using K = res::ControlKind;
    switch (c.kind) {
    case K::PushButton:
        return {0x0080, c.style & res::kDefaultButton ? kBsDefPushButton : kBsPushButton, 0};
    case K::EditField:
        return {0x0081, kEsLeft | kEsAutoHScroll | kWsBorder, 0};
    case K::ArrowPair:
        return {0x0084, kSbsVert, 0};
    case K::CheckBox:
        return {0x0080, kBsAutoCheckBox, 0};
    case K::StaticText:
        return {0x0082, kSsLeft | (c.style & res::kNoPrefix ? kSsNoPrefix : 0), 0};
    case K::StaticIcon:
        return {0x0082, kSsIcon, 0};
    case K::RaisedFrame:
        // Owner-drawn and drawn by nobody: only the raised border shows,
        // and what it frames stays visible.
        return {0x0082, kSsOwnerDraw, kWsExDlgModalFrame};
    case K::EtchedLine:
        return {0x0082, kSsEtchedHorz, 0};
    }
    return {0x0082, kSsLeft, 0};
}

}  // namespace

std::vector<std::uint16_t> ComposeDialogTemplate(const res::DialogLayout& layout, bool main, int iconId,
                                                 std::u16string (*widen)(const std::string& utf8))
{
    std::uint32_t style = kDsModalFrame | kWsPopup | kWsCaption | kWsSysMenu | kDsShellFont;
    std::uint32_t exStyle = 0;
    if (main) {
        style |= kWsVisible | kWsMinimizeBox | kDsCenter;
        exStyle |= kWsExAppWindow;
    }
    Words t;
    t.push_back(1);       // dlgVer
    t.push_back(0xFFFF);  // signature: DLGTEMPLATEEX
    PutDword(t, 0);       // helpID
    PutDword(t, exStyle);
    PutDword(t, style);
    t.push_back(static_cast<std::uint16_t>(layout.count));
    t.push_back(0);  // x, y: centred or placed by the system
    t.push_back(0);
    t.push_back(static_cast<std::uint16_t>(layout.width));
    t.push_back(static_cast<std::uint16_t>(layout.height));
    t.push_back(0);  // no menu
    t.push_back(0);  // the dialog class
    PutText(t, widen(layout.caption));
    t.push_back(kDialogPointSize);
    t.push_back(kFwNormal);
    t.push_back(0);  // italic, charset
    PutText(t, kShellDialogFace);

    for (std::size_t i = 0; i < layout.count; ++i) {
        const res::ControlLayout& c = layout.controls[i];
        const ItemClass cls = ClassOf(c);
        Align(t);
        PutDword(t, 0);  // helpID
        PutDword(t, cls.exStyle);
        std::uint32_t itemStyle = kWsChild | kWsVisible | cls.style;
        if (c.style & res::kTabStop)
            itemStyle |= kWsTabStop;
        if (c.style & res::kDefaultButton)
            itemStyle |= kWsGroup;
        PutDword(t, itemStyle);
        t.push_back(static_cast<std::uint16_t>(c.x));
        t.push_back(static_cast<std::uint16_t>(c.y));
        t.push_back(static_cast<std::uint16_t>(c.width));
        t.push_back(static_cast<std::uint16_t>(c.height));
        PutDword(t, static_cast<std::uint32_t>(c.id));
        t.push_back(0xFFFF);
        t.push_back(cls.atom);
        if (c.kind == res::ControlKind::StaticIcon) {
            t.push_back(0xFFFF);
            t.push_back(static_cast<std::uint16_t>(iconId));
        } else {
            // A title that begins with U+FFFF would be read as a resource
            // number; that noncharacter is shown as the replacement one.
            std::u16string title = widen(c.text ? c.text : "");
            if (!title.empty() && title[0] == u'\uFFFF')
                title[0] = u'\uFFFD';
            PutText(t, title);
        }
        t.push_back(0);  // no creation data
    }
    return t;
}

// ---- Fitting a layout to its texts -----------------------------------------

namespace {

// The template holds every coordinate in 16 bits.
constexpr long long kMostUnits = 32767;
// Far past any screen, and small enough that sums of them can't overflow.
constexpr long long kMostPixels = 1LL << 31;
// The room kept between neighbouring controls and inside the dialog's edge,
// where the table has at least that much: the usual spacing of dialogs.
constexpr long long kControlGap = 4, kDialogMargin = 7;
// Cells past this many share the last.
constexpr int kMostCells = 256;

// One control along one axis: where the table puts it, the grid lines its
// cells lie between, and what it needs.
struct Extent {
    long long pos = 0, size = 0;
    int first = 0, last = 1;
    long long need = 0;
    bool stretches = false;  // reaches to the line its cells end at
    bool keepsEnd = false;   // in the last cells, stays as far from the container's end as it was
    long long fittedPos = 0, fittedSize = 0;
    long long End() const { return pos + size; }
};

// One axis of a dialog: its columns, or its rows. Each frame holds a grid of
// its own, which moves and grows with it.
class AxisFit {
public:
    AxisFit(std::vector<Extent>& extents, const std::vector<int>& frameOf, long long end)
        : m_extents(extents), m_end(end), m_grids(extents.size() + 1)
    {
        for (std::size_t i = 0; i < extents.size(); ++i)
            GridOf(frameOf[i]).members.push_back(i);
    }

    // The dialog's fitted extent; each extent's fitted place is set.
    long long Fit()
    {
        const long long grown = Grow(-1);
        Place(-1, 0, grown);
        return m_end + grown;
    }

private:
    struct Grid {
        std::vector<std::size_t> members;
        std::vector<long long> moved;  // how far each line moves, past how far the first does
    };

    Grid& GridOf(int frame) { return frame < 0 ? m_grids.front() : m_grids[static_cast<std::size_t>(frame) + 1]; }
    bool HoldsGrid(std::size_t i) { return !GridOf(static_cast<int>(i)).members.empty(); }

    // How much the grid of `frame` (-1: the dialog) must widen: each line
    // moves as far as the widest of what ends before it pushes it.
    long long Grow(int frame)
    {
        Grid& grid = GridOf(frame);
        int lines = 1;
        for (const std::size_t m : grid.members) {
            Extent& e = m_extents[m];
            if (HoldsGrid(m))
                e.need = std::max(e.need, e.size + Grow(static_cast<int>(m)));
            lines = std::max(lines, e.last);
        }
        constexpr long long kNoStart = std::numeric_limits<long long>::max();
        std::vector<long long> start(static_cast<std::size_t>(lines) + 1, kNoStart);
        for (const std::size_t m : grid.members) {
            long long& at = start[static_cast<std::size_t>(m_extents[m].first)];
            at = std::min(at, m_extents[m].pos);
        }
        start.back() = frame < 0 ? m_end : m_extents[static_cast<std::size_t>(frame)].End();
        const long long edgeGap = frame < 0 ? kDialogMargin : kControlGap;
        grid.moved.assign(start.size(), 0);
        for (std::size_t line = 1; line < start.size(); ++line) {
            long long& moved = grid.moved[line];
            moved = grid.moved[line - 1];
            if (start[line] == kNoStart)
                continue;
            for (const std::size_t m : grid.members) {
                const Extent& e = m_extents[m];
                if (static_cast<std::size_t>(e.last) > line)
                    continue;
                // What the table put closer than the usual gap (or across
                // the line, in another row) stays as close.
                const long long gap =
                    std::clamp(start[line] - e.End(), 0LL, line + 1 == start.size() ? edgeGap : kControlGap);
                const long long lineAt = std::max(start[line], e.End() + gap);
                const long long right =
                    e.pos + grid.moved[static_cast<std::size_t>(e.first)] + std::max(e.size, e.need);
                moved = std::max(moved, right + gap - lineAt);
            }
        }
        return grid.moved.back();
    }

    // Places the grid of `frame`, whose first line has moved `startMoved`
    // and whose end `endMoved`.
    void Place(int frame, long long startMoved, long long endMoved)
    {
        const Grid& grid = GridOf(frame);
        const std::size_t lines = grid.moved.size() - 1;
        const auto movedAt = [&](int line) {
            const auto l = static_cast<std::size_t>(line);
            return l < lines ? startMoved + grid.moved[l] : endMoved;
        };
        for (const std::size_t m : grid.members) {
            Extent& e = m_extents[m];
            long long pos = e.pos + movedAt(e.first);
            long long size = std::max(e.size, e.need);
            if (e.stretches)
                size = std::max(size, e.End() + movedAt(e.last) - pos);
            if (e.keepsEnd && static_cast<std::size_t>(e.last) == lines)
                pos = std::max(pos, e.End() + endMoved - size);
            e.fittedPos = pos;
            e.fittedSize = size;
            if (HoldsGrid(m))
                Place(static_cast<int>(m), pos - e.pos, pos + size - e.End());
        }
    }

    std::vector<Extent>& m_extents;
    long long m_end;
    std::vector<Grid> m_grids;  // the dialog's first, then one for each control
};

bool Holds(const res::ControlLayout& frame, std::size_t f, const res::ControlLayout& c, std::size_t i)
{
    const bool inside = c.x >= frame.x && c.y >= frame.y && c.x + c.width <= frame.x + frame.width &&
                        c.y + c.height <= frame.y + frame.height;
    const bool same = c.x == frame.x && c.y == frame.y && c.width == frame.width && c.height == frame.height;
    // Of two frames in one place, the first holds the second.
    return inside && (!same || f < i);
}

// The frame each control lies in, innermost first (-1: the dialog's own
// grid). A frame holds only what lies wholly inside it or, in its very
// place, comes after it, so no frame lies in itself through others.
std::vector<int> FramesOf(const res::DialogLayout& layout)
{
    std::vector<int> frameOf(layout.count, -1);
    for (std::size_t i = 0; i < layout.count; ++i) {
        for (std::size_t f = 0; f < layout.count; ++f) {
            const res::ControlLayout& frame = layout.controls[f];
            if (f == i || frame.kind != res::ControlKind::RaisedFrame || !Holds(frame, f, layout.controls[i], i))
                continue;
            const int inner = frameOf[i];
            if (inner < 0 || Holds(frame, f, layout.controls[inner], static_cast<std::size_t>(inner)))
                frameOf[i] = static_cast<int>(f);
        }
    }
    return frameOf;
}

long long ToUnits(long long pixels, int base, int unitsPerBase)
{
    const long long b = std::max(1, base);
    return (std::clamp(pixels, 0LL, kMostPixels) * unitsPerBase + b - 1) / b;
}

// As the dialog manager turns units into pixels, rounding to the nearest.
long long ToPixels(long long units, int base, int unitsPerBase)
{
    return (units * std::max(1, base) + unitsPerBase / 2) / unitsPerBase;
}

bool HasText(const res::ControlLayout& c)
{
    using K = res::ControlKind;
    return c.text && (c.kind == K::PushButton || c.kind == K::CheckBox || c.kind == K::StaticText);
}

bool Wraps(const res::ControlLayout& c) { return c.kind == res::ControlKind::StaticText && (c.style & res::kWrap); }

int Cell(int cell) { return std::clamp(cell, 0, kMostCells - 1); }
int Span(int span) { return std::clamp(span, 1, kMostCells); }

long long Clamp(long long value, long long least) { return std::clamp(value, least, kMostUnits); }

}  // namespace

res::DialogLayout FitToTexts(const res::DialogLayout& layout, const DialogFont& font,
                             std::vector<res::ControlLayout>& controls)
{
    using K = res::ControlKind;
    controls.assign(layout.controls, layout.controls + layout.count);
    const std::vector<int> frameOf = FramesOf(layout);
    const auto measure = [&](const res::ControlLayout& c, long long wrapWidth) {
        return font.measure ? font.measure(c.text, c.style, wrapWidth) : PixelSize{};
    };

    std::vector<Extent> across(controls.size()), down(controls.size());
    for (std::size_t i = 0; i < controls.size(); ++i) {
        const res::ControlLayout& c = controls[i];
        // Arrows stand beside the field they step, in its cells.
        const bool stepping = c.kind == K::ArrowPair && i > 0 && controls[i - 1].kind == K::EditField;
        const bool stepped = i + 1 < controls.size() && controls[i + 1].kind == K::ArrowPair;
        Extent& x = across[i];
        x.pos = c.x;
        x.size = c.width;
        x.first = Cell(stepping ? controls[i - 1].cell.column : c.cell.column);
        x.last = std::max(x.first + 1, Cell(c.cell.column) + Span(c.cell.columnSpan));
        x.stretches = (c.kind == K::EditField && !stepped) || c.kind == K::EtchedLine || Wraps(c) ||
                      (c.kind == K::RaisedFrame && c.cell.columnSpan > 1);
        x.keepsEnd = c.kind == K::PushButton || c.kind == K::RaisedFrame;
        Extent& y = down[i];
        y.pos = c.y;
        y.size = c.height;
        y.first = Cell(c.cell.row);
        y.last = y.first + Span(c.cell.rowSpan);
        if (!HasText(c))
            continue;
        const long long text = measure(c, Wraps(c) ? ToPixels(c.width, font.baseX, 4) : 0).width;
        // A button's text keeps one and a half average letters' room from
        // either side, clear of the focus rectangle drawn around it.
        const long long pixels = c.kind == K::PushButton ? text + 3LL * font.baseX
                                 : c.kind == K::CheckBox ? text + font.checkBoxLead
                                                         : text;
        x.need = ToUnits(pixels, font.baseX, 4);
    }
    // Buttons in the same cells are as wide as each other.
    for (std::size_t i = 0; i < controls.size(); ++i) {
        for (std::size_t j = 0; j < controls.size(); ++j) {
            if (controls[i].kind == K::PushButton && controls[j].kind == K::PushButton && frameOf[i] == frameOf[j] &&
                across[i].first == across[j].first && across[i].last == across[j].last)
                across[i].need = std::max(across[i].need, across[j].need);
        }
    }
    res::DialogLayout fitted = layout;
    fitted.width = static_cast<int>(Clamp(AxisFit(across, frameOf, layout.width).Fit(), 0));

    for (std::size_t i = 0; i < controls.size(); ++i) {
        const res::ControlLayout& c = controls[i];
        if (!HasText(c))
            continue;
        // A wrapped text's lines as its fitted width breaks them.
        const long long text = measure(c, Wraps(c) ? ToPixels(across[i].fittedSize, font.baseX, 4) : 0).height;
        down[i].need = ToUnits(c.kind == K::PushButton ? text + font.baseY / 2 : text, font.baseY, 8);
    }
    fitted.height = static_cast<int>(Clamp(AxisFit(down, frameOf, layout.height).Fit(), 0));

    for (std::size_t i = 0; i < controls.size(); ++i) {
        res::ControlLayout& c = controls[i];
        c.x = static_cast<int>(Clamp(across[i].fittedPos, -kMostUnits - 1));
        c.width = static_cast<int>(Clamp(across[i].fittedSize, 0));
        c.y = static_cast<int>(Clamp(down[i].fittedPos, -kMostUnits - 1));
        c.height = static_cast<int>(Clamp(down[i].fittedSize, 0));
    }
    fitted.controls = controls.data();
    return fitted;
}

}  // namespace ui
