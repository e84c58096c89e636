// The Windows dialog templates: the bytes made for a layout table read back,
// field by field, as that table; the real dialogs' tables first. Then the
// tables fitted to texts in a font of any size: the real ones with every
// text whole and nothing overlapping, any table with every text's room and
// every place in the template's range.
#include "fuzz/harness.h"
#include "tests/support/dialog_fit_faults.h"
#include "ui/win32/dialog_template.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <cstring>

namespace {

std::u16string Widen(const std::string& text)
{
    // One to one, as the real conversion is; bytes from 0x80 on become
    // U+FF80 to U+FFFF, so that a text can begin with the U+FFFF a real one
    // may hold.
    std::u16string wide;
    for (const char c : text)
        wide += static_cast<char16_t>(static_cast<std::int16_t>(c));
    return wide;
}

struct Reader {
    const std::vector<std::uint16_t>& t;
    std::size_t at = 0;
    std::uint16_t Word()
    {
        FUZZ_CHECK(at < t.size());
        return t[at++];
    }
    std::uint32_t Dword()
    {
        const std::uint32_t low = Word();
        return low | static_cast<std::uint32_t>(Word()) << 16;
    }
    std::u16string Text()
    {
        std::u16string s;
        for (std::uint16_t c; (c = Word()) != 0;)
            s += static_cast<char16_t>(c);
        return s;
    }
};

std::int16_t Short(std::uint16_t word) { return static_cast<std::int16_t>(word); }

void CheckReadsBack(const res::DialogLayout& layout, bool main, int iconId)
{
    const std::vector<std::uint16_t> t = ui::ComposeDialogTemplate(layout, main, iconId, Widen);
    Reader r{t};
    FUZZ_CHECK(r.Word() == 1 && r.Word() == 0xFFFF && r.Dword() == 0);
    const std::uint32_t exStyle = r.Dword(), style = r.Dword();
    FUZZ_CHECK(((exStyle & 0x40000) != 0) == main && ((style & 0x10000000) != 0) == main);
    FUZZ_CHECK((style & 0x80C00000) == 0x80C00000);  // a pop-up with a caption
    FUZZ_CHECK((style & 0x48) == 0x48u);             // DS_SHELLFONT
    FUZZ_CHECK(r.Word() == layout.count && r.Word() == 0 && r.Word() == 0);
    FUZZ_CHECK(Short(r.Word()) == layout.width && Short(r.Word()) == layout.height);
    FUZZ_CHECK(r.Word() == 0 && r.Word() == 0 && r.Text() == Widen(layout.caption));
    FUZZ_CHECK(r.Word() == ui::kDialogPointSize && r.Word() == 400 && r.Word() == 0);
    FUZZ_CHECK(r.Text() == ui::kShellDialogFace);
    for (std::size_t i = 0; i < layout.count; ++i) {
        const res::ControlLayout& c = layout.controls[i];
        if (r.at % 2)
            FUZZ_CHECK(r.Word() == 0);
        FUZZ_CHECK(r.Dword() == 0);
        r.Dword();
        const std::uint32_t itemStyle = r.Dword();
        FUZZ_CHECK((itemStyle & 0x50000000) == 0x50000000);  // a visible child
        FUZZ_CHECK(((itemStyle & 0x10000) != 0) == ((c.style & res::kTabStop) != 0));
        FUZZ_CHECK(Short(r.Word()) == c.x && Short(r.Word()) == c.y);
        FUZZ_CHECK(Short(r.Word()) == c.width && Short(r.Word()) == c.height);
        FUZZ_CHECK(r.Dword() == static_cast<std::uint32_t>(c.id));
        using K = res::ControlKind;
        const std::uint16_t atom = c.kind == K::PushButton || c.kind == K::CheckBox ? 0x80
                                   : c.kind == K::EditField                         ? 0x81
                                   : c.kind == K::ArrowPair                         ? 0x84
                                                                                    : 0x82;
        FUZZ_CHECK(r.Word() == 0xFFFF && r.Word() == atom);
        if (c.kind == K::StaticIcon)
            FUZZ_CHECK(r.Word() == 0xFFFF && r.Word() == iconId);
        else {  // a title that begins with 0xFFFF is read as a resource number
            std::u16string title = Widen(c.text ? c.text : "");
            if (!title.empty() && title[0] == u'\uFFFF')
                title[0] = u'\uFFFD';
            FUZZ_CHECK(r.t.at(r.at) != 0xFFFF && r.Text() == title);
        }
        FUZZ_CHECK(r.Word() == 0);
    }
    FUZZ_CHECK(r.at == t.size());
}

// A font of one letter width and one line height, which breaks a line
// anywhere, between any two letters.
ui::DialogFont FontFrom(FuzzedDataProvider& in)
{
    ui::DialogFont font;
    font.baseX = in.ConsumeIntegralInRange<int>(4, 64);
    font.baseY = in.ConsumeIntegralInRange<int>(8, 128);
    font.checkBoxLead = in.ConsumeIntegralInRange<int>(0, 400);
    const long long letter = in.ConsumeIntegralInRange<int>(0, 40), line = in.ConsumeIntegralInRange<int>(0, 100);
    font.measure = [letter, line](const char* text, unsigned, long long wrapWidth) {
        const long long natural = static_cast<long long>(std::strlen(text)) * letter;
        const long long width =
            wrapWidth > 0 ? std::max(std::min(natural, wrapWidth), std::min(natural, letter)) : natural;
        return ui::PixelSize{width, (width > 0 ? (natural + width - 1) / width : 1) * line};
    };
    return font;
}

void CheckFits(const res::DialogLayout& table, const ui::DialogFont& font, bool real)
{
    std::vector<res::ControlLayout> controls;
    const res::DialogLayout fitted = ui::FitToTexts(table, font, controls);
    FUZZ_CHECK(fitted.count == table.count && fitted.width >= 0 && fitted.height >= 0);
    bool capped = fitted.width == 32767 || fitted.height == 32767;
    for (std::size_t i = 0; i < fitted.count; ++i) {
        const res::ControlLayout& c = fitted.controls[i];
        FUZZ_CHECK(c.x >= -32768 && c.x <= 32767 && c.y >= -32768 && c.y <= 32767);
        FUZZ_CHECK(c.width >= 0 && c.width <= 32767 && c.height >= 0 && c.height <= 32767);
        capped = capped || c.width == 32767 || c.height == 32767;
    }
    // Past the template's range nothing can be whole.
    if (!capped)
        FUZZ_CHECK(testsupport::FitFaults(table, fitted, font, real).empty());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static const bool realTables = [] {
        for (bool main : {false, true}) {
            CheckReadsBack(res::MainDialogLayout(), main, 128);
            CheckReadsBack(res::AboutDialogLayout(), main, 128);
        }
        return true;
    }();
    (void)realTables;

    FuzzedDataProvider in(data, size);
    const bool main = in.ConsumeBool();
    const int iconId = in.ConsumeIntegralInRange<int>(0, 0xFFFF);
    const std::string caption = in.ConsumeRandomLengthString(80);
    std::vector<std::string> texts;
    std::vector<res::ControlLayout> controls;
    const std::size_t count = in.ConsumeIntegralInRange<std::size_t>(0, 40);
    texts.reserve(count);
    for (std::size_t i = 0; i < count; ++i) {
        res::ControlLayout c{};
        c.id = in.ConsumeIntegral<int>();
        c.kind = static_cast<res::ControlKind>(in.ConsumeIntegralInRange<int>(0, 7));
        texts.push_back(in.ConsumeRandomLengthString(60));
        c.text = in.ConsumeBool() ? texts.back().c_str() : nullptr;
        c.x = in.ConsumeIntegralInRange<int>(-32768, 32767);
        c.y = in.ConsumeIntegralInRange<int>(-32768, 32767);
        c.width = in.ConsumeIntegralInRange<int>(0, 32767);
        c.height = in.ConsumeIntegralInRange<int>(0, 32767);
        c.style = in.ConsumeIntegral<unsigned>() & 0xF;
        c.cell = {in.ConsumeIntegralInRange<int>(-1, 300), in.ConsumeIntegralInRange<int>(-1, 300),
                  in.ConsumeIntegralInRange<int>(-1, 300), in.ConsumeIntegralInRange<int>(-1, 300)};
        controls.push_back(c);
    }
    const res::DialogLayout layout{1,
                                   caption.c_str(),
                                   in.ConsumeIntegralInRange<int>(0, 32767),
                                   in.ConsumeIntegralInRange<int>(0, 32767),
                                   controls.data(),
                                   controls.size()};
    CheckReadsBack(layout, main, iconId);

    const ui::DialogFont font = FontFrom(in);
    CheckFits(res::MainDialogLayout(), font, true);
    CheckFits(res::AboutDialogLayout(), font, true);
    CheckFits(layout, font, false);
    return 0;
}
