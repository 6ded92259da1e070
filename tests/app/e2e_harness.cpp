// Xvfb, the game process and the X input used by the end-to-end tests.
#include "app/e2e_harness.h"

#include <X11/Xatom.h>
#include <X11/Xutil.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <thread>

namespace fs = std::filesystem;

void sleepSeconds(double seconds) {
    std::this_thread::sleep_for(std::chrono::duration<double>(seconds));
}

namespace {

int ignoreXErrors(Display*, XErrorEvent*) { return 0; }

fs::path makeTempFolder(const char* prefix) {
    std::string pattern = (fs::temp_directory_path() / (std::string(prefix) + "XXXXXX")).string();
    if (mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
    return pattern;
}

}  // namespace

namespace {

// Starts Xvfb on display n; the child's pid, or -1.
pid_t startXvfb(int n) {
    pid_t pid = fork();
    if (pid == 0) {
        int devnull = open("/dev/null", O_WRONLY);
        dup2(devnull, STDERR_FILENO);
        dup2(devnull, STDOUT_FILENO);
        std::string display = ":" + std::to_string(n);
        execlp("Xvfb", "Xvfb", display.c_str(), "-screen", "0", "640x480x24", "-nolisten", "tcp",
               "-noreset", static_cast<char*>(nullptr));
        _exit(127);
    }
    return pid;
}

bool exited(pid_t pid) {
    int status = 0;
    return waitpid(pid, &status, WNOHANG) == pid;
}

}  // namespace

XServer::XServer() {
    XSetErrorHandler(ignoreXErrors);
    // Display numbers spread by process so that parallel tests rarely collide;
    // a server that finds its number taken exits and the next number is tried.
    int first = 200 + (getpid() % 500) * 4;
    for (int n = first; n < first + 400 && display_ == nullptr; ++n) {
        if (fs::exists("/tmp/.X" + std::to_string(n) + "-lock")) continue;
        pid_ = startXvfb(n);
        displayName_ = ":" + std::to_string(n);
        for (int attempt = 0; attempt < 200 && display_ == nullptr; ++attempt) {
            if (exited(pid_)) break;
            display_ = XOpenDisplay(displayName_.c_str());
            if (display_ == nullptr) sleepSeconds(0.025);
        }
        if (display_ == nullptr) {
            kill(pid_, SIGKILL);
            waitpid(pid_, nullptr, 0);
            pid_ = -1;
        }
    }
    if (display_ == nullptr) throw std::runtime_error("cannot start Xvfb");
}

XServer::~XServer() {
    if (display_ != nullptr) XCloseDisplay(display_);
    if (pid_ > 0) {
        kill(pid_, SIGTERM);
        waitpid(pid_, nullptr, 0);
    }
}

RunFolder::RunFolder() : path_(makeTempFolder("tessaria-run-")) {
    fs::copy(fs::path(TESSARIA_RUN_DIR) / "data", path_ / "data",
             fs::copy_options::recursive | fs::copy_options::skip_symlinks);
    fs::remove_all(path_ / "data/world");
    fs::create_directories(path_ / "data/world");
}

RunFolder::~RunFolder() {
    std::error_code ignored;
    fs::remove_all(path_, ignored);
}

GameProcess::GameProcess(const XServer& server, const RunFolder& folder,
                         std::vector<std::string> extraEnvironment)
    : stderrPath_(folder.path() / "stderr.txt") {
    pid_ = fork();
    if (pid_ == 0) {
        if (chdir(folder.path().c_str()) != 0) _exit(126);
        int errors = open(stderrPath_.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        dup2(errors, STDERR_FILENO);
        setenv("DISPLAY", server.name().c_str(), 1);
        if (getenv("ALSOFT_DRIVERS") == nullptr) setenv("ALSOFT_DRIVERS", "null", 1);
        // The window's graphics driver is unloaded at exit with allocations
        // the leak checker can no longer attribute; the game's exit status
        // must stay its own.
        std::string asan = getenv("ASAN_OPTIONS") ? getenv("ASAN_OPTIONS") : "";
        setenv("ASAN_OPTIONS", (asan + ":detect_leaks=0").c_str(), 1);
        for (const std::string& entry : extraEnvironment) putenv(strdup(entry.c_str()));
        execl(TESSARIA_GAME_BINARY, TESSARIA_GAME_BINARY, static_cast<char*>(nullptr));
        _exit(127);
    }
}

GameProcess::~GameProcess() {
    if (running()) {
        kill(pid_, SIGKILL);
        waitpid(pid_, nullptr, 0);
    }
}

bool GameProcess::running() {
    if (pid_ <= 0 || exited_) return false;
    pid_t done = waitpid(pid_, &status_, WNOHANG);
    if (done == pid_) exited_ = true;
    return done == 0;
}

int GameProcess::waitForExit(double seconds) {
    if (!waitUntil([this] { return !running(); }, seconds)) return -1;
    if (!exited_) return -1;
    if (WIFEXITED(status_)) return WEXITSTATUS(status_);
    if (WIFSIGNALED(status_)) return 128 + WTERMSIG(status_);
    return -1;
}

const std::string& GameProcess::errorOutput() {
    std::ifstream in(stderrPath_);
    std::stringstream text;
    text << in.rdbuf();
    stderrText_ = text.str();
    return stderrText_;
}

namespace {

// The window's WM_NAME whatever its encoding (the game sets it as UTF-8).
std::string nameOf(Display* display, Window window) {
    XTextProperty property = {};
    std::string name;
    if (XGetWMName(display, window, &property) && property.value != nullptr) {
        name.assign(reinterpret_cast<const char*>(property.value), property.nitems);
        XFree(property.value);
    }
    return name;
}

Window findTitled(Display* display, Window window, const std::string& title) {
    if (nameOf(display, window) == title) return window;
    Window root, parent, *children = nullptr;
    unsigned count = 0;
    if (!XQueryTree(display, window, &root, &parent, &children, &count)) return 0;
    Window found = 0;
    for (unsigned i = 0; i < count && found == 0; ++i) found = findTitled(display, children[i], title);
    if (children != nullptr) XFree(children);
    return found;
}

}  // namespace

Window waitForWindow(const XServer& server, double seconds) {
    Window window = 0;
    waitUntil(
        [&] {
            window = findTitled(server.display(), DefaultRootWindow(server.display()), "Tessaria");
            return window != 0;
        },
        seconds);
    return window;
}

std::string windowTitle(const XServer& server, Window window) {
    return nameOf(server.display(), window);
}

void windowSize(const XServer& server, Window window, int* width, int* height) {
    XWindowAttributes attributes = {};
    XGetWindowAttributes(server.display(), window, &attributes);
    *width = attributes.width;
    *height = attributes.height;
}

void requestClose(const XServer& server, Window window) {
    Display* display = server.display();
    XEvent event = {};
    event.xclient.type = ClientMessage;
    event.xclient.window = window;
    event.xclient.message_type = XInternAtom(display, "WM_PROTOCOLS", False);
    event.xclient.format = 32;
    event.xclient.data.l[0] = static_cast<long>(XInternAtom(display, "WM_DELETE_WINDOW", False));
    event.xclient.data.l[1] = CurrentTime;
    XSendEvent(display, window, False, NoEventMask, &event);
    XFlush(display);
}

bool xdotool(const XServer& server, const std::string& arguments) {
    std::string command = "DISPLAY=" + server.name() + " xdotool " + arguments + " >/dev/null 2>&1";
    return std::system(command.c_str()) == 0;
}

void holdKey(const XServer& server, Window window, const std::string& key, double seconds) {
    xdotool(server, "windowfocus --sync " + std::to_string(window));
    xdotool(server, "keydown " + key);
    sleepSeconds(seconds);
    xdotool(server, "keyup " + key);
}

void clickAt(const XServer& server, int x, int y) {
    xdotool(server, "mousemove --sync " + std::to_string(x) + " " + std::to_string(y));
    sleepSeconds(0.1);
    xdotool(server, "mousedown 1");
    sleepSeconds(0.15);
    xdotool(server, "mouseup 1");
}

Pixel pixelAt(const XServer& server, int x, int y) {
    Display* display = server.display();
    XImage* image = XGetImage(display, DefaultRootWindow(display), x, y, 1, 1, AllPlanes, ZPixmap);
    Pixel pixel;
    if (image == nullptr) return pixel;
    unsigned long value = XGetPixel(image, 0, 0);
    pixel.r = static_cast<int>((value & image->red_mask) >> 16);
    pixel.g = static_cast<int>((value & image->green_mask) >> 8);
    pixel.b = static_cast<int>(value & image->blue_mask);
    XDestroyImage(image);
    return pixel;
}

std::string saveScreenshot(const XServer& server, const std::string& name) {
    fs::path folder = fs::current_path() / "screenshots";
    fs::create_directories(folder);
    std::string path = (folder / (name + ".png")).string();
    std::string command = "DISPLAY=" + server.name() + " import -window root " + path + " 2>/dev/null";
    if (std::system(command.c_str()) != 0) return "";
    return path;
}
