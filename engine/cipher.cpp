// The cipher pass: the data file is read in blocks, transformed and written
// to a temporary file beside it, which then replaces it in one rename.
#include "engine/cipher.h"

#include "engine/read_ahead.h"

#include "platform/cancel.h"
#include "platform/files.h"
#include "platform/notice.h"
#include "platform/translation.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <memory>
#include <utility>
#include <vector>

namespace {

using platform::NoticeKind;

// A pass that ends on a failure: the window's title goes on telling it. A
// refusal found before anything is written is the notice alone.
int Fail(NoticeKind kind, std::vector<std::string> paths, int systemError = 0)
{
    return platform::Report(kind, std::move(paths), systemError, true);
}

// Each taking the system's reason where there is one: the command line
// tells it.
int FailRead(const std::string& path, int systemError = 0)
{
    return Fail(NoticeKind::CouldNotRead, {path}, systemError);
}

int FailWrite(const std::string& tempPath, int systemError)
{
    return Fail(NoticeKind::CouldNotWrite, {tempPath}, systemError);
}

// One block of the pass, transformed in place. Positions from `keyBytes` on
// lie past the key file's end and take its last byte.
void TransformBlock(std::uint8_t* data, const std::uint8_t* key, std::size_t keyBytes, std::uint8_t lastKey,
                    std::size_t count, std::uint8_t shift, bool encrypt)
{
    const auto tail = static_cast<std::uint8_t>(shift + lastKey);
    if (encrypt) {
        for (std::size_t i = 0; i < keyBytes; ++i)
            data[i] = static_cast<std::uint8_t>(data[i] + shift + key[i]);
        for (std::size_t i = keyBytes; i < count; ++i)
            data[i] = static_cast<std::uint8_t>(data[i] + tail);
    } else {
        for (std::size_t i = 0; i < keyBytes; ++i)
            data[i] = static_cast<std::uint8_t>(data[i] - shift - key[i]);
        for (std::size_t i = keyBytes; i < count; ++i)
            data[i] = static_cast<std::uint8_t>(data[i] - tail);
    }
}

}  // namespace

std::string TemporaryPath(const std::string& dataPath)
{
    const size_t dot = dataPath.find('.', platform::FolderOfPath(dataPath).size());
    const std::string stem = dot == std::string::npos ? dataPath : dataPath.substr(0, dot);
    return stem + platform::kTemporaryEnding;
}

int ProgressPercent(std::int64_t done, std::int64_t length)
{
    return static_cast<int>(static_cast<double>(done) / static_cast<double>(length) * 100.0 + 1.0);
}

namespace {

int ChangedDuringThePass(const std::string& filePath) { return Fail(NoticeKind::ChangedDuringPass, {filePath}); }

int KeyChangedDuringThePass(const std::string& keyPath, const std::string& filePath)
{
    return Fail(NoticeKind::KeyChangedDuringPass, {keyPath, filePath});
}

// Whether the key holds no byte. Some keys report no true length (files
// under /proc): one of those is read through a second opening of its own.
bool KeyIsEmpty(const platform::InputFile& key, const std::string& keyPath)
{
    if (key.Size() > 0)
        return false;
    platform::InputFile again;
    char byte = 0;
    return again.Open(keyPath) && again.Identity() == key.Identity() && again.ReadFull(&byte, 1) == 0;
}

// The pass's loop: `length` bytes of `data` (below 0: a stream, to its
// end), the key read in step, each chunk transformed and handed to `write`,
// which returns false once it has said why it failed. Returns 1, or 0 after
// a notice (a read failed, an input changed) or on a stop.
template <typename Write>
int TransformAll(platform::InputFile& data, platform::InputFile& key, std::int64_t length, const std::string& filePath,
                 const std::string& keyPath, int offset, int direction, Write write)
{
    const std::int64_t step = length / 10 > 0 ? length / 10 : 1;
    platform::Progress progress;
    progress.fileName = platform::LastNameOf(filePath);
    progress.total = length;
    const auto shift = static_cast<std::uint8_t>(offset);
    const bool encrypt = direction == kDirectionEncrypt;
    ReadAhead reader(data, key, length);
    std::int64_t done = 0;
    // A stream's length is told by its end, and it has no progress.
    std::int64_t nextProgress = length < 0 ? std::numeric_limits<std::int64_t>::max() : 0;
    for (bool more = length != 0; more;) {
        ReadAhead::Chunk& chunk = reader.Next();
        // An input that ends early without an error was cut short by
        // someone else (a save that truncates and rewrites).
        const bool inData = chunk.failure == ReadAhead::Failure::Data;
        if (chunk.failure != ReadAhead::Failure::None && platform::CancelRequested())
            return 0;
        if (chunk.failure != ReadAhead::Failure::None && chunk.error != 0)
            return FailRead(inData ? filePath : keyPath, chunk.error);
        if (chunk.failure != ReadAhead::Failure::None)
            return inData ? ChangedDuringThePass(filePath) : KeyChangedDuringThePass(keyPath, filePath);
        // A key's length is what it gives, whatever it reports (files under
        // /sys say 4096 and may give nothing): one that gives no byte is
        // empty, found before anything is written.
        if (encrypt && done == 0 && chunk.count > 0 && chunk.keyBytes == 0)
            return platform::Report(NoticeKind::EmptyKey, {keyPath});
        // Pieces end at progress points so that every progress line is
        // shown before the byte it counts from is written; the chunk is
        // then written in one call.
        for (std::size_t at = 0; at < chunk.count;) {
            if (platform::CancelRequested())
                return 0;
            if (done == nextProgress) {
                progress.done = done;
                progress.percent = ProgressPercent(done, length);
                platform::ReportProgress(progress);
                nextProgress += step;
            }
            const auto piece = static_cast<std::size_t>(
                std::min<std::int64_t>(static_cast<std::int64_t>(chunk.count - at), nextProgress - done));
            const std::size_t keyBytes = std::clamp(chunk.keyBytes, at, at + piece) - at;
            TransformBlock(chunk.data + at, chunk.key + at, keyBytes, chunk.lastKey, piece, shift, encrypt);
            at += piece;
            done += static_cast<std::int64_t>(piece);
        }
        if (!write(chunk.data, chunk.count))
            return 0;
        more = length < 0 ? !chunk.last : done < length;
        reader.Release();
    }
    return 1;
}

}  // namespace

// A pass whose result is being written or waits to replace the data file.
struct PassGroup::Pass {
    std::string name, filePath, tempPath, keyPath;
    platform::InputFile data, key;
    platform::ReplacementFile out;
    // Still on its way to done: flushed, then renamed, then its folder
    // flushed.
    bool done = false;
};

namespace {

// Results at least this long are flushed at once: their flush is the
// disk's work on their bytes rather than a wait, and waiting would only
// hold their bytes unflushed for longer.
constexpr std::int64_t kGroupedBelow = std::int64_t{1} << 20;
// A group holds at most this much written but not yet flushed, and four
// open files for each of its own, leaving room for those of a folder walk
// (at most 16), of the pass under way and of the standard streams.
constexpr std::size_t kGroupFiles = 64;
constexpr std::int64_t kGroupBytes = std::int64_t{16} << 20;
constexpr std::size_t kOpenFilesBesideAGroup = 32;

// The last look at a flushed result before it takes the data file's name:
// 1 once it has, 0 after a notice (or silently on a stop) with the data
// file as it was. With `flushFolderLater` the new name is made durable by
// the caller.
int Replace(PassGroup::Pass& pass, bool flushFolderLater)
{
    // Flushing a large result can take a while; a stop asked for meanwhile
    // still comes before anything is replaced.
    if (platform::CancelRequested())
        return 0;
    const std::string& filePath = pass.filePath;
    const std::string& tempPath = pass.tempPath;
    // A read-only data file is not replaced; the finished result stays under
    // the temporary name for the user to find.
    if (pass.data.MarkedReadOnly()) {
        pass.out.Keep();
        return Fail(NoticeKind::CouldNotDelete, {filePath, tempPath});
    }
    // Bytes of an old and a new key mixed would give a file that no key
    // decrypts.
    if (pass.key.ChangeSinceOpened(false) != platform::InputFile::Change::None)
        return KeyChangedDuringThePass(pass.keyPath, filePath);
    switch (pass.out.Replace(pass.name, pass.data, flushFolderLater)) {
    case platform::ReplacementFile::Replaced::Yes:
        return 1;
    case platform::ReplacementFile::Replaced::TargetChanged:
        // Saved anew during the pass, in place or by renaming a new file
        // over it: the new version stays, the result is dropped.
        return ChangedDuringThePass(filePath);
    case platform::ReplacementFile::Replaced::TargetLinked:
        return Fail(NoticeKind::OtherNames, {filePath});
    case platform::ReplacementFile::Replaced::TemporaryChanged:
        return Fail(NoticeKind::TemporaryReplaced, {tempPath, filePath});
    case platform::ReplacementFile::Replaced::NotFlushed:
        return Fail(NoticeKind::RenameNotFlushed, {filePath}, platform::LastSystemError());
    case platform::ReplacementFile::Replaced::Failed:
        break;
    }
    const int error = platform::LastSystemError();
    pass.out.Keep();
    return Fail(NoticeKind::NameLeftAs, {tempPath}, error);
}

// `name` in `folder` is the data file, `filePath` how the user named it,
// `tempPath` how notices name the temporary file.
int Transform(const platform::Folder& folder, const std::string& name, const std::string& filePath,
              const std::string& tempPath, const std::string& keyPath, int offset, int direction, PassGroup* group)
{
    auto pass = std::make_unique<PassGroup::Pass>();
    pass->name = name;
    pass->filePath = filePath;
    pass->tempPath = tempPath;
    pass->keyPath = keyPath;
    const std::string tempName = platform::LastNameOf(tempPath);

    platform::InputFile& data = pass->data;
    if (!data.OpenIn(folder, name))
        return FailRead(filePath, platform::LastSystemError());
    platform::InputFile& key = pass->key;
    if (!key.Open(keyPath))
        return FailRead(keyPath, platform::LastSystemError());
    // Whatever stands at the temporary name is replaced: it must be neither
    // input, nor a link that the key path goes through.
    platform::FileIdentity entry, reached;
    const bool hasEntry = folder.EntryIdentity(tempName, false, entry);
    const bool reaches = hasEntry && folder.EntryIdentity(tempName, true, reached);
    if (platform::SamePathText(tempName, name) || (hasEntry && (entry == data.Identity() || entry == key.Identity())) ||
        (reaches && (reached == data.Identity() || reached == key.Identity()))) {
        return platform::Report(NoticeKind::TemporaryWouldOverwrite, {tempPath});
    }
    // The replacement takes one name; the file's other names would go on
    // showing the old bytes, and a pass that says it is done must not leave
    // a plain copy behind.
    if (data.LinkCount() > 1 || data.MountedElsewhere())
        return platform::Report(NoticeKind::OtherNames, {filePath});
    // Every byte would meet no key byte at all: the "encrypted" file would
    // be the plain one, shifted at most. Decrypting stays possible, so that
    // a file once encrypted so can be restored.
    if (direction == kDirectionEncrypt && KeyIsEmpty(key, keyPath))
        return platform::Report(NoticeKind::EmptyKey, {keyPath});
    const std::int64_t length = data.Size();
    const bool grouped = group && length < kGroupedBelow;
    // Files done in the order they were handed over.
    if (group && !grouped)
        group->Settle();

    platform::ReplacementFile& out = pass->out;
    auto created = out.Create(folder, tempName);
    // Another file of the group may be waiting under the same temporary
    // name ("a.txt" and "a.doc"): it is settled first.
    if (created == platform::ReplacementFile::Created::Busy && group && !group->Empty()) {
        group->Settle();
        created = out.Create(folder, tempName);
    }
    switch (created) {
    case platform::ReplacementFile::Created::Yes:
        break;
    case platform::ReplacementFile::Created::Busy:
        return platform::Report(NoticeKind::TemporaryBusy, {filePath, tempPath});
    case platform::ReplacementFile::Created::NotOurs:
        return platform::Report(NoticeKind::TemporaryNotOurs, {filePath, tempPath});
    case platform::ReplacementFile::Created::InTheWay:
        return platform::Report(NoticeKind::TemporaryInTheWay, {filePath, tempPath});
    case platform::ReplacementFile::Created::NameTooLong:
        return platform::Report(NoticeKind::TemporaryNameTooLong, {filePath, tempPath});
    case platform::ReplacementFile::Created::Failed:
        return FailWrite(tempPath, platform::LastSystemError());
    }

    const auto write = [&](const std::uint8_t* bytes, std::size_t count) {
        return out.Write(bytes, count) || FailWrite(tempPath, platform::LastSystemError());
    };
    if (!TransformAll(data, key, length, filePath, keyPath, offset, direction, write))
        return 0;

    // A file that grew while it was read would lose its new tail in the
    // replacement.
    if (data.CurrentLength() != length)
        return ChangedDuringThePass(filePath);
    // Anything but exactly the data's length means that something other than
    // this pass wrote to the result, or that a write went missing.
    if (out.Size() != length)
        return FailWrite(tempPath, 0);
    if (!out.Finish(data, grouped))
        return FailWrite(tempPath, platform::LastSystemError());
    if (grouped) {
        group->Add(std::move(pass));
        return 1;
    }
    if (!Replace(*pass, false))
        return 0;
    if (group)
        group->Done(*pass);
    return 1;
}

// Written to standard output; `shownPath` names the data in notices.
int ToOutput(const std::string& filePath, const std::string& shownPath, const std::string& keyPath, int offset,
             int direction)
{
    const bool stream = filePath == "-";
    platform::InputFile data;
    if (stream ? !data.OpenStandardInput() : !data.Open(filePath))
        return FailRead(shownPath, platform::LastSystemError());
    platform::InputFile key;
    if (!key.Open(keyPath))
        return FailRead(keyPath, platform::LastSystemError());
    // Standard input may be the key file itself (`-k f - < f`).
    if (data.Identity() == key.Identity())
        return platform::Report(NoticeKind::SameFile);
    // Written to while it is read, an input would be read back in what was
    // written into it (`>> f`), or lose what was not yet read (`1<> f`).
    platform::FileIdentity output;
    if (platform::StandardOutputIdentity(output) && (output == data.Identity() || output == key.Identity()))
        return platform::Report(NoticeKind::OutputIsInput, {output == data.Identity() ? shownPath : keyPath});
    if (direction == kDirectionEncrypt && KeyIsEmpty(key, keyPath))
        return platform::Report(NoticeKind::EmptyKey, {keyPath});
    // A file that reports no length (under /proc) is read to its end, as a
    // stream is.
    const bool toItsEnd = stream || data.Size() == 0;
    const std::int64_t length = toItsEnd ? -1 : data.Size();
    const auto write = [&](const std::uint8_t* bytes, std::size_t count) {
        switch (platform::WriteStandardStream(bytes, count)) {
        case platform::Output::Written:
            return true;
        case platform::Output::ReaderGone:
            // It has read all it wanted (`| head`): nothing to tell.
            return false;
        case platform::Output::Failed:
            break;
        }
        return FailWrite(platform::Tr("standard output"), platform::LastSystemError()) != 0;
    };
    if (!TransformAll(data, key, length, shownPath, keyPath, offset, direction, write))
        return 0;
    if (!toItsEnd && data.CurrentLength() != length)
        return ChangedDuringThePass(shownPath);
    if (key.ChangeSinceOpened(false) != platform::InputFile::Change::None)
        return KeyChangedDuringThePass(keyPath, shownPath);
    return 1;
}

template <typename Pass> int FailReadOnException(const std::string& filePath, Pass pass)
{
    try {
        return pass();
    } catch (...) {
        // No memory or no thread to spare. The temporary file is gone with
        // the unwinding; the data file was never touched.
        try {
            return FailRead(filePath);
        } catch (...) {
            return 0;
        }
    }
}

}  // namespace

int TransformToOutput(const std::string& filePath, const std::string& keyPath, int offset, int makeKeyReadOnly,
                      int direction)
{
    const bool stream = filePath == "-";
    const std::string shown = stream ? platform::Tr("standard input") : filePath;
    if (!(stream ? ValidateKeyAlone(keyPath, offset, makeKeyReadOnly)
                 : ValidateRequest(filePath, keyPath, offset, makeKeyReadOnly)))
        return 0;
    return FailReadOnException(shown, [&] { return ToOutput(filePath, shown, keyPath, offset, direction); });
}

int TransformFile(const std::string& filePath, const std::string& keyPath, int offset, int direction, PassGroup* group)
{
    return FailReadOnException(filePath, [&] {
        // Through a symlink the file itself is rewritten, so that no plain
        // copy survives behind the link; the temporary file lies beside it.
        const std::string target = platform::ResolvePath(filePath);
        platform::Folder folder;
        if (!folder.Open(platform::FolderOfPath(target)))
            return FailRead(filePath, platform::LastSystemError());
        return Transform(folder, platform::LastNameOf(target), filePath, TemporaryPath(target), keyPath, offset,
                         direction, group);
    });
}

int PassNotStarted(const std::string& filePath)
{
    return FailReadOnException(filePath, [&] { return FailRead(filePath); });
}

int TransformFileIn(const platform::Folder& folder, const std::string& name, const std::string& filePath,
                    const std::string& keyPath, int offset, int direction, PassGroup* group)
{
    return FailReadOnException(filePath, [&] {
        return Transform(folder, name, filePath, TemporaryPath(filePath), keyPath, offset, direction, group);
    });
}

PassGroup::PassGroup(Settled settled)
    : m_settled(std::move(settled)),
      m_files(std::clamp<std::size_t>(
          (std::max(platform::OpenFilesAllowed(), kOpenFilesBesideAGroup) - kOpenFilesBesideAGroup) / 4, 1,
          kGroupFiles))
{
}

PassGroup::~PassGroup() = default;

void PassGroup::Add(std::unique_ptr<Pass> pass)
{
    m_bytes += pass->data.Size();
    m_waiting.push_back(std::move(pass));
    if (m_waiting.size() >= m_files || m_bytes >= kGroupBytes)
        Settle();
}

void PassGroup::Done(const Pass& pass) { m_settled(pass.filePath, true, pass.out.Identity()); }

void PassGroup::Settle()
{
    std::vector<std::unique_ptr<Pass>> passes;
    passes.swap(m_waiting);
    m_bytes = 0;
    // Every result on the disk before any takes its name: one flush of each
    // file system they lie on, or where that fails, one of each result, so
    // that a failure is told of the files it concerns.
    std::vector<std::uint64_t> flushedVolumes, failedVolumes;
    for (auto& pass : passes)
        pass->out.Unmark();
    for (auto& pass : passes) {
        if (platform::CancelRequested())
            break;
        const std::uint64_t volume = pass->out.FolderIdentity().volume;
        const auto among = [&](const auto& volumes) {
            return std::find(volumes.begin(), volumes.end(), volume) != volumes.end();
        };
        if (!among(flushedVolumes) && !among(failedVolumes))
            (pass->out.FlushFileSystem() ? flushedVolumes : failedVolumes).push_back(volume);
        pass->done =
            among(flushedVolumes) || pass->out.Flush() || FailWrite(pass->tempPath, platform::LastSystemError());
    }
    for (auto& pass : passes)
        pass->done = pass->done && FailReadOnException(pass->filePath, [&] { return Replace(*pass, true); });
    // Each folder once, after all its renames: until then no file in it is
    // done.
    struct Flushed {
        platform::FileIdentity folder;
        bool ok;
        int error;
    };
    std::vector<Flushed> folders;
    for (auto& pass : passes) {
        if (!pass->done)
            continue;
        const platform::FileIdentity folder = pass->out.FolderIdentity();
        auto flushed = std::find_if(folders.begin(), folders.end(), [&](auto& f) { return f.folder == folder; });
        if (flushed == folders.end()) {
            const bool ok = pass->out.FlushFolder();
            flushed = folders.insert(folders.end(), {folder, ok, ok ? 0 : platform::LastSystemError()});
        }
        if (!flushed->ok)
            pass->done = Fail(NoticeKind::RenameNotFlushed, {pass->filePath}, flushed->error);
    }
    for (auto& pass : passes)
        m_settled(pass->filePath, pass->done, pass->out.Identity());
}
