// The temporary file of a pass lies in the data file's folder under another
// name.
#include "engine/cipher.h"
#include "fuzz/harness.h"

namespace {

const std::string kSuffix = "1\u00EA9";

std::string FolderOf(const std::string& path)
{
    const std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string path = fuzz::UpToNul(data, size);
    const std::string folder = FolderOf(path), name = path.substr(folder.size());

    const std::string temporary = TemporaryPath(path);
    FUZZ_CHECK(FolderOf(temporary) == folder);
    const std::string temporaryName = temporary.substr(folder.size());
    FUZZ_CHECK(temporaryName.size() > kSuffix.size() &&
               temporaryName.compare(temporaryName.size() - kSuffix.size(), kSuffix.size(), kSuffix) == 0);
    // The one name that is its own temporary name: the pass refuses it
    // before writing (see the engine's fault tests).
    if (temporary == path)
        FUZZ_CHECK(name.find('.') != std::string::npos && name.substr(name.find('.') + 1) == kSuffix);
    return 0;
}
