// Making a key file on Windows: random bytes from the system's generator,
// written to a file created new and held with no sharing until it is whole.
#include "cli/keygen.h"

#include "cli/output.h"
#include "platform/cancel.h"
#include "platform/files.h"
#include "platform/win32/text.h"

#include <windows.h>
#include <bcrypt.h>
#include <io.h>

#include <memory>

namespace cli {

namespace {

constexpr DWORD kChunk = 4 << 20;

// The reason as the Linux program words it where there is a match.
std::string Reason(DWORD error)
{
    switch (error) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
        return "No such file or directory";
    case ERROR_ACCESS_DENIED:
    case ERROR_SHARING_VIOLATION:
        return "Permission denied";
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL:
        return "No space left on device";
    default:
        return "Windows error " + std::to_string(error);
    }
}

}  // namespace

std::int64_t LargestFile(const std::vector<std::string>& files)
{
    std::int64_t largest = 1;
    for (const std::string& file : files) {
        WIN32_FILE_ATTRIBUTE_DATA status{};
        if (!::GetFileAttributesExW(platform::SystemPath(file).c_str(), GetFileExInfoStandard, &status)) {
            Say("cannot size the key for " + QuoteName(file) + ": " + Reason(::GetLastError()));
            return -1;
        }
        if (status.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_DEVICE)) {
            Say("cannot size the key for " + QuoteName(file) + ": not a regular file");
            return -1;
        }
        const auto size =
            static_cast<std::int64_t>((static_cast<std::uint64_t>(status.nFileSizeHigh) << 32) | status.nFileSizeLow);
        if (size > largest)
            largest = size;
    }
    return largest;
}

KeygenResult MakeKeyFile(const std::string& path, std::int64_t bytes)
{
    const auto SayExists = [&] {
        Say(QuoteName(path) + " already exists; a key file is never written over");
        return KeygenResult::Failed;
    };
    // Under a name of its own, marked to go when closed, until it is whole:
    // a keygen stopped or killed midway leaves nothing that looks like a key.
    platform::Folder folder;
    platform::ReplacementFile key;
    // What a folder that is a file gets told, as by the system's own calls.
    ::SetLastError(ERROR_PATH_NOT_FOUND);
    if (!folder.Open(platform::FolderOfPath(path)) || !key.CreateNew(folder, platform::LastNameOf(path))) {
        const DWORD error = ::GetLastError();
        if (error == ERROR_FILE_EXISTS)
            return SayExists();
        Say("cannot create " + QuoteName(path) + ": " + Reason(error));
        return KeygenResult::Failed;
    }
    const HANDLE file = reinterpret_cast<HANDLE>(::_get_osfhandle(key.Descriptor()));
    const auto Fail = [&](const char* what) {
        Say(std::string(what) + " " + QuoteName(path) + ": " + Reason(::GetLastError()) + "; no key file made");
        return KeygenResult::Failed;
    };

    // Room for the whole key first, so that a disk too full is found at once.
    FILE_ALLOCATION_INFO room{};
    room.AllocationSize.QuadPart = bytes;
    if (!::SetFileInformationByHandle(file, FileAllocationInfo, &room, sizeof room) &&
        ::GetLastError() == ERROR_DISK_FULL)
        return Fail("could not write");

    const auto buffer = std::make_unique<unsigned char[]>(kChunk);
    for (std::int64_t left = bytes; left > 0;) {
        if (platform::CancelRequested())
            return KeygenResult::Stopped;
        const DWORD count = left < kChunk ? static_cast<DWORD>(left) : kChunk;
        if (!BCRYPT_SUCCESS(::BCryptGenRandom(nullptr, buffer.get(), count, BCRYPT_USE_SYSTEM_PREFERRED_RNG))) {
            ::SetLastError(ERROR_GEN_FAILURE);
            return Fail("no random bytes for");
        }
        // A short write sets no error of its own: without this the reason
        // given would be whatever an earlier call left.
        ::SetLastError(ERROR_SUCCESS);
        if (!key.Write(buffer.get(), count)) {
            if (::GetLastError() == ERROR_SUCCESS)
                ::SetLastError(ERROR_DISK_FULL);
            return Fail("could not write");
        }
        left -= count;
    }
    // Flushed before the last look for a stop, which still means no key file.
    if (!::FlushFileBuffers(file))
        return Fail("could not flush");
    if (platform::CancelRequested())
        return KeygenResult::Stopped;
    if (!key.Place()) {
        const DWORD error = ::GetLastError();
        return error == ERROR_ALREADY_EXISTS || error == ERROR_FILE_EXISTS ? SayExists() : Fail("could not flush");
    }
    // The read-only mark, as a key file should have.
    FILE_BASIC_INFO basic{};
    basic.FileAttributes = FILE_ATTRIBUTE_READONLY;
    ::SetFileInformationByHandle(file, FileBasicInfo, &basic, sizeof basic);
    return KeygenResult::Made;
}

}  // namespace cli
