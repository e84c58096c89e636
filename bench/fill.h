// The benchmarks' files: pseudo-random bytes, so that neither the file
// system nor the cache can make light of them, the same for the same seed.
#pragma once

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace bench {

inline void Fill(const std::string& path, long long bytes, unsigned seed)
{
    FILE* out = std::fopen(path.c_str(), "wb");
    if (!out) {
        std::perror(path.c_str());
        std::exit(1);
    }
    std::vector<unsigned> block(1 << 18);
    unsigned state = seed;
    for (long long done = 0; done < bytes; done += static_cast<long long>(block.size() * sizeof(unsigned))) {
        for (auto& word : block)
            word = state = state * 1664525u + 1013904223u;
        if (std::fwrite(block.data(), sizeof(unsigned), block.size(), out) != block.size()) {
            std::perror(path.c_str());
            std::exit(1);
        }
    }
    std::fclose(out);
}

}  // namespace bench
