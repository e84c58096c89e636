// What a user would find wrong with a dialog fitted to its texts: a text cut
// (measured as the dialog manager sizes its control), a control over another
// (but a frame over what it holds) or outside the dialog or its frame, or
// what stood beside or above another in the table no longer there. For the
// tests and the fuzzer alike.
#pragma once

#include "res/layout.h"
#include "ui/win32/dialog_template.h"

#include <string>
#include <vector>

namespace testsupport {

inline std::string NameOf(const res::ControlLayout& c)
{
    return c.text && *c.text ? c.text : "control " + std::to_string(c.id);
}

// With `whole` false, only whether each text has its room.
inline std::vector<std::string> FitFaults(const res::DialogLayout& table, const res::DialogLayout& fitted,
                                          const ui::DialogFont& font, bool whole = true)
{
    using K = res::ControlKind;
    std::vector<std::string> faults;
    const auto pixels = [](long long units, int base, int unitsPerBase) {
        return (units * base + unitsPerBase / 2) / unitsPerBase;
    };
    const auto holds = [](const res::ControlLayout& frame, const res::ControlLayout& c) {
        return frame.kind == K::RaisedFrame && c.x >= frame.x && c.y >= frame.y &&
               c.x + c.width <= frame.x + frame.width && c.y + c.height <= frame.y + frame.height;
    };
    for (std::size_t i = 0; i < fitted.count; ++i) {
        const res::ControlLayout& c = fitted.controls[i];
        if (c.text && (c.kind == K::StaticText || c.kind == K::PushButton || c.kind == K::CheckBox)) {
            const long long width = pixels(c.width, font.baseX, 4), height = pixels(c.height, font.baseY, 8);
            const bool wraps = c.kind == K::StaticText && (c.style & res::kWrap);
            const ui::PixelSize text = font.measure(c.text, c.style, wraps ? width : 0);
            if (width < text.width + (c.kind == K::CheckBox ? font.checkBoxLead : 0) || height < text.height)
                faults.push_back(NameOf(c) + " is cut");
        }
        if (!whole)
            continue;
        if (c.x < 0 || c.y < 0 || c.x + c.width > fitted.width || c.y + c.height > fitted.height)
            faults.push_back(NameOf(c) + " leaves the dialog");
        for (std::size_t j = 0; j < fitted.count; ++j) {
            const res::ControlLayout &d = fitted.controls[j], &a = table.controls[i], &b = table.controls[j];
            if (holds(a, b) && i != j && !holds(c, d))
                faults.push_back(NameOf(d) + " leaves its frame");
            if (i == j || holds(a, b) || holds(b, a))
                continue;
            if (c.x + c.width > d.x && d.x + d.width > c.x && c.y + c.height > d.y && d.y + d.height > c.y)
                faults.push_back(NameOf(c) + " overlaps " + NameOf(d));
            if ((a.x + a.width <= b.x && c.x + c.width > d.x) || (a.y + a.height <= b.y && c.y + c.height > d.y))
                faults.push_back(NameOf(c) + " no longer stands beside or above " + NameOf(d));
        }
    }
    return faults;
}

}  // namespace testsupport
