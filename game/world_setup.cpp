// The state every run begins in: bounds, the saved world, the player's
// defaults, the weather of the run and a random start on the diagonal.
#include "game/world_setup.h"

#include "game/player_record.h"
#include "game/settings.h"
#include "game/world_file.h"
#include "game/world_save.h"
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

}  // namespace

void beginWorldSetUp() { drawWeatherTrigger(weather); }

// The order matters: the position read from the file is overwritten by the
// random start, and the random draws come in a fixed sequence. What the file
// kept of the player comes last and overrides the defaults it holds, the
// start included; the draws are made all the same, so that a seed gives the
// same weather with a kept record or without.
void setUpWorld() {
    beginSavingRun();
    world.maxX = kBandEdge;
    world.maxY = kBandEdge;
    const bool readable = loadWorld();
    player.facing = Facing::Down;
    giveStartingKit(player);
    if (randomInt(0, 5) == 3) weather.weatherActive = true;
    player.spriteGroup = 1;
    int start = randomInt(5, 15);
    placePlayer(player, camera, start, start);
    weather.weatherKind = static_cast<WeatherKind>(randomInt(1, 2));
    player.targetRaised = 1;
    player.spriteRow = 0;
    player.autoJump = true;
    if (!settings.classic) {
        // Every run of a world saves the player with it: none kept, none played.
        if (keptRecord == PlayerRecord{}) beginFirstMorning();
        applyRecord(keptRecord);
    }
    // What the run begins with counts as what the file holds: a run that only
    // looks writes nothing, even where an older file has no record yet.
    worldLoaded(readable);
}
