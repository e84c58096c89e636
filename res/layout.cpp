#include "res/layout.h"

#include "res/resource.h"

namespace res {

namespace {

using K = ControlKind;

// In tab order. Static texts take no focus, so where they stand in the list
// matters only for the tab stops around them.
const ControlLayout kMainControls[] = {
    {IDC_BROWSE_FILE, K::PushButton, "Browse", 7, 11, 50, 14, kTabStop},
    {IDC_FILE_PATH, K::EditField, "", 61, 11, 65, 14, kTabStop},
    {IDC_BROWSE_KEY, K::PushButton, "Browse", 7, 28, 50, 14, kTabStop},
    {IDC_KEY_PATH, K::EditField, "", 61, 28, 65, 14, kTabStop},
    {IDC_OFFSET, K::EditField, "", 7, 53, 31, 14, kTabStop},
    {IDC_OFFSET_ARROWS, K::ArrowPair, "", 40, 53, 10, 15, kNoStyle},
    {IDC_READ_ONLY, K::CheckBox, "Make key file read-only.", 8, 72, 91, 10, kTabStop},
    {IDC_STATIC, K::StaticText, "File to encrypt", 130, 13, 45, 8, kNoStyle},
    {IDC_STATIC, K::StaticText, "Key file", 130, 31, 24, 8, kNoStyle},
    {IDC_ENCRYPT, K::PushButton, "Encrypt", 187, 68, 50, 14, kTabStop},
    {IDC_STATIC, K::StaticText, "Offset", 53, 56, 20, 8, kNoStyle},
    {IDC_STATIC, K::StaticIcon, "", 203, 15, 18, 20, kNoStyle},
    {IDC_STATIC, K::RaisedFrame, "", 202, 13, 25, 24, kNoStyle},
    {IDC_DECRYPT, K::PushButton, "Decrypt", 187, 53, 50, 14, kTabStop},
};

template <std::size_t N>
constexpr std::size_t CountOf(const ControlLayout (&)[N])
{
    return N;
}

}  // namespace

const DialogLayout& MainDialogLayout()
{
    static const DialogLayout layout{IDD_VELTRANE_DIALOG, "Veltrane", 248, 93, kMainControls,
                                     CountOf(kMainControls)};
    return layout;
}

}  // namespace res
