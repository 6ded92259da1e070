// What the hosted world keeps on disk: world.ini and one record per name in
// players/, written on a thread of their own so that a slow disk never holds
// up a tick.
#pragma once

#include <atomic>
#include <cstdint>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "game/world_file.h"
#include "game/world_store.h"
#include "server/peer.h"
#include "world/world_grid.h"

namespace server {

constexpr auto kAutosaveAfter =
    std::chrono::seconds(3);  // after the first unsaved change: on disk within 5 s

// The line of a record that binds its name: the hash of the key handed to
// the name's first owner. The record's own reader passes over it.
constexpr char kKeyLine[] = "key_sha256";

// The hash a record's text keeps; "" for a record nobody has claimed yet,
// "spoilt" for a key line that no key can match.
std::string hashIn(const std::string& text);
// The record's text without its key line: the name is free again.
std::string withoutKey(const std::string& text);
// The file names the server gives records: player names in lower case.
bool isRecordName(const std::string& name);

// One player's record as it stood at one moment. Versions grow with every
// text handed to a save, so a save that settles late can tell whether a
// newer text of the same record exists.
struct RecordWrite {
    std::string path, text;
    std::uint64_t version = 0;
    bool remove = false;  // the owner dropped it
};

// What a save writes, copied so that the saving thread touches nothing of the tick's.
struct SaveJob {
    WorldSnapshot world;  // a classic world's
    StoredWorld stored;   // a larger one's
    bool withWorld = false;
    bool large = false;
    bool sweep = false;  // the first save of a run clears what a killed run left
    std::vector<RecordWrite> records;
};

// What a save managed: its first failure in one line ("" when all was
// written) and the records it could and could not write.
struct SaveOutcome {
    std::string failure;
    std::vector<RecordWrite> unwritten;
    std::vector<RecordWrite> written;
};

class Store {
public:
    // `snapshotWorld` copies the shared world into a save, on the ticking thread.
    Store(Log log, Peers& peers, std::function<void(WorldSnapshot&)> snapshotWorld);

    // The world folder: world.ini (or world.bin) and players/ inside it.
    void setFolder(const std::string& folder);
    const std::string& worldPath() const { return worldPath_; }

    // The world read, as the shared world needs it.
    struct WorldFound {
        bool found = false;  // there was one
        bool large = false;  // world.bin: `columns` x `rows`; else the band
        int columns = kBandColumns, rows = kBandColumns;
        WorldKind kind = WorldKind::Island;
        bool startGiven = false;  // world.ini's start column; world.bin has none
    };
    // Reads world.bin when the folder holds one, else world.ini, into the
    // grid; false, with the reason in the log, when it cannot be read.
    bool readWorld(WorldGrid& grid, std::int32_t& startX, std::int32_t& startY,
                   PlayerRecord& record, WorldFound& found);
    // A world made here that is kept as world.bin.
    void keepAsStoredWorld();
    // How a larger world is copied out for a save, on the ticking thread;
    // false when it cannot be stored as it is.
    void takeStoredWith(std::function<bool(StoredWorld&)> take) { takeStored_ = std::move(take); }
    // The world differs from the last save since `now` (unless it already did).
    void markWorldChanged(Clock::time_point now);
    // The world was never saved: it is due as if it had changed `since`.
    void markWorldUnsaved(Clock::time_point since);

    std::string recordPath(const std::string& name) const;
    std::string recordTextOf(const Peer& peer) const;
    // A new text of a record, the newest of its path.
    RecordWrite issue(const std::string& path, std::string text, bool remove = false);
    // A record that the next save must write, kept until it is on disk.
    void keep(RecordWrite record);
    void noteRecordChange(Clock::time_point now);
    // The newest text of a name's record, whether on its way or on disk;
    // nothing when the name has none.
    std::optional<std::string> storedRecord(const std::string& path) const;
    int countRecords() const;

    // The world and the players' records on one schedule: on disk within a
    // few seconds of their first change, whichever changed.
    void autosave(Clock::time_point now);
    // The world is written when it changed since the last save (or `force`);
    // the players' records when they changed. A failure is told in the log
    // each time: the caller asked for this save.
    bool saveNow(bool force);

    // What a save that ended as `result` means for the next one.
    void settle(const SaveOutcome& result, Clock::time_point now, bool toldAlready = false);
    // Runs on the saving thread, or on the ticking thread once that has joined.
    SaveOutcome write(const SaveJob& job);
    SaveJob saveJob(bool withWorld);

private:
    void sweepPlayersFolder() const;
    void finishSaver();
    void settleSaver(Clock::time_point now);
    bool recordsDiffer() const;
    Peer* findPlayerByRecord(const std::string& path);

    Log log_;
    Peers& peers_;
    std::function<void(WorldSnapshot&)> snapshotWorld_;
    std::function<bool(StoredWorld&)> takeStored_;
    std::string worldFolder_, worldPath_, playersFolder_;
    bool large_ = false;  // the world is kept in world.bin

    bool worldDirty_ = false;
    Clock::time_point dirtySince_;
    bool backupKept_ = false;  // the saving thread's, or the ticking thread's once it has joined
    std::thread saver_;
    std::atomic<bool> saving_{false};
    std::mutex outcomeLock_;
    std::optional<SaveOutcome> outcome_;  // the saving thread's last, not yet looked at
    // A run of failed saves is told in one line when it starts and in one
    // when saving works again: a full disk must not fill the log too.
    bool failing_ = false;
    int failedSaves_ = 0;
    // Records of players who left or were forgotten, not yet on disk: the
    // next save writes them, and the next join of that name reads them here.
    std::map<std::string, RecordWrite> pendingRecords_;
    std::map<std::string, std::uint64_t> lastVersion_;  // by path: the newest text handed out
    std::uint64_t versions_ = 0;
    bool recordsChanged_ = false;  // records differ from the last save's
    Clock::time_point recordsSince_;
    bool swept_ = false;
};

}  // namespace server
