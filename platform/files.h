// File services: probes, the read-only mark, and the safe replacement of a
// file by a new version written beside it.
//
// The interface is the same on every system; each system has its own
// implementation file. Paths are UTF-8 strings.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace platform {

// The characters after which a path's last name begins: "/" on POSIX
// systems; "\\", "/" and a drive's ":" on Windows.
extern const char kPathSeparators[];

// How the name of a pass's temporary file ends, after the data file's name
// up to its first "." ("1ê9", in UTF-8 on every system): the engine names
// the file with it, and a folder walk knows leftovers by it.
constexpr char kTemporaryEnding[] = ".1\u00EA9";

// Which file a name stands for: the device (volume) and the file's number on
// it. Two names with one identity are one file.
struct FileIdentity {
    std::uint64_t volume = 0;
    std::uint64_t index = 0;
    bool operator==(const FileIdentity& other) const { return volume == other.volume && index == other.index; }
    bool operator!=(const FileIdentity& other) const { return !(*this == other); }
    bool operator<(const FileIdentity& other) const
    {
        return volume != other.volume ? volume < other.volume : index < other.index;
    }
};

// What a name stands for, links not followed: a link (on Windows any
// reparse point) is one of its own. SystemFile is a file Windows marks as
// its own with the system attribute (desktop.ini, Thumbs.db), which shapes
// how Explorer shows its folder; other systems have none.
enum class EntryKind { Folder, Link, Regular, SystemFile, Other };

// Whether a name in a folder is a pass's temporary file or its leftover: the
// ending folded where the system folds names (Windows), and on POSIX systems
// the private names of files made where none can be made without a name.
bool IsTemporaryName(const std::string& name);

// Which file a path finally names, links followed, and what it is; false
// when there is nothing.
bool PathIdentity(const std::string& path, FileIdentity& identity, EntryKind* kind = nullptr);

// Opens a file for reading to prove that a request can use it. Only regular
// files pass: a FIFO, a device, a socket or a directory is refused, and the
// open never blocks (a FIFO without a writer would otherwise hang the window).
// The file stays open for as long as the probe lives. Where the system lets
// an open file keep others out (Windows), the probe keeps everyone out, or
// with `othersMayRead` only those who would write.
class Folder;

class FileProbe {
public:
    explicit FileProbe(const std::string& path, bool othersMayRead = false);
    // The file `name` inside `folder`, never through a link there.
    FileProbe(const Folder& folder, const std::string& name);
    ~FileProbe();
    FileProbe(const FileProbe&) = delete;
    FileProbe& operator=(const FileProbe&) = delete;

    bool IsOpen() const { return m_fd >= 0; }
    // Why it was not opened, where the system's reason says more than that
    // the file isn't there (no permission, an I/O error, a name too long);
    // else 0.
    int Error() const { return m_error; }
    // Not opened because another program holds the file in a way that keeps
    // this one out; the file exists.
    bool InUse() const { return m_inUse; }
    // Sets the read-only mark and keeps everything else about the file.
    // Returns false when the mark can't be stored.
    bool MarkReadOnly();
    void Close();

private:
    int m_fd = -1;
    bool m_inUse = false;
    int m_error = 0;
};

// Writes everything to standard output, or with `toError` to standard error,
// resuming after a signal: Written, ReaderGone (a pipe whose reader has
// closed it, as `| head` does once it has read enough), or Failed with the
// system's error.
enum class Output { Written, ReaderGone, Failed };
Output WriteStandardStream(const void* buffer, std::size_t count, bool toError = false);

// Whether a running pass holds the temporary file at `path`.
bool HeldByRunningPass(const std::string& path);

// What standard output is, where it is a file that could also be read (a
// regular file or a disk): false for a pipe, a terminal, the null device.
bool StandardOutputIdentity(FileIdentity& identity);

// True when both paths exist and name one file, by whatever route: relative
// and absolute paths, symlinks, hard links.
bool SameFile(const std::string& a, const std::string& b);

// True when the two texts name one file by how this system compares names
// alone: byte for byte where names keep their letter case, ignoring it where
// the system folds names.
bool SamePathText(const std::string& a, const std::string& b);

// The file a path finally names, symlinks followed; the path unchanged when it
// can't be resolved.
std::string ResolvePath(const std::string& path);

// Random bytes from the system's generator; false, with the system's error,
// when it has none to give.
bool RandomBytes(void* buffer, std::size_t count);

// An unguessable name (kPrivateNameStart and 16 hex digits) for a file
// being made before it gets its own: nobody can plant anything at it
// beforehand, and a folder walk knows it for a leftover. Empty when no
// random bytes came.
constexpr char kPrivateNameStart[] = ".veltrane-";
std::string PrivateName();

// How many files this process may hold open at once (descriptors where
// the system counts them), for those that keep many open together.
std::size_t OpenFilesAllowed();

// The calling thread's last system error (errno, or Windows' own code), and
// the system's words for one.
int LastSystemError();
std::string SystemErrorText(int systemError);

// The folder part of a path ("" for a bare name) and its last name.
std::string FolderOfPath(const std::string& path);
std::string LastNameOf(const std::string& path);

// A folder held open, so that names in it are found in this very folder
// whatever happens meanwhile to the path that led to it (a folder renamed,
// or swapped for a link to somewhere else).
class Folder {
public:
    Folder() = default;
    ~Folder();
    Folder(const Folder&) = delete;
    Folder& operator=(const Folder&) = delete;

    // A folder named by the user: links on the way are followed, as the user
    // meant them. Notices name it by `path` ("" for the current one).
    bool Open(const std::string& path);
    // A folder inside `parent`, never through a link.
    bool OpenWithin(const Folder& parent, const std::string& name);
    bool IsOpen() const;
    FileIdentity Identity() const { return m_identity; }
    // The folder as notices name it, ending in a separator unless empty.
    const std::string& Shown() const { return m_shown; }
    // What `name` in this folder is, without following a link there (or,
    // with `followLink`, after following it); false when there is nothing.
    bool EntryIdentity(const std::string& name, bool followLink, FileIdentity& identity,
                       EntryKind* kind = nullptr) const;
    // Every name in the folder but "." and "..", in no set order; false, with
    // the system's error, when it can't be read to the end.
    bool Names(std::vector<std::string>& names) const;
    int Descriptor() const { return m_fd; }
    // Lets the folder go for now, keeping what it is, so that a walk of any
    // depth holds only so many folders open (where folders are held by a
    // descriptor). Reopen() takes it back through the parent entry of
    // `child`, a folder opened within it and still open, provided that this
    // is still the folder it was.
    void Release();
    bool Reopen(const Folder& child);

private:
    void Close();
    // Takes `fd` as the open folder, or closes when it is none.
    bool Hold(int fd, const std::string& shown);

    int m_fd = -1;
    bool m_open = false;
    std::string m_shown;
    FileIdentity m_identity;
};

// A file opened for reading a pass's input.
class InputFile {
public:
    InputFile() = default;
    ~InputFile();
    InputFile(const InputFile&) = delete;
    InputFile& operator=(const InputFile&) = delete;

    // Regular files only; never blocks.
    bool Open(const std::string& path);
    // The regular file `name` inside `folder`, never through a link.
    bool OpenIn(const Folder& folder, const std::string& name);
    // Standard input, whatever it is (a pipe, a terminal, a file), read on
    // from where it stands; its size says nothing.
    bool OpenStandardInput();
    int Descriptor() const { return m_fd; }
    const std::string& Path() const { return m_path; }
    // Reads on from the current position until `count` bytes or the end of
    // the file. Returns the number of bytes read, or -1 on a read error.
    std::int64_t ReadFull(void* buffer, std::size_t count);
    // The length found when the file was opened.
    std::int64_t Size() const { return m_size; }
    // The length the open file has now (-1 when it can't be told): a file
    // that grew while it was read has a tail the pass never saw.
    std::int64_t CurrentLength() const;
    FileIdentity Identity() const { return m_identity; }
    // How many names (hard links) the file has.
    std::uint64_t LinkCount() const { return m_links; }
    // Whether the file is still as it was opened: the same length and no
    // change since (the system's change time), and, where `namesCount`, no
    // second name. A key's other names don't matter: only its bytes are read.
    enum class Change { None, Content, Links };
    Change ChangeSinceOpened(bool namesCount = true) const;
    // Whether the file carries the read-only mark now.
    bool MarkedReadOnly() const;
    // Whether the file can be reached through a mount as well (a file
    // mounted over another name, or itself a mount point): as with a hard
    // link, its other path would go on showing the old bytes.
    bool MountedElsewhere() const;
    void Close();

private:
    bool Adopt(int fd, const std::string& path);

    int m_fd = -1;
    // The system's watch on writes and attribute changes made to the open
    // file by anyone (POSIX), where timestamps are too coarse to show one:
    // -1 where it can't watch; and how many it had counted at the opening.
    int m_watch = -1;
    std::uint64_t m_writesSeen = 0;
    bool m_regular = true;
    std::string m_path;
    std::int64_t m_size = 0;
    FileIdentity m_identity;
    std::uint64_t m_links = 0;
    // The file's change and modification times when it was opened, in
    // nanoseconds.
    std::int64_t m_changed = 0;
    std::int64_t m_modified = 0;
};

// The new version of a file, written under a temporary name beside it and then
// put in its place in one step, so that at every moment one complete version
// exists on disk. The temporary file is held (locked) by the pass that made it
// from its creation to its end, so that two passes whose temporary names
// coincide never touch each other's files. Unless Replace() succeeds or Keep()
// is called, the destructor removes the temporary file.
// A file that must appear whole or not at all (a key) is made the same way by
// CreateNew() and Place(); unless placed, the destructor removes it.
class ReplacementFile {
public:
    enum class Created {
        Yes,
        // Another running pass holds the temporary file.
        Busy,
        // The temporary name is longer than the file system allows.
        NameTooLong,
        // Something at the temporary name that this process can't open to
        // tell whether a pass holds it: not this pass's to remove.
        NotOurs,
        // Something at the temporary name that no pass of this program left
        // there (a file of the user's, a kept result, a link): left alone.
        InTheWay,
        Failed,
    };
    enum class Replaced {
        Yes,
        // The data file's name no longer names the file the pass read, or
        // that file was written to meanwhile. The temporary file is removed.
        TargetChanged,
        // The data file got another name (hard link) during the pass.
        TargetLinked,
        // The temporary name no longer names the file this pass wrote.
        TemporaryChanged,
        // The file system refused; the result stays under the temporary name.
        Failed,
        // Renamed, but the folder could not be flushed: after a crash the
        // disk may still hold the old file under the name.
        NotFlushed,
    };

    ReplacementFile() = default;
    ~ReplacementFile();
    ReplacementFile(const ReplacementFile&) = delete;
    ReplacementFile& operator=(const ReplacementFile&) = delete;

    // Takes over the temporary name `tempName` in `folder`. A leftover there
    // that no running pass holds and that carries the mark a pass puts on
    // its temporary file (a killed pass's) is replaced; anything else there
    // is left alone. The file is created with owner-only access, held from
    // the moment it has a name.
    Created Create(const Folder& folder, const std::string& tempName);
    // Writes everything or fails (short writes are carried on).
    bool Write(const void* buffer, std::size_t count);
    // The number of bytes the file holds now, -1 when it can't be told.
    std::int64_t Size() const;
    // Gives the file the original's owner, group, permissions, access control
    // list and extended attributes where they can be kept (never more access
    // than the original had when they can't), takes off the mark of a pass's
    // leftover, and flushes it to disk. False when any of that fails for
    // another reason than that the file system can't hold it. The file stays
    // open and held. With `flushLater` the disk is only set to writing it,
    // and the mark stays on: Unmark() and then Flush() (or FlushFileSystem())
    // must succeed before Replace(). A group of files then waits for the
    // disk once instead of once each, and a group killed meanwhile leaves
    // only leftovers that the next pass replaces.
    bool Finish(const InputFile& original, bool flushLater = false);
    // Takes off the mark that tells this file for a pass's own, before it
    // becomes the user's file or a result kept for the user; before the
    // flush, so that the disk never holds the result under its own name
    // marked.
    void Unmark();
    // Puts the finished file in place of `targetName` in the same folder,
    // provided that the name still names `original`, unchanged since it was
    // opened and with no other name, and that the temporary name still names
    // this file; then flushes the folder, or with `flushFolderLater` leaves
    // that to FlushFolder(), which one file of a group's folder can do for
    // all. Where the system renames over no open file, `original` is closed
    // once it has been checked.
    Replaced Replace(const std::string& targetName, InputFile& original, bool flushFolderLater = false);
    // After Replace(..., true): makes the new names in this file's folder
    // durable (true where the system keeps names durable by itself), and
    // lets the file and the folder go.
    bool FlushFolder();
    // The folder the file was made in.
    FileIdentity FolderIdentity() const { return m_folder; }
    // Leaves the finished file under its temporary name; Finish() took its
    // mark off, so a result kept for the user is never taken for a leftover.
    void Keep() { m_keep = true; }
    // Closes the file and removes it if the temporary name still names it.
    void Discard();

    // A new file for `name` in `folder`, with no name (or a private one that
    // goes with it) until Place(), so that nothing stopped or killed midway
    // is found at `name`. False with the system's error: EEXIST
    // (ERROR_FILE_EXISTS) when anything, even a dangling link, is there.
    bool CreateNew(const Folder& folder, const std::string& name);
    // Flushes what is written so far to disk.
    bool Flush();
    // Flushes everything written to the file system this file lies on, at
    // once: one wait for the disk for every file made there. False where
    // that failed, or where the system can't do it or can't tell a failure
    // that way; Flush() then serves each file and tells which failed.
    bool FlushFileSystem();
    // Flushes the new file, names it, never over anything that came there
    // meanwhile (EEXIST, ERROR_ALREADY_EXISTS), and flushes the folder: Yes,
    // Failed (not named) or NotFlushed (the folder's flush failed). On
    // failure the file goes. It stays open until the object goes.
    Replaced Place();
    int Descriptor() const { return m_fd; }
    // The file made, which after Replace() or Place() is the file under the
    // name.
    FileIdentity Identity() const { return m_made; }
    // A private name that could not be removed after a failure (a full
    // file system that refuses even that), emptied: "" when none is left.
    const std::string& LeftBehind() const { return m_leftBehind; }

private:
    // Forgets any earlier file and takes the folder and the name.
    bool Start(const Folder& folder, const std::string& name);
    bool StillNamesThisFile() const;
    // Whether `name` beside this file is, itself (not a link to it), the
    // file `identity`.
    bool NameIs(const std::string& name, const FileIdentity& identity) const;
    // Puts this file in place of `targetName` in one step and, unless
    // `flushFolderLater`, makes the new name durable where the system can:
    // Yes, Failed (nothing renamed) or NotFlushed.
    Replaced RenameOver(const std::string& targetName, InputFile& original, bool flushFolderLater);
    void Release();

    std::string m_path;
    std::string m_name;     // m_path's last component
    std::string m_private;  // the file's name until it has m_name (POSIX)
    std::string m_leftBehind;
    FileIdentity m_made;
    FileIdentity m_folder;
    int m_dir = -1;
    int m_fd = -1;
    bool m_created = false;
    bool m_keep = false;
};

// Makes sure that standard input, output and error are open (on the null
// device where they were closed), so that no file the program opens later
// gets one of their numbers and receives what is meant for the terminal.
// Returns whether standard output was one of those closed: what is written
// there then reaches nobody.
bool EnsureStandardStreams();

}  // namespace platform
