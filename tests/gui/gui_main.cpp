// GoogleTest main for the window tests: the toolkit starts once for the whole
// run, its assertions fail the test that raised them, and no modal dialog can
// open unanswered.
#include "platform/translation.h"
#include "tests/gui/gui_test.h"

#include <wx/app.h>
#include <wx/image.h>
#include <wx/init.h>

#include <cstdio>

// Outside the anonymous namespace: the wxGetApp() that the macro below
// defines for it would otherwise be an unused function of this file alone.
class TestApp : public wxApp {
public:
    bool OnInit() override { return true; }
};

namespace {

void FailOnAssert(const wxString& file, int line, const wxString& func, const wxString& cond, const wxString& message)
{
    ADD_FAILURE_AT(file.utf8_string().c_str(), line) << "wxWidgets assertion \"" << cond.utf8_string() << "\" in "
                                                     << func.utf8_string() << ": " << message.utf8_string();
}

}  // namespace

wxIMPLEMENT_APP_NO_MAIN(TestApp);

int main(int argc, char** argv)
{
    testing::InitGoogleTest(&argc, argv);
    // Listing the tests (as test discovery does) needs no display.
    if (GTEST_FLAG_GET(list_tests))
        return RUN_ALL_TESTS();

    // As the program does: the layout checks run in other languages too.
    platform::UseUserLanguage();
    wxSetAssertHandler(FailOnAssert);
    if (!wxEntryStart(argc, argv)) {
        std::fprintf(stderr, "the window tests need a display (run them under xvfb-run)\n");
        return 1;
    }
    wxTheApp->CallOnInit();
    guitest::InstallCatchAllHook();
    const int result = RUN_ALL_TESTS();
    wxEntryCleanup();
    return result;
}
