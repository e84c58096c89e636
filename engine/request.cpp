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

bool EqualIgnoringAsciiCase(const std::string& a, const std::string& b)
{
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i) {
        char x = a[i], y = b[i];
        if (x >= 'A' && x <= 'Z')
            x = static_cast<char>(x - 'A' + 'a');
        if (y >= 'A' && y <= 'Z')
            y = static_cast<char>(y - 'A' + 'a');
        if (x != y)
            return false;
    }
    return true;
}

int Refuse(const std::string& text, const char* caption)
{
    platform::ShowNotice(text, caption);
    return 0;
}

}  // namespace

int ValidateRequest(const std::string& filePath, const std::string& keyPath,
                    int offset, int makeKeyReadOnly)
{
    // A file used as its own key doubles every byte, which decryption can't
    // undo; catch it by name first, then by identity (links, other spellings).
    if (EqualIgnoringAsciiCase(filePath, keyPath) || platform::SameFile(filePath, keyPath))
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
