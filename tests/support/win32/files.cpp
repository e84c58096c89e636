// The test file helpers on Windows: names are UTF-8 here as in the program,
// and reach the system as UTF-16.
#include "tests/support/files.h"

#include "platform/win32/text.h"

#include <windows.h>

#include <cstdio>
#include <stdexcept>
#include <sys/stat.h>

using platform::SystemPath;

namespace testsupport {

namespace {

HANDLE OpenForQuery(const std::string& path, DWORD flags = 0)
{
    return ::CreateFileW(SystemPath(path).c_str(), FILE_READ_ATTRIBUTES,
                         FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                         FILE_FLAG_BACKUP_SEMANTICS | flags, nullptr);
}

// Everything below `folder` goes, read-only marks and all.
void RemoveTree(const std::wstring& folder)
{
    WIN32_FIND_DATAW found{};
    const HANDLE search = ::FindFirstFileW((folder + L"\\*").c_str(), &found);
    if (search != INVALID_HANDLE_VALUE) {
        do {
            const std::wstring name = found.cFileName;
            if (name == L"." || name == L"..")
                continue;
            const std::wstring path = folder + L"\\" + name;
            ::SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
            if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) &&
                !(found.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT))
                RemoveTree(path);
            else if (!::DeleteFileW(path.c_str()))
                ::RemoveDirectoryW(path.c_str());
        } while (::FindNextFileW(search, &found));
        ::FindClose(search);
    }
    ::RemoveDirectoryW(folder.c_str());
}

}  // namespace

TempDir::TempDir()
{
    wchar_t base[MAX_PATH + 1];
    const DWORD length = ::GetTempPathW(MAX_PATH + 1, base);
    if (length == 0 || length > MAX_PATH)
        throw std::runtime_error("no folder for temporary files");
    static unsigned made = 0;
    for (int attempt = 0; attempt < 100; ++attempt) {
        const std::wstring folder = std::wstring(base, length) + L"veltrane-test-" +
                                    std::to_wstring(::GetCurrentProcessId()) + L"-" + std::to_wstring(++made);
        if (::CreateDirectoryW(folder.c_str(), nullptr)) {
            m_path = platform::Narrow(folder);
            return;
        }
    }
    throw std::runtime_error("cannot make a temporary folder");
}

TempDir::~TempDir() { RemoveTree(SystemPath(m_path)); }

void WriteFile(const std::string& path, const std::string& bytes)
{
    const HANDLE file = ::CreateFileW(SystemPath(path).c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS,
                                      FILE_ATTRIBUTE_NORMAL, nullptr);
    DWORD done = 0;
    const bool ok =
        file != INVALID_HANDLE_VALUE &&
        (bytes.empty() ||
         (::WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &done, nullptr) && done == bytes.size()));
    if (file != INVALID_HANDLE_VALUE)
        ::CloseHandle(file);
    if (!ok)
        throw std::runtime_error("cannot write " + path);
}

std::string ReadFile(const std::string& path)
{
    const HANDLE file =
        ::CreateFileW(SystemPath(path).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                      nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        throw std::runtime_error("cannot read " + path);
    std::string all;
    char chunk[65536];
    DWORD got = 0;
    while (::ReadFile(file, chunk, sizeof chunk, &got, nullptr) && got > 0)
        all.append(chunk, got);
    ::CloseHandle(file);
    return all;
}

bool Exists(const std::string& path)
{
    const std::wstring wide = SystemPath(path);
    return !wide.empty() && ::GetFileAttributesW(wide.c_str()) != INVALID_FILE_ATTRIBUTES;
}

mode_t ModeOf(const std::string& path)
{
    struct _stat64 status {};
    if (::_wstat64(SystemPath(path).c_str(), &status) != 0)
        throw std::runtime_error("cannot stat " + path);
    return static_cast<mode_t>(status.st_mode & 0777);
}

void MakeDirectory(const std::string& path)
{
    if (!::CreateDirectoryW(SystemPath(path).c_str(), nullptr))
        throw std::runtime_error("cannot make " + path);
}

std::pair<std::uint64_t, std::uint64_t> IdentityOf(const std::string& path)
{
    const HANDLE file = OpenForQuery(path);
    BY_HANDLE_FILE_INFORMATION info{};
    const bool known = file != INVALID_HANDLE_VALUE && ::GetFileInformationByHandle(file, &info);
    if (file != INVALID_HANDLE_VALUE)
        ::CloseHandle(file);
    if (!known)
        throw std::runtime_error("cannot look at " + path);
    return {info.dwVolumeSerialNumber, (static_cast<std::uint64_t>(info.nFileIndexHigh) << 32) | info.nFileIndexLow};
}

}  // namespace testsupport
