#include "server/store.h"

#include <dirent.h>
#include <fcntl.h>
#include <nettle/sha2.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <sstream>

#include "game/atomic_file.h"
#include "game/world_store.h"
#include "protocol/codec.h"

namespace server {

namespace {

// The hash of the world file the server last wrote or took, kept in the
// database: a file that differs was written by a game since.
constexpr char kBandSum[] = "band_file_sum";

std::string recordText(const PlayerState& p) {
    std::string text;
    formatPlayerRecord(recordOf(p), text);
    return text;
}

bool isHex(const std::string& text) {
    return std::all_of(text.begin(), text.end(),
                       [](char c) { return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'); });
}

std::string sumOf(const std::string& text) {
    sha256_ctx context;
    std::uint8_t digest[SHA256_DIGEST_SIZE];
    sha256_init(&context);
    sha256_update(&context, text.size(), reinterpret_cast<const std::uint8_t*>(text.data()));
    sha256_digest(&context, sizeof digest, digest);
    std::string hex;
    char two[3];
    for (const std::uint8_t byte : digest) {
        std::snprintf(two, sizeof two, "%02x", byte);
        hex += two;
    }
    return hex;
}

void syncFolder(const std::string& folder) {
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return;
    ::fsync(fd);
    ::close(fd);
}

// The level a new player stands on at the start: its column's topmost block.
std::int32_t groundAt(const WorldGrid& grid, int x, int y) {
    for (int level = 0; level < kBandEdge; ++level)
        if (isSolid(cellOf(grid, x, y, level))) return level;
    return kBandEdge;
}

std::int64_t secondsNow() { return static_cast<std::int64_t>(std::time(nullptr)); }

bool hasContent(const WorldDbChanges& changes) {
    return changes.meta || !changes.metaValues.empty() || !changes.pieces.empty() ||
           !changes.records.empty() || !changes.edits.empty() || changes.forgetEditsBefore;
}

PlayerRecord parsedRecord(const std::string& text, int lastColumn) {
    std::istringstream lines(text);
    return parsePlayerRecord(lines, lastColumn);
}

std::string formattedRecord(const PlayerRecord& record) {
    std::string text;
    formatPlayerRecord(record, text);
    return text;
}

}  // namespace

// A key line spoilt by hand matches no key: the owner frees the name with
// the console's forget.
std::string hashIn(const std::string& text) {
    std::istringstream lines(text);
    for (std::string line; std::getline(lines, line);) {
        if (line.compare(0, sizeof kKeyLine - 1, kKeyLine) != 0) continue;
        std::istringstream words(line.substr(sizeof kKeyLine - 1));
        std::string equals, hash;
        if (words >> equals >> hash && equals == "=" && hash.size() == 2 * SHA256_DIGEST_SIZE &&
            isHex(hash))
            return hash;
        return "spoilt";
    }
    return "";
}

std::string withoutKey(const std::string& text) {
    std::istringstream lines(text);
    std::string kept;
    for (std::string line; std::getline(lines, line);)
        if (line.compare(0, sizeof kKeyLine - 1, kKeyLine) != 0) kept += line + "\n";
    return kept;
}

bool isRecordName(const std::string& name) {
    return textFits(name, kNameRule) && name == lowered(name);
}

Store::Store(Log log, Peers& peers) : log_(std::move(log)), peers_(peers) {}

Store::~Store() { finishSaver(); }

void Store::setFolder(const std::string& folder) {
    worldFolder_ = folder;
    dbPath_ = worldDbFile(folder);
    bandPath_ = folder + "/world.ini";
    playersFolder_ = folder + "/players";
}

void Store::setKeeping(int restorePoints, int restoreEveryMinutes, int editLogDays) {
    restoreKeep_ = restorePoints;
    restoreEvery_ = std::chrono::minutes(restoreEveryMinutes);
    editDays_ = editLogDays;
}

bool Store::openDb(const std::string& path, std::string& problem) {
    return openWorldDb(db_, path, DbMode::ReadWrite, problem) && loadRecords(problem);
}

bool Store::loadRecords(std::string& problem) {
    std::vector<std::pair<std::string, std::string>> records;
    if (!readAllRecords(db_, records, problem)) return false;
    saved_.clear();
    for (auto& [name, text] : records)
        if (name != kSinglePlayer) saved_[name] = std::move(text);
    return true;
}

bool Store::open(WorldGrid& grid, WorldDbMeta& meta, PlayerRecord& record, bool& found) {
    found = false;
    if (!nameExists(dbPath_)) return importOldFiles(grid, meta, record, found);
    std::string problem, text;
    bool has = false;
    bool good = openDb(dbPath_, problem) && readMeta(db_, meta, problem);
    if (good && (meta.columns < 1 || meta.rows < 1 || meta.columns > kMostColumns ||
                 meta.rows > kMostColumns)) {
        problem = dbPath_ + " holds a world of " + std::to_string(meta.columns) + " x " +
                  std::to_string(meta.rows) + " columns";
        good = false;
    }
    good = good && readWorldCells(db_, meta, grid, problem) &&
           readRecord(db_, kSinglePlayer, text, has, problem);
    if (!good) {
        // Never an empty world in its place: every edit would be lost over it.
        std::string sound;
        for (const RestorePoint& point : restorePoints()) {
            WorldDb copy;
            std::string ignored;
            if (openWorldDb(copy, point.file, DbMode::ReadOnly, ignored) &&
                checkWorldDb(copy, ignored)) {
                sound = point.file;
                break;
            }
        }
        log_("cannot host " + worldFolder_ + ": " + problem +
             (sound.empty() ? "; it has no restore point that reads whole"
                            : "; its latest restore point is " + sound + ": put it in place of " +
                                  dbPath_ + " to go back to it"));
        return false;
    }
    if (has) record = parsedRecord(text, std::max(meta.columns, meta.rows));
    found = true;
    band_ = !usesWorldStore(meta.columns, meta.rows);
    if (band_ && !takeBandFile(grid, meta, record)) return false;
    putAwayOldFiles();
    log_("world " + dbPath_ + " loaded (" + std::to_string(meta.columns) + " x " +
         std::to_string(meta.rows) + ", " + std::to_string(saved_.size()) + " players' records)");
    return true;
}

// The files kept before the database: a larger world's world.bin with its
// player.ini, or the band's world.ini; the players' records in players/.
bool Store::importOldFiles(WorldGrid& grid, WorldDbMeta& meta, PlayerRecord& record, bool& found) {
    const std::string bin = storedWorldFile(worldFolder_);
    if (nameExists(bin) ||
        (nameExists(bin + ".bak") && !nameExists(bandPath_) && !nameExists(bandPath_ + ".bak"))) {
        StoredWorld stored;
        const StoredRead read = readStoredWorld(worldFolder_, stored);
        if (!read.problem.empty())
            return log_("cannot host " + worldFolder_ + ": " + read.problem), false;
        if (stored.columns < 1 || stored.rows < 1 || stored.columns > kMostColumns ||
            stored.rows > kMostColumns)
            return log_("cannot host " + bin + ": a world of " + std::to_string(stored.columns) +
                        " x " + std::to_string(stored.rows) + " columns"),
                   false;
        placeStoredWorld(stored, grid);
        meta = WorldDbMeta{};
        meta.columns = stored.columns;
        meta.rows = stored.rows;
        meta.kind = stored.kind;
        record = stored.record;
        found = true;
    } else {
        std::int32_t startX = 10, startY = 10;
        const WorldRead read = readWorldFile(bandPath_, grid, startX, startY, record);
        if (!read.readable) return log_(read.note), false;
        if (!read.found) return true;
        if (!read.note.empty()) log_(read.note);
        meta = WorldDbMeta{};
        meta.columns = meta.rows = kBandEdge;
        meta.startX = clampTo(startX, 0, kBandEdge - 1);
        meta.startY = clampTo(startY, 0, kBandEdge - 1);
        meta.startLevel = groundAt(grid, *meta.startX, *meta.startY);
        found = true;
    }
    return create(grid, meta, record);
}

// Made whole beside the database's place and then renamed into it: a kill
// on the way leaves the old files to be taken again, never half a world.
bool Store::create(const WorldGrid& grid, const WorldDbMeta& meta, const PlayerRecord& record) {
    band_ = !usesWorldStore(meta.columns, meta.rows);
    const std::string fresh = dbPath_ + ".new";
    for (const char* end : {"", "-wal", "-shm", "-journal"}) ::unlink((fresh + end).c_str());
    WorldDbChanges all;
    if (!takeAllPieces(grid, meta.columns, meta.rows, all.pieces))
        return log_("cannot host " + worldFolder_ + ": the world holds a cell no block has"), false;
    const std::string own = formattedRecord(record);
    if (!own.empty()) all.records.emplace_back(kSinglePlayer, own);
    saved_.clear();
    if (DIR* listing = ::opendir(playersFolder_.c_str())) {
        while (const dirent* entry = ::readdir(listing)) {
            const std::string name = entry->d_name;
            std::string text;
            if (!isRecordName(name) || readWholeFile(playersFolder_ + "/" + name, text) != 0)
                continue;
            all.records.emplace_back(name, text);
            saved_[name] = text;
        }
        ::closedir(listing);
    }
    std::string text, problem;
    if (band_ && readWholeFile(bandPath_, text) == 0)
        all.metaValues.emplace_back(kBandSum, sumOf(text));
    bool good = false;
    {
        WorldDb made;
        good = openWorldDb(made, fresh, DbMode::Create, problem, meta) &&
               commitWorldDb(made, all, problem) && closeWorldDb(made, problem);
    }
    if (good && ::rename(fresh.c_str(), dbPath_.c_str()) != 0) {
        problem = "cannot name " + dbPath_ + ": " + std::strerror(errno);
        good = false;
    }
    if (!good) return log_("cannot host " + worldFolder_ + ": " + problem), false;
    syncFolder(worldFolder_);
    if (!openDb(dbPath_, problem))
        return log_("cannot host " + worldFolder_ + ": " + problem), false;
    putAwayOldFiles();
    log_("world kept in " + dbPath_ + " (" + std::to_string(meta.columns) + " x " +
         std::to_string(meta.rows) + ", " + std::to_string(saved_.size()) + " players' records)");
    return true;
}

// Once the database holds them, the old files stay beside it under other
// names: nothing reads them again, and nothing is lost.
void Store::putAwayOldFiles() {
    const std::string bin = storedWorldFile(worldFolder_), player = storedPlayerFile(worldFolder_);
    for (const std::string& old : {bin, bin + ".bak", player, player + ".bak", playersFolder_}) {
        if (!nameExists(old)) continue;
        const std::string kept = old + kConvertedSuffix;
        if (::rename(old.c_str(), kept.c_str()) == 0) {
            log_(old + " is in the database now: kept as " + kept);
        } else {
            log_("cannot rename " + old + " to " + kept + ": " + std::strerror(errno));
        }
    }
}

// A 20 x 20 world's file is the single player's: a game that opened the
// world since the server last wrote it may have changed it, and then its
// world is the one to go on with.
bool Store::takeBandFile(WorldGrid& grid, const WorldDbMeta& meta, PlayerRecord& record) {
    std::string text, kept, problem;
    bool has = false;
    if (readWholeFile(bandPath_, text) != 0) return true;
    if (!readMetaValue(db_, kBandSum, kept, has, problem)) return log_(problem), false;
    const std::string sum = sumOf(text);
    if (has && kept == sum) return true;
    auto read = std::make_unique<WorldGrid>();
    std::int32_t startX = 10, startY = 10;
    PlayerRecord own;
    const WorldRead result = readWorldFile(bandPath_, *read, startX, startY, own);
    if (!result.found || !result.whole || result.fromBackup) {
        log_(bandPath_ +
             " changed since the server wrote it but is not whole: the database's "
             "world stays");
        return true;
    }
    for (int x = 0; x < kBandEdge; ++x)
        for (int y = 0; y < kBandEdge; ++y)
            for (int level = kHighestLevel; level <= kBandEdge; ++level)
                setCellOf(grid, x, y, level, cellOf(*read, x, y, level));
    WorldDbMeta changed = meta;
    changed.startX = clampTo(startX, 0, kBandEdge - 1);
    changed.startY = clampTo(startY, 0, kBandEdge - 1);
    changed.startLevel = groundAt(grid, *changed.startX, *changed.startY);
    WorldDbChanges changes;
    changes.meta = changed;
    if (!takeAllPieces(grid, meta.columns, meta.rows, changes.pieces))
        return log_("cannot host " + worldFolder_ + ": " + bandPath_ +
                    " holds a cell no block has"),
               false;
    changes.records.emplace_back(kSinglePlayer, formattedRecord(own));
    changes.metaValues.emplace_back(kBandSum, sum);
    if (!commitWorldDb(db_, changes, problem))
        return log_("cannot host " + worldFolder_ + ": " + problem), false;
    record = own;
    log_(bandPath_ + " was played since the server wrote it: its world is taken");
    return true;
}

bool Store::exportBand() {
    if (!band_ || !source_.snapshotBand) return true;
    WorldSnapshot snapshot;
    source_.snapshotBand(snapshot);
    std::string text, problem;
    formatWorld(snapshot, text);
    // The file first: a kill before the sum is kept finds a file that
    // differs and takes it, which is the database's world anyway.
    const int error = replaceFile(bandPath_, text, true);
    if (error != 0) return log_("saving " + bandPath_ + " failed: " + std::strerror(error)), false;
    WorldDbChanges changes;
    changes.metaValues.emplace_back(kBandSum, sumOf(text));
    if (!commitWorldDb(db_, changes, problem)) return log_(problem), false;
    return true;
}

void Store::restorePointAtStart() {
    std::string problem;
    if (!makeRestorePoint(db_, worldFolder_, secondsNow(), "start", restoreKeep_, problem))
        log_("no restore point at the start: " + problem);
    lastRestorePoint_ = lastPrune_ = Clock::now();
}

void Store::markWorldChanged(Clock::time_point now) {
    if (worldDirty_) return;
    worldDirty_ = true;
    dirtySince_ = now;
}

void Store::logEdit(CellEdit edit) { edits_.push_back(std::move(edit)); }

std::string Store::recordPath(const std::string& name) const { return lowered(name); }

std::string Store::recordTextOf(const Peer& peer) const {
    std::string text;
    if (!peer.keyHash.empty()) text = std::string(kKeyLine) + " = " + peer.keyHash + "\n";
    return text + recordText(peer.state);
}

RecordWrite Store::issue(const std::string& path, std::string text, bool remove) {
    RecordWrite record{path, std::move(text), ++versions_, remove};
    lastVersion_[path] = record.version;
    return record;
}

void Store::keep(RecordWrite record) {
    const std::string path = record.path;
    pendingRecords_[path] = std::move(record);
}

void Store::noteRecordChange(Clock::time_point now) {
    if (recordsChanged_) return;
    recordsChanged_ = true;
    recordsSince_ = now;
}

std::optional<std::string> Store::storedRecord(const std::string& path) const {
    const auto pending = pendingRecords_.find(path);
    if (pending != pendingRecords_.end()) {
        if (pending->second.remove) return std::nullopt;
        return pending->second.text;
    }
    const auto saved = saved_.find(path);
    if (saved == saved_.end()) return std::nullopt;
    return saved->second;
}

int Store::countRecords() const { return static_cast<int>(saved_.size()); }

// Every record that changed since it was last handed to a save goes in,
// with the world's pieces changed since the last: the transaction holds
// both, so a record never lands without the world it was taken from.
SaveJob Store::saveJob(bool withWorld) {
    SaveJob job;
    if (withWorld && source_.takeChanged) source_.takeChanged(job.changes.pieces, false);
    job.changes.edits.swap(edits_);
    const auto now = Clock::now();
    if (now - lastPrune_ >= std::chrono::hours(1)) {
        lastPrune_ = now;
        job.changes.forgetEditsBefore = secondsNow() - editDays_ * 24 * 60 * 60;
    }
    // Records of players who left or were forgotten go first: a name that
    // joined again since has its newer text written after them.
    for (const auto& [path, record] : pendingRecords_) job.records.push_back(record);
    for (const auto& owned : peers_) {
        Peer& peer = *owned;
        if (!peer.joined || peer.closing) continue;
        PlayerRecord record = recordOf(peer.state);
        if (peer.savedOnce && record == peer.saved) continue;
        job.records.push_back(issue(recordPath(peer.name), recordTextOf(peer)));
        peer.saved = std::move(record);
        peer.savedOnce = true;
    }
    recordsChanged_ = false;
    return job;
}

SaveOutcome Store::write(SaveJob& job) {
    SaveOutcome result;
    for (const RecordWrite& record : job.records)
        job.changes.records.emplace_back(
            record.path, record.remove ? std::nullopt : std::optional<std::string>(record.text));
    std::string problem;
    if (hasContent(job.changes) && !commitWorldDb(db_, job.changes, problem)) {
        result.failure = problem.empty() ? "saving " + dbPath_ + " failed" : problem;
        result.unwritten = job.records;
        for (const DbPiece& piece : job.changes.pieces)
            result.unsavedPieces.emplace_back(piece.px, piece.py);
        result.unsavedEdits = std::move(job.changes.edits);
        return result;
    }
    result.written = job.records;
    if (job.restorePoint &&
        !makeRestorePoint(db_, worldFolder_, secondsNow(), "play", restoreKeep_, problem))
        result.restoreFailure = problem;
    return result;
}

void Store::finishSaver() {
    if (saver_.joinable()) saver_.join();
}

// A save that failed is tried again whole a while later, but a record only
// when no newer text of it came meanwhile.
void Store::settle(const SaveOutcome& result, Clock::time_point now, bool toldAlready) {
    for (const RecordWrite& record : result.written) {
        if (record.remove) {
            saved_.erase(record.path);
        } else {
            saved_[record.path] = record.text;
        }
        const auto kept = pendingRecords_.find(record.path);
        if (kept != pendingRecords_.end() && kept->second.version == record.version)
            pendingRecords_.erase(kept);
    }
    if (!result.restoreFailure.empty()) log_("no restore point: " + result.restoreFailure);
    if (result.failure.empty()) {
        if (failing_)
            log_("saving works again after " + std::to_string(failedSaves_) + " failed attempts");
        failing_ = false;
        failedSaves_ = 0;
        return;
    }
    for (const RecordWrite& record : result.unwritten) {
        if (lastVersion_[record.path] != record.version) continue;
        if (Peer* peer = findPlayerByRecord(record.path)) {
            peer->savedOnce = false;
        } else {
            pendingRecords_.emplace(record.path, record);
        }
        noteRecordChange(now);
    }
    if (source_.unsave) source_.unsave(result.unsavedPieces);
    edits_.insert(edits_.begin(), result.unsavedEdits.begin(), result.unsavedEdits.end());
    ++failedSaves_;
    if (!failing_ && !toldAlready) log_(result.failure + " (the server goes on and tries again)");
    failing_ = true;
    markWorldChanged(now);
}

void Store::settleSaver(Clock::time_point now) {
    std::optional<SaveOutcome> finished;
    {
        std::lock_guard<std::mutex> guard(outcomeLock_);
        finished.swap(outcome_);
    }
    if (finished) settle(*finished, now);
}

bool Store::recordsDiffer() const {
    if (!pendingRecords_.empty()) return true;
    for (const auto& peer : peers_)
        if (peer->joined && !peer->closing &&
            (!peer->savedOnce || recordOf(peer->state) != peer->saved))
            return true;
    return false;
}

Peer* Store::findPlayerByRecord(const std::string& path) {
    for (const auto& peer : peers_)
        if (peer->joined && !peer->closing && recordPath(peer->name) == path) return peer.get();
    return nullptr;
}

void Store::autosave(Clock::time_point now) {
    if (saving_) return;
    settleSaver(now);
    if (!recordsChanged_ && recordsDiffer()) noteRecordChange(now);
    const bool worldDue = worldDirty_ && now - dirtySince_ >= kAutosaveAfter;
    const bool recordsDue = recordsChanged_ && now - recordsSince_ >= kAutosaveAfter;
    const bool pointDue = now - lastRestorePoint_ >= restoreEvery_;
    if (!worldDue && !recordsDue && !(pointDue && changedSinceRestorePoint_)) return;
    finishSaver();
    const bool withWorld = worldDirty_;
    worldDirty_ = false;
    saving_ = true;
    SaveJob job = saveJob(withWorld);
    if (!job.changes.pieces.empty() || !job.records.empty()) changedSinceRestorePoint_ = true;
    // One for every stretch of play: a world nobody changed needs no new one.
    if (pointDue && changedSinceRestorePoint_) {
        job.restorePoint = true;
        changedSinceRestorePoint_ = false;
        lastRestorePoint_ = now;
    }
    saver_ = std::thread([this, job = std::move(job)]() mutable {
        SaveOutcome result = write(job);
        {
            std::lock_guard<std::mutex> guard(outcomeLock_);
            outcome_ = std::move(result);
        }
        saving_ = false;
    });
}

bool Store::saveNow() {
    finishSaver();
    const auto now = Clock::now();
    settleSaver(now);
    worldDirty_ = false;
    // Every piece is compared, not only those a change was seen in.
    SaveJob job = saveJob(true);
    if (!job.changes.pieces.empty() || !job.records.empty()) changedSinceRestorePoint_ = true;
    const SaveOutcome result = write(job);
    if (!result.failure.empty()) log_(result.failure);
    settle(result, now, true);
    return result.failure.empty();
}

bool Store::close() {
    if (db_.handle == nullptr) return true;
    bool saved = saveNow();
    saved = exportBand() && saved;
    std::string problem;
    if (!closeWorldDb(db_, problem)) log_(problem);
    return saved;
}

bool Store::history(int x, int y, int most, std::vector<CellEdit>& edits) {
    if (!saveNow()) return false;
    EditQuery query;
    query.x = x;
    query.y = y;
    query.most = most;
    std::string problem;
    if (!readEdits(db_, query, edits, problem)) return log_(problem), false;
    return true;
}

bool Store::editsSince(std::int64_t since, std::vector<CellEdit>& edits) {
    if (!saveNow()) return false;
    EditQuery query;
    query.since = since;
    query.most = 1 << 20;
    std::string problem;
    if (!readEdits(db_, query, edits, problem)) return log_(problem), false;
    return true;
}

std::vector<RestorePoint> Store::restorePoints() const {
    std::vector<RestorePoint> points = listRestorePoints(worldFolder_);
    const std::string ending = ".sqlite";
    points.erase(std::remove_if(points.begin(), points.end(),
                                [&](const RestorePoint& p) {
                                    return p.file.size() < ending.size() ||
                                           p.file.compare(p.file.size() - ending.size(),
                                                          ending.size(), ending) != 0;
                                }),
                 points.end());
    return points;
}

bool Store::restore(const RestorePoint& point, WorldGrid& grid, std::string& problem) {
    WorldDbMeta now, then;
    {
        WorldDb other;
        if (!readMeta(db_, now, problem) ||
            !openWorldDb(other, point.file, DbMode::ReadOnly, problem) ||
            !readMeta(other, then, problem))
            return false;
    }
    if (now.columns != then.columns || now.rows != then.rows) {
        problem = point.file + " holds a world of another size";
        return false;
    }
    if (!saveNow()) {
        problem = "the world as it is could not be saved first";
        return false;
    }
    // Going back loses nothing: the world as it is becomes a restore point
    // too, and the one chosen is kept until it is in.
    if (!makeRestorePoint(db_, worldFolder_, secondsNow(), "restore", restoreKeep_ + 1, problem))
        return false;
    if (!restoreWorldDb(db_, point.file, problem) || !readWorldCells(db_, now, grid, problem) ||
        !loadRecords(problem))
        return false;
    pruneRestorePoints(worldFolder_, restoreKeep_);
    pendingRecords_.clear();
    return true;
}

}  // namespace server
