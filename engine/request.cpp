// Checking a request before anything is changed.
#include "engine/cipher.h"

#include "platform/files.h"
#include "platform/notice.h"

#include <vector>

namespace {

using platform::NoticeKind;
using platform::Report;

// The data file must be a regular file that opens, and nobody else's to
// hold (Windows).
int ProbeData(const platform::Folder* folder, const std::string& name, const std::string& filePath)
{
    platform::FileProbe data = folder ? platform::FileProbe(*folder, name) : platform::FileProbe(filePath);
    if (data.IsOpen())
        return 1;
    if (!data.InUse())
        return Report(NoticeKind::CannotFind, {filePath}, data.Error());
    // A running pass over the same file holds it too; its temporary file
    // tells the two apart, as the pass itself would find it.
    const std::string tempPath = TemporaryPath(platform::ResolvePath(filePath));
    if (platform::HeldByRunningPass(tempPath))
        return Report(NoticeKind::TemporaryBusy, {filePath, tempPath});
    return Report(NoticeKind::InUse, {filePath});
}

// `folder` and `name` give the data file where the caller holds its folder
// open; otherwise `filePath` does, unless it is standard input (`stream`),
// which has nothing to look at beforehand.
int Validate(const platform::Folder* folder, const std::string& name, const std::string& filePath,
             const std::string& keyPath, int offset, int makeKeyReadOnly, bool stream = false)
{
    // A file used as its own key doubles every byte, which decryption can't
    // undo; catch it by name first, then by identity (links, other spellings).
    if (!stream && (platform::SamePathText(filePath, keyPath) || platform::SameFile(filePath, keyPath)))
        return Report(NoticeKind::SameFile);
    if (!stream && !ProbeData(folder, name, filePath))
        return 0;

    // Other passes may read the key along with this one.
    platform::FileProbe key(keyPath, true);
    if (!key.IsOpen())
        return Report(key.InUse() ? NoticeKind::InUse : NoticeKind::CannotFind, {keyPath}, key.Error());

    const bool marked = !makeKeyReadOnly || key.MarkReadOnly();
    key.Close();
    if (!marked)
        return Report(NoticeKind::CannotMakeKeyReadOnly);

    if (offset < 0 || offset > 255)
        return Report(NoticeKind::OffsetOutOfRange);
    return 1;
}

// Out of memory for a path or a notice: the request is not carried out.
template <typename Check> int RefuseOnException(Check check)
{
    try {
        return check();
    } catch (...) {
        return 0;
    }
}

}  // namespace

int ValidateRequest(const std::string& filePath, const std::string& keyPath, int offset, int makeKeyReadOnly)
{
    return RefuseOnException(
        [&] { return Validate(nullptr, std::string(), filePath, keyPath, offset, makeKeyReadOnly); });
}

int ValidateRequestIn(const platform::Folder& folder, const std::string& name, const std::string& filePath,
                      const std::string& keyPath, int offset, int makeKeyReadOnly)
{
    return RefuseOnException([&] { return Validate(&folder, name, filePath, keyPath, offset, makeKeyReadOnly); });
}

int ValidateKeyAlone(const std::string& keyPath, int offset, int makeKeyReadOnly)
{
    return RefuseOnException(
        [&] { return Validate(nullptr, std::string(), std::string(), keyPath, offset, makeKeyReadOnly, true); });
}
