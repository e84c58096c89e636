#include "res/layout.h"

#include "platform/translation.h"
#include "res/resource.h"
#include "res/version.h"

#include <iterator>
#include <string>
#include <vector>

#define VELTRANE_STRINGIZE2(x) #x
#define VELTRANE_STRINGIZE(x) VELTRANE_STRINGIZE2(x)

namespace res {

namespace {

using K = ControlKind;

// In tab order. Static texts take no focus, so where they stand in the list
// matters only for the tab stops around them.
const ControlLayout kMainControls[] = {
    {IDC_BROWSE_FILE, K::PushButton, TR_MARK("Browse"), 7, 11, 50, 14, kTabStop, {0, 0, 1, 3}},
    {IDC_FILE_PATH, K::EditField, "", 61, 11, 65, 14, kTabStop, {0, 3, 1, 1}},
    {IDC_BROWSE_KEY, K::PushButton, TR_MARK("Browse"), 7, 28, 50, 14, kTabStop, {1, 0, 1, 3}},
    {IDC_KEY_PATH, K::EditField, "", 61, 28, 65, 14, kTabStop, {1, 3, 1, 1}},
    {IDC_OFFSET, K::EditField, "", 7, 53, 31, 14, kTabStop, {2, 0, 1, 2, true}},
    {IDC_OFFSET_ARROWS, K::ArrowPair, "", 40, 53, 10, 15, kNoStyle, {2, 1, 1, 1, true}},
    {IDC_READ_ONLY, K::CheckBox, TR_MARK("Make key file read-only."), 8, 72, 91, 10, kTabStop, {3, 0, 1, 4}},
    // One unit lower than the original template, level with its field as
    // "Key file" is with its own.
    {IDC_STATIC, K::StaticText, TR_MARK("File to encrypt"), 130, 14, 45, 8, kNoStyle, {0, 4, 1, 1}},
    {IDC_STATIC, K::StaticText, TR_MARK("Key file"), 130, 31, 24, 8, kNoStyle, {1, 4, 1, 1}},
    {IDC_ENCRYPT, K::PushButton, TR_MARK("Encrypt"), 187, 68, 50, 14, kTabStop, {3, 5, 1, 2}},
    {IDC_STATIC, K::StaticText, TR_MARK("Offset"), 53, 56, 20, 8, kNoStyle, {2, 2, 1, 2, true}},
    {IDC_STATIC, K::StaticIcon, "", 203, 15, 18, 20, kNoStyle, {0, 0, 1, 1}},
    {IDC_STATIC, K::RaisedFrame, "", 202, 13, 25, 24, kNoStyle, {0, 6, 2, 1}},
    {IDC_DECRYPT, K::PushButton, TR_MARK("Decrypt"), 187, 53, 50, 14, kTabStop, {2, 5, 1, 2, true}},
};

// %1: the version, as major.minor.
const char kAboutLines[] = TR_MARK("Veltrane Version %1\n"
                                   "Written by the Veltrane developers.\n"
                                   "Copyright (C) the Veltrane authors.");

const char kWarningText[] = TR_MARK("This program changes the file you choose for good: its bytes are "
                                    "overwritten in place. Only the same key file and the same offset can "
                                    "restore it, so keep both safe.");

// The terms in brief; ReadMe.txt carries the license text, which is why it
// must go with every copy.
const char kDistributionText[] = TR_MARK("You may use, copy, change and give away this program freely, together "
                                         "with its ReadMe.txt file (MIT License).");

const char kSeeReadMeText[] = TR_MARK("See the ReadMe.txt file included with this program for more details.");

const ControlLayout kAboutControls[] = {
    {IDC_STATIC, K::StaticIcon, "", 4, 6, 18, 20, kNoStyle, {0, 0, 1, 1}},
    {IDC_STATIC, K::StaticText, kAboutLines, 30, 4, 119, 28, kNoPrefix, {0, 1, 1, 1}},
    {IDOK_COMMAND, K::PushButton, TR_MARK("OK"), 178, 7, 32, 14, kTabStop | kDefaultButton, {0, 2, 1, 1}},
    {IDC_STATIC, K::StaticText, TR_MARK("WARNING!!!"), 5, 43, 42, 8, kNoStyle, {0, 0, 1, 1}},
    {IDC_STATIC, K::StaticText, kWarningText, 5, 54, 203, 32, kWrap, {1, 0, 1, 1}},
    {IDC_STATIC, K::RaisedFrame, "", 1, 39, 211, 50, kNoStyle, {1, 0, 1, 3, true}},
    {IDC_STATIC, K::StaticText, kDistributionText, 3, 91, 206, 22, kWrap, {2, 0, 1, 3}},
    {IDC_STATIC, K::StaticText, kSeeReadMeText, 2, 116, 210, 8, kNoStyle, {4, 0, 1, 3}},
    {IDC_STATIC, K::EtchedLine, "", 4, 113, 209, 1, kNoStyle, {3, 0, 1, 3}},
};

template <std::size_t N> constexpr std::size_t CountOf(const ControlLayout (&)[N]) { return N; }

// A table with its texts in the user's language, made once, on first use:
// after the program has chosen the language.
struct TranslatedLayout {
    std::vector<std::string> texts;
    std::vector<ControlLayout> controls;
    DialogLayout layout;

    TranslatedLayout(int id, const char* caption, int width, int height, const ControlLayout* english,
                     std::size_t count)
        : texts(count), controls(english, english + count), layout{id, caption, width, height, controls.data(), count}
    {
        for (std::size_t i = 0; i < count; ++i) {
            if (!english[i].text || !*english[i].text)
                continue;
            texts[i] =
                english[i].text == kAboutLines
                    ? platform::Fill(
                          platform::Tr(kAboutLines),
                          {VELTRANE_STRINGIZE(VELTRANE_VERSION_MAJOR) "." VELTRANE_STRINGIZE(VELTRANE_VERSION_MINOR)})
                    : platform::Tr(english[i].text);
            controls[i].text = texts[i].c_str();
        }
    }
};

}  // namespace

const DialogLayout& MainDialogLayout()
{
    static const TranslatedLayout translated(IDD_VELTRANE_DIALOG, "Veltrane", 248, 93, kMainControls,
                                             CountOf(kMainControls));
    return translated.layout;
}

const DialogLayout& AboutDialogLayout()
{
    static const TranslatedLayout translated(IDD_ABOUTBOX, platform::Tr("About Veltrane"), 217, 129, kAboutControls,
                                             CountOf(kAboutControls));
    return translated.layout;
}

namespace {

const SpokenName kSpokenNames[] = {
    {IDC_FILE_PATH, TR_MARK("File to encrypt"), TR_MARK("File to encrypt")},
    {IDC_KEY_PATH, TR_MARK("Key file"), TR_MARK("Key file")},
    {IDC_OFFSET, TR_MARK("Offset"), TR_MARK("Offset")},
    {IDC_BROWSE_FILE, TR_MARK("Browse for the file to encrypt"), nullptr},
    {IDC_BROWSE_KEY, TR_MARK("Browse for the key file"), nullptr},
    {IDC_OFFSET_ARROWS, TR_MARK("Offset up and down"), nullptr},
};

}  // namespace

SpokenNames MainDialogSpokenNames()
{
    static const std::vector<SpokenName> translated = [] {
        std::vector<SpokenName> names(std::begin(kSpokenNames), std::end(kSpokenNames));
        for (SpokenName& name : names) {
            name.name = platform::Tr(name.name);
            name.label = name.label ? platform::Tr(name.label) : nullptr;
        }
        return names;
    }();
    return {translated.data(), translated.size()};
}

}  // namespace res
