#include "cli/keygen.h"

#include "cli/output.h"
#include "cli/system.h"
#include "platform/cancel.h"
#include "platform/files.h"
#include "platform/translation.h"

#include <charconv>
#include <future>
#include <limits>
#include <memory>

// The steps are the same on every system; what each system does its own way
// (room, permissions) is in posix/system.cpp and win32/system.cpp.
namespace cli {

using platform::Fill;
using platform::SystemErrorText;
using platform::Tr;
using platform::TrPlural;

namespace {

constexpr size_t kChunk = 4 << 20;

// The folder that holds `path`, as it is measured and named.
std::string FolderOf(const std::string& path)
{
    const std::string folder = platform::FolderOfPath(path);
    if (folder.empty())
        return ".";
    return folder.size() == 1 ? folder : folder.substr(0, folder.size() - 1);
}

}  // namespace

bool ParseSize(const std::string& text, std::int64_t& bytes)
{
    // A number past 2^64 is refused, never wrapped round into a smaller size
    // that would make a key of the wrong length.
    std::uint64_t number = 0;
    const char* const end = text.data() + text.size();
    const auto [at, error] = std::from_chars(text.data(), end, number);
    if (error != std::errc())
        return false;
    const std::string suffix(at, end);
    int shift = 0;
    if (!suffix.empty()) {
        const std::string units = "KMGT";
        const size_t unit = units.find(suffix[0]);
        if (unit == std::string::npos || (suffix.size() != 1 && suffix.substr(1) != "iB"))
            return false;
        shift = 10 * static_cast<int>(unit + 1);
    }
    constexpr std::uint64_t kMax = static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max());
    if (number == 0 || number > kMax >> shift)
        return false;
    bytes = static_cast<std::int64_t>(number << shift);
    return true;
}

std::int64_t LargestFile(const std::vector<std::string>& files)
{
    std::int64_t largest = 1;
    for (const std::string& file : files) {
        bool regular = false;
        const std::int64_t size = FileSize(file, &regular);
        if (size < 0 || !regular) {
            const std::string why = size < 0 ? SystemErrorText(platform::LastSystemError()) : Tr("not a regular file");
            Say(Fill(Tr("cannot size the key for %1: %2"), {QuoteName(file), why}));
            return -1;
        }
        if (size > largest)
            largest = size;
    }
    return largest;
}

KeygenResult MakeKeyFile(const std::string& path, std::int64_t bytes)
{
    // Refused at once when the file system says there isn't room: finding
    // out by writing would take every free block from whatever runs beside
    // it, and leave no room for the message either.
    const std::int64_t free = FreeBytes(FolderOf(path));
    if (free >= 0 && bytes > free) {
        // The count of free bytes decides the form: the key's length is always above it.
        Say(Fill(TrPlural("cannot make a key of %1 bytes in %2: there is only %3 byte free; no key file made",
                          "cannot make a key of %1 bytes in %2: there are only %3 bytes free; no key file made",
                          static_cast<unsigned long>(free)),
                 {std::to_string(bytes), QuoteName(FolderOf(path)), std::to_string(free)}));
        return KeygenResult::Failed;
    }
    const auto SayExists = [&] {
        Say(Fill(Tr("%1 already exists; a key file is never written over"), {QuoteName(path)}));
        return KeygenResult::Failed;
    };
    // Without a name (or under a private one) until it is whole and
    // flushed, so that nothing stopped or killed midway leaves a file at the
    // key's name that looks like a key.
    platform::Folder folder;
    platform::ReplacementFile key;
    if (!folder.Open(platform::FolderOfPath(path)) || !key.CreateNew(folder, platform::LastNameOf(path)) ||
        !ProtectKey(key.Descriptor(), false)) {
        const int error = platform::LastSystemError();
        if (NameTaken(error))
            return SayExists();
        Say(Fill(Tr("cannot create %1: %2"), {QuoteName(path), SystemErrorText(error)}));
        return KeygenResult::Failed;
    }
    const auto Fail = [&](const char* failure, int error) {
        key.Discard();
        // A full file system may refuse even to remove the unfinished file;
        // it was emptied, and the user must know where it is.
        const std::string line = Fill(Tr(failure), {QuoteName(path), SystemErrorText(error)});
        Say(key.LeftBehind().empty() ? line
                                     : Fill(Tr("%1; its unfinished file %2 could not be removed: remove it"),
                                            {line, QuoteName(key.LeftBehind())}));
        return KeygenResult::Failed;
    };

    // Room for the whole key first, where the file system can say: a disk
    // too full is then found at once, not after most of the key was
    // written. The length still grows only as random bytes arrive, so that
    // a file left by a kill is short (and warned of when used), never
    // padded with zeros.
    if (!Reserve(key.Descriptor(), bytes))
        return Fail(TR_MARK("could not write %1: %2; no key file made"), platform::LastSystemError());

    // The next chunk is drawn on a second thread while this one is written:
    // drawing and writing take about as long as each other.
    const auto draw = [](unsigned char* buffer, size_t count) {
        return platform::RandomBytes(buffer, count) ? 0 : platform::LastSystemError();
    };
    const auto chunkAt = [](std::int64_t left) {
        return left < static_cast<std::int64_t>(kChunk) ? static_cast<size_t>(left) : kChunk;
    };
    std::unique_ptr<unsigned char[]> buffers[2] = {std::make_unique<unsigned char[]>(kChunk),
                                                   std::make_unique<unsigned char[]>(kChunk)};
    std::int64_t left = bytes;
    size_t count = chunkAt(left);
    std::future<int> drawn = std::async(std::launch::async, draw, buffers[0].get(), count);
    for (int current = 0; left > 0; current ^= 1) {
        const int error = drawn.get();
        if (error != 0)
            return Fail(TR_MARK("no random bytes for %1: %2; no key file made"), error);
        const size_t ready = count;
        left -= static_cast<std::int64_t>(ready);
        if (left > 0) {
            count = chunkAt(left);
            drawn = std::async(std::launch::async, draw, buffers[current ^ 1].get(), count);
        }
        // Returning waits for the chunk being drawn, before its buffer goes.
        if (platform::CancelRequested())
            return KeygenResult::Stopped;
        if (!key.Write(buffers[current].get(), ready))
            return Fail(TR_MARK("could not write %1: %2; no key file made"), platform::LastSystemError());
    }
    // Flushed before the last look for a stop, so that a stop that comes
    // while the disk catches up still means no key file.
    if (!key.Flush())
        return Fail(TR_MARK("could not flush %1: %2; no key file made"), platform::LastSystemError());
    if (platform::CancelRequested())
        return KeygenResult::Stopped;
    switch (key.Place()) {
    case platform::ReplacementFile::Replaced::Yes:
        break;
    case platform::ReplacementFile::Replaced::NotFlushed:
        return Fail(TR_MARK("could not flush the folder of %1: %2; no key file made"), platform::LastSystemError());
    default: {
        const int error = platform::LastSystemError();
        return NameTaken(error) ? SayExists()
                                : Fail(TR_MARK("could not give its name to %1: %2; no key file made"), error);
    }
    }
    ProtectKey(key.Descriptor(), true);
    return KeygenResult::Made;
}

}  // namespace cli
