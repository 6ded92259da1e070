// The work area and window frame, read from the properties a window manager
// publishes (the freedesktop window-manager hints). Allegro knows the
// monitor but neither of these.
#include "app/desktop.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <allegro5/allegro.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>

namespace {

// How long a window manager gets to tell the frame it would draw.
constexpr double kFrameAnswerSeconds = 0.5;

// The first `count` 32-bit items of a property; false when it is missing or shorter.
bool readCardinals(Display* x, Window window, const char* name, long type, long* out, int count) {
    Atom actualType = None;
    int format = 0;
    unsigned long items = 0, after = 0;
    unsigned char* data = nullptr;
    const Atom property = XInternAtom(x, name, False);
    const bool read = XGetWindowProperty(x, window, property, 0, count, False, type, &actualType,
                                         &format, &items, &after, &data) == Success &&
                      data != nullptr && format == 32 && items >= static_cast<unsigned long>(count);
    // Xlib hands 32-bit items back as longs.
    if (read) std::copy_n(reinterpret_cast<const long*>(data), count, out);
    if (data != nullptr) XFree(data);
    return read;
}

bool windowManagerRuns(Display* x) {
    long check = 0;
    return readCardinals(x, DefaultRootWindow(x), "_NET_SUPPORTING_WM_CHECK", XA_WINDOW, &check, 1);
}

// Asks the manager which frame it would put around a new window, on a window
// that is never shown; left, right, top, bottom.
bool frameExtents(Display* x, long extents[4]) {
    const Window root = DefaultRootWindow(x);
    const Window probe = XCreateSimpleWindow(x, root, 0, 0, 640, 480, 0, 0, 0);
    XEvent request = {};
    request.xclient.type = ClientMessage;
    request.xclient.window = probe;
    request.xclient.message_type = XInternAtom(x, "_NET_REQUEST_FRAME_EXTENTS", False);
    request.xclient.format = 32;
    XSendEvent(x, root, False, SubstructureRedirectMask | SubstructureNotifyMask, &request);
    XFlush(x);
    bool known = false;
    for (double waited = 0; !known && waited < kFrameAnswerSeconds; waited += 0.01) {
        known = readCardinals(x, probe, "_NET_FRAME_EXTENTS", XA_CARDINAL, extents, 4);
        if (!known) al_rest(0.01);
    }
    XDestroyWindow(x, probe);
    return known;
}

// The work area of the current desktop, cut to the monitor.
void cutToWorkArea(Display* x, const ALLEGRO_MONITOR_INFO& monitor, DesktopRoom& room) {
    long desktop = 0;
    readCardinals(x, DefaultRootWindow(x), "_NET_CURRENT_DESKTOP", XA_CARDINAL, &desktop, 1);
    long areas[4 * 32];
    const int count = 4 * static_cast<int>(std::clamp(desktop + 1, 1L, 32L));
    if (!readCardinals(x, DefaultRootWindow(x), "_NET_WORKAREA", XA_CARDINAL, areas, count)) return;
    const long* area = areas + count - 4;
    const long left = std::max<long>(area[0], monitor.x1);
    const long top = std::max<long>(area[1], monitor.y1);
    const long right = std::min<long>(area[0] + area[2], monitor.x2);
    const long bottom = std::min<long>(area[1] + area[3], monitor.y2);
    if (right > left && bottom > top) {
        room.width = static_cast<int>(right - left);
        room.height = static_cast<int>(bottom - top);
    }
}

// The repeater's own connection, whose errors (a window closed between the
// listing and the question) are expected; every other connection's go on to
// the handler there was before.
Display* repeaterDisplay = nullptr;
XErrorHandler handlerBefore = nullptr;

int ignoreRepeaterErrors(Display* x, XErrorEvent* error) {
    if (x == repeaterDisplay) return 0;
    return handlerBefore != nullptr ? handlerBefore(x, error) : 0;
}

// Asks for every window of this process that is a hidden top-level window to
// be shown.
void showHiddenWindowsOfThisProcess(Display* x) {
    Window root = 0, parent = 0, *children = nullptr;
    unsigned count = 0;
    if (!XQueryTree(x, DefaultRootWindow(x), &root, &parent, &children, &count)) return;
    for (unsigned i = 0; i < count; ++i) {
        long pid = 0;
        XWindowAttributes attributes = {};
        if (readCardinals(x, children[i], "_NET_WM_PID", XA_CARDINAL, &pid, 1) &&
            pid == static_cast<long>(getpid()) &&
            XGetWindowAttributes(x, children[i], &attributes) && attributes.map_state == IsUnmapped)
            XMapWindow(x, children[i]);
    }
    if (children != nullptr) XFree(children);
    XSync(x, False);
}

}  // namespace

ShowRequestRepeater::ShowRequestRepeater() {
    repeaterDisplay = XOpenDisplay(nullptr);
    if (repeaterDisplay == nullptr) return;
    handlerBefore = XSetErrorHandler(ignoreRepeaterErrors);
    thread_ = std::thread([this] { run(); });
}

ShowRequestRepeater::~ShowRequestRepeater() {
    if (!thread_.joinable()) return;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        done_ = true;
    }
    wake_.notify_one();
    thread_.join();
    XSetErrorHandler(handlerBefore);
    XCloseDisplay(repeaterDisplay);
    repeaterDisplay = nullptr;
}

void ShowRequestRepeater::run() {
    std::unique_lock<std::mutex> lock(mutex_);
    // A manager at work shows a window within a second; asking sooner would
    // only repeat a request it is still carrying out.
    while (!wake_.wait_for(lock, std::chrono::seconds(1), [this] { return done_; })) {
        lock.unlock();
        showHiddenWindowsOfThisProcess(repeaterDisplay);
        lock.lock();
    }
}

DesktopRoom measureDesktop() {
    DesktopRoom room;
    ALLEGRO_MONITOR_INFO monitor = {};
    if (!al_get_monitor_info(0, &monitor)) return room;
    room.width = monitor.x2 - monitor.x1;
    room.height = monitor.y2 - monitor.y1;
    Display* x = XOpenDisplay(nullptr);
    if (x == nullptr) return room;
    if (windowManagerRuns(x)) {
        cutToWorkArea(x, monitor, room);
        long extents[4] = {};
        if (frameExtents(x, extents)) {
            room.frameWidth = static_cast<int>(extents[0] + extents[1]);
            room.frameHeight = static_cast<int>(extents[2] + extents[3]);
        }
    }
    XCloseDisplay(x);
    return room;
}
