#include "ui/texts.h"

#include "platform/translation.h"
#include "res/version.h"

namespace ui {

namespace {

using platform::Fill;
using platform::NoticeKind;
using platform::Tr;

const char kEncryptError[] = TR_MARK("Encrypt file error.");
const char kBadIdea[] = TR_MARK("Filename error. (Bad idea.)");
const char kDropError[] = TR_MARK("Drop file error.");
const char kCouldNotRename[] = TR_MARK("Error: Could not rename encrypted file!");
const char kOpenError[] = TR_MARK("Open file error.");

// %1 and %2 stand for the notice's paths in their order, %% for a "%";
// lines are broken with "\n".
struct Entry {
    NoticeKind kind;
    const char* text;
    const char* caption;
};

const Entry kNotices[] = {
    {NoticeKind::SameFile,
     TR_MARK("Using  the same filename for encrypting file and a key file destroys the key file.\n"
             "You won't be able to recover the encrypted file.\n"
             "Choose a differnt key file."),
     kBadIdea},
    {NoticeKind::CannotFind, TR_MARK("Cannot find %1."), kEncryptError},
    {NoticeKind::InUse,
     TR_MARK("%1 is in use by another program. Nothing was changed; try again when that program has closed it."),
     kEncryptError},
    {NoticeKind::CannotMakeKeyReadOnly, TR_MARK("Cannot make key file read only."), TR_MARK("Set Attribute Error.")},
    {NoticeKind::OffsetOutOfRange, TR_MARK("Offset must be value between 0 and 255."), TR_MARK("Error")},
    {NoticeKind::CouldNotRead, TR_MARK("Could not read %1."), TR_MARK("Error: Could not read file!")},
    {NoticeKind::CouldNotWrite, TR_MARK("Could not write %1."), TR_MARK("Error: Could not write encrypted file!")},
    {NoticeKind::TemporaryWouldOverwrite, TR_MARK("The temporary file %1 would overwrite one of the request's files."),
     kBadIdea},
    {NoticeKind::OtherNames,
     TR_MARK("%1 has other names (hard links), which would keep the old contents. Remove them first; the file was "
             "left as it is."),
     kEncryptError},
    {NoticeKind::EmptyKey,
     TR_MARK("The key file %1 is empty: encrypting with it would protect nothing. Choose a key file that holds bytes; "
             "nothing was changed."),
     kEncryptError},
    {NoticeKind::TemporaryBusy,
     TR_MARK("%1 is not done: another pass, still running, is using its temporary file %2. Try again when it has "
             "finished."),
     kEncryptError},
    {NoticeKind::TemporaryNotOurs,
     TR_MARK("%1 is not done: its temporary file %2 belongs to someone else, and may be in use by a pass of theirs. "
             "Try again later, or ask them to remove it."),
     kEncryptError},
    {NoticeKind::TemporaryInTheWay,
     TR_MARK("%1 is not done: %2 is in the way of its temporary file, and it is not one that a pass left behind. Move "
             "or rename %2, then try again; nothing was changed."),
     kEncryptError},
    {NoticeKind::OutputIsInput,
     TR_MARK("%1 is also where the result would be written: writing it would destroy what is still to be read. Write "
             "the result to another file; nothing was written."),
     kEncryptError},
    {NoticeKind::TemporaryNameTooLong,
     TR_MARK("%1 is not done: the name of its temporary file, %2, would be too long for its folder. Give the file a "
             "shorter name first."),
     kEncryptError},
    {NoticeKind::ChangedDuringPass,
     TR_MARK("%1 was changed by another program during the pass. The changed file was left as it is; run the pass "
             "again if it is still wanted."),
     kEncryptError},
    {NoticeKind::KeyChangedDuringPass,
     TR_MARK("The key file %1 was changed by another program during the pass, so the result would match no key. %2 "
             "was left as it was."),
     kEncryptError},
    {NoticeKind::CouldNotDelete, TR_MARK("Could not delete %1."), TR_MARK("Error: Could not delete original file!")},
    {NoticeKind::TemporaryReplaced,
     TR_MARK("Another program replaced the temporary file %1 during the pass. %2 was left as it was."), kEncryptError},
    {NoticeKind::NameLeftAs, TR_MARK("Encrypted file's name is left as: %1"), kCouldNotRename},
    {NoticeKind::RenameNotFlushed,
     TR_MARK("%1 was replaced, but the system could not confirm that the change is on the disk: after a crash the file "
             "may still hold its old content."),
     kCouldNotRename},
    {NoticeKind::FileDialogFailed, TR_MARK("Common Dialog Error: %1"), TR_MARK("WARNING")},
    {NoticeKind::DropOfSeveral, TR_MARK("Drop only one file at a time."), kDropError},
    {NoticeKind::DropNotLocal, TR_MARK("%1 is not a file on this computer."), kDropError},
    {NoticeKind::DropOfFolder, TR_MARK("%1 is a folder, not a file."), kDropError},
    {NoticeKind::StartedWithSeveral, TR_MARK("Veltrane was started with several files; it takes one file at a time."),
     kOpenError},
    {NoticeKind::StartedWithFolder, TR_MARK("%1 is a folder, not a file."), kOpenError},
};

}  // namespace

const char kIdleTitle[] = "Veltrane";

const char* StartAnswer(const std::string& argument)
{
    if (argument == "--help")
        return platform::Tr("Usage: veltrane [FILE]   (the window, with FILE to encrypt or decrypt)\n"
                            "The offset field holds 0 to 255: once the field is left, a larger number\n"
                            "typed into it is 255 and anything but a whole number is 0.");
    return argument == "--version" ? "veltrane " VELTRANE_VERSION : nullptr;
}

NoticeWords WordNotice(const platform::Notice& notice, const std::vector<std::string>& shownPaths)
{
    NoticeWords words;
    for (const Entry& entry : kNotices) {
        if (entry.kind != notice.kind)
            continue;
        words.caption = Tr(entry.caption);
        if (notice.kind == NoticeKind::FileDialogFailed) {
            // A box of its own: it blocks nothing, and shows the error icon.
            words.text = Fill(Tr(entry.text), {std::to_string(notice.systemError)});
            words.icon = NoticeIcon::Error;
            words.owner = NoticeOwner::None;
        } else {
            words.text = Fill(Tr(entry.text), shownPaths);
        }
        break;
    }
    return words;
}

NoticeWords WordNotice(const platform::Notice& notice) { return WordNotice(notice, notice.paths); }

std::string ProgressTitle(const std::string& shownName, int percent)
{
    return Fill(Tr("Working file %1 %2%% done."), {shownName, std::to_string(percent)});
}

namespace {

bool EndsSentence(const std::string& part) { return !part.empty() && (part.back() == '.' || part.back() == '!'); }

}  // namespace

std::string NoticeWords::Line(const std::vector<std::string>& more) const
{
    // A box's caption is a sentence or two of its own ("Filename error. (Bad
    // idea.)"); in a line it leads into the text, without its stops.
    std::string line;
    for (size_t i = 0; i < caption.size(); ++i) {
        const bool stop = caption[i] == '.' || caption[i] == '!';
        if (!stop || (i + 1 < caption.size() && caption[i + 1] != ' ' && caption[i + 1] != ')'))
            line += caption[i];
    }
    line += ": " + text;
    // Each further part goes on the same sentence, which then ends with it.
    for (const std::string& part : more) {
        const bool stopped = EndsSentence(line);
        if (stopped)
            line.pop_back();
        line += ": " + part;
        if (stopped && !EndsSentence(line))
            line += '.';
    }
    return line;
}

void ReportView::OnNotice(const platform::Notice& notice)
{
    const NoticeWords words = WordNotice(notice);
    ShowBox(words);
    if (notice.endsPass)
        ShowTitle(words.text, -1);
}

void ReportView::OnProgress(const platform::Progress& progress)
{
    ShowTitle(ProgressTitle(progress.fileName, progress.percent), progress.percent);
}

}  // namespace ui
