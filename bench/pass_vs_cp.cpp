// Throughput and memory of a pass against `cp` of the same file.
//
// Makes a 1 GiB data file and key file in /dev/shm, then runs a pass and a
// copy in alternation, five pairs, each in a fresh process so that its peak
// resident memory is its own. Prints the median MB/s of each, the median
// ratio pass/cp, and the largest peak memory of the passes.
#include "engine/cipher.h"

#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

constexpr long long kBytes = 1LL << 30;
constexpr int kPairs = 5;

struct Run {
    double seconds;
    long peakKiB;
};

Run Spawn(const std::vector<std::string>& args)
{
    std::vector<char*> argv;
    for (const auto& a : args)
        argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    const auto start = std::chrono::steady_clock::now();
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::execvp(argv[0], argv.data());
        _exit(127);
    }
    int status = 0;
    rusage usage{};
    ::wait4(pid, &status, 0, &usage);
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        std::fprintf(stderr, "%s failed\n", args[0].c_str());
        std::exit(1);
    }
    return {seconds, usage.ru_maxrss};
}

void Fill(const std::string& path, unsigned seed)
{
    FILE* out = std::fopen(path.c_str(), "wb");
    std::vector<unsigned> block(1 << 18);
    unsigned state = seed;
    for (long long done = 0; done < kBytes; done += static_cast<long long>(block.size() * sizeof(unsigned))) {
        for (auto& word : block)
            word = state = state * 1664525u + 1013904223u;
        std::fwrite(block.data(), sizeof(unsigned), block.size(), out);
    }
    std::fclose(out);
}

double Median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

}  // namespace

int main(int argc, char** argv)
{
    // The child side: one pass, nothing else in the process.
    if (argc == 5 && std::strcmp(argv[1], "--pass") == 0)
        return TransformFile(argv[2], argv[3], 17, std::atoi(argv[4])) == 1 ? 0 : 1;

    char pattern[] = "/dev/shm/veltrane-bench-XXXXXX";
    if (!::mkdtemp(pattern)) {
        std::perror("mkdtemp");
        return 1;
    }
    const std::string dir = pattern;
    const std::string data = dir + "/data.bin", key = dir + "/key.bin", copy = dir + "/copy.bin";
    Fill(data, 1);
    Fill(key, 2);

    std::vector<double> passRates, copyRates, ratios;
    long peakKiB = 0;
    const double megabytes = static_cast<double>(kBytes) / 1e6;
    for (int pair = 0; pair < kPairs; ++pair) {
        // Encrypt and decrypt alternately so the file returns to its start.
        const Run pass = Spawn({"/proc/self/exe", "--pass", data, key, pair % 2 ? "0" : "1"});
        const Run cp = Spawn({"cp", data, copy});
        ::unlink(copy.c_str());
        passRates.push_back(megabytes / pass.seconds);
        copyRates.push_back(megabytes / cp.seconds);
        ratios.push_back(pass.seconds / cp.seconds);
        peakKiB = std::max(peakKiB, pass.peakKiB);
    }
    std::printf("pass: %.0f MB/s (median of %d, 1 GiB in /dev/shm)\n", Median(passRates), kPairs);
    std::printf("cp:   %.0f MB/s (median of %d)\n", Median(copyRates), kPairs);
    std::printf("ratio pass/cp: %.2f (median; target <= 1.25)\n", Median(ratios));
    std::printf("pass peak memory: %.1f MiB (target <= 16)\n", static_cast<double>(peakKiB) / 1024.0);

    ::unlink(data.c_str());
    ::unlink(key.c_str());
    ::rmdir(dir.c_str());
    return 0;
}
