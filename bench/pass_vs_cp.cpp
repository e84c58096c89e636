// Throughput and memory of a pass against copying the same file.
//
// Two places, measured in turn: /dev/shm (memory: what the pass itself
// costs, against plain `cp`) and the file system the benchmark lies on (a
// real disk: against `cp`, a flush and a rename over the original, the safe
// replacement a careful user would script). Each place gets a 1 GiB data
// file and key file; a pass and a copy run in alternation, five pairs per
// place with the places interleaved, each in a fresh process so that its
// peak resident memory is its own. Prints the median MB/s of each, the
// median ratio, and the largest peak memory of the passes.
#include "bench/fill.h"
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

double Median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

struct Place {
    std::string name;
    std::string dir;
    // The copy a pass is measured against; $1 the data file, $2 beside it.
    std::string copyScript;
    std::vector<double> passRates, copyRates, ratios;

    std::string Data() const { return dir + "/data.bin"; }
    std::string Key() const { return dir + "/key.bin"; }
};

std::string MakeDir(const std::string& base)
{
    std::string pattern = base + "/veltrane-bench-XXXXXX";
    if (!::mkdtemp(pattern.data())) {
        std::perror(base.c_str());
        std::exit(1);
    }
    return pattern;
}

std::string FolderOfThisProgram()
{
    std::string self(4096, '\0');
    const ssize_t length = ::readlink("/proc/self/exe", self.data(), self.size());
    self.resize(length > 0 ? static_cast<size_t>(length) : 0);
    const size_t slash = self.find_last_of('/');
    return slash == std::string::npos ? "." : self.substr(0, slash);
}

}  // namespace

int main(int argc, char** argv)
{
    // The child side: one pass, nothing else in the process.
    if (argc == 5 && std::strcmp(argv[1], "--pass") == 0)
        return TransformFile(argv[2], argv[3], 17, std::atoi(argv[4])) == 1 ? 0 : 1;

    std::vector<Place> places = {
        {"/dev/shm", MakeDir("/dev/shm"), "cp -- \"$1\" \"$2\"", {}, {}, {}},
        {"disk",
         MakeDir(FolderOfThisProgram()),
         "cp -- \"$1\" \"$2\" && sync -- \"$2\" && mv -- \"$2\" \"$1\"",
         {},
         {},
         {}},
    };
    for (const Place& place : places) {
        bench::Fill(place.Data(), kBytes, 1);
        bench::Fill(place.Key(), kBytes, 2);
    }

    long peakKiB = 0;
    const double megabytes = static_cast<double>(kBytes) / 1e6;
    for (int pair = 0; pair < kPairs; ++pair) {
        for (Place& place : places) {
            // Encrypt and decrypt alternately so the file returns to its start.
            const Run pass = Spawn({"/proc/self/exe", "--pass", place.Data(), place.Key(), pair % 2 ? "0" : "1"});
            const std::string copy = place.dir + "/copy.bin";
            const Run cp = Spawn({"sh", "-c", place.copyScript, "sh", place.Data(), copy});
            ::unlink(copy.c_str());
            place.passRates.push_back(megabytes / pass.seconds);
            place.copyRates.push_back(megabytes / cp.seconds);
            place.ratios.push_back(pass.seconds / cp.seconds);
            peakKiB = std::max(peakKiB, pass.peakKiB);
        }
    }
    const Place& shm = places[0];
    const Place& disk = places[1];
    std::printf("pass: %.0f MB/s (median of %d, 1 GiB in /dev/shm)\n", Median(shm.passRates), kPairs);
    std::printf("cp:   %.0f MB/s (median of %d)\n", Median(shm.copyRates), kPairs);
    std::printf("ratio pass/cp: %.2f (median; target <= 1.5)\n", Median(shm.ratios));
    std::printf("disk pass: %.0f MB/s (median of %d, 1 GiB in %s)\n", Median(disk.passRates), kPairs,
                FolderOfThisProgram().c_str());
    std::printf("disk cp+sync+mv: %.0f MB/s (median of %d)\n", Median(disk.copyRates), kPairs);
    std::printf("disk ratio pass/(cp+sync+mv): %.2f (median; target <= 1.10)\n", Median(disk.ratios));
    std::printf("pass peak memory: %.1f MiB (target <= 16)\n", static_cast<double>(peakKiB) / 1024.0);

    for (const Place& place : places) {
        ::unlink(place.Data().c_str());
        ::unlink(place.Key().c_str());
        ::rmdir(place.dir.c_str());
    }
    return 0;
}
