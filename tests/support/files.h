// Real files for tests: a fresh directory per test and small helpers.
#pragma once

#include <string>
#include <sys/types.h>

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
    std::string operator/(const std::string& name) const { return m_path + "/" + name; }

private:
    std::string m_path;
};

void WriteFile(const std::string& path, const std::string& bytes);
std::string ReadFile(const std::string& path);
bool Exists(const std::string& path);  // without following a symlink
mode_t ModeOf(const std::string& path);

// What encrypting `plain` with `key` and `offset` must give, worked out byte
// by byte, independently of the engine: the key's last byte serves past its
// end, an empty key counts as zeros.
std::string ReferenceEncrypt(const std::string& plain, const std::string& key, int offset);

// Bytes 0, 1, ... 255, 0, 1, ... of the given length, scrambled by `seed`.
std::string PatternBytes(size_t length, unsigned seed = 1);

}  // namespace testsupport
