// The window's pass against the command line's, as a user meets it: the real
// program on the display it is given (with a window manager, which redraws
// the title bar at every progress line, as on any desktop), its fields typed
// into, Decrypt pressed from the keyboard through XTest, timed until the
// window's title is back at "Veltrane"; against veltrane-cli on the same
// 1 GiB file in /dev/shm. Seven pairs, the two taking turns to go first,
// after one to warm up; prints the median ratio.
#include "bench/fill.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>

#include <poll.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

namespace {

constexpr long long kBytes = 1LL << 30;
constexpr int kPairs = 7;
const char kIdle[] = "Veltrane";

using Clock = std::chrono::steady_clock;

double Since(Clock::time_point start, Clock::time_point end = Clock::now())
{
    return std::chrono::duration<double>(end - start).count();
}

[[noreturn]] void Die(const std::string& why)
{
    std::fprintf(stderr, "veltrane-window-bench: %s\n", why.c_str());
    std::exit(1);
}

std::string Output(const std::string& command)
{
    std::string out;
    if (FILE* pipe = ::popen(command.c_str(), "r")) {
        char chunk[256];
        while (std::fgets(chunk, sizeof chunk, pipe))
            out += chunk;
        ::pclose(pipe);
    }
    while (!out.empty() && out.back() == '\n')
        out.pop_back();
    return out;
}

void Xdotool(const std::string& arguments)
{
    if (std::system(("timeout 20 xdotool " + arguments).c_str()) != 0)
        Die("xdotool " + arguments + " failed");
}

pid_t Start(const std::vector<std::string>& command)
{
    const pid_t pid = ::fork();
    if (pid == 0) {
        std::vector<char*> argv;
        for (const std::string& word : command)
            argv.push_back(const_cast<char*>(word.c_str()));
        argv.push_back(nullptr);
        ::execvp(argv[0], argv.data());
        std::_Exit(127);
    }
    return pid;
}

double CpuSeconds(const rusage& usage)
{
    return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

// User and system time a running process has used so far.
double CpuSeconds(pid_t pid)
{
    FILE* stat = std::fopen(("/proc/" + std::to_string(pid) + "/stat").c_str(), "r");
    unsigned long user = 0, system = 0;
    if (!stat ||
        std::fscanf(stat, "%*d (%*[^)]) %*c %*d %*d %*d %*d %*d %*u %*u %*u %*u %*u %lu %lu", &user, &system) != 2)
        Die("cannot read the window's CPU time");
    std::fclose(stat);
    return static_cast<double>(user + system) / static_cast<double>(::sysconf(_SC_CLK_TCK));
}

// Each run starts once the one before has settled: the window's buttons
// fade back in for a fifth of a second after a pass.
void Settle() { std::this_thread::sleep_for(std::chrono::milliseconds(300)); }

struct Pass {
    double seconds = 0, cpu = 0;
    double toFirstTitle = 0, fromLastTitle = 0;  // the window's start and end
};

class Program {
public:
    Program(const std::string& program, const std::string& data, const std::string& key) : m_data(data)
    {
        m_display = XOpenDisplay(nullptr);
        if (!m_display)
            Die("no display (run it under xvfb-run with a window manager)");
        m_name = XInternAtom(m_display, "_NET_WM_NAME", False);
        m_utf8 = XInternAtom(m_display, "UTF8_STRING", False);
        // Keyboard input needs the window manager in charge before the
        // window maps.
        const Atom check = XInternAtom(m_display, "_NET_SUPPORTING_WM_CHECK", False);
        for (int tries = 0; Property(DefaultRootWindow(m_display), check, XA_WINDOW).empty(); ++tries) {
            if (tries == 300)
                Die("no window manager came up");
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        }
        // Found by its title alone, so that the program may be started
        // through a profiler.
        m_pid = m_programPid = Start({program});
        m_window =
            std::stoul("0" + Output("timeout 60 xdotool search --sync --onlyvisible --name '^Veltrane$' | head -1"));
        if (!m_window)
            Die("the window never appeared");
        // The program's own process, for its CPU time.
        const std::string pid = Property(m_window, XInternAtom(m_display, "_NET_WM_PID", False), XA_CARDINAL);
        if (pid.size() >= sizeof(long))
            m_programPid = static_cast<pid_t>(*reinterpret_cast<const long*>(pid.data()));
        XSelectInput(m_display, m_window, PropertyChangeMask);
        Xdotool("windowactivate --sync " + std::to_string(m_window));
        // The focus starts on the first Browse button; the key stays in its
        // field from pass to pass, and a pass ends on the button pressed.
        Xdotool("key --delay 0 Tab Tab Tab");
        Type(key);
        Xdotool("key --delay 0 shift+Tab shift+Tab shift+Tab shift+Tab");
    }
    ~Program()
    {
        // Escape closes the window, and with it the program.
        const KeyCode escape = XKeysymToKeycode(m_display, XK_Escape);
        XTestFakeKeyEvent(m_display, escape, True, CurrentTime);
        XTestFakeKeyEvent(m_display, escape, False, CurrentTime);
        XCloseDisplay(m_display);
        ::waitpid(m_pid, nullptr, 0);
    }

    // Decrypt, pressed from the keyboard with the focus on it, until the
    // title is back: a pass ends with the file's field cleared.
    Pass Decrypt()
    {
        Xdotool("key --delay 0 Tab Tab");
        Type(m_data);
        Xdotool("key --delay 0 shift+Tab shift+Tab");
        Settle();
        XSync(m_display, True);
        const double cpu = CpuSeconds(m_programPid);
        const KeyCode space = XKeysymToKeycode(m_display, XK_space);
        const Clock::time_point start = Clock::now();
        XTestFakeKeyEvent(m_display, space, True, CurrentTime);
        XTestFakeKeyEvent(m_display, space, False, CurrentTime);
        XFlush(m_display);
        Pass pass;
        Clock::time_point last = start;
        for (std::string title; title != kIdle;) {
            title = NextTitle(start);
            if (pass.toFirstTitle == 0)
                pass.toFirstTitle = Since(start);
            if (title != kIdle)
                last = Clock::now();
        }
        const Clock::time_point end = Clock::now();
        pass.seconds = Since(start, end);
        pass.fromLastTitle = Since(last, end);
        pass.cpu = CpuSeconds(m_programPid) - cpu;
        return pass;
    }

private:
    void Type(const std::string& text) { Xdotool("type --delay 0 '" + text + "'"); }

    std::string Property(::Window window, Atom name, Atom type)
    {
        Atom actual = None;
        int format = 0;
        unsigned long count = 0, after = 0;
        unsigned char* value = nullptr;
        std::string text;
        if (XGetWindowProperty(m_display, window, name, 0, 1024, False, type, &actual, &format, &count, &after,
                               &value) == Success &&
            value) {
            // Xlib hands 32-bit items over as longs.
            text.assign(reinterpret_cast<char*>(value), count * (format == 32 ? sizeof(long) : format / 8));
            XFree(value);
        }
        return text;
    }

    // The window's next new title, waited for at most a minute.
    std::string NextTitle(Clock::time_point start)
    {
        for (;;) {
            while (XPending(m_display)) {
                XEvent event;
                XNextEvent(m_display, &event);
                if (event.type == PropertyNotify && event.xproperty.atom == m_name)
                    return Property(m_window, m_name, m_utf8);
            }
            pollfd wait = {ConnectionNumber(m_display), POLLIN, 0};
            if (Since(start) > 60)
                Die("the title never came back to \"Veltrane\" (is the focus on Decrypt?)");
            ::poll(&wait, 1, 1000);
        }
    }

    Display* m_display = nullptr;
    Atom m_name = None, m_utf8 = None;
    pid_t m_pid = -1, m_programPid = -1;
    ::Window m_window = 0;
    std::string m_data;
};

Pass ByCommandLine(const std::string& cli, const std::string& data, const std::string& key)
{
    Settle();
    const Clock::time_point start = Clock::now();
    const pid_t pid = Start({cli, "encrypt", "-q", "-k", key, data});
    int status = 0;
    rusage usage{};
    if (::wait4(pid, &status, 0, &usage) != pid || !WIFEXITED(status) || WEXITSTATUS(status) != 0)
        Die(cli + " encrypt failed");
    Pass pass;
    pass.seconds = Since(start);
    pass.cpu = CpuSeconds(usage);
    return pass;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: %s VELTRANE VELTRANE-CLI (on a display with a window manager)\n", argv[0]);
        return 2;
    }
    const std::string program = argv[1], cli = argv[2];
    // A name with no capitals or quotes, so it types the same on any
    // keyboard map.
    const std::string folder = "/dev/shm/veltrane-window-bench-" + std::to_string(::getpid());
    const std::string data = folder + "/data.bin", key = folder + "/key.bin";
    if (std::system(("mkdir -p " + folder).c_str()) != 0)
        Die("cannot make " + folder);
    bench::Fill(data, kBytes, 1);
    bench::Fill(key, 1 << 20, 2);

    std::vector<double> ratios;
    {
        Program window(program, data, key);
        for (int pair = 0; pair <= kPairs; ++pair) {
            Pass byWindow, byCommandLine;
            if (pair % 2 == 0) {
                byCommandLine = ByCommandLine(cli, data, key);
                byWindow = window.Decrypt();
            } else {
                byWindow = window.Decrypt();
                byCommandLine = ByCommandLine(cli, data, key);
            }
            // The first pair only warms up: the file's pages are new to the
            // system.
            if (pair == 0)
                continue;
            std::printf(
                "pair %d: window %.3f s (press to first title %.0f ms, last title to idle %.0f ms, CPU %.2f s), "
                "command line %.3f s (CPU %.2f s)\n",
                pair, byWindow.seconds, byWindow.toFirstTitle * 1000, byWindow.fromLastTitle * 1000, byWindow.cpu,
                byCommandLine.seconds, byCommandLine.cpu);
            ratios.push_back(byWindow.seconds / byCommandLine.seconds);
        }
    }
    if (std::system(("rm -rf " + folder).c_str()) != 0)
        Die("cannot remove " + folder);
    std::sort(ratios.begin(), ratios.end());
    std::printf("window pass/command-line pass: %.2f (median of %d, 1 GiB in /dev/shm, key press to title back; "
                "target <= 1.15)\n",
                ratios[ratios.size() / 2], kPairs);
    return 0;
}
