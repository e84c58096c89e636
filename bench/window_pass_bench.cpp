// The window's pass against the command line's, on the same 1 GiB file in
// /dev/shm under the display it is given (with a window manager, which
// redraws the title bar at every progress line, as on any desktop): from the
// press of Decrypt to the title back at "Veltrane", against veltrane-cli
// started on the same file. Seven pairs, the two taking turns to go first;
// prints the median ratio.
#include "bench/fill.h"
#include "res/resource.h"
#include "ui/wx/veltrane_dlg.h"

#include <wx/app.h>
#include <wx/button.h>
#include <wx/image.h>
#include <wx/init.h>
#include <wx/textctrl.h>
#include <wx/toplevel.h>

#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

class BenchApp : public wxApp {
public:
    bool OnInit() override { return true; }
};
wxIMPLEMENT_APP_NO_MAIN(BenchApp);

namespace {

constexpr long long kBytes = 1LL << 30;
constexpr int kPairs = 7;

using Clock = std::chrono::steady_clock;

double Seconds(Clock::time_point since) { return std::chrono::duration<double>(Clock::now() - since).count(); }

void SetField(wxWindow* dialog, int id, const std::string& text)
{
    static_cast<wxTextCtrl*>(dialog->FindWindow(id))->SetValue(wxString::FromUTF8(text));
}

// As a click does it; the handler returns once the pass is over.
double Press(wxTopLevelWindow* dialog, int id)
{
    wxWindow* button = dialog->FindWindow(id);
    wxCommandEvent event(wxEVT_BUTTON, id);
    event.SetEventObject(button);
    const Clock::time_point start = Clock::now();
    button->GetEventHandler()->ProcessEvent(event);
    const double took = Seconds(start);
    if (dialog->GetTitle() != "Veltrane") {
        std::fprintf(stderr, "the window's title is \"%s\" after the pass\n", dialog->GetTitle().utf8_str().data());
        std::exit(1);
    }
    return took;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s VELTRANE-CLI\n", argv[0]);
        return 2;
    }
    const std::string cli = argv[1];
    if (!wxEntryStart(argc, argv)) {
        std::fprintf(stderr, "the window benchmark needs a display (run it under xvfb-run)\n");
        return 1;
    }
    wxTheApp->CallOnInit();
    wxInitAllImageHandlers();

    char folder[] = "/dev/shm/veltrane-window-bench-XXXXXX";
    if (!::mkdtemp(folder)) {
        std::perror("mkdtemp");
        return 1;
    }
    const std::string data = std::string(folder) + "/data.bin", key = std::string(folder) + "/key.bin";
    bench::Fill(data, kBytes, 1);
    bench::Fill(key, 1 << 20, 2);

    auto* dialog = new CVeltraneDlg(nullptr);
    dialog->Show();
    const std::string command = cli + " encrypt -q -k '" + key + "' '" + data + "'";
    std::vector<double> ratios;
    // The first pair only warms up: the file's pages are new to the system.
    for (int pair = 0; pair <= kPairs; ++pair) {
        const auto byCommandLine = [&] {
            const Clock::time_point start = Clock::now();
            if (std::system(command.c_str()) != 0) {
                std::fprintf(stderr, "%s failed\n", command.c_str());
                std::exit(1);
            }
            return Seconds(start);
        };
        const auto byWindow = [&] {
            // A pass ends with the file field cleared.
            SetField(dialog, IDC_FILE_PATH, data);
            SetField(dialog, IDC_KEY_PATH, key);
            return Press(dialog, IDC_DECRYPT);
        };
        double windowTook = 0, commandLineTook = 0;
        if (pair % 2 == 0) {
            commandLineTook = byCommandLine();
            windowTook = byWindow();
        } else {
            windowTook = byWindow();
            commandLineTook = byCommandLine();
        }
        if (pair == 0)
            continue;
        std::printf("pair %d: window %.2f s, command line %.2f s\n", pair, windowTook, commandLineTook);
        ratios.push_back(windowTook / commandLineTook);
    }
    dialog->Destroy();
    ::unlink(data.c_str());
    ::unlink(key.c_str());
    ::rmdir(folder);
    std::sort(ratios.begin(), ratios.end());
    std::printf("window pass/command-line pass: %.2f (median of %d, 1 GiB in /dev/shm, target <= 1.15)\n",
                ratios[ratios.size() / 2], kPairs);
    wxEntryCleanup();
    return 0;
}
