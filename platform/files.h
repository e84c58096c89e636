// File services: probes, the read-only mark, and the safe replacement of a
// file by a new version written beside it.
//
// The interface is the same on every system; each system has its own
// implementation file. Paths are UTF-8 strings.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace platform {

// The characters after which a path's last name begins: "/" on POSIX
// systems; "\\", "/" and a drive's ":" on Windows.
extern const char kPathSeparators[];

// Which file a name stands for: the device (volume) and the file's number on
// it. Two names with one identity are one file.
struct FileIdentity {
    std::uint64_t volume = 0;
    std::uint64_t index = 0;
    bool operator==(const FileIdentity& other) const
    {
        return volume == other.volume && index == other.index;
    }
    bool operator!=(const FileIdentity& other) const { return !(*this == other); }
};

// Opens a file for reading to prove that a request can use it. Only regular
// files pass: a FIFO, a device, a socket or a directory is refused, and the
// open never blocks (a FIFO without a writer would otherwise hang the window).
// The file stays open for as long as the probe lives.
class FileProbe {
public:
    explicit FileProbe(const std::string& path);
    ~FileProbe();
    FileProbe(const FileProbe&) = delete;
    FileProbe& operator=(const FileProbe&) = delete;

    bool IsOpen() const { return m_fd >= 0; }
    // Sets the read-only mark and keeps everything else about the file.
    // Returns false when the mark can't be stored.
    bool MarkReadOnly();
    void Close();

private:
    int m_fd = -1;
};

// Whether a file carries the read-only mark: the program refuses to replace it.
bool IsMarkedReadOnly(const std::string& path);

// True when both paths exist and name one file, by whatever route: relative
// and absolute paths, symlinks, hard links.
bool SameFile(const std::string& a, const std::string& b);

// True when the two texts name one file by how this system compares names
// alone: byte for byte where names keep their letter case, ignoring it where
// the system folds names.
bool SamePathText(const std::string& a, const std::string& b);

// True when `path` itself (not what a symlink there points to) is the file
// that `other` names.
bool EntryIsFile(const std::string& path, const std::string& other);

// The file a path finally names, symlinks followed; the path unchanged when it
// can't be resolved.
std::string ResolvePath(const std::string& path);

// A file opened for reading a pass's input.
class InputFile {
public:
    InputFile() = default;
    ~InputFile();
    InputFile(const InputFile&) = delete;
    InputFile& operator=(const InputFile&) = delete;

    // Regular files only; never blocks.
    bool Open(const std::string& path);
    int Descriptor() const { return m_fd; }
    const std::string& Path() const { return m_path; }
    // Reads on from the current position until `count` bytes or the end of
    // the file. Returns the number of bytes read, or -1 on a read error.
    std::int64_t ReadFull(void* buffer, std::size_t count);
    // Reads `count` bytes at `offset` without moving the current position;
    // true only when all of them were read.
    bool ReadAt(std::int64_t offset, void* buffer, std::size_t count);
    // The length found when the file was opened.
    std::int64_t Size() const { return m_size; }
    FileIdentity Identity() const { return m_identity; }
    // How many names (hard links) the file has.
    std::uint64_t LinkCount() const { return m_links; }
    // Some files report a length of 0 although reading them gives bytes (the
    // kernel's own files under /proc). For such a file this reads what it
    // gives, up to `limit` bytes, into private storage that then stands in
    // for it, so that Size() and every read tell the truth. False when it
    // can't be read.
    bool TakeContentIfSizeUnknown(std::int64_t limit);
    void Close();

private:
    int m_fd = -1;
    std::string m_path;
    std::int64_t m_size = 0;
    FileIdentity m_identity;
    std::uint64_t m_links = 0;
};

// The new version of a file, written under a temporary name beside it and then
// put in its place in one step, so that at every moment one complete version
// exists on disk. The temporary file is held (locked) by the pass that made it
// from its creation to its end, so that two passes whose temporary names
// coincide never touch each other's files. Unless Replace() succeeds or Keep()
// is called, the destructor removes the temporary file.
class ReplacementFile {
public:
    enum class Created {
        Yes,
        // Another running pass holds the temporary file.
        Busy,
        // The temporary name is longer than the file system allows.
        NameTooLong,
        Failed,
    };
    enum class Replaced {
        Yes,
        // The data file's name no longer names the file the pass read: it was
        // saved anew or replaced meanwhile. The temporary file is removed.
        TargetChanged,
        // The temporary name no longer names the file this pass wrote.
        TemporaryChanged,
        // The file system refused; the result stays under the temporary name.
        Failed,
    };

    ReplacementFile() = default;
    ~ReplacementFile();
    ReplacementFile(const ReplacementFile&) = delete;
    ReplacementFile& operator=(const ReplacementFile&) = delete;

    // Takes over the temporary path. A leftover there that no running pass
    // holds (a killed pass, a kept result) is replaced; a symlink there is
    // removed, never followed. The file is created with owner-only access.
    Created Create(const std::string& tempPath);
    // Writes everything or fails (short writes are carried on).
    bool Write(const void* buffer, std::size_t count);
    // The number of bytes the file holds now, -1 when it can't be told.
    std::int64_t Size() const;
    // Gives the file the original's owner, group, permissions, access control
    // list and extended attributes where they can be kept (never more access
    // than the original had when they can't), and flushes it to disk. The
    // file stays open and held.
    bool Finish(const InputFile& original);
    // Puts the finished file in place of `target`, which must lie in the same
    // folder, provided that `target` still names `original` and the temporary
    // name still names this file; then flushes the folder.
    Replaced Replace(const std::string& target, const InputFile& original);
    // Leaves the finished file under its temporary name.
    void Keep() { m_keep = true; }
    // Closes the file and removes it if the temporary name still names it.
    void Discard();

private:
    bool StillNamesThisFile() const;
    void Release();

    std::string m_path;
    std::string m_name;  // m_path's last component
    int m_dir = -1;
    int m_fd = -1;
    bool m_created = false;
    bool m_keep = false;
};

// Makes sure that standard input, output and error are open (on the null
// device where they were closed), so that no file the program opens later
// gets one of their numbers and receives what is meant for the terminal.
void EnsureStandardStreams();

}  // namespace platform
