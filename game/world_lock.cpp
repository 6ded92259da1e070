// The world lock. flock belongs to the open file, so the kernel lets go of it
// when the run ends however it ends: a killed run never leaves a world locked.
#include "game/world_lock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "game/atomic_file.h"

WorldLock::Outcome WorldLock::take(const std::string& folder) {
    release();
    error_.clear();
    const std::string path = folder + "/" + kWorldLockName;
    // The folder through a file's name: replaceFile's folders, made the same way.
    if (!makeFolders(path)) {
        error_ = "cannot create " + folder + ": " + std::strerror(errno);
        return Outcome::Failed;
    }
    const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0) {
        error_ = "cannot open " + path + ": " + std::strerror(errno);
        return Outcome::Failed;
    }
    int result = 0;
    do {
        result = ::flock(fd, LOCK_EX | LOCK_NB);
    } while (result != 0 && errno == EINTR);
    if (result != 0) {
        const int error = errno;
        ::close(fd);
        if (error == EWOULDBLOCK) return Outcome::HeldElsewhere;
        error_ = "cannot lock " + path + ": " + std::strerror(error);
        return Outcome::Failed;
    }
    fd_ = fd;
    return Outcome::Taken;
}

void WorldLock::release() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
}
