// Preloaded into a program (LD_PRELOAD) to time its first picture: the first
// glXSwapBuffers, once the X server holds the pixels. Writes the time since
// FIRST_SWAP_LAUNCH_NS (wall clock, set just before the program was started)
// and the CPU time the process had used by then, both in milliseconds, to the
// file FIRST_SWAP_OUT. The program runs on unchanged.
// Used by tools/measure-first-picture.sh.

#include <GL/glx.h>
#include <X11/Xlib.h>

#include <dlfcn.h>
#include <sys/resource.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace {
std::atomic<bool> Reported{false};

double MsSinceLaunch() {
    const char* launch = std::getenv("FIRST_SWAP_LAUNCH_NS");
    if (!launch)
        return -1;
    const auto now = std::chrono::duration_cast<std::chrono::nanoseconds>(
                         std::chrono::system_clock::now().time_since_epoch())
                         .count();
    return static_cast<double>(now - std::stoll(launch)) / 1e6;
}
double CpuMs() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) * 1e3 +
           static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e3;
}
} // namespace

extern "C" void glXSwapBuffers(Display* display, GLXDrawable drawable) {
    using TSwap = void (*)(Display*, GLXDrawable);
    static const auto real = reinterpret_cast<TSwap>(dlsym(RTLD_NEXT, "glXSwapBuffers"));
    real(display, drawable);
    if (Reported.exchange(true))
        return;
    XSync(display, False); // the picture is on the server, not only queued
    const double ms = MsSinceLaunch();
    const double cpu = CpuMs();
    if (const char* out = std::getenv("FIRST_SWAP_OUT")) {
        if (FILE* file = std::fopen(out, "w")) {
            std::fprintf(file, "%.1f %.1f\n", ms, cpu);
            std::fclose(file);
        }
    }
}
