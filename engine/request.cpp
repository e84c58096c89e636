// Checking a request before anything is changed.
#include "engine/cipher.h"

#include "platform/files.h"
#include "platform/notice.h"

namespace {

const char kSameFileText[] =
    "Using  the same filename for encrypting file and a key file destroys the key file.\r\n"
    "You won't be able to recover the encrypted file.\r\n"
    "Choose a differnt key file.";
const char kSameFileCaption[] = "Filename error. (Bad idea.)";
const char kCannotFindCaption[] = "Encrypt file error.";

int Refuse(const std::string& text, const char* caption)
{
    platform::ShowNotice(text, caption);
    return 0;
}

int Validate(const std::string& filePath, const std::string& keyPath, int offset, int makeKeyReadOnly)
{
    // A file used as its own key doubles every byte, which decryption can't
    // undo; catch it by name first, then by identity (links, other spellings).
    if (platform::SamePathText(filePath, keyPath) || platform::SameFile(filePath, keyPath))
        return Refuse(kSameFileText, kSameFileCaption);

    if (!platform::FileProbe(filePath).IsOpen())
        return Refuse(platform::Format("Cannot find %s.", filePath.c_str()), kCannotFindCaption);

    platform::FileProbe key(keyPath);
    if (!key.IsOpen())
        return Refuse(platform::Format("Cannot find %s.", keyPath.c_str()), kCannotFindCaption);

    if (makeKeyReadOnly) {
        const bool marked = key.MarkReadOnly();
        key.Close();
        if (!marked)
            return Refuse("Cannot make key file read only.", "Set Attribute Error.");
    }
    key.Close();

    if (offset < 0 || offset > 255)
        return Refuse("Offset must be value between 0 and 255.", "Error");
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
