// A private X server per test: Xvfb on a free display, so tests never share a
// screen, and one connection to it for the test's own queries.
#pragma once

#include <X11/Xlib.h>
#include <sys/types.h>

#include <string>

class XServer {
public:
    // `screen` is Xvfb's WIDTHxHEIGHTxDEPTH.
    explicit XServer(const std::string& screen = "640x480x24");
    ~XServer();
    XServer(const XServer&) = delete;
    XServer& operator=(const XServer&) = delete;
    const std::string& name() const { return displayName_; }
    Display* display() const { return display_; }

private:
    pid_t pid_ = -1;
    std::string displayName_;
    Display* display_ = nullptr;
};
