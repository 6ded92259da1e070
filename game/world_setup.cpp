// The state every run begins in: bounds, the saved world, the player's
// defaults, the weather of the run and a random start on the diagonal.
#include "game/world_setup.h"

#include "game/world_file.h"
#include "game/world_save.h"
#include "player/game_screen.h"
#include "player/player_state.h"
#include "player/world_tick.h"
#include "util/random.h"
#include "world/world_grid.h"

// The order matters: the position read from the file is overwritten by the
// random start, and the random draws come in a fixed sequence.
void setUpWorld() {
    beginSavingRun();
    world.maxX = kBandEdge;
    world.maxY = kBandEdge;
    worldLoaded(loadWorld());
    player.facing = Facing::Down;
    for (int slot = 0; slot < kHotbarSlots; ++slot) player.hotbar[slot] = kStartHotbar[slot];
    for (int id = 0; id < kBlockTypes; ++id) player.blockCounts[id] = kStartCount;
    if (randomInt(0, 5) == 3) weather.weatherActive = true;
    player.spriteGroup = 1;
    int start = randomInt(5, 15);
    placePlayer(start, start);
    weather.weatherKind = static_cast<WeatherKind>(randomInt(1, 2));
    player.targetRaised = 1;
    player.spriteRow = 0;
    player.autoJump = true;
    gameScreen.introShown = true;
}
