// File services: probes, the read-only mark, and the safe replacement of a
// file by a new version written beside it.
#pragma once

#include <sys/stat.h>
#include <sys/types.h>

#include <cstddef>
#include <cstdint>
#include <string>

namespace platform {

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
    // Clears the three write permission bits and keeps every other bit; this
    // is the read-only mark. Returns false when the mode can't be stored.
    bool MarkReadOnly();
    void Close();

private:
    int m_fd = -1;
};

// A file with no write permission bits at all carries the read-only mark: the
// program refuses to replace it.
bool IsMarkedReadOnly(const std::string& path);

// True when both paths exist and name one file (same device and inode), by
// whatever route: relative and absolute paths, symlinks, hard links.
bool SameFile(const std::string& a, const std::string& b);

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
    // Reads on from the current position until `count` bytes or the end of
    // the file. Returns the number of bytes read, or -1 on a read error.
    ssize_t ReadFull(void* buffer, size_t count);
    // Reads `count` bytes at `offset` without moving the current position;
    // true only when all of them were read.
    bool ReadAt(std::int64_t offset, void* buffer, size_t count);
    const struct stat& Status() const { return m_stat; }
    // The length found when the file was opened.
    std::int64_t Size() const { return m_stat.st_size; }
    void Close();

private:
    int m_fd = -1;
    struct stat m_stat {};
};

// The new version of a file, written under a temporary name beside it and then
// renamed over it in one step, so that at every moment one complete version
// exists on disk. Unless Replace() succeeds or Keep() is called, the
// destructor removes the temporary file.
class ReplacementFile {
public:
    ReplacementFile() = default;
    ~ReplacementFile();
    ReplacementFile(const ReplacementFile&) = delete;
    ReplacementFile& operator=(const ReplacementFile&) = delete;

    // Removes whatever stands at the temporary path without following it (a
    // planted symlink must not redirect the write), then creates the file
    // exclusively with owner-only access.
    bool Create(const std::string& tempPath);
    // Writes everything or fails (short writes are retried).
    bool Write(const void* buffer, size_t count);
    // Gives the file the original's owner, group and permission bits where
    // the filesystem keeps them (never more access than it had when the owner
    // can't be kept), flushes it to disk and closes it.
    bool Finish(const struct stat& original);
    // Renames the finished file over `target` and flushes the directory.
    bool Replace(const std::string& target);
    // Leaves the finished file under its temporary name.
    void Keep() { m_keep = true; }
    // Closes and removes the temporary file.
    void Discard();

private:
    std::string m_path;
    int m_fd = -1;
    bool m_created = false;
    bool m_keep = false;
};

}  // namespace platform
