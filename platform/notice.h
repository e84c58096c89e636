// Notices and the title line: the two ways the program talks to the user.
//
// The engine reports what happened (a notice's kind and the paths it
// concerns, a pass's progress as numbers) through Report and ReportProgress;
// each program words that for its own readers: the windows from the
// program's one table of texts (ui/texts.h) into message boxes and the main
// window's caption, the command line into lines on a terminal. Toolkit-free
// code never includes a GUI header. With nothing installed the calls do
// nothing.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace platform {

// What a notice is about. The paths a kind concerns are listed with it, in
// the order Notice::paths holds them.
enum class NoticeKind {
    SameFile,                 // data and key are one file (no paths)
    CannotFind,               // the file
    InUse,                    // the file, held open by another program
    CannotMakeKeyReadOnly,    // (no paths)
    OffsetOutOfRange,         // (no paths)
    CouldNotRead,             // the file
    CouldNotWrite,            // the temporary file
    TemporaryWouldOverwrite,  // the temporary file
    OtherNames,               // the data file
    EmptyKey,                 // the key file, which holds no byte (refused for encrypting only)
    TemporaryBusy,            // the data file, the temporary file
    TemporaryNotOurs,         // the data file, the temporary file
    TemporaryInTheWay,        // the data file, the file at the temporary name that no pass left there
    OutputIsInput,            // the input (data or key) that standard output also writes to
    TemporaryNameTooLong,     // the data file, the temporary file
    ChangedDuringPass,        // the data file
    KeyChangedDuringPass,     // the key file, the data file
    CouldNotDelete,           // the data file (read-only), the temporary file the result was kept under
    TemporaryReplaced,        // the temporary file, the data file
    NameLeftAs,               // the temporary file
    RenameNotFlushed,         // the data file, replaced but maybe not for good
    FileDialogFailed,         // (no paths; `systemError` is the dialog's own code)
    DropOfSeveral,            // (no paths) more than one item dropped on a path field
    DropNotLocal,             // the dropped item as its source named it
    DropOfFolder,             // the dropped folder
    StartedWithSeveral,       // (no paths) the window program was given more than one file to start with
    StartedWithFolder,        // the folder the window program was given to start with
};

struct Notice {
    NoticeKind kind = NoticeKind::CouldNotRead;
    std::vector<std::string> paths;
    // The system's reason (an errno, or a Windows error code); 0 for none.
    int systemError = 0;
    // The pass ended on it: the window's title repeats it until the window
    // takes the title back.
    bool endsPass = false;
};

// A pass's progress at one of its progress points.
struct Progress {
    std::string fileName;  // the data file's name, without its folder
    std::int64_t done = 0;
    std::int64_t total = 0;
    int percent = 0;  // as the pass shows it (see ProgressPercent)
};

class ReportSink {
public:
    virtual ~ReportSink() = default;
    // Returns once the user has seen the notice.
    virtual void OnNotice(const Notice& notice) = 0;
    // Must not wait for the user.
    virtual void OnProgress(const Progress& progress) = 0;
};

// Installs the sink for reports; nullptr restores the silent default, and
// the previous sink is returned.
ReportSink* SetReportSink(ReportSink* sink);
void Report(const Notice& notice);
// The same for a notice given by its parts. Returns 0, what the engine's
// calls return for a request refused or a pass that failed.
int Report(NoticeKind kind, std::vector<std::string> paths = {}, int systemError = 0, bool endsPass = false);
void ReportProgress(const Progress& progress);

}  // namespace platform
