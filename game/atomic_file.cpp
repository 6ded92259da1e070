// Files replaced whole: a temporary beside the file, synced, renamed over it,
// and the folder synced; the backup by a second name for the old file.
//
// Every temporary is named <file>.tmp.XXXXXX beside the file (older runs also
// left <file>.tmp and <file>.tmp.backup) and is locked (flock) by the run that
// writes it for as long as it exists under that name, so a sweep of stale
// temporaries can tell a dead run's leftovers from a live run's work.
#include "game/atomic_file.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <vector>

namespace {

constexpr int kMaxLinkHops = 40;  // as the kernel allows for a path
constexpr int kNameTries = 100;

std::string folderOf(const std::string& path) {
    std::size_t slash = path.rfind('/');
    if (slash == 0) return "/";
    return slash == std::string::npos ? "." : path.substr(0, slash);
}

std::string baseName(const std::string& path) {
    std::size_t slash = path.rfind('/');
    return path.substr(slash == std::string::npos ? 0 : slash + 1);
}

bool isNameCharacter(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9');
}

// Exactly the names the writers give their temporaries, and nothing a player
// may have named alike ("world.ini.tmp-notes").
bool isTemporaryName(const std::string& name, const std::string& file) {
    const std::string prefix = file + ".tmp";
    if (name.compare(0, prefix.size(), prefix) != 0) return false;
    const std::string rest = name.substr(prefix.size());
    if (rest.empty() || rest == ".backup") return true;
    if (rest.size() != 7 || rest[0] != '.') return false;
    for (std::size_t i = 1; i < rest.size(); ++i)
        if (!isNameCharacter(rest[i])) return false;
    return true;
}

// A run killed in the middle of a save leaves its temporary behind; the next
// save removes it, so kills never pile them up. A temporary whose lock is held
// belongs to a live run and stays; a link or anything but a plain file under
// such a name was not made here and stays too.
void removeStaleTemporaries(const std::string& path) {
    const std::string file = baseName(path);
    DIR* listing = ::opendir(folderOf(path).c_str());
    if (listing == nullptr) return;
    std::vector<std::string> candidates;
    while (const dirent* entry = ::readdir(listing))
        if (isTemporaryName(entry->d_name, file)) candidates.emplace_back(entry->d_name);
    for (const std::string& name : candidates) removeUnheldFile(::dirfd(listing), name);
    ::closedir(listing);
}

// Six letters or digits nobody can guess.
std::string randomSuffix() {
    static const char kLetters[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
    unsigned char bytes[6] = {};
    if (::getrandom(bytes, sizeof bytes, 0) != static_cast<ssize_t>(sizeof bytes)) {
        static unsigned counter = 0;
        for (unsigned char& byte : bytes) byte = static_cast<unsigned char>(::getpid() + ++counter);
    }
    std::string suffix;
    for (unsigned char byte : bytes) suffix += kLetters[byte % (sizeof kLetters - 1)];
    return suffix;
}

// A new, empty, locked temporary beside the file. A sweep may remove the name
// between its creation and the lock; a temporary that has lost its name is
// dropped and another made.
int makeTemporary(const std::string& path, std::string& name) {
    for (int attempt = 0; attempt < kNameTries; ++attempt) {
        name = path + ".tmp.XXXXXX";
        int fd = ::mkostemp(name.data(), O_CLOEXEC);
        if (fd < 0) return -1;
        struct stat status;
        if (::flock(fd, LOCK_EX) == 0 && ::fstat(fd, &status) == 0 && status.st_nlink > 0)
            return fd;
        ::close(fd);
    }
    errno = EAGAIN;
    return -1;
}

// The process's umask, read without changing it where the kernel tells it
// (other threads may be creating files meanwhile).
mode_t currentUmask() {
    if (std::FILE* status = std::fopen("/proc/self/status", "re")) {
        char line[256];
        unsigned value = 0;
        bool found = false;
        while (!found && std::fgets(line, sizeof line, status))
            found = std::sscanf(line, "Umask: %o", &value) == 1;
        std::fclose(status);
        if (found) return static_cast<mode_t>(value);
    }
    mode_t old = ::umask(022);
    ::umask(old);
    return old;
}

// A replaced file keeps its mode; a new one gets what the umask allows.
mode_t modeFor(const std::string& target) {
    struct stat status;
    if (::stat(target.c_str(), &status) == 0) return status.st_mode & 07777;
    return 0666 & ~currentUmask();
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

// Fills a new temporary and renames it to `target`; 0 or the error of the
// step that failed. fdatasync is enough for a file that is only ever read
// whole after a rename.
int fillAndRename(int fd, const std::string& temporary, const std::string& target,
                  const std::string& text, mode_t mode, bool sync) {
    int error = 0;
    if (::fchmod(fd, mode) != 0 || !writeAll(fd, text) || (sync && ::fdatasync(fd) != 0))
        error = errno;
    if (error == 0 && ::rename(temporary.c_str(), target.c_str()) != 0) error = errno;
    if (error != 0) ::unlink(temporary.c_str());
    // Closing lets go of the lock, once the temporary's name is gone.
    if (::close(fd) != 0 && error == 0) error = errno;
    return error;
}

int writeTemporaryAs(const std::string& target, const std::string& text, mode_t mode, bool sync) {
    std::string temporary;
    int fd = makeTemporary(target, temporary);
    if (fd < 0) return errno;
    return fillAndRename(fd, temporary, target, text, mode, sync);
}

// Where the file system has no hard links (or no more of them for this file).
bool linksRefused(int error) {
    return error == EPERM || error == EOPNOTSUPP || error == EMLINK || error == ENOSYS;
}

// The file about to be replaced becomes the backup: under a scratch name
// first (a second name for the same file, or a copy where hard links are
// refused), then renamed over the old backup, so that at every moment the
// folder holds a whole backup. The file is locked while its scratch name
// stands, so a sweep leaves that name alone. 0 when there was no file, with
// `kept` false.
int keepBackup(const std::string& target, bool sync, bool& kept) {
    kept = false;
    int fd = ::open(target.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return errno == ENOENT ? 0 : errno;
    kept = true;
    int error = ::flock(fd, LOCK_EX) == 0 ? 0 : errno;
    std::string scratch;
    for (int attempt = 0; error == 0 && attempt < kNameTries; ++attempt) {
        scratch = target + ".tmp." + randomSuffix();
        if (::link(target.c_str(), scratch.c_str()) == 0) break;
        if (errno != EEXIST) error = errno;
        scratch.clear();
    }
    if (error == 0 && scratch.empty()) error = EEXIST;
    if (error == 0) {
        if (::rename(scratch.c_str(), (target + ".bak").c_str()) != 0) error = errno;
        // A rename between two names of one file does nothing and keeps both.
        ::unlink(scratch.c_str());
    } else if (linksRefused(error)) {
        std::string text;
        error = readWholeFile(target, text);
        if (error == 0) error = writeTemporaryAs(target + ".bak", text, modeFor(target), sync);
    }
    ::close(fd);
    return error;
}

// Makes the renames themselves durable.
int syncFolder(const std::string& path, bool sync) {
    if (!sync) return 0;
    int fd = ::open(folderOf(path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return errno;
    int error = ::fsync(fd) == 0 ? 0 : errno;
    ::close(fd);
    return error;
}

}  // namespace

// For the player alone, as base folders of a player's files should be.
bool makeFolders(const std::string& path) {
    for (std::size_t slash = path.find('/', 1); slash != std::string::npos;
         slash = path.find('/', slash + 1)) {
        std::string folder = path.substr(0, slash);
        if (::mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST) return false;
    }
    return true;
}

std::string linkTarget(const std::string& path) {
    std::string target = path;
    for (int hop = 0; hop < kMaxLinkHops; ++hop) {
        struct stat status;
        if (::lstat(target.c_str(), &status) != 0 || !S_ISLNK(status.st_mode)) break;
        std::vector<char> buffer(static_cast<std::size_t>(status.st_size) + 256);
        ssize_t length = ::readlink(target.c_str(), buffer.data(), buffer.size());
        if (length <= 0 || static_cast<std::size_t>(length) >= buffer.size()) break;
        const std::string next(buffer.data(), static_cast<std::size_t>(length));
        target = next.front() == '/' ? next : folderOf(target) + "/" + next;
    }
    return target;
}

bool nameExists(const std::string& path) {
    struct stat status;
    return ::lstat(path.c_str(), &status) == 0;
}

int readWholeFile(const std::string& path, std::string& text) {
    text.clear();
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return errno;
    int error = 0;
    char buffer[65536];
    for (;;) {
        ssize_t got = ::read(fd, buffer, sizeof buffer);
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) error = errno;
        if (got <= 0) break;
        text.append(buffer, static_cast<std::size_t>(got));
    }
    ::close(fd);
    return error;
}

int backUpFile(const std::string& path, bool sync) {
    const std::string target = linkTarget(path);
    removeStaleTemporaries(target);
    bool kept = false;
    if (int error = keepBackup(target, sync, kept)) return error;
    return kept ? syncFolder(target, sync) : 0;
}

namespace {

int replaceAs(const std::string& path, const std::string& text, bool isPrivate, bool sync,
              bool sweep) {
    const std::string target = linkTarget(path);
    if (!makeFolders(target)) return errno;
    if (sweep) removeStaleTemporaries(target);
    const mode_t mode = isPrivate ? 0600 : modeFor(target);
    if (int error = writeTemporaryAs(target, text, mode, sync)) return error;
    return syncFolder(target, sync);
}

}  // namespace

int replaceFile(const std::string& path, const std::string& text, bool sync, bool sweep) {
    return replaceAs(path, text, false, sync, sweep);
}

int replacePrivateFile(const std::string& path, const std::string& text, bool sync) {
    return replaceAs(path, text, true, sync, true);
}

void removeUnheldFile(int folder, const std::string& name) {
    const int fd = ::openat(folder, name.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return;
    struct stat status;
    if (::fstat(fd, &status) == 0 && S_ISREG(status.st_mode) && ::flock(fd, LOCK_EX | LOCK_NB) == 0)
        ::unlinkat(folder, name.c_str(), 0);
    ::close(fd);
}
