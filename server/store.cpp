#include "server/store.h"

#include <dirent.h>
#include <fcntl.h>
#include <nettle/sha2.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <sstream>

#include "game/atomic_file.h"
#include "protocol/codec.h"

namespace server {

namespace {

std::string recordText(const PlayerState& p) {
    std::string text;
    formatPlayerRecord(recordOf(p), text);
    return text;
}

bool isHex(const std::string& text) {
    return std::all_of(text.begin(), text.end(),
                       [](char c) { return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'); });
}

int syncFolder(const std::string& folder) {
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return errno;
    const int error = ::fsync(fd) == 0 ? 0 : errno;
    ::close(fd);
    return error;
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

Store::Store(Log log, Peers& peers, std::function<void(WorldSnapshot&)> snapshotWorld)
    : log_(std::move(log)), peers_(peers), snapshotWorld_(std::move(snapshotWorld)) {}

void Store::setFolder(const std::string& folder) {
    worldFolder_ = folder;
    worldPath_ = folder + "/world.ini";
    playersFolder_ = folder + "/players";
}

bool Store::readWorld(WorldGrid& grid, std::int32_t& startX, std::int32_t& startY,
                      PlayerRecord& record, WorldFound& found) {
    const std::string bin = storedWorldFile(worldFolder_);
    struct stat info {};
    const auto exists = [&info](const std::string& path) {
        return ::lstat(path.c_str(), &info) == 0;
    };
    if (exists(bin) ||
        (exists(bin + ".bak") && !exists(worldPath_) && !exists(worldPath_ + ".bak"))) {
        StoredWorld stored;
        const StoredRead read = readStoredWorld(worldFolder_, stored);
        if (!read.problem.empty()) return log_(read.problem), false;
        if (stored.columns < 1 || stored.rows < 1 || stored.columns > kMostColumns ||
            stored.rows > kMostColumns)
            return log_("cannot host " + bin + ": a world of " + std::to_string(stored.columns) +
                        " x " + std::to_string(stored.rows) + " columns"),
                   false;
        placeStoredWorld(stored, grid);
        large_ = true;
        worldPath_ = bin;
        found = WorldFound{true, true, stored.columns, stored.rows, stored.kind, false};
        record = stored.record;
        backupKept_ = read.fromBackup;
        log_(read.fromBackup ? "world.bin was missing: read its backup " + bin + ".bak"
                             : "world " + bin + " loaded (" + std::to_string(stored.columns) +
                                   " x " + std::to_string(stored.rows) + ")");
        return true;
    }
    const WorldRead read = readWorldFile(worldPath_, grid, startX, startY, record);
    if (!read.readable) return log_(read.note), false;
    found.found = read.found;
    found.startGiven = read.found;
    if (read.found) {
        backupKept_ = !mayBackUp(read);
        log_(read.fromBackup ? read.note : "world " + worldPath_ + " loaded");
    }
    return true;
}

void Store::keepAsStoredWorld() {
    large_ = true;
    worldPath_ = storedWorldFile(worldFolder_);
    backupKept_ = true;  // nothing to back up
}

void Store::markWorldChanged(Clock::time_point now) {
    if (worldDirty_) return;
    worldDirty_ = true;
    dirtySince_ = now;
}

void Store::markWorldUnsaved(Clock::time_point since) {
    worldDirty_ = true;
    dirtySince_ = since;
}

std::string Store::recordPath(const std::string& name) const {
    return playersFolder_ + "/" + lowered(name);
}

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
    std::string text;
    if (readWholeFile(path, text) != 0) return std::nullopt;
    return text;
}

// Every record that changed since it was last handed to a save goes in,
// with the world when it is asked for: a record never lands ahead of the
// world it was taken from.
SaveJob Store::saveJob(bool withWorld) {
    SaveJob job;
    job.withWorld = withWorld;
    job.large = large_;
    if (withWorld && large_) {
        // A cell no block has (never from the rules) keeps the file as it was.
        if (!takeStored_ || !takeStored_(job.stored)) {
            log_("the world holds a cell no block has: it is not saved");
            job.withWorld = false;
        }
    } else if (withWorld) {
        snapshotWorld_(job.world);
    }
    // Records of players who left or were forgotten go first: a name that
    // joined again since has its newer text written after them.
    for (const auto& [path, record] : pendingRecords_) job.records.push_back(record);
    for (const auto& owned : peers_) {
        Peer& peer = *owned;
        if (!peer.joined || peer.closing) continue;
        PlayerRecord now = recordOf(peer.state);
        if (peer.savedOnce && now == peer.saved) continue;
        job.records.push_back(issue(recordPath(peer.name), recordTextOf(peer)));
        peer.saved = std::move(now);
        peer.savedOnce = true;
    }
    recordsChanged_ = false;
    return job;
}

// Leftovers of a run killed while it wrote a record: only the
// temporaries of record names, and only those no live writer holds.
void Store::sweepPlayersFolder() const {
    DIR* listing = ::opendir(playersFolder_.c_str());
    if (listing == nullptr) return;
    std::vector<std::string> stale;
    while (const dirent* entry = ::readdir(listing)) {
        const std::string name = entry->d_name;
        const std::size_t dot = name.find(".tmp.");
        if (dot == std::string::npos || name.size() != dot + 11 ||
            !isRecordName(name.substr(0, dot)))
            continue;
        const std::string suffix = name.substr(dot + 5);
        if (std::all_of(suffix.begin(), suffix.end(),
                        [](char c) { return std::isalnum(static_cast<unsigned char>(c)); }))
            stale.push_back(name);
    }
    for (const std::string& name : stale) removeUnheldFile(::dirfd(listing), name);
    ::closedir(listing);
}

int Store::countRecords() const {
    int count = 0;
    DIR* listing = ::opendir(playersFolder_.c_str());
    if (listing == nullptr) return 0;
    while (const dirent* entry = ::readdir(listing)) count += isRecordName(entry->d_name) ? 1 : 0;
    ::closedir(listing);
    return count;
}

// Each file is replaced whole and synced, so a failure or a power cut
// leaves the one before.
SaveOutcome Store::write(const SaveJob& job) {
    SaveOutcome result;
    if (job.sweep) sweepPlayersFolder();
    if (job.withWorld) {
        int error = 0;
        if (!backupKept_) {
            error = job.large ? backUpStoredWorld(worldFolder_, true)
                              : backUpWorldFile(worldPath_, true);
            if (error == 0) backupKept_ = true;
        }
        if (error == 0)
            error = job.large ? writeStoredWorld(worldFolder_, job.stored, true)
                              : writeWorldFile(worldPath_, job.world, true);
        if (error != 0)
            result.failure = "saving " + worldPath_ + " failed: " + std::strerror(error);
    }
    if (!job.records.empty() && ::mkdir(playersFolder_.c_str(), 0755) == 0)
        syncFolder(worldFolder_);
    for (const auto& record : job.records) {
        int error = 0;
        if (!record.remove) {
            error = replaceFile(record.path, record.text, true, false);
        } else if (::unlink(record.path.c_str()) == 0 || errno == ENOENT) {
            error = syncFolder(playersFolder_);
        } else {
            error = errno;
        }
        (error == 0 ? result.written : result.unwritten).push_back(record);
        if (error != 0 && result.failure.empty())
            result.failure = "saving " + record.path + " failed: " + std::strerror(error);
    }
    return result;
}

void Store::finishSaver() {
    if (saver_.joinable()) saver_.join();
}

// A save that failed in part is tried again whole a while later, but a
// record only when no newer text of it came meanwhile.
void Store::settle(const SaveOutcome& result, Clock::time_point now, bool toldAlready) {
    for (const RecordWrite& record : result.written) {
        const auto kept = pendingRecords_.find(record.path);
        if (kept != pendingRecords_.end() && kept->second.version == record.version)
            pendingRecords_.erase(kept);
    }
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
    if (!worldDue && !recordsDue) return;
    finishSaver();
    const bool withWorld = worldDirty_;
    worldDirty_ = false;
    saving_ = true;
    SaveJob job = saveJob(withWorld);
    // Only here, on the saving thread: the players' folder may be large.
    job.sweep = !swept_;
    swept_ = true;
    saver_ = std::thread([this, job = std::move(job)]() {
        SaveOutcome result = write(job);
        {
            std::lock_guard<std::mutex> guard(outcomeLock_);
            outcome_ = std::move(result);
        }
        saving_ = false;
    });
}

bool Store::saveNow(bool force) {
    finishSaver();
    const auto now = Clock::now();
    settleSaver(now);
    const bool withWorld = force || worldDirty_;
    worldDirty_ = false;
    const SaveOutcome result = write(saveJob(withWorld));
    if (!result.failure.empty()) log_(result.failure);
    settle(result, now, true);
    return result.failure.empty();
}

}  // namespace server
