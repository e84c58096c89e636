// Put in front of a program (LD_PRELOAD), it holds one flush to the disk
// until the test lets it go: a pass caught in a slow flush, or between its
// rename and the flush of the folder, for as long as the test needs.
//
// HOLD_FLUSH_OF: "file" holds the first flush of a regular file, "folder"
// the first flush of a folder. HOLD_FLUSH_GATE: a FIFO; the flush waits
// until a byte can be read from it, after creating the file named by
// HOLD_FLUSH_HELD to say that it waits.
#include <dlfcn.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>

extern "C" int fsync(int fd)
{
    static const auto real = reinterpret_cast<int (*)(int)>(dlsym(RTLD_NEXT, "fsync"));
    static bool held = false;
    const char* of = std::getenv("HOLD_FLUSH_OF");
    const char* gate = std::getenv("HOLD_FLUSH_GATE");
    const char* marker = std::getenv("HOLD_FLUSH_HELD");
    struct stat status {};
    if (!held && of && gate && marker && ::fstat(fd, &status) == 0 &&
        (std::strcmp(of, "folder") == 0 ? S_ISDIR(status.st_mode) : S_ISREG(status.st_mode))) {
        held = true;
        ::close(::open(marker, O_WRONLY | O_CREAT | O_CLOEXEC, 0600));
        const int in = ::open(gate, O_RDONLY | O_CLOEXEC);
        char byte = 0;
        while (in >= 0 && ::read(in, &byte, 1) < 0) {}
        ::close(in);
    }
    return real(fd);
}
