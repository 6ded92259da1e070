// The state every run begins in: bounds, the saved world, the player's
// defaults, the weather of the run and a random start on the diagonal.
#include "game/world_setup.h"

#include <algorithm>
#include <cstdio>
#include <memory>
#include <utility>

#include "game/player_record.h"
#include "game/settings.h"

#include "game/atomic_file.h"
#include "game/paths.h"
#include "game/world_file.h"
#include "game/world_save.h"
#include "game/world_store.h"
#include "rules/player_state.h"
#include "rules/world_tick.h"
#include "util/random.h"
#include "world/world_grid.h"

namespace {

// A world's first run begins in the morning under a clear sky, so that a new
// player sees the world by daylight first. The clock and the spell otherwise
// run on as they were; the trigger, drawn once per program run, keeps its say.
void beginFirstMorning() {
    worldClock.dayTick = 0;
    worldClock.nightLevel = 0;
    weather.weatherActive = false;
    weather.snowCover = false;
    weather.weatherAnimFrame = 0;
    weather.weatherTick = 0;
    weather.weatherCycles = 0;
}

// A world never played keeps at most the column its maker chose to start on.
bool neverPlayed(const PlayerRecord& record) {
    PlayerRecord start;
    start.x = record.x;
    start.y = record.y;
    start.level = record.level;
    return record == start;
}

// What a larger world's set-up read, for the rest of the set-up to use.
struct StoredLoad {
    bool found = false;    // the played folder holds a larger world
    bool readable = true;  // and it was read whole
    int startX = 0, startY = 0;
    std::unique_ptr<WorldDb> db;  // open for the run's saves
};

// A world larger than the band: its database in the played folder, made
// first from the old files when they alone are there. Its cells, bounds and
// kept record replace the world's; on a failure the world stays an empty
// band and nothing is saved.
StoredLoad loadStoredWorld() {
    StoredLoad load;
    const std::string folder = gamePaths().worldFolder;
    if (!hasStoredWorld(folder)) return load;
    load.found = true;
    keptRecord = PlayerRecord{};
    load.db = std::make_unique<WorldDb>();
    WorldDbMeta meta;
    std::string problem, text;
    bool hasRecord = false;
    if (!convertStoredWorld(folder, problem) ||
        !openWorldDb(*load.db, worldDbFile(folder), DbMode::ReadWrite, problem) ||
        !readMeta(*load.db, meta, problem) ||
        !readRecord(*load.db, kSinglePlayer, text, hasRecord, problem) ||
        !readWorldCells(*load.db, meta, world, problem)) {
        std::fprintf(stderr, "Tessaria: %s\n", problem.c_str());
        clearWorld();
        load.readable = false;
        load.db.reset();
        return load;
    }
    world.maxX = meta.columns - 1;
    world.maxY = meta.rows - 1;
    keptRecord = recordFromLines(text, std::max(meta.columns, meta.rows));
    // Without a column of its own, the world's start, else its middle.
    load.startX = keptRecord.x.value_or(meta.startX.value_or(meta.columns / 2));
    load.startY = keptRecord.y.value_or(meta.startY.value_or(meta.rows / 2));
    return load;
}

}  // namespace

void beginWorldSetUp() { drawWeatherTrigger(weather); }

// The order matters: the position read from the file is overwritten by the
// random start, and the random draws come in a fixed sequence. What the file
// kept of the player comes last and overrides the defaults it holds, the
// start included; the draws are made all the same, so that a seed gives the
// same weather with a kept record or without.
void setUpWorld() {
    beginSavingRun();
    // A larger world played before leaves cells beyond the band that a band
    // read would not overwrite.
    if (world.maxX > kBandEdge || world.maxY > kBandEdge) clearWorld();
    world.maxX = kBandEdge;
    world.maxY = kBandEdge;
    StoredLoad stored = loadStoredWorld();
    const bool readable = stored.found ? stored.readable : loadWorld();
    player.facing = Facing::Down;
    giveStartingKit(player);
    if (randomInt(0, 5) == 3) weather.weatherActive = true;
    player.spriteGroup = 1;
    int start = randomInt(5, 15);
    placePlayer(player, camera, start, start);
    // A larger world's start is its own: the diagonal may be under the sea.
    if (stored.found && stored.readable) placePlayer(player, camera, stored.startX, stored.startY);
    weather.weatherKind = static_cast<WeatherKind>(randomInt(1, 2));
    player.targetRaised = 1;
    player.spriteRow = 0;
    player.autoJump = true;
    // A larger world has no classic file to keep plain, so it keeps its player.
    if (!settings.classic || stored.found) {
        // Every run of a world saves the player with it: none kept, none played.
        const bool fresh = stored.found ? neverPlayed(keptRecord) : keptRecord == PlayerRecord{};
        if (fresh) beginFirstMorning();
        applyRecord(keptRecord);
    }
    // What the run begins with counts as what the file holds: a run that only
    // looks writes nothing, even where an older file has no record yet.
    if (stored.found) {
        storedWorldLoaded(std::move(stored.db));
    } else {
        worldLoaded(readable);
    }
}
