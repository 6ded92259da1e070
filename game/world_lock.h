// The claim of one run on one world folder: an advisory lock (flock) on a lock
// file in the folder, held for as long as the run has the world, so that two
// copies of the game (or a game and a server) never write one world.
#pragma once

#include <string>

class WorldLock {
public:
    enum class Outcome { Taken, HeldElsewhere, Failed };

    WorldLock() = default;
    ~WorldLock() { release(); }
    WorldLock(const WorldLock&) = delete;
    WorldLock& operator=(const WorldLock&) = delete;

    // Creates the folder (0700) and its lock file when missing and takes the
    // lock without waiting. Failed leaves the reason in error(); a lock taken
    // before is let go first.
    Outcome take(const std::string& folder);
    void release();
    bool held() const { return fd_ >= 0; }
    const std::string& error() const { return error_; }

private:
    int fd_ = -1;
    std::string error_;
};

// The lock file's name inside a world folder.
constexpr const char* kWorldLockName = "world.lock";
