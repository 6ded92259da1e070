// Whole-file replacement through a temporary file and a rename: readers see
// either the old file or the new one, never a mixture.
#include "game/file_replace.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace {

void reportFailure(const std::string& path, int error) {
    std::fprintf(stderr, "Tessaria: cannot save %s: %s\n", path.c_str(), std::strerror(error));
}

// Creates every missing folder on the way to the file.
bool makeParentFolders(const std::string& path) {
    for (std::size_t slash = path.find('/', 1); slash != std::string::npos;
         slash = path.find('/', slash + 1)) {
        std::string folder = path.substr(0, slash);
        if (::mkdir(folder.c_str(), 0777) != 0 && errno != EEXIST) return false;
    }
    return true;
}

bool writeAll(int fd, const std::string& text) {
    const char* data = text.data();
    std::size_t left = text.size();
    while (left > 0) {
        ssize_t written = ::write(fd, data, left);
        if (written < 0 && errno == EINTR) continue;
        if (written <= 0) {
            if (written == 0) errno = EIO;
            return false;
        }
        data += written;
        left -= static_cast<std::size_t>(written);
    }
    return true;
}

// The whole text into a file of its own, on the disk before it is closed.
bool writeTemporary(const std::string& temporary, const std::string& text, bool sync) {
    int fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (fd < 0) return false;
    bool ok = writeAll(fd, text) && (!sync || ::fsync(fd) == 0);
    int error = errno;
    if (::close(fd) != 0 && ok) return false;
    errno = error;
    return ok;
}

// The old file stays reachable as the backup; a link keeps the file in place
// until the rename replaces it, so no moment is without a whole file.
void linkBackup(const std::string& path) {
    std::string backup = path + ".bak";
    if (::access(path.c_str(), F_OK) != 0) return;
    ::unlink(backup.c_str());
    ::link(path.c_str(), backup.c_str());
}

// Makes the rename itself durable; a file system that cannot sync a folder
// still holds the new file, so this is best effort.
void syncFolder(const std::string& path, bool sync) {
    if (!sync) return;
    std::size_t slash = path.rfind('/');
    std::string folder = slash == std::string::npos ? "." : path.substr(0, slash);
    int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return;
    ::fsync(fd);
    ::close(fd);
}

bool fail(const std::string& path, const std::string& temporary) {
    int error = errno;
    ::unlink(temporary.c_str());
    reportFailure(path, error);
    return false;
}

}  // namespace

bool replaceFile(const std::string& path, const std::string& text, bool keepBackup, bool sync) {
    std::string temporary = path + ".tmp";
    if (!makeParentFolders(path) || !writeTemporary(temporary, text, sync))
        return fail(path, temporary);
    if (keepBackup) linkBackup(path);
    if (::rename(temporary.c_str(), path.c_str()) != 0) return fail(path, temporary);
    syncFolder(path, sync);
    return true;
}
