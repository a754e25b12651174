// A key to its picture, seen from outside: a Right key sent through the X
// server's XTest extension, and the time until the scene's pixels on the
// server change. The game runs as its own program; beside it a bare GLX
// window draws the same scene the moment the key arrives, the floor for any
// program. Runs alternate between the two, so both see the same load.
//
//   xvfb-run -a -s "-screen 0 1024x768x24" build/bench/key_to_pixels build/tarvin [presses] [runs]

#include "BareScene.h"

#include <GL/gl.h>
#include <GL/glu.h>
#include <GL/glx.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/keysym.h>

#include <dlfcn.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#ifndef TARVIN_SOUNDS_DIR
#error "TARVIN_SOUNDS_DIR must name the folder holding the cue WAV files"
#endif

namespace {

namespace fs = std::filesystem;
using TClock = std::chrono::steady_clock;
using namespace std::chrono_literals;

constexpr int SceneWidth = 300, SceneHeight = 281;

struct TDisplayCloser {
    void operator()(Display* display) const { XCloseDisplay(display); }
};
using TDisplay = std::unique_ptr<Display, TDisplayCloser>;

struct TImageDeleter {
    void operator()(XImage* image) const { XDestroyImage(image); }
};
using TImage = std::unique_ptr<XImage, TImageDeleter>;

// The bare window: the scene drawn on every Right key, at once, on the same
// kind of surface as the game's (its X visual). Prints its window id, then
// serves until it is killed.
int RunBareWindow(VisualID visualId) {
    const TDisplay display(XOpenDisplay(nullptr));
    if (!display)
        return 1;
    Display* d = display.get();
    XVisualInfo wanted{};
    wanted.visualid = visualId;
    int count = 0;
    XVisualInfo* visual = XGetVisualInfo(d, VisualIDMask, &wanted, &count);
    if (!visual)
        return 1;
    XSetWindowAttributes set{};
    set.colormap = XCreateColormap(d, RootWindow(d, visual->screen), visual->visual, AllocNone);
    set.event_mask = ExposureMask | KeyPressMask;
    const Window window =
        XCreateWindow(d, RootWindow(d, visual->screen), 0, 0, SceneWidth, SceneHeight, 0,
                      visual->depth, InputOutput, visual->visual, CWColormap | CWEventMask, &set);
    XStoreName(d, window, "bare");
    const GLXContext context = glXCreateContext(d, visual, nullptr, True);
    XFree(visual);
    XMapWindow(d, window);
    glXMakeCurrent(d, window, context);
    SetUpBareView(SceneWidth, SceneHeight);
    GLUquadric* quadric = gluNewQuadric();
    std::printf("%lu\n", window);
    std::fflush(stdout);
    int selected = 0;
    for (;;) {
        XEvent event;
        XNextEvent(d, &event);
        if (event.type == KeyPress && XLookupKeysym(&event.xkey, 0) == XK_Right)
            selected = (selected + 1) % 3;
        else if (event.type != Expose)
            continue;
        DrawBareScene(quadric, selected);
        glXSwapBuffers(d, window);
    }
}

// One program under test: its top-level window, for the focus, and the
// window that shows the scene, for the pixels.
struct TTarget {
    const char* Name = "";
    pid_t Pid = 0;
    Window TopLevel = 0;
    Window Scene = 0;
    std::vector<double> Times; // ms, the first press of the run left out
    std::vector<double> First; // ms, the first press of each run, after the focus came
    double Cpu = 0;            // ms of CPU used during its runs
};

Window TopLevelOf(Display* d, Window window) {
    for (;;) {
        Window root = 0, parent = 0, *children = nullptr;
        unsigned count = 0;
        if (!XQueryTree(d, window, &root, &parent, &children, &count))
            return window;
        if (children)
            XFree(children);
        if (parent == root || parent == 0)
            return window;
        window = parent;
    }
}

// The innermost mapped window of the scene's size under `under`, other than
// `skip`: the game's GL surface rather than the widget that holds it.
Window FindScene(Display* d, Window under, Window skip) {
    Window root = 0, parent = 0, *children = nullptr;
    unsigned count = 0;
    if (!XQueryTree(d, under, &root, &parent, &children, &count))
        return 0;
    Window found = 0;
    for (unsigned i = 0; i < count && !found; ++i) {
        XWindowAttributes attributes{};
        if (children[i] == skip || !XGetWindowAttributes(d, children[i], &attributes) ||
            attributes.map_state != IsViewable)
            continue;
        found = FindScene(d, children[i], skip);
        if (!found && attributes.width == SceneWidth && attributes.height == SceneHeight)
            found = children[i];
    }
    if (children)
        XFree(children);
    return found;
}

TImage Grab(Display* d, Window window, int x, int y, int w, int h) {
    return TImage(XGetImage(d, window, x, y, static_cast<unsigned>(w), static_cast<unsigned>(h),
                            AllPlanes, ZPixmap));
}

bool Same(const XImage* a, const XImage* b) {
    return a && b && a->height == b->height && a->bytes_per_line == b->bytes_per_line &&
           std::memcmp(a->data, b->data,
                       static_cast<std::size_t>(a->bytes_per_line) *
                           static_cast<std::size_t>(a->height)) == 0;
}

// The part of the scene a Right key changes: the pegs' colours.
struct TBox {
    int X = 0, Y = 0, W = SceneWidth, H = SceneHeight;
};

std::optional<TBox> Changed(const XImage* before, const XImage* after) {
    int left = SceneWidth, top = SceneHeight, right = -1, bottom = -1;
    for (int y = 0; y < SceneHeight; ++y)
        for (int x = 0; x < SceneWidth; ++x)
            if (XGetPixel(const_cast<XImage*>(before), x, y) !=
                XGetPixel(const_cast<XImage*>(after), x, y)) {
                left = std::min(left, x);
                right = std::max(right, x);
                top = std::min(top, y);
                bottom = std::max(bottom, y);
            }
    if (right < 0)
        return std::nullopt;
    return TBox{left, top, right - left + 1, bottom - top + 1};
}

// CPU time a process has used so far, all its threads, in ms.
double CpuMs(pid_t pid) {
    double total = 0;
    std::error_code error;
    for (const fs::directory_entry& task :
         fs::directory_iterator("/proc/" + std::to_string(pid) + "/task", error)) {
        if (FILE* stat = std::fopen((task.path() / "schedstat").c_str(), "r")) {
            unsigned long long ns = 0;
            if (std::fscanf(stat, "%llu", &ns) == 1)
                total += static_cast<double>(ns) / 1e6;
            std::fclose(stat);
        }
    }
    return total;
}

using TFakeKey = int (*)(Display*, unsigned, Bool, unsigned long);

// A Right press through XTest; the time until the box's pixels change, in
// ms, or nothing when they did not change within two seconds.
std::optional<double> Press(Display* d, TFakeKey fakeKey, const TTarget& target, const TBox& box) {
    const KeyCode right = XKeysymToKeycode(d, XK_Right);
    const TImage before = Grab(d, target.Scene, box.X, box.Y, box.W, box.H);
    const TClock::time_point start = TClock::now();
    fakeKey(d, right, True, 0);
    XFlush(d);
    std::optional<double> took;
    while (TClock::now() - start < 2s) {
        const TImage now = Grab(d, target.Scene, box.X, box.Y, box.W, box.H);
        if (!Same(before.get(), now.get())) {
            took = std::chrono::duration<double, std::milli>(TClock::now() - start).count();
            break;
        }
        std::this_thread::sleep_for(100us); // leaves the cores to the renderers
    }
    fakeKey(d, right, False, 0);
    XSync(d, False);
    return took;
}

double Percentile(std::vector<double> samples, double share) {
    if (samples.empty())
        return 0;
    std::sort(samples.begin(), samples.end());
    return samples[static_cast<std::size_t>(share * static_cast<double>(samples.size() - 1))];
}

// Starts a program with its standard output on a pipe; returns the pid.
pid_t Spawn(const std::vector<std::string>& args, const std::string& folder, int* output) {
    int pipeEnds[2];
    if (pipe(pipeEnds) != 0)
        return -1;
    const pid_t pid = fork();
    if (pid == 0) {
        dup2(pipeEnds[1], STDOUT_FILENO);
        close(pipeEnds[0]);
        close(pipeEnds[1]);
        if (!folder.empty() && chdir(folder.c_str()) != 0)
            _exit(127);
        std::vector<char*> argv;
        for (const std::string& arg : args)
            argv.push_back(const_cast<char*>(arg.c_str()));
        argv.push_back(nullptr);
        execv(argv[0], argv.data());
        _exit(127);
    }
    close(pipeEnds[1]);
    *output = pipeEnds[0];
    return pid;
}

int Measure(const std::string& game, int presses, int runs) {
    void* xtest = dlopen("libXtst.so.6", RTLD_NOW);
    const auto fakeKey =
        xtest ? reinterpret_cast<TFakeKey>(dlsym(xtest, "XTestFakeKeyEvent")) : nullptr;
    if (!fakeKey) {
        std::fprintf(stderr, "XTest is not available (libXtst.so.6)\n");
        return 1;
    }
    const TDisplay display(XOpenDisplay(nullptr));
    if (!display) {
        std::fprintf(stderr, "no X display\n");
        return 1;
    }
    Display* d = display.get();

    // The game plays its cues from a scratch folder, on SDL's silent driver
    // unless SDL_AUDIODRIVER names another.
    setenv("SDL_AUDIODRIVER", "dummy", 0);
    std::string pattern = (fs::temp_directory_path() / "tarvin-keys-XXXXXX").string();
    if (!mkdtemp(pattern.data()))
        return 1;
    const fs::path folder = pattern;
    for (const fs::directory_entry& entry : fs::directory_iterator(TARVIN_SOUNDS_DIR))
        if (entry.path().extension() == ".wav")
            fs::copy_file(entry.path(), folder / entry.path().filename());

    TTarget bare, tarvin;
    bare.Name = "bare GLX window";
    tarvin.Name = "the game";
    int bareOutput = -1, gameOutput = -1;
    const TClock::time_point launched = TClock::now();
    tarvin.Pid = Spawn({fs::absolute(game).string()}, folder.string(), &gameOutput);
    while (!tarvin.Scene && TClock::now() - launched < 10s) {
        std::this_thread::sleep_for(20ms);
        tarvin.Scene = FindScene(d, DefaultRootWindow(d), 0);
    }
    XWindowAttributes scene{};
    if (tarvin.Scene && XGetWindowAttributes(d, tarvin.Scene, &scene)) {
        const std::string visual = std::to_string(XVisualIDFromVisual(scene.visual));
        bare.Pid =
            Spawn({fs::canonical("/proc/self/exe").string(), "--bare", visual}, {}, &bareOutput);
        char line[64] = {};
        const ssize_t got = read(bareOutput, line, sizeof line - 1);
        bare.Scene = bare.TopLevel = got > 0 ? std::strtoul(line, nullptr, 10) : 0;
    }
    int status = 1;
    if (!bare.Scene || !tarvin.Scene) {
        std::fprintf(stderr, "%s\n", tarvin.Scene ? "no bare window" : "the game showed no scene");
    } else {
        tarvin.TopLevel = TopLevelOf(d, tarvin.Scene);
        std::this_thread::sleep_for(500ms); // the first frames are drawn
        std::printf("%d runs of %d Right presses each, alternating; ms from the key to "
                    "changed pixels\n",
                    runs, presses);
        // A first press on the bare window finds the part of the scene a
        // Right key changes; the same scene in the game changes there too.
        XSetInputFocus(d, bare.TopLevel, RevertToParent, CurrentTime);
        XSync(d, False);
        std::this_thread::sleep_for(200ms);
        const TImage before = Grab(d, bare.Scene, 0, 0, SceneWidth, SceneHeight);
        TBox box;
        if (Press(d, fakeKey, bare, box)) {
            std::this_thread::sleep_for(100ms);
            const TImage after = Grab(d, bare.Scene, 0, 0, SceneWidth, SceneHeight);
            box = Changed(before.get(), after.get()).value_or(TBox{});
        }
        TTarget* targets[2] = {&tarvin, &bare};
        for (int run = 0; run < runs; ++run)
            for (TTarget* target : targets) {
                XSetInputFocus(d, target->TopLevel, RevertToParent, CurrentTime);
                XSync(d, False);
                std::this_thread::sleep_for(200ms);
                const double cpuBefore = CpuMs(target->Pid);
                for (int i = 0; i < presses; ++i) {
                    if (const std::optional<double> took = Press(d, fakeKey, *target, box))
                        (i == 0 ? target->First : target->Times).push_back(*took);
                    else
                        std::fprintf(stderr, "%s: no change after a key\n", target->Name);
                    std::this_thread::sleep_for(60ms);
                }
                target->Cpu += CpuMs(target->Pid) - cpuBefore;
            }
        for (const TTarget* target : targets)
            std::printf("%-16s median %6.2f  p90 %6.2f  max %6.2f  CPU per press %5.2f  first of "
                        "each run: %s\n",
                        target->Name, Percentile(target->Times, 0.5),
                        Percentile(target->Times, 0.9),
                        target->Times.empty()
                            ? 0.0
                            : *std::max_element(target->Times.begin(), target->Times.end()),
                        target->Cpu / (runs * presses),
                        [&] {
                            std::string firsts;
                            for (const double f : target->First)
                                firsts += std::to_string(f).substr(0, 5) + " ";
                            return firsts;
                        }()
                            .c_str());
        const double floorMedian = Percentile(bare.Times, 0.5);
        const double floorP90 = Percentile(bare.Times, 0.9);
        if (floorMedian > 0 && floorP90 > 0)
            std::printf("game / bare: median %.2f x, p90 %.2f x\n",
                        Percentile(tarvin.Times, 0.5) / floorMedian,
                        Percentile(tarvin.Times, 0.9) / floorP90);
        status = 0;
    }
    for (const pid_t pid : {tarvin.Pid, bare.Pid})
        if (pid > 0) {
            kill(pid, SIGTERM);
            waitpid(pid, nullptr, 0);
        }
    for (const int output : {bareOutput, gameOutput})
        if (output >= 0)
            close(output);
    std::error_code ignored;
    fs::remove_all(folder, ignored);
    return status;
}

} // namespace

int main(int argc, char** argv) {
    if (argc >= 3 && std::strcmp(argv[1], "--bare") == 0)
        return RunBareWindow(std::strtoul(argv[2], nullptr, 0));
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s path/to/tarvin [presses per run] [runs]\n", argv[0]);
        return 2;
    }
    const int presses = argc > 2 ? std::max(2, std::atoi(argv[2])) : 31;
    const int runs = argc > 3 ? std::max(1, std::atoi(argv[3])) : 3;
    return Measure(argv[1], presses, runs);
}
