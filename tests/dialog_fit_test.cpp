// The Windows dialogs fitted to their texts, worked out without Windows: the
// real layouts, with texts that fit and with texts 40 % longer and accented
// as translations make them, in a made-up font at two display scales. Every
// text has its room, nothing overlaps, what stood beside or above another
// still does, and everything stays inside the dialog.
#include "res/layout.h"
#include "tests/support/dialog_fit_faults.h"
#include "ui/win32/dialog_template.h"

#include <gtest/gtest.h>

#include <deque>
#include <string>
#include <vector>

namespace {

// Letters of a few widths, an accented one as wide as a capital. The base
// units at twice the scale are not twice those at once the scale, as a real
// font's rounding makes them.
struct Scale {
    int factor, baseX, baseY;
};
const Scale kScales[] = {{1, 6, 13}, {2, 11, 25}};

long long LineWidth(const std::string& line, int factor)
{
    long long width = 0;
    for (const char c : line) {
        const auto byte = static_cast<unsigned char>(c);
        if ((byte & 0xC0) == 0x80)
            continue;  // within a letter
        width += byte >= 0x80                                        ? 7
                 : std::string(" il.!").find(c) != std::string::npos ? 2
                 : std::string("mwMW").find(c) != std::string::npos  ? 9
                 : c >= 'A' && c <= 'Z'                              ? 7
                                                                     : 6;
    }
    return width * factor;
}

ui::DialogFont FontAt(const Scale& scale)
{
    ui::DialogFont font;
    font.baseX = scale.baseX;
    font.baseY = scale.baseY;
    font.checkBoxLead = 16 * scale.factor;
    font.measure = [scale](const char* text, unsigned, long long wrapWidth) {
        ui::PixelSize size;
        std::string all = text;
        for (std::size_t at = 0; at <= all.size();) {
            const std::size_t end = std::min(all.find('\n', at), all.size());
            // Word by word, as long as the line holds them.
            std::string line;
            std::size_t from = at;
            while (from <= end) {
                const std::size_t space = std::min(all.find(' ', from), end);
                const std::string word = all.substr(from, space - from);
                const std::string longer = line.empty() ? word : line + " " + word;
                if (wrapWidth > 0 && !line.empty() && LineWidth(longer, scale.factor) > wrapWidth) {
                    size.width = std::max(size.width, LineWidth(line, scale.factor));
                    size.height += scale.baseY;
                    line = word;
                } else {
                    line = longer;
                }
                from = space + 1;
            }
            size.width = std::max(size.width, LineWidth(line, scale.factor));
            size.height += scale.baseY;
            at = end + 1;
        }
        return size;
    };
    return font;
}

std::vector<std::string> FitFaults(const res::DialogLayout& table, const Scale& scale)
{
    const ui::DialogFont font = FontAt(scale);
    std::vector<res::ControlLayout> controls;
    return testsupport::FitFaults(table, ui::FitToTexts(table, font, controls), font);
}

// A table's copy with texts of its own, kept as long as the copy.
struct Translated {
    explicit Translated(const res::DialogLayout& table)
        : layout(table), controls(table.controls, table.controls + table.count)
    {
        layout.controls = controls.data();
    }
    void Translate(std::string (*translate)(const std::string&))
    {
        for (res::ControlLayout& c : controls) {
            if (c.text && *c.text)
                c.text = texts.emplace_back(translate(c.text)).c_str();
        }
    }
    res::DialogLayout layout;
    std::vector<res::ControlLayout> controls;
    std::deque<std::string> texts;
};

// Vowels accented and each line 40 % longer, by words of its own.
std::string Pseudo(const std::string& text)
{
    std::string out;
    std::size_t letters = 0;
    const auto endLine = [&] {
        for (std::size_t added = 0; added * 10 < letters * 4; added += 4)
            out += " \xC5\xB5\xC3\xA9\xC3\xB1\xC3\xBC";  // " ŵéñü"
        letters = 0;
    };
    for (const char c : text) {
        const std::size_t vowel = std::string("aeiouAEIOU").find(c);
        if (c == '\n') {
            endLine();
            out += c;
            continue;
        }
        ++letters;
        const char* const kAccented[] = {"á", "é", "í", "ó", "ú", "Á", "É", "Í", "Ó", "Ú"};
        out += vowel == std::string::npos ? std::string(1, c) : kAccented[vowel];
    }
    endLine();
    return out;
}

TEST(DialogFit, TextsThatFitLeaveTheTableAsItIs)
{
    ui::DialogFont font = FontAt(kScales[0]);
    font.measure = [](const char*, unsigned, long long) { return ui::PixelSize{1, 1}; };
    for (const res::DialogLayout* table : {&res::MainDialogLayout(), &res::AboutDialogLayout()}) {
        std::vector<res::ControlLayout> controls;
        const res::DialogLayout fitted = ui::FitToTexts(*table, font, controls);
        EXPECT_EQ(table->width, fitted.width);
        EXPECT_EQ(table->height, fitted.height);
        for (std::size_t i = 0; i < table->count; ++i) {
            const res::ControlLayout &a = table->controls[i], &b = fitted.controls[i];
            EXPECT_TRUE(a.x == b.x && a.y == b.y && a.width == b.width && a.height == b.height)
                << testsupport::NameOf(a);
        }
    }
}

TEST(DialogFit, EveryTextHasItsRoomAsTranslationsLengthenThem)
{
    for (const res::DialogLayout* table : {&res::MainDialogLayout(), &res::AboutDialogLayout()}) {
        for (bool pseudo : {false, true}) {
            Translated translated(*table);
            if (pseudo)
                translated.Translate(Pseudo);
            for (const Scale& scale : kScales)
                EXPECT_EQ(std::vector<std::string>(), FitFaults(translated.layout, scale))
                    << table->caption << (pseudo ? ", lengthened," : "") << " at scale " << scale.factor;
        }
    }
}

TEST(DialogFit, TheAboutBoxGrowsWithItsLines)
{
    Translated about(res::AboutDialogLayout());
    // Two more lines at the top, and the wrapped texts three times as long.
    about.Translate([](const std::string& text) {
        return text.find('\n') != std::string::npos ? text + "\nA fourth line\nand a fifth"
               : text.size() > 100                  ? text + " " + text + " " + text
                                                    : text;
    });
    EXPECT_EQ(std::vector<std::string>(), FitFaults(about.layout, kScales[0]));
    std::vector<res::ControlLayout> controls;
    EXPECT_GT(ui::FitToTexts(about.layout, FontAt(kScales[0]), controls).height, res::AboutDialogLayout().height);
}

}  // namespace
