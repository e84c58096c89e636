// veltrane-cli keygen: a new key file of random bytes from the system.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace cli {

// Reads SIZE: a whole number of bytes, optionally followed by K, M, G or T
// (powers of 1024, also written KiB, MiB, GiB, TiB). False for anything
// else, for 0, and for sizes past what a file can hold.
bool ParseSize(const std::string& text, std::int64_t& bytes);

// The length of the largest of `files` (1 if they are all empty), or -1
// after a message naming a file that isn't a readable regular file.
std::int64_t LargestFile(const std::vector<std::string>& files);

enum class KeygenResult { Made, Failed, Stopped };

// Creates `path` (never over an existing file) with read permission for the
// owner only, fills it with `bytes` random bytes and flushes it and its
// folder to disk. On any failure, or a stop asked for meanwhile, the file is
// removed again: a key cut short must never be mistaken for a whole one.
// Failures are reported on standard error.
KeygenResult MakeKeyFile(const std::string& path, std::int64_t bytes);

}  // namespace cli
