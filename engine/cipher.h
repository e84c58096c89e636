// The cipher engine: checking a request and carrying it out.
//
// Every byte of the data file is combined with the key file's byte at the
// same position (its last byte once the key file runs out, 0 for an empty key
// file) and the offset's low byte: added modulo 256 to encrypt, subtracted to
// decrypt. Files encrypted by any earlier build must still decrypt, so this
// arithmetic never changes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace platform {
class Folder;
struct FileIdentity;
}  // namespace platform

constexpr int kDirectionDecrypt = 0;
constexpr int kDirectionEncrypt = 1;

// Returns 1 when the request may go ahead, 0 after a notice that says why it
// may not. Marks the key file read-only when asked, before the offset is
// looked at.
int ValidateRequest(const std::string& filePath, const std::string& keyPath, int offset, int makeKeyReadOnly);
// The same for the file `name` inside a folder that the caller holds open,
// looked at there, so that the length of its whole path doesn't matter.
int ValidateRequestIn(const platform::Folder& folder, const std::string& name, const std::string& filePath,
                      const std::string& keyPath, int offset, int makeKeyReadOnly);
// The same for a request whose data is a stream, with nothing to look at
// beforehand: the key and the offset alone.
int ValidateKeyAlone(const std::string& keyPath, int offset, int makeKeyReadOnly);

// Rewrites the data file in place through a temporary file beside it.
// Direction 1 encrypts, any other value decrypts. Returns 1 when the data
// file holds the result, 0 when it was left as it was (or, after a failed
// rename, the result is under the temporary name); every failure has been
// reported by a notice. A cancelled pass returns 0 silently.
// Given a `group` (below), a 1 means instead that the file was handed to
// the group, which tells how it ended.
class PassGroup;
int TransformFile(const std::string& filePath, const std::string& keyPath, int offset, int direction,
                  PassGroup* group = nullptr);

// The same for the file `name` inside a folder that the caller holds open
// (a folder walked by the command line): the name is taken as it stands
// there, never through a link, and `filePath` is how notices name it.
int TransformFileIn(const platform::Folder& folder, const std::string& name, const std::string& filePath,
                    const std::string& keyPath, int offset, int direction, PassGroup* group = nullptr);

// Passes over many files share their waits for the disk. A small file's
// result, once written, waits in the group; settling flushes every waiting
// result, then gives each its file's name, then flushes each folder once. A
// file counts as done only once its new name is on the disk; a stop, a fault
// or a change found while settling leaves each file as it was or done, and
// no temporary file behind. A large file gains nothing from waiting and is
// done at once, after the group has been settled. A group let go without
// Settle() (an exception on its way out) leaves its files as they were.
class PassGroup {
public:
    // Told of every file handed over, once settled: `done` with `result`,
    // the file now under its name, wherever that name has gone meanwhile;
    // otherwise the file was left as it was, after a notice unless a stop
    // was asked for.
    using Settled = std::function<void(const std::string& filePath, bool done, const platform::FileIdentity& result)>;

    explicit PassGroup(Settled settled);
    ~PassGroup();
    PassGroup(const PassGroup&) = delete;
    PassGroup& operator=(const PassGroup&) = delete;

    void Settle();

    struct Pass;
    // Takes a written pass; settles once the group is full.
    void Add(std::unique_ptr<Pass> pass);
    // Tells of a pass done at once.
    void Done(const Pass& pass);
    bool Empty() const { return m_waiting.empty(); }

private:
    Settled m_settled;
    // How many may wait.
    std::size_t m_files;
    std::vector<std::unique_ptr<Pass>> m_waiting;
    std::int64_t m_bytes = 0;
};

// The same transformation with the result written to standard output:
// `filePath` ("-" for standard input, read to its end) is left exactly as
// it is, and nothing is written beside it; nor is anything written when
// standard output is the data or the key file. The request is checked first as
// ValidateRequest checks it. Returns 1 when every byte was written; 0 after
// a notice, or silently when standard output was a pipe that its reader
// closed early, or on a stop.
int TransformToOutput(const std::string& filePath, const std::string& keyPath, int offset, int makeKeyReadOnly,
                      int direction);

// What a pass says when it can't be started at all (no thread or memory to
// spare): the notice of a pass that ran out of them, for `filePath`. Returns 0.
int PassNotStarted(const std::string& filePath);

// Where the pass writes before the result takes the data file's name: beside
// the data file, its name cut after the first "." of the file name (a name
// without one gets a ".") followed by "1ê9".
std::string TemporaryPath(const std::string& dataPath);

// The progress figure shown at byte `done` of `length`: 1 at the start,
// never 100 unless a progress step lands on the very last percent.
int ProgressPercent(std::int64_t done, std::int64_t length);
