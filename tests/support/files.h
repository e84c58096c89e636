// Real files for tests: a fresh directory per test and small helpers.
#pragma once

#include <cstdint>
#include <string>
#include <sys/types.h>
#include <utility>

namespace testsupport {

// A fresh directory, removed with everything in it (write bits restored
// first) when the object goes.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::string& Path() const { return m_path; }
    std::string operator/(const std::string& name) const { return m_path + kSeparator + name; }

#ifdef _WIN32
    static constexpr char kSeparator = '\\';
#else
    static constexpr char kSeparator = '/';
#endif

private:
    std::string m_path;
};

void WriteFile(const std::string& path, const std::string& bytes);
std::string ReadFile(const std::string& path);
bool Exists(const std::string& path);  // without following a symlink
mode_t ModeOf(const std::string& path);
void MakeDirectory(const std::string& path);
// Which file a path names: (device, inode), or (volume, file index).
std::pair<std::uint64_t, std::uint64_t> IdentityOf(const std::string& path);

// What encrypting `plain` with `key` and `offset` must give, worked out byte
// by byte, independently of the engine: the key's last byte serves past its
// end, an empty key counts as zeros.
std::string ReferenceEncrypt(const std::string& plain, const std::string& key, int offset);

// Bytes 0, 1, ... 255, 0, 1, ... of the given length, scrambled by `seed`.
std::string PatternBytes(size_t length, unsigned seed = 1);

}  // namespace testsupport
