// Making a key file on Windows: random bytes from the system's generator,
// written to a file created new and held with no sharing until it is whole.
#include "cli/keygen.h"

#include "cli/output.h"
#include "platform/cancel.h"
#include "platform/win32/text.h"

#include <windows.h>
#include <bcrypt.h>

#include <algorithm>
#include <memory>
#include <vector>

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
        WIN32_FILE_ATTRIBUTE_DATA status {};
        if (!::GetFileAttributesExW(platform::SystemPath(file).c_str(), GetFileExInfoStandard, &status)) {
            Say("cannot size the key for " + QuoteName(file) + ": " + Reason(::GetLastError()));
            return -1;
        }
        if (status.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_DEVICE)) {
            Say("cannot size the key for " + QuoteName(file) + ": not a regular file");
            return -1;
        }
        const auto size = static_cast<std::int64_t>((static_cast<std::uint64_t>(status.nFileSizeHigh) << 32) |
                                                    status.nFileSizeLow);
        if (size > largest)
            largest = size;
    }
    return largest;
}

namespace {

// A name of its own for the key while it is made, beside where it goes: the
// rename at the end then stays on one volume.
bool PrivatePathBeside(const std::string& path, std::string& privatePath)
{
    unsigned char random[8];
    if (!BCRYPT_SUCCESS(::BCryptGenRandom(nullptr, random, sizeof random, BCRYPT_USE_SYSTEM_PREFERRED_RNG)))
        return false;
    static const char hex[] = "0123456789abcdef";
    const size_t cut = path.find_last_of("\\/");
    privatePath = (cut == std::string::npos ? std::string() : path.substr(0, cut + 1)) + ".veltrane-";
    for (const unsigned char byte : random) {
        privatePath += hex[byte >> 4];
        privatePath += hex[byte & 15];
    }
    return true;
}

bool MarkForRemoval(HANDLE file, bool remove)
{
    FILE_DISPOSITION_INFO disposition {};
    disposition.DeleteFile = remove ? TRUE : FALSE;
    return ::SetFileInformationByHandle(file, FileDispositionInfo, &disposition, sizeof disposition) != 0;
}

// The whole key takes its name, never over a file that came meanwhile.
bool RenameTo(HANDLE file, const std::wstring& name)
{
    std::vector<unsigned char> block(sizeof(FILE_RENAME_INFO) + name.size() * sizeof(wchar_t));
    auto* rename = reinterpret_cast<FILE_RENAME_INFO*>(block.data());
    rename->ReplaceIfExists = FALSE;
    rename->RootDirectory = nullptr;
    rename->FileNameLength = static_cast<DWORD>(name.size() * sizeof(wchar_t));
    std::copy(name.begin(), name.end(), rename->FileName);
    return ::SetFileInformationByHandle(file, FileRenameInfo, rename, static_cast<DWORD>(block.size())) != 0;
}

}  // namespace

KeygenResult MakeKeyFile(const std::string& path, std::int64_t bytes)
{
    const std::wstring finalName = platform::SystemPath(path);
    const auto SayExists = [&] {
        Say(QuoteName(path) + " already exists; a key file is never written over");
        return KeygenResult::Failed;
    };
    // Refused before any byte is drawn; the rename at the end refuses a file
    // that came meanwhile.
    if (::GetFileAttributesW(finalName.c_str()) != INVALID_FILE_ATTRIBUTES)
        return SayExists();
    std::string privatePath;
    if (!PrivatePathBeside(path, privatePath)) {
        Say("cannot create " + QuoteName(path) + ": " + Reason(ERROR_GEN_FAILURE));
        return KeygenResult::Failed;
    }
    // Made under a name of its own and marked to go when closed from the
    // start: a keygen stopped or killed midway leaves nothing that looks
    // like a key. CREATE_NEW never writes over a file, nor follows a link.
    const HANDLE file = ::CreateFileW(platform::SystemPath(privatePath).c_str(), GENERIC_WRITE | DELETE, 0, nullptr,
                                      CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        Say("cannot create " + QuoteName(path) + ": " + Reason(::GetLastError()));
        return KeygenResult::Failed;
    }
    const auto Abandon = [&](KeygenResult result) {
        MarkForRemoval(file, true);
        ::CloseHandle(file);
        return result;
    };
    const auto Fail = [&](const char* what) {
        Say(std::string(what) + " " + QuoteName(path) + ": " + Reason(::GetLastError()) + "; no key file made");
        return Abandon(KeygenResult::Failed);
    };
    if (!MarkForRemoval(file, true))
        return Fail("cannot create");

    // Room for the whole key first, so that a disk too full is found at once.
    FILE_ALLOCATION_INFO room {};
    room.AllocationSize.QuadPart = bytes;
    if (!::SetFileInformationByHandle(file, FileAllocationInfo, &room, sizeof room) &&
        ::GetLastError() == ERROR_DISK_FULL)
        return Fail("could not write");

    const auto buffer = std::make_unique<unsigned char[]>(kChunk);
    for (std::int64_t left = bytes; left > 0;) {
        if (platform::CancelRequested())
            return Abandon(KeygenResult::Stopped);
        const DWORD count = left < kChunk ? static_cast<DWORD>(left) : kChunk;
        if (!BCRYPT_SUCCESS(::BCryptGenRandom(nullptr, buffer.get(), count, BCRYPT_USE_SYSTEM_PREFERRED_RNG))) {
            ::SetLastError(ERROR_GEN_FAILURE);
            return Fail("no random bytes for");
        }
        // A short write sets no error of its own: without this the reason
        // given would be whatever an earlier call left.
        ::SetLastError(ERROR_SUCCESS);
        DWORD wrote = 0;
        if (!::WriteFile(file, buffer.get(), count, &wrote, nullptr) || wrote != count) {
            if (::GetLastError() == ERROR_SUCCESS)
                ::SetLastError(ERROR_DISK_FULL);
            return Fail("could not write");
        }
        left -= count;
    }
    if (!::FlushFileBuffers(file))
        return Fail("could not flush");
    if (platform::CancelRequested())
        return Abandon(KeygenResult::Stopped);
    // Whole: it takes its name and stays, with the read-only mark, as a key
    // file should have.
    if (!MarkForRemoval(file, false))
        return Fail("could not flush");
    if (!RenameTo(file, finalName)) {
        const DWORD error = ::GetLastError();
        if (error == ERROR_ALREADY_EXISTS || error == ERROR_FILE_EXISTS) {
            Abandon(KeygenResult::Failed);
            return SayExists();
        }
        return Fail("could not flush");
    }
    FILE_BASIC_INFO basic {};
    basic.FileAttributes = FILE_ATTRIBUTE_READONLY;
    ::SetFileInformationByHandle(file, FileBasicInfo, &basic, sizeof basic);
    ::CloseHandle(file);
    return KeygenResult::Made;
}

}  // namespace cli
