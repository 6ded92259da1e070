// Xvfb, the game process and the X input used by the end-to-end tests.
#include "app/e2e_harness.h"

#include <X11/Xatom.h>
#include <X11/Xutil.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
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
                         std::vector<std::string> extraEnvironment, void (*beforeExec)())
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
        if (beforeExec != nullptr) beforeExec();
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

Image grabScreen(const XServer& server) {
    Display* display = server.display();
    Window root = DefaultRootWindow(display);
    XWindowAttributes attributes = {};
    XGetWindowAttributes(display, root, &attributes);
    Image screen;
    XImage* image =
        XGetImage(display, root, 0, 0, attributes.width, attributes.height, AllPlanes, ZPixmap);
    if (image == nullptr) return screen;
    screen.width = attributes.width;
    screen.height = attributes.height;
    screen.pixels.reserve(static_cast<size_t>(screen.width) * screen.height);
    for (int y = 0; y < screen.height; ++y) {
        for (int x = 0; x < screen.width; ++x) {
            unsigned long value = XGetPixel(image, x, y);
            screen.pixels.push_back(Pixel{static_cast<int>((value & image->red_mask) >> 16),
                                          static_cast<int>((value & image->green_mask) >> 8),
                                          static_cast<int>(value & image->blue_mask)});
        }
    }
    XDestroyImage(image);
    return screen;
}

Image readBmp(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::vector<unsigned char> bytes((std::istreambuf_iterator<char>(in)),
                                     std::istreambuf_iterator<char>());
    Image image;
    if (bytes.size() < 54 || bytes[0] != 'B' || bytes[1] != 'M') return image;
    auto u32 = [&](size_t at) {
        std::uint32_t v;
        std::memcpy(&v, &bytes[at], 4);
        return v;
    };
    std::uint16_t bits;
    std::memcpy(&bits, &bytes[28], 2);
    const std::uint32_t offset = u32(10);
    const int width = static_cast<int>(u32(18));
    const int height = static_cast<int>(u32(22));
    const bool bottomUp = height > 0;
    const int rows = bottomUp ? height : -height;
    const size_t stride = (static_cast<size_t>(width) * 3 + 3) / 4 * 4;
    if (bits != 24 || u32(30) != 0 || width <= 0 || offset + stride * rows > bytes.size())
        return image;
    image.width = width;
    image.height = rows;
    image.pixels.resize(static_cast<size_t>(width) * rows);
    for (int y = 0; y < rows; ++y) {
        const size_t row = offset + stride * static_cast<size_t>(bottomUp ? rows - 1 - y : y);
        for (int x = 0; x < width; ++x) {
            const unsigned char* p = &bytes[row + 3 * static_cast<size_t>(x)];
            image.pixels[static_cast<size_t>(y) * width + x] = Pixel{p[2], p[1], p[0]};
        }
    }
    return image;
}

int differingPixels(const Image& screen, int sx, int sy, const Image& picture, int px, int py,
                    int w, int h, int tolerance) {
    int differing = 0;
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            const Pixel p = picture.at(px + x, py + y);
            if (p.r == 0 && p.g == 0 && p.b == 0) continue;
            const int screenX = sx + x, screenY = sy + y;
            if (screenX < 0 || screenY < 0 || screenX >= screen.width || screenY >= screen.height) {
                ++differing;
                continue;
            }
            const Pixel s = screen.at(screenX, screenY);
            if (std::abs(s.r - p.r) > tolerance || std::abs(s.g - p.g) > tolerance ||
                std::abs(s.b - p.b) > tolerance)
                ++differing;
        }
    }
    return differing;
}

int whitishPixels(const Image& screen, int x, int y, int w, int h) {
    int count = 0;
    for (int row = y; row < y + h; ++row) {
        for (int column = x; column < x + w; ++column) {
            const Pixel p = screen.at(column, row);
            if (p.r >= 200 && p.g >= 200 && p.b >= 200) ++count;
        }
    }
    return count;
}

void writeWorldFile(const fs::path& path, const WorldFile& world) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    const int side = WorldFile::kSide;
    for (int level = 0; level < side; ++level)
        for (int y = 0; y < side; ++y)
            for (int x = 0; x < side; ++x)
                out << x << '.' << y << '[' << level << "] = " << world.at(x, y, level) << '\n';
    out << "p_x = " << world.playerX << "\np_y = " << world.playerY << '\n';
}

namespace {

// "PREFIX" followed by a whole decimal number and nothing else.
bool parseLine(const std::string& line, const std::string& prefix, std::int32_t* value) {
    if (line.compare(0, prefix.size(), prefix) != 0) return false;
    const std::string number = line.substr(prefix.size());
    if (number.empty()) return false;
    char* end = nullptr;
    errno = 0;
    const long parsed = std::strtol(number.c_str(), &end, 10);
    if (errno != 0 || *end != '\0' || number != std::to_string(parsed)) return false;
    *value = static_cast<std::int32_t>(parsed);
    return true;
}

}  // namespace

bool readWorldFile(const fs::path& path, WorldFile* world, std::string* problem) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        *problem = "cannot open " + path.string();
        return false;
    }
    std::string line;
    int number = 0;
    auto next = [&](const std::string& prefix, std::int32_t* value) {
        ++number;
        if (std::getline(in, line) && parseLine(line, prefix, value)) return true;
        *problem =
            "line " + std::to_string(number) + " is \"" + line + "\", expected " + prefix + "N";
        return false;
    };
    const int side = WorldFile::kSide;
    for (int level = 0; level < side; ++level)
        for (int y = 0; y < side; ++y)
            for (int x = 0; x < side; ++x) {
                const std::string key = std::to_string(x) + "." + std::to_string(y) + "[" +
                                        std::to_string(level) + "] = ";
                if (!next(key, &world->at(x, y, level))) return false;
            }
    if (!next("p_x = ", &world->playerX) || !next("p_y = ", &world->playerY)) return false;
    if (in.peek() != std::char_traits<char>::eof()) {
        *problem = "more than 8,002 lines";
        return false;
    }
    return true;
}

std::string fileText(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

bool enterGame(const XServer& server, const RunFolder& folder, Window window, double seconds) {
    const Image button = readBmp(folder.path() / "data/gfx/008.bmp");
    const Image cursor = readBmp(folder.path() / "data/gfx/004.bmp");
    if (button.width == 0 || cursor.width == 0) return false;
    xdotool(server, "mousemove --sync 630 10");  // away from every button
    holdKey(server, window, "Escape", 0.15);
    // The upper, plain half of the "single player" button, left of its label.
    auto menuShown = [&] {
        return differingPixels(grabScreen(server), 220, 210, button, 0, 0, 55, button.height / 2) ==
               0;
    };
    if (!waitUntil(menuShown, seconds)) return false;
    clickAt(server, 300, 220);
    return waitUntil(
        [&] {
            return differingPixels(grabScreen(server), 182, 416, cursor, 0, 0, cursor.width,
                                   cursor.height) == 0;
        },
        seconds);
}
