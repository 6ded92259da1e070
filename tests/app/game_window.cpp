// Window queries and the close request, in plain Xlib.
#include "app/game_window.h"

#include <X11/Xatom.h>
#include <X11/Xutil.h>

#include "support/waiting.h"

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
    for (unsigned i = 0; i < count && found == 0; ++i)
        found = findTitled(display, children[i], title);
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
