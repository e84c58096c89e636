// Checking a request before anything is changed.
#include "engine/cipher.h"

#include "platform/files.h"
#include "platform/notice.h"

#include <utility>
#include <vector>

namespace {

using platform::NoticeKind;

int Refuse(NoticeKind kind, std::vector<std::string> paths = {})
{
    platform::Notice notice;
    notice.kind = kind;
    notice.paths = std::move(paths);
    platform::Report(notice);
    return 0;
}

int Validate(const std::string& filePath, const std::string& keyPath, int offset, int makeKeyReadOnly)
{
    // A file used as its own key doubles every byte, which decryption can't
    // undo; catch it by name first, then by identity (links, other spellings).
    if (platform::SamePathText(filePath, keyPath) || platform::SameFile(filePath, keyPath))
        return Refuse(NoticeKind::SameFile);

    if (!platform::FileProbe(filePath).IsOpen())
        return Refuse(NoticeKind::CannotFind, {filePath});

    platform::FileProbe key(keyPath);
    if (!key.IsOpen())
        return Refuse(NoticeKind::CannotFind, {keyPath});

    if (makeKeyReadOnly) {
        const bool marked = key.MarkReadOnly();
        key.Close();
        if (!marked)
            return Refuse(NoticeKind::CannotMakeKeyReadOnly);
    }
    key.Close();

    if (offset < 0 || offset > 255)
        return Refuse(NoticeKind::OffsetOutOfRange);
    return 1;
}

}  // namespace

int ValidateRequest(const std::string& filePath, const std::string& keyPath,
                    int offset, int makeKeyReadOnly)
{
    try {
        return Validate(filePath, keyPath, offset, makeKeyReadOnly);
    } catch (...) {
        // Out of memory for a path or a notice: the request is not carried out.
        return 0;
    }
}
