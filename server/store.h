// What the hosted world keeps on disk: the world, every player's record and
// the log of who changed which cell, all in the folder's world database, so
// that one save is one transaction and a kill or a full disk never leaves a
// record from another save than its world. Saves run on a thread of their
// own so that a slow disk never holds up a tick.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "game/world_db.h"
#include "game/world_file.h"
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
// The names the server keeps records by: player names in lower case.
bool isRecordName(const std::string& name);

// One player's record as it stood at one moment. Versions grow with every
// text handed to a save, so a save that settles late can tell whether a
// newer text of the same record exists.
struct RecordWrite {
    std::string path, text;  // path: the name the record is kept by
    std::uint64_t version = 0;
    bool remove = false;  // the owner dropped it
};

// What a save writes, copied so that the saving thread touches nothing of the tick's.
struct SaveJob {
    WorldDbChanges changes;  // the pieces, the edits and anything else; the records go from below
    std::vector<RecordWrite> records;
    bool restorePoint = false;  // one is due once this is in
};

// What a save managed: its failure in one line ("" when all was written),
// and what must go again with the next one after a failure.
struct SaveOutcome {
    std::string failure;
    std::vector<RecordWrite> unwritten;
    std::vector<RecordWrite> written;
    std::vector<std::pair<int, int>> unsavedPieces;
    std::vector<CellEdit> unsavedEdits;
    std::string restoreFailure;  // the restore point that could not be made
};

// How the store sees the world it saves; the shared world supplies it.
struct WorldSource {
    // The pieces changed since the last time they were taken (all of them with `all`).
    std::function<void(std::vector<DbPiece>&, bool all)> takeChanged;
    // A save of those pieces failed: they are due again.
    std::function<void(const std::vector<std::pair<int, int>>&)> unsave;
    // The world in the single player's file format (a 20 x 20 world only).
    std::function<void(WorldSnapshot&)> snapshotBand;
};

class Store {
public:
    Store(Log log, Peers& peers);
    ~Store();

    void setFolder(const std::string& folder);
    const std::string& worldPath() const { return dbPath_; }
    const std::string& folder() const { return worldFolder_; }
    void setSource(WorldSource source) { source_ = std::move(source); }
    // How many restore points are kept, how often one is made, how long edits are kept.
    void setKeeping(int restorePoints, int restoreEveryMinutes, int editLogDays);

    // Opens the folder's database into `grid`, or takes the world and the
    // players' records kept before it into a new one (the old files stay,
    // renamed). `found` is false when the folder holds no world at all:
    // then the caller makes one and hands it to create(). False, with the
    // reason in the log, when the world cannot be read: a damaged database
    // is never taken as an empty world.
    bool open(WorldGrid& grid, WorldDbMeta& meta, PlayerRecord& record, bool& found);
    // A world made here, kept as the folder's new database with the
    // records found beside it.
    bool create(const WorldGrid& grid, const WorldDbMeta& meta, const PlayerRecord& record);
    // A restore point of the world as it opened; the caller logs nothing more.
    void restorePointAtStart();

    // The world differs from the last save since `now` (unless it already did).
    void markWorldChanged(Clock::time_point now);
    // A cell a player changed, kept with the next save.
    void logEdit(CellEdit edit);

    std::string recordPath(const std::string& name) const;
    std::string recordTextOf(const Peer& peer) const;
    // A new text of a record, the newest of its name.
    RecordWrite issue(const std::string& path, std::string text, bool remove = false);
    // A record that the next save must write, kept until it is in.
    void keep(RecordWrite record);
    void noteRecordChange(Clock::time_point now);
    // The newest text of a name's record, whether on its way or saved;
    // nothing when the name has none.
    std::optional<std::string> storedRecord(const std::string& path) const;
    int countRecords() const;

    // The world and the players' records on one schedule: on disk within a
    // few seconds of their first change, whichever changed.
    void autosave(Clock::time_point now);
    // Everything that changed, now, on the calling thread. A failure is told
    // in the log each time: the caller asked for this save.
    bool saveNow();
    // The last save, the world's file for a game that opens a 20 x 20 world,
    // and the database closed. True when all was written.
    bool close();

    // What a save that ended as `result` means for the next one.
    void settle(const SaveOutcome& result, Clock::time_point now, bool toldAlready = false);
    // Runs on the saving thread, or on the ticking thread once that has joined.
    SaveOutcome write(SaveJob& job);
    SaveJob saveJob(bool withWorld);

    // The console's: the last changes to a column; every edit since a time.
    bool history(int x, int y, int most, std::vector<CellEdit>& edits);
    bool editsSince(std::int64_t since, std::vector<CellEdit>& edits);
    std::vector<RestorePoint> restorePoints() const;
    // Saves, keeps a restore point of the world as it is, and puts `point`
    // in its place: the world into `grid`, the records into the store.
    // False, with the reason in `problem`, when nothing changed.
    bool restore(const RestorePoint& point, WorldGrid& grid, std::string& problem);

private:
    bool openDb(const std::string& path, std::string& problem);
    bool loadRecords(std::string& problem);
    bool importOldFiles(WorldGrid& grid, WorldDbMeta& meta, PlayerRecord& record, bool& found);
    bool takeBandFile(WorldGrid& grid, const WorldDbMeta& meta, PlayerRecord& record);
    void putAwayOldFiles();
    bool exportBand();
    void finishSaver();
    void settleSaver(Clock::time_point now);
    bool recordsDiffer() const;
    Peer* findPlayerByRecord(const std::string& path);

    Log log_;
    Peers& peers_;
    WorldSource source_;
    std::string worldFolder_, dbPath_, bandPath_, playersFolder_;
    WorldDb db_;
    bool band_ = false;  // a 20 x 20 world: its file is kept for a game that opens it
    int restoreKeep_ = 8;
    std::chrono::minutes restoreEvery_{10};
    std::int64_t editDays_ = 7;

    bool worldDirty_ = false;
    Clock::time_point dirtySince_;
    std::thread saver_;
    std::atomic<bool> saving_{false};
    std::mutex outcomeLock_;
    std::optional<SaveOutcome> outcome_;  // the saving thread's last, not yet looked at
    // A run of failed saves is told in one line when it starts and in one
    // when saving works again: a full disk must not fill the log too.
    bool failing_ = false;
    int failedSaves_ = 0;
    // Every record in the database, by name: what a join reads, without
    // waiting for a save in flight.
    std::map<std::string, std::string> saved_;
    // Records of players who left or were forgotten, not yet in the
    // database: the next save writes them, and the next join of that name
    // reads them here.
    std::map<std::string, RecordWrite> pendingRecords_;
    std::map<std::string, std::uint64_t> lastVersion_;  // by name: the newest text handed out
    std::uint64_t versions_ = 0;
    bool recordsChanged_ = false;  // records differ from the last save's
    Clock::time_point recordsSince_;
    std::vector<CellEdit> edits_;  // not yet handed to a save
    Clock::time_point lastRestorePoint_, lastPrune_;
    bool changedSinceRestorePoint_ = false;
};

}  // namespace server
