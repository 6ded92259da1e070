// The hosted world: its connections, its players under the game's rules, and
// what each player is told of the changes.
#include "server/server.h"

#include <dirent.h>
#include <fcntl.h>
#include <nettle/memops.h>
#include <nettle/sha2.h>
#include <sys/file.h>
#include <sys/random.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <bitset>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <fstream>
#include <map>
#include <mutex>
#include <optional>
#include <random>
#include <sstream>
#include <thread>
#include <vector>

#include "game/atomic_file.h"
#include "game/player_record.h"
#include "game/world_file.h"
#include "game/world_lock.h"
#include "net/listener.h"
#include "net/poll_set.h"
#include "net/socket_errors.h"
#include "protocol/codec.h"
#include "protocol/connection.h"
#include "rules/actions.h"
#include "rules/input.h"
#include "rules/player_state.h"
#include "rules/world_tick.h"
#include "server/server_config.h"
#include "world/world_grid.h"
#include "worldgen/world_kinds.h"

namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;
using std::chrono::seconds;

constexpr auto kTick = milliseconds(1000 / Server::kTicksPerSecond);
constexpr auto kPingEvery = milliseconds(5000);  // or a third of a shorter silence limit
constexpr auto kClocksEvery = seconds(10);
constexpr auto kAutosaveAfter = seconds(3);  // after the first unsaved change: on disk within 5 s
constexpr auto kFlushBudget = seconds(2);    // a leaving peer's last bytes
constexpr std::size_t kMostWaitingRequests = 16;
// The ticks the console's `stats` looks back over: about a minute.
constexpr std::size_t kTickTimesKept = 60 * Server::kTicksPerSecond;
// How far from the start column a new player may be put, so that players
// who join together do not stand on each other.
constexpr int kSpawnReach = 6;
// The line of a record that binds its name: the hash of the key handed to
// the name's first owner. The record's own reader passes over it.
constexpr char kKeyLine[] = "key_sha256";

// The largest column, row and level the wire carries: players stay inside
// the saved band, where every position can be told.
constexpr int kLastColumn = kBandColumns - 1;

int clampTo(int value, int least, int most) { return std::max(least, std::min(most, value)); }

// What the process may open in all, and what it has open now (a game hosting
// on a thread has its window, sounds and fonts open too).
int descriptorLimit() {
    rlimit limit{};
    if (getrlimit(RLIMIT_NOFILE, &limit) != 0 || limit.rlim_cur == RLIM_INFINITY ||
        limit.rlim_cur > (1u << 20))
        return 1 << 20;
    return static_cast<int>(limit.rlim_cur);
}

int openDescriptors() {
    DIR* folder = ::opendir("/proc/self/fd");
    if (folder == nullptr) return 8;
    int count = -3;  // ".", ".." and the listing's own
    while (::readdir(folder) != nullptr) ++count;
    ::closedir(folder);
    return std::max(count, 0);
}

// Descriptors never given to connections: the saves' temporary files, the
// world's backup and its copy, a record read at a join, the log and console.
constexpr int kDescriptorsKept = 16;

std::string lowered(std::string text) {
    for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

std::string trimmed(const std::string& text) {
    const auto first = text.find_first_not_of(" \t\r");
    if (first == std::string::npos) return "";
    return text.substr(first, text.find_last_not_of(" \t\r") - first + 1);
}

// The request kinds that the rules refuse while a step or action runs: they
// wait for the player to be free, as a held key would.
bool waitsForFreePlayer(const Message& m) {
    return std::holds_alternative<Step>(m) || std::holds_alternative<Turn>(m) ||
           std::holds_alternative<Use>(m) || std::holds_alternative<JumpMode>(m);
}

std::uint8_t sheetNumber(SpriteSheet sheet) {
    return sheet == SpriteSheet::Unset ? 1 : static_cast<std::uint8_t>(sheet);
}

struct Position {
    int x = -1, y = -1, level = -1, facing = -1;
    bool operator==(const Position& o) const {
        return x == o.x && y == o.y && level == o.level && facing == o.facing;
    }
};

Position positionOf(const PlayerState& p) {
    return {clampTo(p.x, 0, kLastColumn), clampTo(p.y, 0, kLastColumn),
            clampTo(p.level, 0, kBandLevels - 1), static_cast<int>(p.facing) & 3};
}

// One connection, and once logged in, the player it brings.
struct Peer {
    std::unique_ptr<Connection> link;
    std::string address;
    Clock::time_point opened, lastHeard, lastPing;
    std::uint32_t pingMs = 0;

    bool joined = false;
    std::string name;
    std::uint8_t id = 0;
    PlayerState state;
    Camera view;
    std::deque<Message> waiting;

    // Rates: counted per second.
    Clock::time_point rateStart;
    int packets = 0, edits = 0, chats = 0;

    // What the others were last told of this player.
    Position told;
    std::uint8_t toldSheet = 1, toldLook = 0, toldGroup = 0;
    std::array<std::int32_t, kBlockTypes> toldCounts{};
    // Counts the client guessed itself: told again even when the server's
    // did not change, since the guess may be wrong.
    std::bitset<kBlockTypes> tellCounts;
    BlockId actionBlocks[2] = {0, 0};  // what the running action places and mines
    std::string keyHash;               // of the key that owns this name
    PlayerRecord saved;                // as the last save was handed it
    bool savedOnce = false;
    bool stepped = false;             // a step began this tick
    bool correct = false;             // the player's own picture of itself needs setting right
    std::vector<CellChange> restore;  // cells the player may have drawn wrongly

    bool closing = false;
    Clock::time_point closingSince;
};

std::string recordText(const PlayerState& p) {
    std::string text;
    formatPlayerRecord(recordOf(p), text);
    return text;
}

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
    WorldSnapshot world;
    bool withWorld = false;
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

bool isHex(const std::string& text) {
    return std::all_of(text.begin(), text.end(),
                       [](char c) { return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'); });
}

std::string hexOf(const std::uint8_t* bytes, std::size_t size) {
    static const char kDigits[] = "0123456789abcdef";
    std::string text;
    for (std::size_t i = 0; i < size; ++i) {
        text += kDigits[bytes[i] >> 4];
        text += kDigits[bytes[i] & 15];
    }
    return text;
}

// 128 bits from the system's random source; "" when it cannot give them.
std::string newKey() {
    std::uint8_t bytes[kKeyLength / 2];
    std::size_t got = 0;
    while (got < sizeof bytes) {
        const ssize_t n = ::getrandom(bytes + got, sizeof bytes - got, 0);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return "";
        got += static_cast<std::size_t>(n);
    }
    return hexOf(bytes, sizeof bytes);
}

// A key is as strong as its 128 random bits: one round of the hash is enough
// to keep the record from giving the key away.
std::string hashOf(const std::string& key) {
    sha256_ctx context;
    sha256_init(&context);
    sha256_update(&context, key.size(), reinterpret_cast<const std::uint8_t*>(key.data()));
    std::uint8_t digest[SHA256_DIGEST_SIZE];
    sha256_digest(&context, sizeof digest, digest);
    return hexOf(digest, sizeof digest);
}

// Whether the key is the one whose hash the record keeps; the comparison
// takes as long wherever the two differ.
bool keyOpens(const std::string& key, const std::string& hash) {
    const std::string given = hashOf(key);
    const bool wellFormed = key.size() == kKeyLength && isHex(key) && hash.size() == given.size();
    const std::string& against = wellFormed ? hash : given;
    const bool same = nettle_memeql_sec(given.data(), against.data(), given.size()) != 0;
    return wellFormed && same;
}

// The hash a record's text keeps; "" for a record nobody has claimed yet.
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

// The file names the server gives records: player names in lower case.
bool isRecordName(const std::string& name) {
    return textFits(name, kNameRule) && name == lowered(name);
}

int syncFolder(const std::string& folder) {
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return errno;
    const int error = ::fsync(fd) == 0 ? 0 : errno;
    ::close(fd);
    return error;
}

}  // namespace

struct Server::Impl {
    ServerOptions options;
    ServerConfig config;
    WorldLock lock;  // held from start to stop: no game or other server writes the world meanwhile
    std::string worldPath, playersFolder;

    std::unique_ptr<WorldGrid> grid = std::make_unique<WorldGrid>();
    WeatherState weather;
    WorldClock clock;
    World world{*grid, weather, clock};
    std::int32_t startX = 10, startY = 10;
    PlayerRecord worldRecord;  // the single player's, kept as the file had it

    std::unique_ptr<Listener> listener;
    PollSet pollSet;
    std::vector<std::unique_ptr<Peer>> peers;
    std::mt19937 random{std::random_device{}()};

    std::array<std::uint8_t, kBandCells> toldBand{};  // the band as the players last saw it
    Clocks toldClocks;
    Clock::time_point clocksSent;

    Clock::time_point nextTick, dirtySince, started;
    bool worldDirty = false;
    bool backupKept = false;  // the saving thread's, or the ticking thread's once it has joined
    std::thread saver;
    std::atomic<bool> saving{false};
    std::mutex outcomeLock;
    std::optional<SaveOutcome> outcome;  // the saving thread's last, not yet looked at
    // A run of failed saves is told in one line when it starts and in one
    // when saving works again: a full disk must not fill the log too.
    bool failing = false;
    int failedSaves = 0;
    // Records of players who left or were forgotten, not yet on disk: the
    // next save writes them, and the next join of that name reads them here.
    std::map<std::string, RecordWrite> pendingRecords;
    std::map<std::string, std::uint64_t> lastVersion;  // by path: the newest text handed out
    std::uint64_t versions = 0;
    bool recordsChanged = false;  // records differ from the last save's
    Clock::time_point recordsSince;
    bool swept = false;
    // Names that own a record, and the newest claims: each is a file in
    // players/, so both are bounded.
    int namesKnown = 0;
    std::deque<Clock::time_point> recentNames;

    // The work of each recent tick, without its waits, for `stats`.
    std::array<std::uint32_t, kTickTimesKept> tickMicros{};
    std::uint64_t ticks = 0;

    std::atomic<bool> stopFlag{false};
    std::atomic<int> joinedCount{0};
    std::atomic<std::uint16_t> boundPort{0};
    bool running = false;
    std::mutex commandsLock;
    std::vector<std::string> commands;

    void log(const std::string& line) {
        if (options.log) {
            options.log(line);
        } else {
            std::printf("%s\n", line.c_str());
            std::fflush(stdout);
        }
    }

    // ---- the world

    bool loadWorld() {
        grid->maxX = kLastColumn;
        grid->maxY = kLastColumn;
        const WorldRead read = readWorldFile(worldPath, *grid, startX, startY, worldRecord);
        if (!read.readable) return log(read.note), false;
        if (read.found) {
            backupKept = !mayBackUp(read);
            log(read.fromBackup ? read.note : "world " + worldPath + " loaded");
        } else {
            Terrain terrain;
            const std::uint32_t seed = random();
            generateWorld(WorldKind::Island, seed, terrain);
            for (int x = 0; x < kBandEdge; ++x)
                for (int y = 0; y < kBandEdge; ++y)
                    for (int level = 0; level < kBandEdge; ++level)
                        setCellOf(*grid, x, y, level, terrain.at(x, y, level));
            startX = terrain.startX;
            startY = terrain.startY;
            worldDirty = true;
            dirtySince = Clock::now() - kAutosaveAfter;
            log("no world in " + options.worldFolder + ": generated an island (seed " +
                std::to_string(seed) + ")");
        }
        startX = clampTo(startX, 0, kLastColumn);
        startY = clampTo(startY, 0, kLastColumn);
        // The server's own draws: the process-wide random source belongs to
        // the game that may be hosting on another thread.
        std::uniform_int_distribution<int> trigger(0, 300), sixth(0, 5), kind(1, 2);
        weather.weatherTrigger = trigger(random);
        weather.weatherActive = sixth(random) == 3;
        weather.weatherKind = static_cast<WeatherKind>(kind(random));
        for (int level = 0; level < kBandLevels; ++level)
            for (int y = 0; y < kBandColumns; ++y)
                for (int x = 0; x < kBandColumns; ++x)
                    toldBand[bandIndex(x, y, level)] = bandBlock(x, y, level);
        toldClocks = clocksNow();
        return true;
    }

    std::uint8_t bandBlock(int x, int y, int level) const {
        const BlockId id = cellOf(*grid, x, y, level);
        return isKnownBlock(id) ? static_cast<std::uint8_t>(id) : 0;
    }

    Clocks clocksNow() const {
        Clocks c;
        c.dayTick = static_cast<std::uint16_t>(clampTo(clock.dayTick, 0, 16320));
        c.nightLevel = static_cast<std::uint8_t>(clampTo(static_cast<int>(clock.nightLevel), 0, 5));
        c.tileTick = static_cast<std::uint8_t>(clampTo(clock.blockAnimTick, 0, 80));
        c.weatherActive = weather.weatherActive ? 1 : 0;
        c.weatherKind =
            static_cast<std::uint8_t>(clampTo(static_cast<int>(weather.weatherKind), 0, 2));
        c.snowCover = weather.snowCover ? 1 : 0;
        c.weatherTick = static_cast<std::uint8_t>(clampTo(weather.weatherTick, 0, 15));
        c.weatherFrame = static_cast<std::uint8_t>(clampTo(weather.weatherAnimFrame, 0, 3));
        c.weatherCycles = static_cast<std::uint8_t>(clampTo(weather.weatherCycles, 0, 201));
        c.weatherTrigger = static_cast<std::uint16_t>(clampTo(weather.weatherTrigger, 0, 300));
        return c;
    }

    // ---- saving

    std::string recordPath(const std::string& name) const {
        return playersFolder + "/" + lowered(name);
    }

    std::string recordTextOf(const Peer& peer) const {
        std::string text;
        if (!peer.keyHash.empty()) text = std::string(kKeyLine) + " = " + peer.keyHash + "\n";
        return text + recordText(peer.state);
    }

    RecordWrite issue(const std::string& path, std::string text, bool remove = false) {
        RecordWrite record{path, std::move(text), ++versions, remove};
        lastVersion[path] = record.version;
        return record;
    }

    void noteRecordChange(Clock::time_point now) {
        if (recordsChanged) return;
        recordsChanged = true;
        recordsSince = now;
    }

    // The newest text of a name's record, whether on its way or on disk;
    // nothing when the name has none.
    std::optional<std::string> storedRecord(const std::string& path) const {
        const auto pending = pendingRecords.find(path);
        if (pending != pendingRecords.end()) {
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
    SaveJob saveJob(bool withWorld) {
        SaveJob job;
        job.withWorld = withWorld;
        if (withWorld) {
            for (int x = 0; x < kBandEdge; ++x)
                for (int y = 0; y < kBandEdge; ++y)
                    for (int level = 0; level < kBandEdge; ++level)
                        job.world.at(x, y, level) = cellOf(*grid, x, y, level);
            job.world.playerX = startX;
            job.world.playerY = startY;
            job.world.record = worldRecord;
        }
        // Records of players who left or were forgotten go first: a name that
        // joined again since has its newer text written after them.
        for (const auto& [path, record] : pendingRecords) job.records.push_back(record);
        for (const auto& owned : peers) {
            Peer& peer = *owned;
            if (!peer.joined || peer.closing) continue;
            PlayerRecord now = recordOf(peer.state);
            if (peer.savedOnce && now == peer.saved) continue;
            job.records.push_back(issue(recordPath(peer.name), recordTextOf(peer)));
            peer.saved = std::move(now);
            peer.savedOnce = true;
        }
        recordsChanged = false;
        return job;
    }

    // Leftovers of a run killed while it wrote a record: only the
    // temporaries of record names, and only those no live writer holds.
    void sweepPlayersFolder() const {
        DIR* listing = ::opendir(playersFolder.c_str());
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
        for (const std::string& name : stale) {
            const int fd = ::openat(::dirfd(listing), name.c_str(),
                                    O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
            if (fd < 0) continue;
            struct stat status;
            if (::fstat(fd, &status) == 0 && S_ISREG(status.st_mode) &&
                ::flock(fd, LOCK_EX | LOCK_NB) == 0)
                ::unlinkat(::dirfd(listing), name.c_str(), 0);
            ::close(fd);
        }
        ::closedir(listing);
    }

    int countRecords() const {
        int count = 0;
        DIR* listing = ::opendir(playersFolder.c_str());
        if (listing == nullptr) return 0;
        while (const dirent* entry = ::readdir(listing))
            count += isRecordName(entry->d_name) ? 1 : 0;
        ::closedir(listing);
        return count;
    }

    // Runs on the saving thread, or on the ticking thread once that has
    // joined. Each file is replaced whole and synced, so a failure or a
    // power cut leaves the one before.
    SaveOutcome write(const SaveJob& job) {
        SaveOutcome result;
        if (job.sweep) sweepPlayersFolder();
        if (job.withWorld) {
            int error = 0;
            if (!backupKept) {
                error = backUpWorldFile(worldPath, true);
                if (error == 0) backupKept = true;
            }
            if (error == 0) error = writeWorldFile(worldPath, job.world, true);
            if (error != 0)
                result.failure = "saving " + worldPath + " failed: " + std::strerror(error);
        }
        if (!job.records.empty() && ::mkdir(playersFolder.c_str(), 0755) == 0)
            syncFolder(options.worldFolder);
        for (const auto& record : job.records) {
            int error = 0;
            if (!record.remove) {
                error = replaceFile(record.path, record.text, true, false);
            } else if (::unlink(record.path.c_str()) == 0 || errno == ENOENT) {
                error = syncFolder(playersFolder);
            } else {
                error = errno;
            }
            (error == 0 ? result.written : result.unwritten).push_back(record);
            if (error != 0 && result.failure.empty())
                result.failure = "saving " + record.path + " failed: " + std::strerror(error);
        }
        return result;
    }

    void finishSaver() {
        if (saver.joinable()) saver.join();
    }

    // What a finished save means for the log and for the next one. A save
    // that failed in part is tried again whole a while later, but a record
    // only when no newer text of it came meanwhile.
    void settle(const SaveOutcome& result, Clock::time_point now, bool toldAlready = false) {
        for (const RecordWrite& record : result.written) {
            const auto kept = pendingRecords.find(record.path);
            if (kept != pendingRecords.end() && kept->second.version == record.version)
                pendingRecords.erase(kept);
        }
        if (result.failure.empty()) {
            if (failing)
                log("saving works again after " + std::to_string(failedSaves) + " failed attempts");
            failing = false;
            failedSaves = 0;
            return;
        }
        for (const RecordWrite& record : result.unwritten) {
            if (lastVersion[record.path] != record.version) continue;
            if (Peer* peer = findPlayerByRecord(record.path)) {
                peer->savedOnce = false;
            } else {
                pendingRecords.emplace(record.path, record);
            }
            noteRecordChange(now);
        }
        ++failedSaves;
        if (!failing && !toldAlready) log(result.failure + " (the server goes on and tries again)");
        failing = true;
        if (!worldDirty) {
            worldDirty = true;
            dirtySince = now;
        }
    }

    void settleSaver(Clock::time_point now) {
        std::optional<SaveOutcome> finished;
        {
            std::lock_guard<std::mutex> guard(outcomeLock);
            finished.swap(outcome);
        }
        if (finished) settle(*finished, now);
    }

    bool recordsDiffer() const {
        if (!pendingRecords.empty()) return true;
        for (const auto& peer : peers)
            if (peer->joined && !peer->closing &&
                (!peer->savedOnce || recordOf(peer->state) != peer->saved))
                return true;
        return false;
    }

    // The world and the players' records on one schedule: on disk within a
    // few seconds of their first change, whichever changed.
    void autosave(Clock::time_point now) {
        if (saving) return;
        settleSaver(now);
        if (!recordsChanged && recordsDiffer()) noteRecordChange(now);
        const bool worldDue = worldDirty && now - dirtySince >= kAutosaveAfter;
        const bool recordsDue = recordsChanged && now - recordsSince >= kAutosaveAfter;
        if (!worldDue && !recordsDue) return;
        finishSaver();
        const bool withWorld = worldDirty;
        worldDirty = false;
        saving = true;
        SaveJob job = saveJob(withWorld);
        // Only here, on the saving thread: the players' folder may be large.
        job.sweep = !swept;
        swept = true;
        saver = std::thread([this, job = std::move(job)]() {
            SaveOutcome result = write(job);
            {
                std::lock_guard<std::mutex> guard(outcomeLock);
                outcome = std::move(result);
            }
            saving = false;
        });
    }

    // The world is written when it changed since the last save (or `force`);
    // the players' records when they changed. A failure is told in the log
    // each time: the caller asked for this save.
    bool saveNow(bool force) {
        finishSaver();
        const auto now = Clock::now();
        settleSaver(now);
        const bool withWorld = force || worldDirty;
        worldDirty = false;
        const SaveOutcome result = write(saveJob(withWorld));
        if (!result.failure.empty()) log(result.failure);
        settle(result, now, true);
        return result.failure.empty();
    }

    // ---- players

    PlayerInfo infoOf(const Peer& peer) const {
        PlayerInfo info;
        const Position at = positionOf(peer.state);
        info.id = peer.id;
        info.name = peer.name;
        info.x = static_cast<std::uint8_t>(at.x);
        info.y = static_cast<std::uint8_t>(at.y);
        info.level = static_cast<std::uint8_t>(at.level);
        info.facing = static_cast<std::uint8_t>(at.facing);
        info.look = static_cast<std::uint8_t>(clampTo(peer.state.spriteRow, 0, 6));
        info.lookGroup = static_cast<std::uint8_t>(clampTo(peer.state.spriteGroup, 0, 1));
        info.sheet = sheetNumber(peer.state.spriteSheet);
        return info;
    }

    void broadcast(const Message& message, const Peer* except = nullptr) {
        for (const auto& peer : peers)
            if (peer->joined && !peer->closing && peer.get() != except) peer->link->send(message);
    }

    Peer* findPlayerByRecord(const std::string& path) {
        for (const auto& peer : peers)
            if (peer->joined && !peer->closing && recordPath(peer->name) == path) return peer.get();
        return nullptr;
    }

    Peer* findPlayer(const std::string& name) {
        for (const auto& peer : peers)
            if (peer->joined && !peer->closing && lowered(peer->name) == lowered(name))
                return peer.get();
        return nullptr;
    }

    int freeId() const {
        for (int id = 0; id <= static_cast<int>(kLastPlayerId); ++id) {
            bool used = false;
            for (const auto& peer : peers) used = used || (peer->joined && peer->id == id);
            if (!used) return id;
        }
        return -1;
    }

    // A new player as single player starts one, on a free column near the
    // world's start, then whatever its record kept.
    void setUpPlayer(Peer& peer, const std::optional<std::string>& stored, Clock::time_point now) {
        PlayerState& p = peer.state;
        p = PlayerState{};
        p.facing = Facing::Down;
        giveStartingKit(p);
        p.spriteGroup = 1;
        p.targetRaised = 1;
        p.autoJump = true;
        PlayerRecord record;
        if (stored) {
            std::istringstream lines(*stored);
            record = parsePlayerRecord(lines);
        }
        if (!(record.x && record.y && record.level)) {
            const auto [x, y] = spawnColumn();
            placePlayer(p, peer.view, x, y);
            p.level = columnTop(x, y);
        }
        applyRecordTo(record, p, peer.view);
        // Its first save keeps the claim.
        peer.savedOnce = false;
        noteRecordChange(now);
        p.x = clampTo(p.x, 0, kLastColumn);
        p.y = clampTo(p.y, 0, kLastColumn);
        p.level = clampTo(p.level, 0, kBandEdge);
        p.selectedSlot = clampTo(p.selectedSlot, 0, kHotbarSlots - 1);
        p.spriteRow = clampTo(p.spriteRow, 0, 6);
        p.spriteGroup = clampTo(p.spriteGroup, 0, 1);
        peer.told = positionOf(p);
        peer.toldSheet = sheetNumber(p.spriteSheet);
        peer.toldLook = static_cast<std::uint8_t>(p.spriteRow);
        peer.toldGroup = static_cast<std::uint8_t>(p.spriteGroup);
        std::copy(std::begin(p.blockCounts), std::end(p.blockCounts), peer.toldCounts.begin());
    }

    int columnTop(int x, int y) const {
        for (int level = 0; level <= kBandEdge; ++level)
            if (isSolid(cellOf(*grid, x, y, level))) return level;
        return kBandEdge;
    }

    // Where a player without a record may start: ground that is not water or
    // lava, no other player on it, and nothing in front of it (nearer the
    // screen's bottom) standing two levels above it, so the figure is not
    // drawn hidden. A single block in front hides the feet only.
    bool fitsNewPlayer(int x, int y) const {
        const int top = columnTop(x, y);
        if (top < 2 || top >= kBandLevels) return false;
        for (int level = 0; level <= top; ++level) {
            const BlockId id = cellOf(*grid, x, y, level);
            if (id == Water || id == Lava) return false;
        }
        for (const auto& peer : peers)
            if (peer->joined && !peer->closing && peer->state.x == x && peer->state.y == y)
                return false;
        static constexpr int kFront[][2] = {{1, 0}, {0, 1}, {1, 1}, {2, 1}, {1, 2}, {2, 2}};
        for (const auto& [dx, dy] : kFront) {
            const int fx = x + dx, fy = y + dy;
            if (fx > kLastColumn || fy > kLastColumn) continue;
            for (int level = 0; level < top - 1; ++level)
                if (cellOf(*grid, fx, fy, level) != Empty) return false;
        }
        return true;
    }

    // The start column when it fits, else the nearest that does, ring by
    // ring: first on the start's own ground level (not on a lone pillar or
    // in a pit beside it), then at any; the start column when none does.
    std::pair<int, int> spawnColumn() const {
        const int startTop = columnTop(startX, startY);
        for (const bool sameLevel : {true, false})
            for (int ring = 0; ring <= kSpawnReach; ++ring)
                for (int dy = -ring; dy <= ring; ++dy)
                    for (int dx = -ring; dx <= ring; ++dx) {
                        if (std::max(std::abs(dx), std::abs(dy)) != ring) continue;
                        const int x = startX + dx, y = startY + dy;
                        if (x < 0 || y < 0 || x > kLastColumn || y > kLastColumn) continue;
                        if (sameLevel && columnTop(x, y) != startTop) continue;
                        if (fitsNewPlayer(x, y)) return {x, y};
                    }
        return {startX, startY};
    }

    void refuse(Peer& peer, Reason reason, const std::string& why, const std::string& detail = "") {
        log("refused " + peer.address + ": " + why);
        close(peer, reason, detail);
    }

    // Whether one more name may own a record: a flood of made-up names must
    // not fill the players' folder.
    std::string roomForNewName(Clock::time_point now) {
        while (!recentNames.empty() && now - recentNames.front() >= std::chrono::minutes(1))
            recentNames.pop_front();
        if (namesKnown >= config.maxNames) return "no room for new names";
        if (static_cast<int>(recentNames.size()) >= config.newNamesPerMinute)
            return "too many new names this minute";
        return "";
    }

    // A name belongs to whoever joined with it first: that join is handed a
    // key, and every later join of the name must bring it. A record kept
    // from before names had keys has no hash: the next join of that name
    // claims it. The right key also takes the name over from a connection
    // still in play (a dead link the server has not noticed yet).
    void login(Peer& peer, const Login& request, Clock::time_point now) {
        if (config.isBanned(request.name, peer.address))
            return refuse(peer, Reason::Banned, request.name + " is banned");
        if (!config.whitelistAllows(request.name))
            return refuse(peer, Reason::NotWhitelisted, request.name + " is not on the whitelist");
        if (!config.password.empty() && request.password != config.password)
            return refuse(peer, Reason::WrongPassword, request.name + " gave a wrong password");
        const std::string path = recordPath(request.name);
        Peer* const old = findPlayer(request.name);
        std::optional<std::string> stored = old ? std::nullopt : storedRecord(path);
        const std::string hash = old ? old->keyHash : stored ? hashIn(*stored) : "";
        if (!hash.empty() && !keyOpens(request.key, hash))
            return refuse(peer, Reason::NameOwned, request.name + " without its key");
        if (hash.empty() && old)  // every player in play owns its name: never here
            return refuse(peer, Reason::NameTaken, "the name " + request.name + " is taken");
        if (!stored && !old) {
            const std::string full = roomForNewName(now);
            if (!full.empty())
                return refuse(peer, Reason::ServerFull, request.name + ": " + full, full);
        }
        const int id = freeId();
        if (joinedCount - (old ? 1 : 0) >= config.maxPlayers || id < 0)
            return refuse(peer, Reason::ServerFull, request.name + ": server full");
        std::string key;
        if (hash.empty()) {
            key = newKey();
            if (key.empty())
                return refuse(peer, Reason::ServerFull, "no random source for a key",
                              "the server cannot make keys");
            if (!stored) {
                ++namesKnown;
                recentNames.push_back(now);
            }
        }
        if (old) {
            close(*old, Reason::Kicked, "the name joined again from elsewhere",
                  "joined again from elsewhere");
            stored = storedRecord(path);
        }
        peer.joined = true;
        peer.name = request.name;
        peer.id = static_cast<std::uint8_t>(id);
        peer.keyHash = key.empty() ? hash : hashOf(key);
        setUpPlayer(peer, stored, now);
        ++joinedCount;

        Welcome welcome;
        welcome.self = infoOf(peer);
        welcome.slot = static_cast<std::uint8_t>(peer.state.selectedSlot);
        for (int i = 0; i < kHotbarSize; ++i) {
            const BlockId b = peer.state.hotbar[i];
            welcome.hotbar[i] = static_cast<std::uint8_t>(isKnownBlock(b) ? b : 0);
        }
        for (int b = 0; b < kBlockTypes; ++b)
            welcome.stock[b] = static_cast<std::uint32_t>(
                clampTo(peer.state.blockCounts[b], 0, static_cast<int>(kLargestThree)));
        welcome.clocks = toldClocks;
        welcome.autoJump = peer.state.autoJump;
        welcome.raised = peer.state.targetRaised != 0;
        welcome.key = key;
        peer.link->send(welcome);
        Band band;
        band.cells.assign(toldBand.begin(), toldBand.end());
        peer.link->send(band);
        PlayerList list;
        for (const auto& other : peers)
            if (other->joined && !other->closing && other.get() != &peer)
                list.players.push_back(infoOf(*other));
        peer.link->send(list);
        broadcast(PlayerJoined{infoOf(peer)}, &peer);
        log(peer.name + (key.empty() ? " joined" : " joined and claimed the name"));
    }

    // The console's `forget NAME [drop]`: the name is free for the next who
    // joins with it; its record stays for that player, or goes with `drop`.
    void forget(const std::string& words) {
        std::istringstream in(words);
        std::string name, how;
        in >> name >> how;
        if (name.empty() || !(how.empty() || how == "drop"))
            return log("forget: a name, then drop to drop its record too (forget NAME [drop])");
        if (Peer* peer = findPlayer(name)) close(*peer, Reason::Kicked, "", "name forgotten");
        const std::string path = recordPath(name);
        if (!isRecordName(lowered(name))) return log("forget: no record of " + name);
        const std::optional<std::string> stored = storedRecord(path);
        if (!stored) return log("forget: no record of " + name);
        const auto now = Clock::now();
        if (how == "drop") {
            pendingRecords[path] = issue(path, "", true);
            namesKnown = std::max(0, namesKnown - 1);
            log("forgot " + name + " and dropped the record");
        } else {
            pendingRecords[path] = issue(path, withoutKey(*stored));
            log("forgot " + name + "; the record goes to whoever joins with the name next");
        }
        noteRecordChange(now);
    }

    // Ends a connection: a player leaves the world at once, the socket once
    // its last bytes are out (or the flush budget is spent). The record goes
    // with the next save, together with the world it was played in.
    void close(Peer& peer, Reason reason, const std::string& detail = "",
               const std::string& why = "") {
        if (peer.closing) return;
        peer.link->leave(reason, detail);
        peer.closing = true;
        peer.closingSince = Clock::now();
        if (!peer.joined) return;
        --joinedCount;
        broadcast(PlayerLeft{peer.id, reason});
        log(peer.name + " left: " + (why.empty() ? std::string(reasonText(reason)) : why));
        const std::string path = recordPath(peer.name);
        pendingRecords[path] = issue(path, recordTextOf(peer));
        noteRecordChange(peer.closingSince);
    }

    // ---- requests

    void handle(Peer& peer, const Message& message, Clock::time_point now) {
        peer.lastHeard = now;
        // Pings are packets too: counted, so a flood of them ends like any other.
        if (std::holds_alternative<Ping>(message) || std::holds_alternative<Pong>(message)) {
            if (!withinRates(peer, message, now)) return;
            if (const auto* ping = std::get_if<Ping>(&message)) {
                peer.link->send(Pong{ping->stamp});
            } else {
                // The stamp is the server's own clock when it asked.
                peer.pingMs =
                    roundTripMs(pingStamp(std::chrono::duration_cast<milliseconds>(now - started)),
                                std::get<Pong>(message).stamp);
            }
            return;
        }
        if (std::holds_alternative<Leave>(message)) {
            close(peer, Reason::Leaving, "", "quit");
            return;
        }
        if (!peer.joined) {
            if (const auto* request = std::get_if<Login>(&message))
                return login(peer, *request, now);
            log("dropped " + peer.address + ": " + rowOf(message).name + " before its login");
            return close(peer, Reason::BrokeProtocol);
        }
        if (std::holds_alternative<Login>(message)) {
            log("dropped " + peer.name + ": a second login");
            return close(peer, Reason::BrokeProtocol, "", "broke the protocol (a second login)");
        }
        if (!withinRates(peer, message, now)) return;
        if (const auto* say = std::get_if<Say>(&message)) {
            log("<" + peer.name + "> " + say->text);
            broadcast(ChatLine{peer.name, say->text});
            return;
        }
        if (const auto* looks = std::get_if<ChangeLooks>(&message)) {
            peer.state.spriteRow = looks->look;
            peer.state.spriteGroup = looks->lookGroup;
            return;
        }
        if (const auto* rest = std::get_if<Rest>(&message)) {
            // The rules switch rest mode even while a step runs.
            if (peer.state.resting != (rest->resting != 0)) {
                PlayerIntent intent;
                intent.rest = true;
                handlePlayerInput(peer.state, peer.view, intent, *grid);
            }
            return;
        }
        if (waitsForFreePlayer(message)) {
            if (peer.waiting.size() >= kMostWaitingRequests) {
                // More than a player can do: the oldest is dropped, and the
                // client told where it really is.
                peer.waiting.pop_front();
                peer.correct = true;
            }
            peer.waiting.push_back(message);
            return;
        }
        log("dropped " + peer.name + ": " + rowOf(message).name + " is not the client's");
        close(peer, Reason::BrokeProtocol, "", "broke the protocol");
    }

    // Over the rate: the packet is passed over; far over (twice): kicked.
    bool withinRates(Peer& peer, const Message& message, Clock::time_point now) {
        if (now - peer.rateStart >= seconds(1)) {
            peer.rateStart = now;
            peer.packets = peer.edits = peer.chats = 0;
        }
        int* count = &peer.packets;
        int limit = config.packetsPerSecond;
        ++peer.packets;
        if (std::holds_alternative<Use>(message)) {
            count = &peer.edits;
            limit = config.editsPerSecond;
            ++peer.edits;
        } else if (std::holds_alternative<Say>(message)) {
            count = &peer.chats;
            limit = config.chatsPerSecond;
            ++peer.chats;
        }
        if (peer.packets > 2 * config.packetsPerSecond || *count > 2 * limit) {
            close(peer, Reason::TooFast, "", "too fast");
            return false;
        }
        if (peer.packets > config.packetsPerSecond || *count > limit) {
            if (const auto* use = std::get_if<Use>(&message)) {
                peer.correct = true;
                if (use->slot < kHotbarSlots) peer.actionBlocks[0] = peer.state.hotbar[use->slot];
                peer.actionBlocks[1] = peer.state.targetBlock;
                tellActionCounts(peer);
            }
            return false;
        }
        return true;
    }

    // One waiting request under the rules, as single player's keys would
    // ask for it. A request the rules refuse sets the client right.
    void apply(Peer& peer, const Message& message) {
        PlayerState& p = peer.state;
        PlayerIntent intent;
        if (const auto* step = std::get_if<Step>(&message)) {
            walkToward(intent, step->facing);
            // The client sends a step once its key has been held long enough.
            p.holdTicks = kHoldThreshold;
            const int x = p.x, y = p.y;
            handlePlayerInput(p, peer.view, intent, *grid);
            if (p.x == x && p.y == y) {
                peer.correct = true;
            } else {
                peer.stepped = true;
            }
        } else if (const auto* turn = std::get_if<Turn>(&message)) {
            walkToward(intent, turn->facing);
            p.holdTicks = -1;  // held for this tick only: a turn, never a step
            handlePlayerInput(p, peer.view, intent, *grid);
            if (static_cast<int>(p.facing) != turn->facing) peer.correct = true;
        } else if (const auto* use = std::get_if<Use>(&message)) {
            p.selectedSlot = use->slot;
            p.targetRaised = use->raised;
            (use->placing ? intent.place : intent.mine) = true;
            handlePlayerInput(p, peer.view, intent, *grid);
            // The client counted its stock as if this went through; the
            // server's counts of what it touches set that right at its end.
            peer.actionBlocks[0] = p.hotbar[p.selectedSlot];
            peer.actionBlocks[1] = p.targetBlock;
            if (!p.acting) {
                peer.correct = true;
                restoreActionCell(peer);
                tellActionCounts(peer);
            }
        } else if (const auto* jump = std::get_if<JumpMode>(&message)) {
            intent.autoJump = p.autoJump != (jump->on != 0);
            handlePlayerInput(p, peer.view, intent, *grid);
        }
    }

    static void walkToward(PlayerIntent& intent, int facing) {
        switch (static_cast<Facing>(facing)) {
            case Facing::Up:
                intent.walkUp = true;
                break;
            case Facing::Down:
                intent.walkDown = true;
                break;
            case Facing::Left:
                intent.walkLeft = true;
                break;
            case Facing::Right:
                intent.walkRight = true;
                break;
        }
    }

    static void tellActionCounts(Peer& peer) {
        for (const BlockId block : peer.actionBlocks)
            if (isKnownBlock(block)) peer.tellCounts.set(block);
    }

    void restoreActionCell(Peer& peer) {
        const PlayerState& p = peer.state;
        const Column ahead = columnAhead(p);
        const int level = p.level - p.targetRaised;
        if (ahead.x < 0 || ahead.x > kLastColumn || ahead.y < 0 || ahead.y > kLastColumn ||
            level < 0 || level >= kBandLevels)
            return;
        peer.restore.push_back(
            CellChange{static_cast<std::uint8_t>(ahead.x), static_cast<std::uint8_t>(ahead.y),
                       static_cast<std::uint8_t>(level), bandBlock(ahead.x, ahead.y, level)});
    }

    // ---- the tick

    void acceptWaiting(Clock::time_point now) {
        while (auto client = listener->accept()) take(std::move(client), now);
    }

    // ---- connections: what each may hold, and the refusals told in brief

    int connectionCap = 1, loginCap = 1;  // set from the descriptor limit at start

    // A refused address is told once, then in one line a second for as long
    // as its refusals go on: a flood of connections must not flood the log.
    struct Refusals {
        Clock::time_point since;
        int more = 0;
        std::string why;
    };
    std::map<std::string, Refusals> refusals;

    void refuseConnection(const std::string& address, const std::string& why,
                          Clock::time_point now) {
        const auto [entry, fresh] = refusals.try_emplace(address, Refusals{now, 0, why});
        if (fresh) return log("refused " + address + ": " + why);
        ++entry->second.more;
        entry->second.why = why;
    }

    void summariseRefusals(Clock::time_point now) {
        for (auto it = refusals.begin(); it != refusals.end();) {
            Refusals& r = it->second;
            if (now - r.since < seconds(1)) {
                ++it;
            } else if (r.more == 0) {
                it = refusals.erase(it);
            } else {
                log("refused " + it->first + " " + std::to_string(r.more) +
                    " more times in the last second (" + r.why + ")");
                r = Refusals{now, 0, r.why};
                ++it;
            }
        }
    }

    // Room for one more connection within the caps. When they are reached,
    // the oldest connection still logging in gives way, one that has not
    // finished the first exchange before one that has: a newcomer may be a
    // player, while an idle connection holds a descriptor for nothing. False
    // when every connection is a player's.
    bool makeRoom(Clock::time_point now) {
        int loggingIn = 0;
        for (const auto& peer : peers) loggingIn += !peer->joined && !peer->closing ? 1 : 0;
        const bool allFull = static_cast<int>(peers.size()) >= connectionCap;
        if (!allFull && loggingIn < loginCap) return true;
        const auto rank = [&](const Peer& p) {
            if (p.closing) return allFull ? 0 : 9;  // its goodbye is all it still holds
            if (p.joined) return 9;
            return p.link->ready() ? 2 : 1;
        };
        auto victim = peers.end();
        for (auto it = peers.begin(); it != peers.end(); ++it)
            if (rank(**it) < 9 && (victim == peers.end() || rank(**it) < rank(**victim)))
                victim = it;
        if (victim == peers.end()) return false;
        Peer& peer = **victim;
        if (!peer.closing) {
            refuseConnection(peer.address, "dropped while logging in, the connections are full",
                             now);
            peer.link->leave(Reason::ServerFull);
            peer.link->client().handleEvents(POLLOUT);
        }
        peer.link->client().abort(true);
        peers.erase(victim);
        return true;
    }

    void take(std::unique_ptr<Client> client, Clock::time_point now) {
        {
            const std::string address = client->remoteAddress().toString();
            std::string why;
            if (config.isBanned("", address)) {
                why = "banned";
            } else if (connectionsFrom(address) >= config.connectionsPerAddress) {
                why = std::to_string(config.connectionsPerAddress) + " connections open from it";
            } else if (!config.allowConnect(address, now)) {
                why = std::to_string(config.connectsPerMinute) + " connections in the last minute";
            } else if (!makeRoom(now)) {
                why = "every connection is a player's";
            }
            if (!why.empty()) {
                refuseConnection(address, why, now);
                client->abort(true);
                return;
            }
            auto peer = std::make_unique<Peer>();
            std::uniform_int_distribution<std::uint32_t> bits;
            peer->link =
                std::make_unique<Connection>(std::move(client), handshakeKeysFrom(bits(random)));
            peer->link->client().setSendLimit(static_cast<std::uint32_t>(config.sendQueueBytes));
            peer->address = address;
            peer->opened = peer->lastHeard = peer->lastPing = peer->rateStart = now;
            peers.push_back(std::move(peer));
        }
    }

    int connectionsFrom(const std::string& address) const {
        int n = 0;
        for (const auto& peer : peers) n += peer->address == address ? 1 : 0;
        return n;
    }

    void readAll(Clock::time_point now) {
        for (const auto& owned : peers) {
            Peer& peer = *owned;
            if (peer.closing) continue;
            while (!peer.closing) {
                auto message = peer.link->receive();
                if (!message) break;
                handle(peer, *message, now);
            }
            if (peer.closing) continue;
            if (!peer.link->isOpen()) {
                const auto& refusal = peer.link->refusal();
                const std::string text = peer.link->endText();
                if (refusal) {
                    log("dropped " + (peer.joined ? peer.name : peer.address) + ": " + text);
                    close(peer, refusal->reason, "",
                          std::string(reasonText(refusal->reason)) + " (" + text + ")");
                } else {
                    close(peer, Reason::Leaving, "", text == "connection closed" ? "quit" : text);
                }
            }
        }
    }

    // A player that only answers pings must never look silent.
    milliseconds pingEvery() const {
        return std::min(kPingEvery, milliseconds(config.silenceSeconds * 1000 / 3));
    }

    void checkTimes(Clock::time_point now) {
        summariseRefusals(now);
        const std::uint32_t stamp =
            pingStamp(std::chrono::duration_cast<milliseconds>(now - started));
        for (const auto& owned : peers) {
            Peer& peer = *owned;
            if (peer.closing) continue;
            if (!peer.joined && now - peer.opened > seconds(config.loginSeconds)) {
                log("dropped " + peer.address + ": no login within " +
                    std::to_string(config.loginSeconds) + " s");
                close(peer, Reason::TimedOut);
            } else if (now - peer.lastHeard > seconds(config.silenceSeconds)) {
                close(peer, Reason::TimedOut);
            } else if (peer.joined && now - peer.lastPing >= pingEvery()) {
                peer.lastPing = now;
                peer.link->send(Ping{stamp});
            }
        }
    }

    void dropClosed(Clock::time_point now) {
        peers.erase(std::remove_if(peers.begin(), peers.end(),
                                   [&](const std::unique_ptr<Peer>& peer) {
                                       if (!peer->closing) return false;
                                       Client& c = peer->link->client();
                                       if (c.isConnected() && c.bytesToSend() > 0 &&
                                           now - peer->closingSince < kFlushBudget)
                                           return false;
                                       c.abort(true);
                                       return true;
                                   }),
                    peers.end());
    }

    // The players' part and the world's part, as single player runs them,
    // without the pause after a switch.
    void tickWorld() {
        std::vector<PlayerState*> players;
        for (const auto& owned : peers) {
            Peer& peer = *owned;
            if (!peer.joined || peer.closing) continue;
            while (!peer.waiting.empty() && !peer.state.busy) {
                const Message request = peer.waiting.front();
                peer.waiting.pop_front();
                apply(peer, request);
            }
            const bool wasActing = peer.state.acting;
            updateAnimations(peer.state, peer.view, *grid);
            if (wasActing && !peer.state.acting) {
                restoreActionCell(peer);
                tellActionCounts(peer);
            }
            players.push_back(&peer.state);
        }
        advanceClocks(world);
        worldTick(world, players.data(), static_cast<int>(players.size()));
    }

    std::vector<CellChange> changedCells() {
        std::vector<CellChange> changes;
        for (int level = 0; level < kBandLevels; ++level)
            for (int y = 0; y < kBandColumns; ++y)
                for (int x = 0; x < kBandColumns; ++x) {
                    const std::uint8_t now = bandBlock(x, y, level);
                    std::uint8_t& told = toldBand[bandIndex(x, y, level)];
                    if (now == told) continue;
                    told = now;
                    changes.push_back(CellChange{static_cast<std::uint8_t>(x),
                                                 static_cast<std::uint8_t>(y),
                                                 static_cast<std::uint8_t>(level), now});
                }
        return changes;
    }

    void sendUpdates(Clock::time_point now) {
        Update shared;
        shared.cells = changedCells();
        if (!shared.cells.empty() && !worldDirty) {
            worldDirty = true;
            dirtySince = now;
        }
        const bool wholeBand = shared.cells.size() > kMostCellChanges;
        if (wholeBand) {
            shared.cells.clear();
            Band band;
            band.cells.assign(toldBand.begin(), toldBand.end());
            broadcast(band);
        }
        for (const auto& owned : peers) {
            Peer& peer = *owned;
            if (!peer.joined || peer.closing) continue;
            const PlayerState& p = peer.state;
            const Position at = positionOf(p);
            if (!(at == peer.told)) {
                PlayerMove move{peer.id,
                                MoveKind::Place,
                                static_cast<std::uint8_t>(at.x),
                                static_cast<std::uint8_t>(at.y),
                                static_cast<std::uint8_t>(at.level),
                                static_cast<std::uint8_t>(at.facing)};
                if (peer.stepped) {
                    move.kind = MoveKind::Step;
                } else if (at.x == peer.told.x && at.y == peer.told.y &&
                           at.level == peer.told.level) {
                    move.kind = MoveKind::Turn;
                }
                shared.moves.push_back(move);
                peer.told = at;
            }
            peer.stepped = false;
            const std::uint8_t sheet = sheetNumber(p.spriteSheet);
            if (sheet != peer.toldSheet) {
                peer.toldSheet = sheet;
                if (p.spriteSheet != SpriteSheet::Walking)
                    shared.sheets.push_back({peer.id, sheet});
            }
            if (p.spriteRow != peer.toldLook || p.spriteGroup != peer.toldGroup) {
                peer.toldLook = static_cast<std::uint8_t>(p.spriteRow);
                peer.toldGroup = static_cast<std::uint8_t>(p.spriteGroup);
                shared.looks.push_back({peer.id, peer.toldLook, peer.toldGroup});
            }
        }
        const Clocks clocks = clocksNow();
        if (clocks.nightLevel != toldClocks.nightLevel ||
            clocks.weatherActive != toldClocks.weatherActive ||
            clocks.weatherKind != toldClocks.weatherKind ||
            clocks.snowCover != toldClocks.snowCover || now - clocksSent >= kClocksEvery) {
            shared.clocks = clocks;
            clocksSent = now;
        }
        toldClocks = clocks;

        for (const auto& owned : peers) {
            Peer& peer = *owned;
            if (!peer.joined || peer.closing) continue;
            Update own = shared;
            for (CellChange& cell : peer.restore) {
                cell.block = bandBlock(cell.x, cell.y, cell.level);
                own.cells.push_back(cell);
            }
            peer.restore.clear();
            if (own.cells.size() > kMostCellChanges) {
                // More than an update holds, and none may be lost: the band says
                // every cell, this player's put-back ones included.
                Band band;
                band.cells.assign(toldBand.begin(), toldBand.end());
                peer.link->send(band);
                own.cells.clear();
            }
            if (peer.correct) {
                peer.correct = false;
                const Position at = positionOf(peer.state);
                own.moves.erase(
                    std::remove_if(own.moves.begin(), own.moves.end(),
                                   [&](const PlayerMove& m) { return m.id == peer.id; }),
                    own.moves.end());
                own.moves.push_back(
                    PlayerMove{peer.id, MoveKind::Place, static_cast<std::uint8_t>(at.x),
                               static_cast<std::uint8_t>(at.y), static_cast<std::uint8_t>(at.level),
                               static_cast<std::uint8_t>(at.facing)});
            }
            for (int b = 0; b < kBlockTypes; ++b) {
                const std::int32_t count = peer.state.blockCounts[b];
                if (count == peer.toldCounts[b] && !peer.tellCounts[b]) continue;
                peer.toldCounts[b] = count;
                own.stock.push_back(StockCount{static_cast<std::uint8_t>(b),
                                               static_cast<std::uint32_t>(clampTo(
                                                   count, 0, static_cast<int>(kLargestThree)))});
            }
            peer.tellCounts.reset();
            if (!own.empty()) peer.link->send(own);
        }
    }

    // What this tick queued leaves now, not at the next tick's wait: a look
    // over every socket that waits for nothing, so no reply sits out a tick.
    void flush() {
        pollSet.clear();
        bool any = false;
        for (const auto& peer : peers) {
            Client& c = peer->link->client();
            if (c.isConnected() && c.bytesToSend() > 0) {
                pollSet.add(c);
                any = true;
            }
        }
        if (!any) return;
        try {
            pollSet.wait(0);
        } catch (const std::exception& e) {
            log(std::string("sending failed: ") + e.what());
        }
    }

    // ---- the console

    void countTick(Clock::duration work) {
        const auto micros = std::chrono::duration_cast<std::chrono::microseconds>(work).count();
        tickMicros[ticks % kTickTimesKept] =
            static_cast<std::uint32_t>(std::min<long long>(micros, UINT32_MAX));
        ++ticks;
    }

    // One line, parsed by the capacity script: keep its form.
    std::string statsLine() const {
        const std::size_t kept =
            static_cast<std::size_t>(std::min<std::uint64_t>(ticks, kTickTimesKept));
        std::vector<std::uint32_t> times(tickMicros.begin(), tickMicros.begin() + kept);
        const auto percentile = [&](int p) {
            if (times.empty()) return 0.0;
            const std::size_t at = std::min(times.size() - 1, times.size() * p / 100);
            std::nth_element(times.begin(), times.begin() + at, times.end());
            return times[at] / 1000.0;
        };
        const double p50 = percentile(50), p99 = percentile(99);
        char line[160];
        std::snprintf(line, sizeof line,
                      "stats: ticks %llu, tick p50 %.2f ms, p99 %.2f ms, players %d",
                      static_cast<unsigned long long>(ticks), p50, p99, joinedCount.load());
        return line;
    }

    void runCommands() {
        std::vector<std::string> lines;
        {
            std::lock_guard<std::mutex> lock(commandsLock);
            lines.swap(commands);
        }
        for (const std::string& line : lines) runCommand(line);
    }

    void runCommand(const std::string& line) {
        std::istringstream words(line);
        std::string verb, rest;
        words >> verb;
        std::getline(words >> std::ws, rest);
        // A name typed with a blank after it is still that name.
        rest = trimmed(rest);
        if (verb.empty()) return;
        if (verb == "list") {
            std::string text = std::to_string(joinedCount.load()) + " of " +
                               std::to_string(config.maxPlayers) + " players";
            for (const auto& peer : peers)
                if (peer->joined && !peer->closing)
                    text += "; " + peer->name + " " + peer->address + " " +
                            std::to_string(peer->pingMs) + " ms";
            log(text);
        } else if (verb == "say") {
            Announcement line{rest.substr(0, kChatRule.longest)};
            if (problemWith(line).empty()) {
                broadcast(line);
                log("[server] " + line.text);
            } else {
                log("say: " + problemWith(line));
            }
        } else if (verb == "kick") {
            if (Peer* peer = findPlayer(rest)) {
                close(*peer, Reason::Kicked, "", "kicked");
            } else {
                log("kick: nobody called " + rest);
            }
        } else if (verb == "ban" || verb == "unban") {
            if (rest.empty()) return log(verb + ": a name or an address, please");
            const bool ban = verb == "ban";
            log(config.setBanned(rest, ban));
            if (ban) {
                for (const auto& peer : peers)
                    if (!peer->closing &&
                        (lowered(peer->name) == lowered(rest) || peer->address == rest)) {
                        if (peer->joined) {
                            close(*peer, Reason::Banned, "", "banned");
                        } else {
                            close(*peer, Reason::Banned);
                        }
                    }
            }
        } else if (verb == "whitelist") {
            log(config.whitelistCommand(rest));
        } else if (verb == "stats") {
            log(statsLine());
        } else if (verb == "save") {
            if (saveNow(true)) log("saved " + worldPath);
        } else if (verb == "forget") {
            forget(rest);
        } else if (verb == "stop") {
            stopFlag = true;
        } else {
            log("unknown command " + verb +
                " (list, say TEXT, kick NAME, ban NAME|ADDRESS, unban NAME|ADDRESS, whitelist "
                "on|off|add NAME|remove NAME, forget NAME [drop], stats, save, stop)");
        }
    }
};

Server::Server(ServerOptions options) : impl_(std::make_unique<Impl>()) {
    impl_->options = std::move(options);
}

Server::~Server() { stop(); }

bool Server::start() {
    Impl& s = *impl_;
    if (s.running) return true;
    const std::string& folder = s.options.worldFolder;
    if (::mkdir(folder.c_str(), 0755) != 0 && errno != EEXIST) {
        s.log("cannot make the world folder " + folder + ": " + std::strerror(errno));
        return false;
    }
    if (s.lock.take(folder) != WorldLock::Outcome::Taken) {
        s.log("cannot host " + folder + ": " +
              (s.lock.error().empty() ? "another game or server has it" : s.lock.error()));
        return false;
    }
    s.worldPath = folder + "/world.ini";
    s.playersFolder = folder + "/players";
    std::string problem;
    s.config = readServerConfig(folder, problem);
    if (!problem.empty()) {
        s.log("cannot host " + folder + ": " + problem);
        s.lock.release();
        return false;
    }
    if (s.options.maxPlayers >= 0) s.config.maxPlayers = s.options.maxPlayers;
    s.config.maxPlayers = clampTo(s.config.maxPlayers, 0, static_cast<int>(kLastPlayerId) + 1);
    // Connections stay well below the descriptor limit, or its last ones
    // would go to idle strangers and the saves would find none left.
    const int limit = descriptorLimit(), open = openDescriptors();
    const int room = limit - open - kDescriptorsKept;
    if (room < 2) {
        s.log("cannot host " + folder + ": the limit of " + std::to_string(limit) +
              " open files leaves no room for connections");
        s.lock.release();
        return false;
    }
    s.loginCap = std::min(std::max(s.config.maxPlayers, 32), std::max(1, room / 2));
    s.connectionCap = std::min(s.config.maxPlayers + s.loginCap, room);
    s.log("open files: " + std::to_string(limit) + " allowed, " + std::to_string(open) + " open, " +
          std::to_string(kDescriptorsKept) + " kept for saving: room for " +
          std::to_string(s.connectionCap) + " connections, " + std::to_string(s.loginCap) +
          " of them logging in");
    s.started = Clock::now();
    s.namesKnown = s.countRecords();
    if (!s.loadWorld()) return false;
    try {
        s.listener = std::make_unique<Listener>(Ipv4Address(), s.options.port);
    } catch (const std::exception& e) {
        s.log("cannot listen on port " + std::to_string(s.options.port) + ": " + e.what());
        return false;
    }
    s.boundPort = s.listener->port();
    s.nextTick = s.clocksSent = Clock::now();
    s.running = true;
    s.log("listening on port " + std::to_string(s.boundPort.load()) + " with " + s.worldPath +
          ", at most " + std::to_string(s.config.maxPlayers) + " players");
    return true;
}

std::uint16_t Server::port() const { return impl_->boundPort; }

void Server::runTick() {
    Impl& s = *impl_;
    if (!s.running) return;
    auto now = Clock::now();
    const auto wait =
        s.options.paced ? std::chrono::duration_cast<milliseconds>(s.nextTick - now).count() : 0;
    s.pollSet.clear();
    s.pollSet.add(*s.listener);
    for (const auto& peer : s.peers) s.pollSet.add(peer->link->client());
    try {
        s.pollSet.wait(static_cast<int>(std::max<long long>(0, wait)));
    } catch (const std::exception& e) {
        s.log(std::string("waiting on the connections failed: ") + e.what());
    }
    // The tick's own work is timed apart from its two waits.
    now = Clock::now();
    const auto readStart = now;
    if (s.pollSet.listenerReady()) s.acceptWaiting(now);
    s.readAll(now);
    // The first exchange and the login are answered at once: a join that
    // waited for the tick at each of its round trips would take three.
    s.flush();
    const auto readTime = Clock::now() - readStart;
    if (s.options.paced) std::this_thread::sleep_until(s.nextTick);
    s.nextTick += kTick;
    now = Clock::now();
    const auto workStart = now;
    if (s.nextTick < now - seconds(1)) s.nextTick = now;  // no burst of ticks after a stall
    s.runCommands();
    s.tickWorld();
    s.sendUpdates(now);
    s.checkTimes(now);
    s.dropClosed(now);
    s.flush();
    s.autosave(now);
    s.countTick(readTime + (Clock::now() - workStart));
}

bool Server::run() {
    while (!impl_->stopFlag) runTick();
    return stop();
}

void Server::requestStop() { impl_->stopFlag = true; }

bool Server::stopRequested() const { return impl_->stopFlag; }

bool Server::stop() {
    Impl& s = *impl_;
    if (!s.running) return true;
    s.running = false;
    for (const auto& peer : s.peers) s.close(*peer, Reason::ServerStopped, "", "server stopped");
    // The goodbyes get a moment to leave; nobody is waited on for long.
    const auto until = Clock::now() + milliseconds(500);
    for (;;) {
        bool pending = false;
        s.pollSet.clear();
        for (const auto& peer : s.peers) {
            Client& c = peer->link->client();
            if (c.isConnected() && c.bytesToSend() > 0) {
                s.pollSet.add(c);
                pending = true;
            }
        }
        if (!pending || Clock::now() >= until) break;
        try {
            s.pollSet.wait(20);
        } catch (const std::exception&) {
            break;
        }
    }
    for (const auto& peer : s.peers) peer->link->client().abort(true);
    s.peers.clear();
    const bool saved = s.saveNow(false);
    s.listener.reset();
    s.lock.release();
    s.log(saved ? "stopped; world saved" : "stopped; the world could not be saved");
    return saved;
}

void Server::command(const std::string& line) {
    std::lock_guard<std::mutex> lock(impl_->commandsLock);
    impl_->commands.push_back(line);
}

int Server::playerCount() const { return impl_->joinedCount; }

void Server::adopt(std::unique_ptr<Client> client) {
    if (impl_->running) impl_->take(std::move(client), Clock::now());
}

// The wire's largest whole number is reached after some 47 days of uptime:
// the stamp wraps before it, and a round trip is counted across the wrap.
std::uint32_t pingStamp(std::chrono::milliseconds sinceStart) {
    return static_cast<std::uint32_t>(static_cast<std::uint64_t>(sinceStart.count()) %
                                      (std::uint64_t{kLargestInt} + 1));
}

std::uint32_t roundTripMs(std::uint32_t stampNow, std::uint32_t echoed) {
    const std::uint64_t span = std::uint64_t{kLargestInt} + 1;
    return static_cast<std::uint32_t>((stampNow + span - echoed % span) % span);
}
