#include "tests/support/files.h"

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <sys/stat.h>
#include <unistd.h>

namespace testsupport {

// Windows has its own in win32/files.cpp.
#ifndef _WIN32
TempDir::TempDir()
{
    const char* base = std::getenv("TMPDIR");
    std::string pattern = std::string(base && *base ? base : "/tmp") + "/veltrane-test-XXXXXX";
    if (!::mkdtemp(pattern.data()))
        throw std::runtime_error("mkdtemp failed");
    m_path = pattern;
}

TempDir::~TempDir()
{
    const std::string command = "chmod -R u+rwx '" + m_path + "' 2>/dev/null; rm -rf '" + m_path + "'";
    if (std::system(command.c_str()) != 0)
        std::fprintf(stderr, "could not remove %s\n", m_path.c_str());
}

void WriteFile(const std::string& path, const std::string& bytes)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!out)
        throw std::runtime_error("cannot write " + path);
}

std::string ReadFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    if (!in)
        throw std::runtime_error("cannot read " + path);
    std::ostringstream all;
    all << in.rdbuf();
    return all.str();
}

bool Exists(const std::string& path)
{
    struct stat status {};
    return ::lstat(path.c_str(), &status) == 0;
}

mode_t ModeOf(const std::string& path)
{
    struct stat status {};
    if (::stat(path.c_str(), &status) != 0)
        throw std::runtime_error("cannot stat " + path);
    return status.st_mode & 07777;
}

void MakeDirectory(const std::string& path)
{
    if (::mkdir(path.c_str(), 0755) != 0)
        throw std::runtime_error("cannot make " + path);
}

std::pair<std::uint64_t, std::uint64_t> IdentityOf(const std::string& path)
{
    struct stat status {};
    if (::stat(path.c_str(), &status) != 0)
        throw std::runtime_error("cannot stat " + path);
    return {status.st_dev, status.st_ino};
}
#endif

std::string ReferenceEncrypt(const std::string& plain, const std::string& key, int offset)
{
    std::string out = plain;
    unsigned char k = 0;
    for (size_t i = 0; i < plain.size(); ++i) {
        if (i < key.size())
            k = static_cast<unsigned char>(key[i]);
        out[i] = static_cast<char>(static_cast<unsigned char>(plain[i]) + offset + k);
    }
    return out;
}

std::string PatternBytes(size_t length, unsigned seed)
{
    std::string bytes(length, '\0');
    unsigned state = seed * 2654435761u + 1;
    for (size_t i = 0; i < length; ++i) {
        state = state * 1103515245u + 12345u;
        bytes[i] = static_cast<char>((state >> 16) ^ i);
    }
    return bytes;
}

}  // namespace testsupport
