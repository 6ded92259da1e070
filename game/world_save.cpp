// Autosave and the save at quit. The saving thread sees nothing of the game
// but the copies handed to it: the grid and the player stay the main thread's.
#include "game/world_save.h"

#include <pthread.h>
#include <sched.h>

#include <condition_variable>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <thread>
#include <utility>

#include "game/paths.h"
#include "game/world_file.h"
#include "rules/player_state.h"
#include "world/world_grid.h"

namespace {

// Whether the world this run found is the backup yet. Touched only by the
// thread that saves: the saving thread while it runs, the main thread once it
// has ended.
bool backupKept = false;

// The backup before the world: so a kill at any moment leaves at most one
// temporary file behind.
int saveSnapshot(const WorldSnapshot& snapshot) {
    if (!backupKept) {
        if (int error = backUpWorldFile(worldFile(), true)) return error;
        backupKept = true;
    }
    return writeWorldFile(worldFile(), snapshot, true);
}

// One saving thread, started by the first hand-over. Only the newest copy
// waits: a copy that a newer one replaces before its turn is never written.
// Three copies change hands by pointer, so that neither side holds the lock
// for longer than a swap: a frame never waits for a saving thread that the
// system has put aside while it held the lock.
class SavingThread {
public:
    ~SavingThread() { stop(); }

    // The main thread's copy, to fill before handing it over.
    WorldSnapshot& nextCopy() { return *filling_; }

    void handOver() {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            std::swap(filling_, waiting_);
            hasWaiting_ = true;
            if (!thread_.joinable()) thread_ = std::thread(&SavingThread::run, this);
        }
        changed_.notify_all();
    }

    bool lastFailed() {
        std::lock_guard<std::mutex> lock(mutex_);
        return lastFailed_;
    }

    void waitUntilIdle() {
        std::unique_lock<std::mutex> lock(mutex_);
        changed_.wait(lock, [this] { return !hasWaiting_ && !busy_; });
    }

    // Waits for a running save, drops a waiting copy and ends the thread.
    void stop() {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            stopping_ = true;
            hasWaiting_ = false;
        }
        changed_.notify_all();
        if (thread_.joinable()) thread_.join();
        stopping_ = lastFailed_ = failing_ = false;
    }

private:
    void run() {
        // Batch scheduling: waking the saving thread never pushes the frame
        // that woke it off the processor. Best effort; it only helps.
        sched_param normal{};
        pthread_setschedparam(pthread_self(), SCHED_BATCH, &normal);
        std::unique_lock<std::mutex> lock(mutex_);
        for (;;) {
            changed_.wait(lock, [this] { return hasWaiting_ || stopping_; });
            if (stopping_) return;
            std::swap(waiting_, writing_);
            hasWaiting_ = false;
            busy_ = true;
            lock.unlock();
            int error = saveSnapshot(*writing_);
            report(error);
            lock.lock();
            busy_ = false;
            lastFailed_ = error != 0;
            changed_.notify_all();
        }
    }

    // One line when a run of failures starts and one when it ends, not one
    // every few seconds while the disk stays full.
    void report(int error) {
        if (error != 0 && !failing_)
            std::fprintf(stderr, "Tessaria: cannot autosave %s: %s\n", worldFile().c_str(),
                         std::strerror(error));
        if (error == 0 && failing_)
            std::fprintf(stderr, "Tessaria: autosaving %s works again\n", worldFile().c_str());
        failing_ = error != 0;
    }

    std::mutex mutex_;
    std::condition_variable changed_;
    WorldSnapshot copies_[3];
    WorldSnapshot* filling_ = &copies_[0];  // main thread only
    WorldSnapshot* waiting_ = &copies_[1];  // the newest copy not yet taken up
    WorldSnapshot* writing_ = &copies_[2];  // saving thread only, outside the lock
    bool hasWaiting_ = false;
    bool busy_ = false;  // a save is running
    bool stopping_ = false;
    bool lastFailed_ = false;  // the last save written failed
    bool failing_ = false;     // saving thread only: a run of failures has been reported
    std::thread thread_;
};

// What the main thread knows of its hand-overs.
struct HandOvers {
    bool any = false;            // one was made in this run
    SaveClock::time_point last;  // when the last one was made
    WorldSnapshot lastCopy;      // what it held
    std::uint32_t revision = 0;  // the grid's when its band last matched lastCopy
};

SavingThread savingThread;
HandOvers handOvers;
WorldSnapshot finalCopy;  // the save at quit's
bool runBegun = false;    // a world was set up and not closed since: there is one to save

// The grid has not been written since its band matched the last copy, and the
// player stands in the same column with the same record: a copy would come out
// the same.
bool unchangedSinceLastCopy() {
    return world.revision == handOvers.revision && player.x == handOvers.lastCopy.playerX &&
           player.y == handOvers.lastCopy.playerY && recordOf(player) == handOvers.lastCopy.record;
}

}  // namespace

void autosaveWorld(SaveClock::time_point now) {
    if (handOvers.any && now - handOvers.last < kAutosaveInterval) return;
    const bool retry = savingThread.lastFailed();
    if (handOvers.any && !retry && unchangedSinceLastCopy()) return;
    WorldSnapshot& copy = savingThread.nextCopy();
    takeSnapshot(copy);
    handOvers.revision = world.revision;
    if (handOvers.any && !retry && copy == handOvers.lastCopy) return;
    handOvers.lastCopy = copy;
    savingThread.handOver();
    handOvers.any = true;
    handOvers.last = now;
}

void waitForAutosave() { savingThread.waitUntilIdle(); }

bool saveWorld() {
    savingThread.stop();
    if (!runBegun) return true;
    takeSnapshot(finalCopy);
    if (int error = saveSnapshot(finalCopy)) {
        std::fprintf(stderr, "Tessaria: cannot save %s: %s\n", worldFile().c_str(),
                     std::strerror(error));
        return false;
    }
    return true;
}

void beginSavingRun() {
    savingThread.stop();
    handOvers = HandOvers{};
    backupKept = false;
    runBegun = true;
}

bool worldInPlay() { return runBegun; }

void endSavingRun() {
    savingThread.stop();
    runBegun = false;
}
