// File services on Windows.
//
// Every path is UTF-8 in the program and goes to the W calls in the long
// form (\\?\C:\...), so that no name is limited to a code page and no path to 260
// characters. Open files are kept as C runtime descriptors around their
// handles, so that the interface is the same as on POSIX systems.
#include "platform/files.h"

#include "platform/win32/syscalls.h"
#include "platform/win32/text.h"

#include <windows.h>

#include <aclapi.h>
#include <bcrypt.h>
#include <fcntl.h>
#include <io.h>
#include <sddl.h>

#include <cstdio>
#include <cstring>
#include <vector>

namespace platform {

const char kPathSeparators[] = "\\/:";

namespace {

HANDLE HandleOf(int fd) { return fd >= 0 ? reinterpret_cast<HANDLE>(::_get_osfhandle(fd)) : INVALID_HANDLE_VALUE; }

// Hands an open handle to the C runtime; the descriptor then owns it.
int Adopt(HANDLE handle, int flags)
{
    if (handle == INVALID_HANDLE_VALUE)
        return -1;
    const int fd = ::_open_osfhandle(reinterpret_cast<intptr_t>(handle), flags | _O_BINARY);
    if (fd < 0)
        Sys().Close(handle);
    return fd;
}

bool Information(HANDLE handle, BY_HANDLE_FILE_INFORMATION& info)
{
    return handle != INVALID_HANDLE_VALUE && ::GetFileInformationByHandle(handle, &info);
}

FileIdentity IdentityOf(const BY_HANDLE_FILE_INFORMATION& info)
{
    return FileIdentity{info.dwVolumeSerialNumber,
                        (static_cast<std::uint64_t>(info.nFileIndexHigh) << 32) | info.nFileIndexLow};
}

// A disk file, not a folder, a device (CON, NUL, a serial port) or a pipe.
bool IsRegular(HANDLE handle, BY_HANDLE_FILE_INFORMATION* info = nullptr)
{
    BY_HANDLE_FILE_INFORMATION local{};
    BY_HANDLE_FILE_INFORMATION& out = info ? *info : local;
    return ::GetFileType(handle) == FILE_TYPE_DISK && Information(handle, out) &&
           (out.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_DEVICE)) == 0;
}

// Opened for reading with the given sharing; a regular file only.
HANDLE OpenRegularForReading(const std::string& path, DWORD share, DWORD flags,
                             BY_HANDLE_FILE_INFORMATION* info = nullptr)
{
    const std::wstring wide = SystemPath(path);
    if (wide.empty())
        return INVALID_HANDLE_VALUE;
    const HANDLE handle = Sys().Open(wide.c_str(), GENERIC_READ, share, OPEN_EXISTING, flags);
    if (handle == INVALID_HANDLE_VALUE)
        return handle;
    if (!IsRegular(handle, info)) {
        Sys().Close(handle);
        return INVALID_HANDLE_VALUE;
    }
    return handle;
}

// Identity and kind of what a path names, without opening its contents and
// without getting in anyone's way; `followLinks` false looks at a link itself.
bool IdentityOfPath(const std::string& path, bool followLinks, FileIdentity& identity, EntryKind* kind = nullptr)
{
    const std::wstring wide = SystemPath(path);
    if (wide.empty())
        return false;
    const DWORD flags = FILE_FLAG_BACKUP_SEMANTICS | (followLinks ? 0 : FILE_FLAG_OPEN_REPARSE_POINT);
    const HANDLE handle =
        ::CreateFileW(wide.c_str(), FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                      nullptr, OPEN_EXISTING, flags, nullptr);
    if (handle == INVALID_HANDLE_VALUE)
        return false;
    BY_HANDLE_FILE_INFORMATION info{};
    const bool known = ::GetFileInformationByHandle(handle, &info) != 0;
    ::CloseHandle(handle);
    if (known)
        identity = IdentityOf(info);
    const DWORD attributes = info.dwFileAttributes;
    if (known && kind)
        *kind = attributes & FILE_ATTRIBUTE_REPARSE_POINT ? EntryKind::Link
                : attributes & FILE_ATTRIBUTE_DIRECTORY   ? EntryKind::Folder
                : attributes & FILE_ATTRIBUTE_DEVICE      ? EntryKind::Other
                : attributes & FILE_ATTRIBUTE_SYSTEM      ? EntryKind::SystemFile
                                                          : EntryKind::Regular;
    return known;
}

bool UnderWine()
{
    static const bool wine = ::GetProcAddress(::GetModuleHandleW(L"ntdll.dll"), "wine_get_version") != nullptr;
    return wine;
}

// A named stream set on every temporary file a pass makes, and taken off
// before the file is the user's: a file at a temporary name without it was
// not left by a pass, and is never deleted. File systems without streams
// (FAT) can't carry it, nor can Wine, which would make a file of that name
// beside this one; there leftovers are left to the user.
const wchar_t kPassMark[] = L":veltrane.pass";

bool HasPassMark(const std::wstring& file)
{
    if (UnderWine())
        return false;
    const std::wstring mark = file + kPassMark;
    const HANDLE handle =
        ::CreateFileW(mark.c_str(), FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                      nullptr, OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (handle == INVALID_HANDLE_VALUE)
        return false;
    ::CloseHandle(handle);
    return true;
}

// A file's access list (DACL) and its text form, for comparing two of them.
struct AccessList {
    PACL dacl = nullptr;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    std::wstring text;
    bool isProtected = false;
    bool known = false;

    explicit AccessList(HANDLE file)
    {
        if (::GetSecurityInfo(file, SE_FILE_OBJECT, DACL_SECURITY_INFORMATION, nullptr, nullptr, &dacl, nullptr,
                              &descriptor) != ERROR_SUCCESS)
            return;
        SECURITY_DESCRIPTOR_CONTROL control = 0;
        DWORD revision = 0;
        LPWSTR sddl = nullptr;
        if (!::GetSecurityDescriptorControl(descriptor, &control, &revision) ||
            !::ConvertSecurityDescriptorToStringSecurityDescriptorW(descriptor, SDDL_REVISION_1,
                                                                    DACL_SECURITY_INFORMATION, &sddl, nullptr))
            return;
        text = sddl;
        ::LocalFree(sddl);
        isProtected = (control & SE_DACL_PROTECTED) != 0;
        known = true;
    }
    ~AccessList() { ::LocalFree(descriptor); }
    AccessList(const AccessList&) = delete;
    AccessList& operator=(const AccessList&) = delete;
};

bool SetDisposition(HANDLE handle, bool remove)
{
    FILE_DISPOSITION_INFO info{};
    info.DeleteFile = remove ? TRUE : FALSE;
    return Sys().SetFileInformation(handle, FileDispositionInfo, &info, sizeof info) != 0;
}

// Renamed through the handle, so that what takes the name is the very file
// held open, with no moment between letting it go and moving it. The call
// takes the system's own form of a full path (\??\C:\...): a bare name would
// be read against the current folder by some implementations.
bool RenameOpenFile(HANDLE handle, const std::string& target, bool replace)
{
    std::wstring name = SystemPath(target);
    if (name.compare(0, 4, L"\\\\?\\") == 0)
        name.replace(0, 4, L"\\??\\");
    std::vector<char> buffer(sizeof(FILE_RENAME_INFO) + name.size() * sizeof(wchar_t));
    auto* rename = reinterpret_cast<FILE_RENAME_INFO*>(buffer.data());
    rename->ReplaceIfExists = replace ? TRUE : FALSE;
    rename->RootDirectory = nullptr;
    rename->FileNameLength = static_cast<DWORD>(name.size() * sizeof(wchar_t));
    std::memcpy(rename->FileName, name.c_str(), name.size() * sizeof(wchar_t));
    // A scanner, an indexer or a sync client often holds a file for a moment
    // just after it was written or closed: a rename it blocks is tried again
    // for about three seconds, the waits growing. Nothing else is retried.
    for (DWORD wait = 50;; wait *= 2) {
        if (!name.empty() &&
            Sys().SetFileInformation(handle, FileRenameInfo, rename, static_cast<DWORD>(buffer.size())))
            return true;
        const DWORD error = ::GetLastError();
        if ((error != ERROR_SHARING_VIOLATION && error != ERROR_ACCESS_DENIED) || wait > 1600)
            return false;
        ::Sleep(wait);
        ::SetLastError(error);
    }
}

}  // namespace

// Without `othersMayRead` no sharing: the data file is replaced at the end,
// which Windows refuses while any other program has it open, so such a file
// is turned away before the pass rather than after it. The key may be read
// along; only a writer is kept out, as nobody may write it during the pass.
FileProbe::FileProbe(const std::string& path, bool othersMayRead)
{
    ::SetLastError(ERROR_SUCCESS);
    m_fd = Adopt(OpenRegularForReading(path, othersMayRead ? FILE_SHARE_READ : 0, 0), _O_RDONLY);
    const DWORD error = m_fd < 0 ? ::GetLastError() : ERROR_SUCCESS;
    m_inUse = error == ERROR_SHARING_VIOLATION || error == ERROR_LOCK_VIOLATION;
    // "Cannot find" says enough for a file that isn't there, or can't be
    // (a wildcard that matched nothing).
    if (!m_inUse && error != ERROR_FILE_NOT_FOUND && error != ERROR_PATH_NOT_FOUND && error != ERROR_INVALID_NAME)
        m_error = static_cast<int>(error);
}

// Windows paths have no length limit here: the folder's path serves.
FileProbe::FileProbe(const Folder& folder, const std::string& name) : FileProbe(folder.Shown() + name) {}

FileProbe::~FileProbe() { Close(); }

bool FileProbe::MarkReadOnly()
{
    // The attribute is written by name while the file is held; the name is
    // taken from the open file, so that it is this file that gets the mark.
    const HANDLE handle = HandleOf(m_fd);
    if (handle == INVALID_HANDLE_VALUE)
        return false;
    std::vector<wchar_t> name(MAX_PATH);
    DWORD length = ::GetFinalPathNameByHandleW(handle, name.data(), static_cast<DWORD>(name.size()), 0);
    if (length >= name.size()) {
        name.resize(length + 1);
        length = ::GetFinalPathNameByHandleW(handle, name.data(), static_cast<DWORD>(name.size()), 0);
    }
    if (length == 0 || length >= name.size())
        return false;
    const DWORD attributes = ::GetFileAttributesW(name.data());
    if (attributes == INVALID_FILE_ATTRIBUTES)
        return false;
    // NORMAL stands only alone; every other attribute is kept.
    return Sys().SetAttributes(name.data(), (attributes & ~FILE_ATTRIBUTE_NORMAL) | FILE_ATTRIBUTE_READONLY) != 0;
}

void FileProbe::Close()
{
    if (m_fd >= 0) {
        ::_close(m_fd);
        m_fd = -1;
    }
}

bool HeldByRunningPass(const std::string& path)
{
    // A pass holds its temporary file with no sharing from creation to its
    // end; a leftover nobody holds opens.
    const std::wstring wide = SystemPath(path);
    if (wide.empty())
        return false;
    const HANDLE handle =
        ::CreateFileW(wide.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                      OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (handle != INVALID_HANDLE_VALUE) {
        ::CloseHandle(handle);
        return false;
    }
    return ::GetLastError() == ERROR_SHARING_VIOLATION;
}

bool StandardOutputIdentity(FileIdentity& identity)
{
    const HANDLE out = ::GetStdHandle(STD_OUTPUT_HANDLE);
    BY_HANDLE_FILE_INFORMATION info{};
    if (out == INVALID_HANDLE_VALUE || out == nullptr || ::GetFileType(out) != FILE_TYPE_DISK ||
        !::GetFileInformationByHandle(out, &info))
        return false;
    identity = IdentityOf(info);
    return true;
}

// Windows mounts no file over another name.
bool InputFile::MountedElsewhere() const { return false; }

bool IsTemporaryName(const std::string& name)
{
    // Windows folds names, so "OLD.1Ê9" is as much a leftover as "old.1ê9".
    const std::wstring wide = Widen(name), ending = Widen(kTemporaryEnding);
    const int length = static_cast<int>(ending.size());
    return wide.size() >= ending.size() && ::CompareStringOrdinal(wide.c_str() + (wide.size() - ending.size()), length,
                                                                  ending.c_str(), length, TRUE) == CSTR_EQUAL;
}

bool PathIdentity(const std::string& path, FileIdentity& identity, EntryKind* kind)
{
    return IdentityOfPath(path, true, identity, kind);
}

bool SamePathText(const std::string& a, const std::string& b)
{
    // Windows folds names by its own upper-case table, for every script, not
    // only A to Z: "Ä.TXT" and "ä.txt" are one name.
    const std::wstring wa = Widen(a), wb = Widen(b);
    if (wa.empty() || wb.empty())
        return a == b;
    return ::CompareStringOrdinal(wa.c_str(), static_cast<int>(wa.size()), wb.c_str(), static_cast<int>(wb.size()),
                                  TRUE) == CSTR_EQUAL;
}

std::string ResolvePath(const std::string& path)
{
    // Only a link is resolved: any other path stays as the user wrote it.
    const std::wstring wide = SystemPath(path);
    const DWORD attributes = wide.empty() ? INVALID_FILE_ATTRIBUTES : ::GetFileAttributesW(wide.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0)
        return path;
    const HANDLE handle =
        ::CreateFileW(wide.c_str(), FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                      nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (handle == INVALID_HANDLE_VALUE)
        return path;
    std::vector<wchar_t> name(32768);
    const DWORD length = ::GetFinalPathNameByHandleW(handle, name.data(), static_cast<DWORD>(name.size()), 0);
    ::CloseHandle(handle);
    if (length == 0 || length >= name.size())
        return path;
    return Narrow(WithoutLongPrefix(std::wstring(name.data(), length)));
}

int LastSystemError() { return static_cast<int>(::GetLastError()); }

bool RandomBytes(void* buffer, std::size_t count)
{
    // Called with at most a chunk of a few MiB, well within a ULONG.
    if (BCRYPT_SUCCESS(::BCryptGenRandom(nullptr, static_cast<PUCHAR>(buffer), static_cast<ULONG>(count),
                                         BCRYPT_USE_SYSTEM_PREFERRED_RNG)))
        return true;
    ::SetLastError(ERROR_GEN_FAILURE);
    return false;
}

std::string SystemErrorText(int systemError)
{
    wchar_t* text = nullptr;
    const DWORD length =
        ::FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                         nullptr, static_cast<DWORD>(systemError), 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
    std::wstring words = length ? std::wstring(text, length) : std::wstring();
    ::LocalFree(text);
    // The system's sentences end in a full stop and a line break.
    while (!words.empty() && (words.back() == L'\n' || words.back() == L'\r' || words.back() == L'.'))
        words.pop_back();
    return words.empty() ? "Windows error " + std::to_string(systemError) : Narrow(words);
}

// Windows opens a name relative to a folder handle only through its native
// calls; the folder is held by its path, and what lies in it is looked at
// without following links, as on other systems.
Folder::~Folder() { Close(); }

void Folder::Close() { m_open = false; }

bool Folder::Open(const std::string& path)
{
    Close();
    // What a path through a file gets told by the system's own calls; a
    // call below that fails says why it did.
    ::SetLastError(ERROR_PATH_NOT_FOUND);
    const std::string shown = path.empty() || std::strchr(kPathSeparators, path.back()) ? path : path + "\\";
    const std::wstring wide = SystemPath(shown.empty() ? "." : shown);
    const DWORD attributes = wide.empty() ? INVALID_FILE_ATTRIBUTES : ::GetFileAttributesW(wide.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0 ||
        !IdentityOfPath(shown.empty() ? "." : shown, true, m_identity))
        return false;
    m_shown = shown;
    m_open = true;
    return true;
}

bool Folder::OpenWithin(const Folder& parent, const std::string& name)
{
    Close();
    const std::wstring wide = SystemPath(parent.m_shown + name);
    const DWORD attributes = wide.empty() ? INVALID_FILE_ATTRIBUTES : ::GetFileAttributesW(wide.c_str());
    if (!parent.IsOpen() || attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0 ||
        (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0 || !IdentityOfPath(parent.m_shown + name, false, m_identity))
        return false;
    m_shown = parent.m_shown + name + "\\";
    m_open = true;
    return true;
}

// Held by its path, a folder costs nothing to keep.
void Folder::Release() {}

bool Folder::Reopen(const Folder&) { return m_open; }

bool Folder::IsOpen() const { return m_open; }

bool Folder::EntryIdentity(const std::string& name, bool followLink, FileIdentity& identity, EntryKind* kind) const
{
    return m_open && IdentityOfPath(m_shown + name, followLink, identity, kind);
}

bool Folder::Names(std::vector<std::string>& names) const
{
    std::wstring pattern = SystemPath(m_shown.empty() ? "." : m_shown);
    if (!pattern.empty() && pattern.back() != L'\\')
        pattern += L'\\';
    WIN32_FIND_DATAW found{};
    const HANDLE search = ::FindFirstFileW((pattern + L'*').c_str(), &found);
    if (search == INVALID_HANDLE_VALUE)
        return false;
    do {
        const std::wstring name = found.cFileName;
        if (name != L"." && name != L"..")
            names.push_back(Narrow(name));
    } while (::FindNextFileW(search, &found));
    const DWORD error = ::GetLastError();
    ::FindClose(search);
    ::SetLastError(error);
    return error == ERROR_NO_MORE_FILES;
}

namespace {

// The change and last-write times, in the system's 100 ns units.
bool TimesOf(HANDLE handle, std::int64_t& changed, std::int64_t& modified)
{
    FILE_BASIC_INFO basic{};
    if (!::GetFileInformationByHandleEx(handle, FileBasicInfo, &basic, sizeof basic))
        return false;
    changed = basic.ChangeTime.QuadPart;
    modified = basic.LastWriteTime.QuadPart;
    return true;
}

// Writes everything or fails; a write that takes nothing sets no error, and
// a full disk is what it means.
bool WriteAll(HANDLE handle, const void* buffer, std::size_t count)
{
    const char* in = static_cast<const char*>(buffer);
    while (count > 0) {
        DWORD put = 0;
        if (!Sys().Write(handle, in, static_cast<DWORD>(std::min<size_t>(count, 1u << 30)), &put))
            return false;
        if (put == 0) {
            ::SetLastError(ERROR_DISK_FULL);
            return false;
        }
        in += put;
        count -= put;
    }
    return true;
}

// The bytes of one stream into another, a file's or a named one.
bool CopyStream(const std::wstring& from, const std::wstring& to)
{
    const HANDLE in = Sys().Open(from.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                 OPEN_EXISTING, 0);
    if (in == INVALID_HANDLE_VALUE)
        return false;
    const HANDLE out = Sys().Open(to.c_str(), GENERIC_WRITE, 0, CREATE_ALWAYS, 0);
    bool copied = out != INVALID_HANDLE_VALUE;
    std::vector<char> buffer(64 * 1024);
    for (DWORD got = 1; copied && got > 0;)
        copied =
            Sys().Read(in, buffer.data(), static_cast<DWORD>(buffer.size()), &got) && WriteAll(out, buffer.data(), got);
    const DWORD error = ::GetLastError();
    Sys().Close(in);
    if (out != INVALID_HANDLE_VALUE)
        Sys().Close(out);
    ::SetLastError(error);
    return copied;
}

// Every named stream of `from` onto `to`: the result is a new file, and a
// stream left behind would go with the old one (Zone.Identifier above all,
// the mark of a file from the internet that makes programs open it with
// care). False when one can't be copied.
bool CopyStreams(const std::string& from, const std::string& to)
{
    const std::wstring source = SystemPath(from), target = SystemPath(to);
    WIN32_FIND_STREAM_DATA found{};
    const HANDLE search = Sys().FindFirstStream(source.c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) {
        // Nothing but the data, or a file system without streams.
        const DWORD error = ::GetLastError();
        return error == ERROR_HANDLE_EOF || error == ERROR_INVALID_PARAMETER || error == ERROR_NOT_SUPPORTED ||
               error == ERROR_CALL_NOT_IMPLEMENTED || error == ERROR_INVALID_FUNCTION;
    }
    bool copied = true;
    do {
        const std::wstring stream = found.cStreamName;  // ":NAME:$DATA"
        const std::wstring name = stream.substr(0, stream.rfind(L':'));
        if (!name.empty() && name != L":")
            copied = CopyStream(source + name, target + name);
    } while (copied && Sys().FindNextStream(search, &found));
    const DWORD error = ::GetLastError();
    Sys().FindClose(search);
    ::SetLastError(error);
    return copied && error == ERROR_HANDLE_EOF;
}

}  // namespace

InputFile::~InputFile() { Close(); }

bool InputFile::Adopt(int fd, const std::string& path)
{
    BY_HANDLE_FILE_INFORMATION info{};
    if (fd < 0 || !Information(HandleOf(fd), info) || !TimesOf(HandleOf(fd), m_changed, m_modified)) {
        if (fd >= 0)
            ::_close(fd);
        return false;
    }
    m_fd = fd;
    m_path = path;
    m_size = static_cast<std::int64_t>((static_cast<std::uint64_t>(info.nFileSizeHigh) << 32) | info.nFileSizeLow);
    m_identity = IdentityOf(info);
    m_links = info.nNumberOfLinks;
    return true;
}

bool InputFile::Open(const std::string& path)
{
    Close();
    // Others may read along, but nobody may change the file while it is
    // read, nor delete or rename it.
    return Adopt(platform::Adopt(OpenRegularForReading(path, FILE_SHARE_READ, FILE_FLAG_SEQUENTIAL_SCAN), _O_RDONLY),
                 path);
}

bool InputFile::OpenIn(const Folder& folder, const std::string& name)
{
    Close();
    if (!folder.IsOpen())
        return false;
    // The link itself is opened, and refused: never what it points to.
    BY_HANDLE_FILE_INFORMATION info{};
    const HANDLE handle = OpenRegularForReading(folder.Shown() + name, FILE_SHARE_READ,
                                                FILE_FLAG_SEQUENTIAL_SCAN | FILE_FLAG_OPEN_REPARSE_POINT, &info);
    if (handle != INVALID_HANDLE_VALUE && (info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) {
        Sys().Close(handle);
        return false;
    }
    return Adopt(platform::Adopt(handle, _O_RDONLY), folder.Shown() + name);
}

bool InputFile::OpenStandardInput()
{
    Close();
    // A pipe or a console has no file information to take; only its bytes
    // are read.
    m_fd = ::_dup(::_fileno(stdin));
    m_path = "-";
    m_size = 0;
    // A file behind it is still known, so that it is never also the key or
    // where the result goes.
    BY_HANDLE_FILE_INFORMATION info{};
    if (m_fd >= 0 && ::GetFileType(HandleOf(m_fd)) == FILE_TYPE_DISK &&
        ::GetFileInformationByHandle(HandleOf(m_fd), &info))
        m_identity = IdentityOf(info);
    return m_fd >= 0;
}

Output WriteStandardStream(const void* buffer, std::size_t count, bool toError)
{
    if (WriteAll(::GetStdHandle(toError ? STD_ERROR_HANDLE : STD_OUTPUT_HANDLE), buffer, count))
        return Output::Written;
    const DWORD error = ::GetLastError();
    return error == ERROR_NO_DATA || error == ERROR_BROKEN_PIPE ? Output::ReaderGone : Output::Failed;
}

InputFile::Change InputFile::ChangeSinceOpened(bool namesCount) const
{
    BY_HANDLE_FILE_INFORMATION info{};
    std::int64_t changed = 0, modified = 0;
    if (!Information(HandleOf(m_fd), info) || !TimesOf(HandleOf(m_fd), changed, modified))
        return Change::Content;
    if (namesCount && info.nNumberOfLinks > 1)
        return Change::Links;
    const auto size =
        static_cast<std::int64_t>((static_cast<std::uint64_t>(info.nFileSizeHigh) << 32) | info.nFileSizeLow);
    return size != m_size || changed != m_changed || modified != m_modified ? Change::Content : Change::None;
}

bool InputFile::MarkedReadOnly() const
{
    BY_HANDLE_FILE_INFORMATION info{};
    return Information(HandleOf(m_fd), info) && (info.dwFileAttributes & FILE_ATTRIBUTE_READONLY) != 0;
}

std::int64_t InputFile::CurrentLength() const
{
    LARGE_INTEGER length{};
    const HANDLE handle = HandleOf(m_fd);
    return handle != INVALID_HANDLE_VALUE && ::GetFileSizeEx(handle, &length) ? length.QuadPart : -1;
}

std::int64_t InputFile::ReadFull(void* buffer, size_t count)
{
    char* out = static_cast<char*>(buffer);
    size_t done = 0;
    while (done < count) {
        DWORD got = 0;
        const DWORD ask = static_cast<DWORD>(std::min<size_t>(count - done, 1u << 30));
        if (!Sys().Read(HandleOf(m_fd), out + done, ask, &got))
            return -1;
        if (got == 0)
            break;
        done += got;
    }
    return static_cast<std::int64_t>(done);
}

void InputFile::Close()
{
    if (m_fd >= 0) {
        ::_close(m_fd);
        m_fd = -1;
    }
}

bool ReplacementFile::Start(const Folder& folder, const std::string& name)
{
    Discard();
    m_path = folder.Shown() + name;
    m_name = name;
    m_keep = false;
    m_made = FileIdentity{};
    m_folder = folder.Identity();
    return true;
}

ReplacementFile::Created ReplacementFile::Create(const Folder& folder, const std::string& tempName)
{
    Start(folder, tempName);
    const std::wstring wide = SystemPath(m_path);
    if (wide.empty())
        return Created::Failed;
    // Names are at most 255 UTF-16 units on every Windows file system.
    if (Widen(m_name).size() > 255)
        return Created::NameTooLong;

    // A leftover that no pass holds is deleted (a link there, not what it
    // points to); one that a running pass holds can't be, since that pass
    // allows no sharing. Then the file is made exclusively and held with no
    // sharing until the pass ends: Windows' own guard against a second pass.
    const DWORD there = ::GetFileAttributesW(wide.c_str());
    if (there != INVALID_FILE_ATTRIBUTES && (!HasPassMark(wide) || (there & FILE_ATTRIBUTE_REPARSE_POINT) != 0)) {
        // Held by a running pass, a leftover can't even be looked into.
        return HeldByRunningPass(m_path) ? Created::Busy : Created::InTheWay;
    }
    if (there != INVALID_FILE_ATTRIBUTES && !Sys().Delete(wide.c_str())) {
        const DWORD error = ::GetLastError();
        if (error == ERROR_SHARING_VIOLATION)
            return Created::Busy;
        if (error != ERROR_FILE_NOT_FOUND && error != ERROR_PATH_NOT_FOUND)
            return Created::Failed;
    }
    const HANDLE handle = Sys().Open(wide.c_str(), GENERIC_READ | GENERIC_WRITE | DELETE | WRITE_DAC, 0, CREATE_NEW,
                                     FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN);
    if (handle == INVALID_HANDLE_VALUE) {
        const DWORD error = ::GetLastError();
        if (error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS || error == ERROR_SHARING_VIOLATION)
            return Created::Busy;
        if (error == ERROR_FILENAME_EXCED_RANGE)
            return Created::NameTooLong;
        return Created::Failed;
    }
    m_fd = Adopt(handle, _O_RDWR);
    if (m_fd < 0) {
        return Created::Failed;
    }
    BY_HANDLE_FILE_INFORMATION info{};
    if (::GetFileInformationByHandle(handle, &info))
        m_made = IdentityOf(info);
    const HANDLE mark = UnderWine() ? INVALID_HANDLE_VALUE
                                    : ::CreateFileW((wide + kPassMark).c_str(), GENERIC_WRITE, 0, nullptr,
                                                    CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (mark != INVALID_HANDLE_VALUE)
        ::CloseHandle(mark);
    m_created = true;
    return Created::Yes;
}

bool ReplacementFile::Write(const void* buffer, size_t count)
{
    return m_fd >= 0 && WriteAll(HandleOf(m_fd), buffer, count);
}

std::int64_t ReplacementFile::Size() const
{
    LARGE_INTEGER size{};
    return m_fd >= 0 && ::GetFileSizeEx(HandleOf(m_fd), &size) ? size.QuadPart : -1;
}

bool ReplacementFile::Finish(const InputFile& original, bool flushLater)
{
    const HANDLE handle = HandleOf(m_fd);
    BY_HANDLE_FILE_INFORMATION info{};
    if (handle == INVALID_HANDLE_VALUE || !Information(HandleOf(original.Descriptor()), info))
        return false;
    // The attributes that describe the file rather than its state: hidden,
    // system, archive, left out of the index.
    constexpr DWORD kKept =
        FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_NOT_CONTENT_INDEXED;
    FILE_BASIC_INFO basic{};
    basic.FileAttributes = (info.dwFileAttributes & kKept) ? (info.dwFileAttributes & kKept) : FILE_ATTRIBUTE_NORMAL;
    // Made now, the new file would be dated now: it keeps the date the
    // original was created, which Explorer and backup tools show.
    basic.CreationTime.LowPart = info.ftCreationTime.dwLowDateTime;
    basic.CreationTime.HighPart = static_cast<LONG>(info.ftCreationTime.dwHighDateTime);
    Sys().SetFileInformation(handle, FileBasicInfo, &basic, sizeof basic);
    if (!CopyStreams(original.Path(), m_path))
        return false;
    // The original's access list, where it says more than the one the new
    // file got from its folder: a file kept from other users stays so. Wine
    // makes both lists up from POSIX modes and turns a list written back
    // into a wider mode (0640 became 0775), so there the file keeps the
    // mode it was created with.
    AccessList wanted(HandleOf(original.Descriptor())), got(handle);
    if (!UnderWine() && wanted.known && got.known && wanted.text != got.text) {
        const SECURITY_INFORMATION which =
            DACL_SECURITY_INFORMATION |
            (wanted.isProtected ? PROTECTED_DACL_SECURITY_INFORMATION : UNPROTECTED_DACL_SECURITY_INFORMATION);
        ::SetSecurityInfo(handle, SE_FILE_OBJECT, which, nullptr, nullptr, wanted.dacl, nullptr);
    }
    if (flushLater)
        return true;
    Unmark();
    return Sys().Flush(handle) != 0;
}

void ReplacementFile::Unmark()
{
    if (m_fd >= 0 && !UnderWine())
        ::DeleteFileW((SystemPath(m_path) + kPassMark).c_str());
}

bool ReplacementFile::StillNamesThisFile() const
{
    // Held with no sharing since it was made: no other program can have
    // renamed or replaced it.
    return m_created && m_fd >= 0;
}

bool ReplacementFile::NameIs(const std::string& name, const FileIdentity& identity) const
{
    FileIdentity now;
    return IdentityOfPath(FolderOfPath(m_path) + name, false, now) && now == identity;
}

// The new name is written through by the file's own flush: Windows has no
// folder to flush, so a group's files each do it at their rename.
ReplacementFile::Replaced ReplacementFile::RenameOver(const std::string& targetName, InputFile& original, bool)
{
    // Windows renames over no file that is open. Held until now without
    // write sharing, the original could not be written to; it is let go only
    // for the rename, which replaces in one step as MoveFileExW does with
    // MOVEFILE_REPLACE_EXISTING.
    original.Close();
    if (!RenameOpenFile(HandleOf(m_fd), FolderOfPath(m_path) + targetName, true))
        return Replaced::Failed;
    // Writes the new name through to the disk, as MOVEFILE_WRITE_THROUGH
    // would; when that fails, a crash may still bring back the old name.
    return Sys().Flush(HandleOf(m_fd)) ? Replaced::Yes : Replaced::NotFlushed;
}

bool ReplacementFile::CreateNew(const Folder& folder, const std::string& name)
{
    Start(folder, name);
    if (::GetFileAttributesW(SystemPath(m_path).c_str()) != INVALID_FILE_ATTRIBUTES) {
        ::SetLastError(ERROR_FILE_EXISTS);
        return false;
    }
    const std::string privateName = PrivateName();
    if (privateName.empty())
        return false;
    // Made under a name of its own and marked to go when closed from the
    // start: nothing killed midway is left. CREATE_NEW never writes over a
    // file, nor follows a link.
    const HANDLE handle = Sys().Open(SystemPath(folder.Shown() + privateName).c_str(), GENERIC_WRITE | DELETE, 0,
                                     CREATE_NEW, FILE_ATTRIBUTE_NORMAL);
    m_fd = Adopt(handle, _O_WRONLY);
    m_created = m_fd >= 0;
    BY_HANDLE_FILE_INFORMATION info{};
    if (m_created && ::GetFileInformationByHandle(handle, &info))
        m_made = IdentityOf(info);
    if (m_created && SetDisposition(handle, true))
        return true;
    const DWORD error = ::GetLastError();
    Discard();
    ::SetLastError(error);
    return false;
}

bool ReplacementFile::Flush() { return Sys().Flush(HandleOf(m_fd)) != 0; }

// A volume's flush needs the administrator; each file is flushed alone.
bool ReplacementFile::FlushFileSystem() { return false; }

// Handles are not counted, but every file here is also one of the C
// library's descriptors, of which it has 2048.
std::size_t OpenFilesAllowed() { return 2048; }

bool ReplacementFile::FlushFolder()
{
    Release();
    return true;
}

ReplacementFile::Replaced ReplacementFile::Place()
{
    const HANDLE handle = HandleOf(m_fd);
    if (!m_created || !Sys().Flush(handle) || !SetDisposition(handle, false) || !RenameOpenFile(handle, m_path, false))
        return Replaced::Failed;
    // Writes the new name through to the disk, as MOVEFILE_WRITE_THROUGH
    // would. Not known to be on disk, the file is not kept: it goes again
    // through its handle, whatever the name stands for by then.
    if (Sys().Flush(handle)) {
        m_created = false;
        return Replaced::Yes;
    }
    const DWORD error = ::GetLastError();
    Discard();
    ::SetLastError(error);
    return Replaced::NotFlushed;
}

void ReplacementFile::Discard()
{
    // Deleted through the handle: it is this file that goes, whatever the
    // name may stand for by then.
    if (m_created && m_fd >= 0)
        SetDisposition(HandleOf(m_fd), true);
    m_created = false;
    Release();
}

void ReplacementFile::Release()
{
    if (m_fd >= 0) {
        ::_close(m_fd);
        m_fd = -1;
    }
}

bool EnsureStandardStreams()
{
    bool outputClosed = false;
    for (int fd = 0; fd <= 2; ++fd) {
        if (::_get_osfhandle(fd) != -1)
            continue;
        outputClosed = outputClosed || fd == 1;
        const int null = ::_wopen(L"NUL", fd == 0 ? _O_RDONLY : _O_WRONLY);
        if (null >= 0 && null != fd) {
            ::_dup2(null, fd);
            ::_close(null);
        }
    }
    return outputClosed;
}

}  // namespace platform
