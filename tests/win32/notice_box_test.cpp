// Notices in the system's message box, on a virtual display: a long path
// comes whole, in a box that stays on the screen.
#include "platform/win32/text.h"
#include "ui/win32/sinks.h"

#include <gtest/gtest.h>

#include <string>
#include <thread>

namespace {

const wchar_t kCaption[] = L"Encrypt file error.";

BOOL CALLBACK KeepLongestText(HWND child, LPARAM data)
{
    auto* longest = reinterpret_cast<std::wstring*>(data);
    wchar_t text[2048] = {};
    GetWindowTextW(child, text, 2048);
    if (wcslen(text) > longest->size())
        *longest = text;
    return TRUE;
}

std::wstring WithoutLineBreaks(std::wstring text)
{
    for (size_t at = text.find(L"\r\n"); at != std::wstring::npos; at = text.find(L"\r\n"))
        text.erase(at, 2);
    return text;
}

TEST(NoticeBox, ALongPathIsShownWholeInABoxThatFitsTheScreen)
{
    // 403 characters with no space to break at, one of them outside any
    // code page.
    std::string path = "C:\\";
    for (int i = 0; i < 16; ++i)
        path += "FolderOfTheArchive2026\\";
    path += "report\xF0\x9F\x93\x84"
            "final";
    auto characters = [](const std::string& utf8) {
        size_t count = 0;
        for (unsigned char byte : utf8)
            count += (byte & 0xC0) != 0x80;
        return count;
    };
    while (characters(path) < 399)
        path += 'x';
    path += ".bin";
    ASSERT_EQ(403u, characters(path));
    const std::string text = "Cannot find " + path + ".";

    ui::Win32Reports reports;
    RECT box{};
    std::wstring shown;
    bool found = false;
    // The box holds this thread until it is answered; another one looks at
    // it and answers it.
    std::thread answer([&] {
        for (int tries = 0; tries < 300 && !found; ++tries) {
            HWND window = FindWindowW(nullptr, kCaption);
            if (!window || !IsWindowVisible(window)) {
                Sleep(100);
                continue;
            }
            found = GetWindowRect(window, &box) != FALSE;
            EnumChildWindows(window, KeepLongestText, reinterpret_cast<LPARAM>(&shown));
            PostMessageW(window, WM_COMMAND, IDOK, 0);
        }
    });
    reports.ShowBox({text, platform::Narrow(kCaption), ui::NoticeIcon::Warning, ui::NoticeOwner::None});
    answer.join();

    ASSERT_TRUE(found) << "no box came";
    const int screen = GetSystemMetrics(SM_CXSCREEN);
    EXPECT_GE(box.left, 0);
    EXPECT_LE(box.right, screen) << "box " << box.right - box.left << " px on a screen of " << screen;
    EXPECT_NE(std::wstring::npos, shown.find(L"\r\n")) << "the path was not broken";
    EXPECT_EQ(platform::Widen(text), WithoutLineBreaks(shown));
}

TEST(NoticeBox, WordsThatFitAreLeftAsTheyAre)
{
    const std::wstring sentence = L"Cannot find C:\\data\\report.bin.\r\nTry again.";
    EXPECT_EQ(sentence, ui::BreakLongWords(sentence, nullptr, 400));
}

}  // namespace
