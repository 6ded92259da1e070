// Starting Xvfb on a display number no other server holds, and stopping it.
#include "app/x_server.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <stdexcept>

#include "app/waiting.h"

namespace {

int ignoreXErrors(Display*, XErrorEvent*) { return 0; }

// Starts Xvfb on display n; the child's pid, or -1.
pid_t startXvfb(int n, const std::string& screen) {
    pid_t pid = fork();
    if (pid == 0) {
        int devnull = open("/dev/null", O_WRONLY);
        dup2(devnull, STDERR_FILENO);
        dup2(devnull, STDOUT_FILENO);
        std::string display = ":" + std::to_string(n);
        execlp("Xvfb", "Xvfb", display.c_str(), "-screen", "0", screen.c_str(), "-nolisten", "tcp",
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

XServer::XServer(const std::string& screen) {
    XSetErrorHandler(ignoreXErrors);
    // Display numbers spread by process so that parallel tests rarely collide;
    // a server that finds its number taken exits and the next number is tried.
    int first = 200 + (getpid() % 500) * 4;
    for (int n = first; n < first + 400 && display_ == nullptr; ++n) {
        if (std::filesystem::exists("/tmp/.X" + std::to_string(n) + "-lock")) continue;
        pid_ = startXvfb(n, screen);
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
