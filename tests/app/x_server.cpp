// Starting Xvfb on a display number no other server holds, and stopping it.
#include "app/x_server.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <stdexcept>

namespace {

// Xvfb needs a few seconds at most; a loaded machine gets ample room.
constexpr int kStartMilliseconds = 30000;

int ignoreXErrors(Display*, XErrorEvent*) { return 0; }

// Starts Xvfb with -displayfd: the server itself picks a number no other
// server holds and writes it to `fd` once it accepts connections. Choosing the
// number here by looking for lock files raced with tests starting beside this
// one, and this test's client could then reach the other test's server.
pid_t startXvfb(int fd, const std::string& screen) {
    pid_t pid = fork();
    if (pid == 0) {
        int devnull = open("/dev/null", O_WRONLY);
        dup2(devnull, STDERR_FILENO);
        dup2(devnull, STDOUT_FILENO);
        std::string number = std::to_string(fd);
        execlp("Xvfb", "Xvfb", "-displayfd", number.c_str(), "-screen", "0", screen.c_str(),
               "-nolisten", "tcp", "-noreset", static_cast<char*>(nullptr));
        _exit(127);
    }
    return pid;
}

// The display number Xvfb writes to the pipe, up to its line feed; -1 when it
// ends or says nothing in time.
int readDisplayNumber(int fd) {
    std::string text;
    for (;;) {
        pollfd ready = {fd, POLLIN, 0};
        int polled = poll(&ready, 1, kStartMilliseconds);
        if (polled < 0 && errno == EINTR) continue;
        if (polled <= 0) return -1;
        char c = 0;
        ssize_t got = read(fd, &c, 1);
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) return -1;
        if (c == '\n') break;
        if (c < '0' || c > '9' || text.size() > 6) return -1;
        text.push_back(c);
    }
    return text.empty() ? -1 : std::stoi(text);
}

}  // namespace

XServer::XServer(const std::string& screen) {
    XSetErrorHandler(ignoreXErrors);
    int ends[2];
    if (pipe(ends) != 0) throw std::runtime_error("cannot start Xvfb: no pipe");
    fcntl(ends[0], F_SETFD, FD_CLOEXEC);  // the write end must reach Xvfb
    pid_ = startXvfb(ends[1], screen);
    close(ends[1]);
    const int number = pid_ > 0 ? readDisplayNumber(ends[0]) : -1;
    close(ends[0]);
    if (number >= 0) {
        displayName_ = ":" + std::to_string(number);
        display_ = XOpenDisplay(displayName_.c_str());
    }
    if (display_ == nullptr) {
        if (pid_ > 0) {
            kill(pid_, SIGKILL);
            waitpid(pid_, nullptr, 0);
        }
        pid_ = -1;
        throw std::runtime_error("cannot start Xvfb");
    }
}

XServer::~XServer() {
    if (display_ != nullptr) XCloseDisplay(display_);
    if (pid_ > 0) {
        kill(pid_, SIGTERM);
        waitpid(pid_, nullptr, 0);
    }
}
