// Autosave and the save at quit. The saving thread sees nothing of the game
// but the copies handed to it: the grid and the player stay the main thread's.
#include "game/world_save.h"

#include <pthread.h>
#include <sched.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <condition_variable>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <mutex>
#include <optional>
#include <thread>
#include <utility>
#include <vector>

#include "game/atomic_file.h"
#include "game/paths.h"
#include "game/world_db.h"
#include "game/world_file.h"
#include "game/world_store.h"
#include "rules/player_state.h"
#include "world/world_grid.h"

namespace {

// A world larger than the band is kept in its database (game/world_store.h);
// the run says which, once its world is loaded. The database stays open for
// the run: the main thread reads it at the set-up and at quit, the saving
// thread commits to it in between, never both at once.
struct StoredRun {
    bool active = false;
    std::unique_ptr<WorldDb> db;
};
StoredRun storedRun;

// What one save writes: the band's snapshot, or a larger world's pieces that
// are not yet known to be written, and the record.
struct SaveCopy {
    bool stored = false;
    WorldSnapshot band;
    std::vector<DbPiece> pieces;
    PlayerRecord largeRecord;
    std::uint64_t sequence = 0;          // the hand-over's number, for a larger world
    const char* restorePoint = nullptr;  // made after the save: "start" or "play"

    const PlayerRecord& record() const { return stored ? largeRecord : band.record; }
};

// The file a save of this kind of world writes; its name in every message.
std::string savedFile(bool stored) {
    return stored ? worldDbFile(gamePaths().worldFolder) : worldFile();
}
std::string savedFile() { return savedFile(storedRun.active); }

// Which of a larger world's pieces changed: the main thread keeps a copy of
// every piece as last handed over and compares the grid with it, so that a
// save copies only the pieces that changed. A piece stays in every hand-over
// from the one that found it changed until the saving thread has written
// one of them, so a copy dropped unwritten or a failed save loses nothing.
struct PieceTrack {
    int columns = 0, rows = 0;
    std::vector<std::uint8_t> shadow;       // every piece's cells, kPieceBytes each
    std::vector<std::uint64_t> changedIn;   // per piece: the hand-over that last found it changed
    std::uint64_t sequence = 0;             // the last hand-over's number
    std::atomic<std::uint64_t> written{0};  // the newest hand-over written whole
};
PieceTrack pieces;

int pieceCount() { return piecesAlong(pieces.columns) * piecesAlong(pieces.rows); }

// Whether the grid's cells of piece `p` differ from its shadow.
bool pieceChanged(int p) {
    const int px = p / piecesAlong(pieces.rows), py = p % piecesAlong(pieces.rows);
    const std::uint8_t* shadow = &pieces.shadow[static_cast<std::size_t>(p) * kPieceBytes];
    const int x0 = px * kDbPieceEdge, y0 = py * kDbPieceEdge;
    for (int dx = 0; dx < kDbPieceEdge && x0 + dx < pieces.columns; ++dx)
        for (int dy = 0; dy < kDbPieceEdge && y0 + dy < pieces.rows; ++dy) {
            const BlockId* column = &world.cells[cellIndex(x0 + dx, y0 + dy, kHighestLevel)];
            const std::uint8_t* kept = shadow + dbPieceIndex(dx, dy, kHighestLevel);
            for (int level = 0; level < kDbPieceLevels; ++level)
                if (column[level] != kept[level]) return true;
        }
    return false;
}

void keepPiece(int p, DbPiece& piece) {
    const int down = piecesAlong(pieces.rows);
    takePiece(world, p / down, p % down, pieces.columns, pieces.rows, piece);
}

// The shadow of the world as loaded: nothing is changed yet.
void trackLoadedPieces() {
    pieces.columns = world.maxX + 1;
    pieces.rows = world.maxY + 1;
    pieces.shadow.assign(static_cast<std::size_t>(pieceCount()) * kPieceBytes, Empty);
    pieces.changedIn.assign(static_cast<std::size_t>(pieceCount()), 0);
    pieces.sequence = 0;
    pieces.written = 0;
    DbPiece piece;
    for (int p = 0; p < pieceCount(); ++p) {
        keepPiece(p, piece);
        std::copy(piece.cells.begin(), piece.cells.end(),
                  pieces.shadow.begin() + static_cast<std::ptrdiff_t>(p) * kPieceBytes);
    }
}

// The pieces changed since the last hand-over join those not yet written.
void takeChangedPieces(SaveCopy& copy) {
    copy.sequence = ++pieces.sequence;
    copy.pieces.clear();
    const std::uint64_t written = pieces.written;
    for (int p = 0; p < pieceCount(); ++p) {
        const bool changed = pieceChanged(p);
        if (changed) pieces.changedIn[p] = copy.sequence;
        if (pieces.changedIn[p] <= written) continue;
        copy.pieces.emplace_back();
        keepPiece(p, copy.pieces.back());
        if (changed)
            std::copy(copy.pieces.back().cells.begin(), copy.pieces.back().cells.end(),
                      pieces.shadow.begin() + static_cast<std::ptrdiff_t>(p) * kPieceBytes);
    }
}

// The whole world of the run, the player's record with it; of a larger world
// the pieces that changed.
void takeCopy(SaveCopy& copy) {
    copy.stored = storedRun.active;
    copy.restorePoint = nullptr;
    if (!copy.stored) return takeSnapshot(copy.band);
    copy.largeRecord = recordOf(player);
    takeChangedPieces(copy);
}

// Touched only by the thread that saves: the saving thread while it runs, the
// main thread once it has ended.
struct OnDisk {
    bool backupKept = false;  // the world this run found is the backup
    bool known = false;       // `file` is known (the world was loaded or written)
    SaveCopy file;            // what the world file holds: as loaded, then as last written
    std::string record;       // a larger world's record lines as its database holds them
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
    return a.pieces.empty() && b.pieces.empty();
}

// The plain player lines alone are no change: a run without a kept record
// starts at a random place whatever they say. The cells and the record decide.
bool sameWorld(const SaveCopy& a, const SaveCopy& b) {
    return sameCells(a, b) && sameRecord(a.record(), b.record());
}

// A restore point of the world as the last save left it. A failure costs
// the restore point alone, never the save: it is said and play goes on.
void makeRestorePointOf(const SaveCopy& copy) {
    const std::string folder = gamePaths().worldFolder;
    const auto now = static_cast<std::int64_t>(std::time(nullptr));
    std::string problem;
    if (copy.stored) {
        if (!makeRestorePoint(*storedRun.db, folder, now, copy.restorePoint, kRestorePoints,
                              problem))
            std::fprintf(stderr, "Tessaria: no restore point: %s\n", problem.c_str());
        return;
    }
    std::string text;
    if (readWholeFile(worldFile(), text) != 0) return;  // nothing saved yet to go back to
    // A world opened again without a change would push the older points out
    // with copies of itself.
    const std::vector<RestorePoint> points = listRestorePoints(folder);
    std::string newest;
    if (!points.empty() && readWholeFile(points.front().file, newest) == 0 && newest == text)
        return;
    const std::string file = restorePointFile(folder, now, copy.restorePoint, ".ini");
    if (int error = replaceFile(file, text, true)) {
        std::fprintf(stderr, "Tessaria: no restore point: %s: %s\n", file.c_str(),
                     std::strerror(error));
        return;
    }
    pruneRestorePoints(folder, kRestorePoints);
}

// Written by the saving thread, read by the frame that shows the save.
std::atomic<std::uint32_t> savesWritten{0};

// One transaction: the changed pieces and the record, or nothing when
// neither changed. A save in which only the player moved writes one row.
int saveStored(const SaveCopy& copy) {
    WorldDbChanges changes;
    changes.pieces = copy.pieces;
    const std::string record = recordLines(copy.largeRecord);
    if (!onDisk.known || record != onDisk.record)
        changes.records.emplace_back(kSinglePlayer, record);
    if (!changes.pieces.empty() || !changes.records.empty()) {
        delayForDisk();
        std::string problem;
        if (!commitWorldDb(*storedRun.db, changes, problem))
            return storedRun.db->systemError ? storedRun.db->systemError : EIO;
        savesWritten.fetch_add(1, std::memory_order_relaxed);
    }
    onDisk.record = record;
    onDisk.known = true;
    pieces.written = copy.sequence;
    return 0;
}

int backUp() { return backUpWorldFile(worldFile(), true); }

// Nothing is written while the file still holds this world, so a run that
// changes nothing leaves the world and its backup as they were. Only a change
// of blocks makes the backup: a run that just walks about to look keeps the
// world it found there. The backup before the world: so a kill at any moment
// leaves at most one temporary file behind.
int saveBand(const SaveCopy& snapshot) {
    const bool onFile = nameExists(savedFile(false));
    if (onDisk.known && sameWorld(snapshot, onDisk.file) && onFile) return 0;
    const bool blocksChanged = !onDisk.known || !onFile || !sameCells(snapshot, onDisk.file);
    if (!onDisk.backupKept && blocksChanged) {
        if (int error = backUp()) return error;
        onDisk.backupKept = true;
    }
    if (int error = writeWorldFile(worldFile(), snapshot.band, true)) return error;
    onDisk.file = snapshot;
    onDisk.known = true;
    savesWritten.fetch_add(1, std::memory_order_relaxed);
    return 0;
}

int saveSnapshot(const SaveCopy& snapshot) {
    const int error = snapshot.stored ? saveStored(snapshot) : saveBand(snapshot);
    if (error == 0 && snapshot.restorePoint) makeRestorePointOf(snapshot);
    return error;
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
    bool any = false;                    // one was made in this run
    const char* restorePoint = "start";  // the restore point the next hand-over asks for
    SaveClock::time_point lastCall;      // the last autosaveWorld's time
    SaveClock::duration played{};        // play since the last restore point
    bool loaded = false;                 // lastCopy is the world as loaded, when none was made
    SaveClock::time_point last;          // when the last one was made
    SaveCopy lastCopy;                   // what it held
    std::uint32_t revision = 0;          // the grid's when its band last matched lastCopy
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

// Play counts while frames come: a pause, a menu or a stopped process does not.
void countPlay(SaveClock::time_point now) {
    if (handOvers.lastCall != SaveClock::time_point{})
        handOvers.played +=
            std::min<SaveClock::duration>(now - handOvers.lastCall, kAutosaveInterval);
    handOvers.lastCall = now;
    if (handOvers.played < kRestorePointInterval || handOvers.restorePoint) return;
    handOvers.played = {};
    handOvers.restorePoint = "play";
}

}  // namespace

void autosaveWorld(SaveClock::time_point now) {
    if (worldUnreadable) return;
    countPlay(now);
    if (handOvers.any && now - handOvers.last < kAutosaveInterval) return;
    const bool retry = savingThread.lastFailed();
    const bool due = handOvers.restorePoint != nullptr;
    if ((handOvers.any || handOvers.loaded) && !retry && !due && unchangedSinceLastCopy()) return;
    SaveCopy& copy = savingThread.nextCopy();
    takeCopy(copy);
    handOvers.revision = world.revision;
    if ((handOvers.any || handOvers.loaded) && !retry && !due &&
        sameWorld(copy, handOvers.lastCopy))
        return;
    copy.restorePoint = handOvers.restorePoint;
    handOvers.restorePoint = nullptr;
    handOvers.lastCopy.stored = copy.stored;
    handOvers.lastCopy.band = copy.band;
    handOvers.lastCopy.largeRecord = copy.largeRecord;
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
    storedRun = StoredRun{};
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

void storedWorldLoaded(std::unique_ptr<WorldDb> db) {
    storedRun.active = true;
    storedRun.db = std::move(db);
    worldUnreadable = !storedRun.db;
    onDisk.backupKept = true;  // restore points take the backup's place
    if (worldUnreadable) return;
    trackLoadedPieces();
    onDisk.record = recordLines(recordOf(player));
    onDisk.known = true;
    handOvers.lastCopy.stored = true;
    handOvers.lastCopy.largeRecord = recordOf(player);
    handOvers.loaded = true;
    handOvers.revision = world.revision;
}
