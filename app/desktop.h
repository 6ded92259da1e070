// What the desktop leaves for a window, asked of the X server: the monitor's
// work area (the part panels leave free) and the frame a window manager puts
// around a window.
#pragma once

#include <condition_variable>
#include <mutex>
#include <thread>

struct DesktopRoom {
    int width = 0, height = 0;            // the work area of the first monitor
    int frameWidth = 0, frameHeight = 0;  // borders and title bar together; 0 without a manager
};

// Needs Allegro initialised; a desktop without a window manager has no frame
// and its work area is the whole monitor.
DesktopRoom measureDesktop();

// Kept for as long as the window is being opened. A window manager that is
// still starting may drop the request to show a new window, and the window
// library then waits for it to be shown forever; this asks again, from a
// thread of its own, for windows of this process still hidden after a second.
class ShowRequestRepeater {
public:
    ShowRequestRepeater();
    ~ShowRequestRepeater();
    ShowRequestRepeater(const ShowRequestRepeater&) = delete;
    ShowRequestRepeater& operator=(const ShowRequestRepeater&) = delete;

private:
    void run();

    std::mutex mutex_;
    std::condition_variable wake_;
    bool done_ = false;
    std::thread thread_;
};
