// Autosave and the save at quit. The saving thread sees nothing of the game
// but the copies handed to it: the grid and the player stay the main thread's.
#include "game/world_save.h"

#include <pthread.h>
#include <sched.h>

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <optional>
#include <thread>
#include <utility>

#include "game/atomic_file.h"
#include "game/paths.h"
#include "game/world_file.h"
#include "game/world_store.h"
#include "rules/player_state.h"
#include "world/world_grid.h"

namespace {

// A world larger than the band is kept in world.bin (game/world_store.h);
// the run says which, once its world is loaded.
struct StoredRun {
    bool active = false;
    WorldKind kind = WorldKind::Island;
};
StoredRun storedRun;

// What one save writes: the band's snapshot, or a larger world's cells.
struct SaveCopy {
    bool stored = false;
    WorldSnapshot band;
    StoredWorld large;

    const PlayerRecord& record() const { return stored ? large.record : band.record; }
};

// The file a save of this kind of world writes; its name in every message.
std::string savedFile(bool stored) {
    return stored ? storedWorldFile(gamePaths().worldFolder) : worldFile();
}
std::string savedFile() { return savedFile(storedRun.active); }

// The whole world of the run, the player's record with it.
void takeCopy(SaveCopy& copy) {
    copy.stored = storedRun.active;
    if (!copy.stored) return takeSnapshot(copy.band);
    // Cells come from a checked world.bin or from the rules, so every one is a block.
    takeStoredWorld(world, world.maxX + 1, world.maxY + 1, storedRun.kind, recordOf(player),
                    copy.large);
}

// Touched only by the thread that saves: the saving thread while it runs, the
// main thread once it has ended.
struct OnDisk {
    bool backupKept = false;  // the world this run found is the backup
    bool known = false;       // `file` is known (the world was loaded or written)
    SaveCopy file;            // what the world file holds: as loaded, then as last written
};
OnDisk onDisk;

// The level alone is no change: the first tick settles it on the top of the
// start column, and later it moves only with a step or a changed cell.
bool sameRecord(PlayerRecord a, PlayerRecord b) {
    a.level = b.level = std::nullopt;
    return a == b;
}

bool sameCells(const SaveCopy& a, const SaveCopy& b) {
    if (a.stored != b.stored) return false;
    if (!a.stored) return a.band.cells == b.band.cells;
    return a.large.columns == b.large.columns && a.large.rows == b.large.rows &&
           a.large.cells == b.large.cells;
}

// The plain player lines alone are no change: a run without a kept record
// starts at a random place whatever they say. The cells and the record decide.
bool sameWorld(const SaveCopy& a, const SaveCopy& b) {
    return sameCells(a, b) && sameRecord(a.record(), b.record());
}

int backUp(bool stored) {
    if (stored) return backUpStoredWorld(gamePaths().worldFolder, true);
    return backUpWorldFile(worldFile(), true);
}

int write(const SaveCopy& copy) {
    if (copy.stored) {
        delayForDisk();
        return writeStoredWorld(gamePaths().worldFolder, copy.large, true);
    }
    return writeWorldFile(worldFile(), copy.band, true);
}

// Written by the saving thread, read by the frame that shows the save.
std::atomic<std::uint32_t> savesWritten{0};

// Nothing is written while the file still holds this world, so a run that
// changes nothing leaves the world and its backup as they were. Only a change
// of blocks makes the backup: a run that just walks about to look keeps the
// world it found there. The backup before the world: so a kill at any moment
// leaves at most one temporary file behind.
int saveSnapshot(const SaveCopy& snapshot) {
    const bool onFile = nameExists(savedFile(snapshot.stored));
    if (onDisk.known && sameWorld(snapshot, onDisk.file) && onFile) return 0;
    const bool blocksChanged = !onDisk.known || !onFile || !sameCells(snapshot, onDisk.file);
    if (!onDisk.backupKept && blocksChanged) {
        if (int error = backUp(snapshot.stored)) return error;
        onDisk.backupKept = true;
    }
    if (int error = write(snapshot)) return error;
    onDisk.file = snapshot;
    onDisk.known = true;
    savesWritten.fetch_add(1, std::memory_order_relaxed);
    return 0;
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
    SaveCopy& nextCopy() { return *filling_; }

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
            std::fprintf(stderr, "Tessaria: cannot autosave %s: %s\n",
                         savedFile(writing_->stored).c_str(), std::strerror(error));
        if (error == 0 && failing_)
            std::fprintf(stderr, "Tessaria: autosaving %s works again\n",
                         savedFile(writing_->stored).c_str());
        failing_ = error != 0;
    }

    std::mutex mutex_;
    std::condition_variable changed_;
    SaveCopy copies_[3];
    SaveCopy* filling_ = &copies_[0];  // main thread only
    SaveCopy* waiting_ = &copies_[1];  // the newest copy not yet taken up
    SaveCopy* writing_ = &copies_[2];  // saving thread only, outside the lock
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
    bool loaded = false;         // lastCopy is the world as loaded, when none was made
    SaveClock::time_point last;  // when the last one was made
    SaveCopy lastCopy;           // what it held
    std::uint32_t revision = 0;  // the grid's when its band last matched lastCopy
};

SavingThread savingThread;
HandOvers handOvers;
SaveCopy finalCopy;     // the save at quit's
bool runBegun = false;  // a world was set up and not closed since: there is one to save
// The world file stood but could not be read: nothing of this run may replace it.
bool worldUnreadable = false;

// The grid has not been written since its band matched the last copy, and the
// player's kept record is the same: a copy would come out the same.
bool unchangedSinceLastCopy() {
    return world.revision == handOvers.revision &&
           sameRecord(recordOf(player), handOvers.lastCopy.record());
}

}  // namespace

void autosaveWorld(SaveClock::time_point now) {
    if (worldUnreadable) return;
    if (handOvers.any && now - handOvers.last < kAutosaveInterval) return;
    const bool retry = savingThread.lastFailed();
    if ((handOvers.any || handOvers.loaded) && !retry && unchangedSinceLastCopy()) return;
    SaveCopy& copy = savingThread.nextCopy();
    takeCopy(copy);
    handOvers.revision = world.revision;
    if ((handOvers.any || handOvers.loaded) && !retry && sameWorld(copy, handOvers.lastCopy))
        return;
    handOvers.lastCopy = copy;
    savingThread.handOver();
    handOvers.any = true;
    handOvers.last = now;
}

void waitForAutosave() { savingThread.waitUntilIdle(); }

bool autosaveFailing() { return savingThread.lastFailed(); }

std::uint32_t worldSavesWritten() { return savesWritten.load(std::memory_order_relaxed); }

bool saveWorld() {
    savingThread.stop();
    if (worldUnreadable) {
        std::fprintf(stderr, "Tessaria: the world was not saved: %s could not be read\n",
                     savedFile().c_str());
        return false;
    }
    takeCopy(finalCopy);
    if (int error = saveSnapshot(finalCopy)) {
        std::fprintf(stderr, "Tessaria: cannot save %s: %s\n", savedFile().c_str(),
                     std::strerror(error));
        return false;
    }
    return true;
}

void beginSavingRun() {
    savingThread.stop();
    handOvers = HandOvers{};
    onDisk.backupKept = onDisk.known = false;
    worldUnreadable = false;
    storedRun = StoredRun{};
    runBegun = true;
}

bool worldInPlay() { return runBegun; }

bool worldFileUnreadable() { return worldUnreadable; }

void endSavingRun() {
    savingThread.stop();
    runBegun = false;
}

namespace {

void noteLoaded(bool readable, bool backUpAllowed) {
    worldUnreadable = !readable;
    // The backup is the last good copy when the run found no whole world file.
    onDisk.backupKept = !backUpAllowed;
    // A world that has no file yet gets one, as a new player's first save.
    if (!nameExists(savedFile())) return;
    takeCopy(onDisk.file);
    onDisk.known = true;
    handOvers.lastCopy = onDisk.file;
    handOvers.loaded = true;
    handOvers.revision = world.revision;
}

}  // namespace

void worldLoaded(bool readable) { noteLoaded(readable, mayBackUp(lastWorldRead())); }

void storedWorldLoaded(bool readable, bool backUpAllowed, WorldKind kind) {
    storedRun = StoredRun{true, kind};
    noteLoaded(readable, backUpAllowed);
}
