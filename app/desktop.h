// What the desktop leaves for a window, asked of the X server: the monitor's
// work area (the part panels leave free) and the frame a window manager puts
// around a window.
#pragma once

struct DesktopRoom {
    int width = 0, height = 0;            // the work area of the first monitor
    int frameWidth = 0, frameHeight = 0;  // borders and title bar together; 0 without a manager
};

// Needs Allegro initialised; a desktop without a window manager has no frame
// and its work area is the whole monitor.
DesktopRoom measureDesktop();
