// The single player's game moved on: one timer tick of it, and one game
// frame's effects, made before anything is drawn; and the game as the
// drawing reads it. Drawing then only reads.
#pragma once

#include <cstdint>

#include "rules/input.h"
#include "rules/intent.h"
#include "rules/player_state.h"
#include "rules/world_tick.h"
#include "world/world_grid.h"

enum class SkyKind : std::int32_t { Day, Overcast, Flash };
enum class FrameSound : std::int32_t { Thunder, Hurt, Splash };

// The sounds a frame asks for, in the order it asks.
struct FrameSounds {
    static constexpr int kCapacity = 3;
    FrameSound requested[kCapacity] = {};
    int count = 0;
    void add(FrameSound sound) {
        if (count < kCapacity) requested[count++] = sound;
    }
};

// What a frame must draw besides the game state itself.
struct GameFrame {
    SkyKind sky = SkyKind::Day;
    // The level scroll before this frame moved it: the world pass draws the
    // cells that come before the figure in its order with this one.
    std::int32_t scrollBefore = 0;
    FrameSounds sounds;
};

// Runs, in the order of a game frame: the lightning roll (and the thunder it
// may ask for), the world tick (with the rest sheet and the snow cover), the
// level scroll and the hurt and splash sounds. The app plays what it asks.
// In a shared world (a server's) the world's own part of the tick runs on the
// server, and only the player's part runs here.
GameFrame stepGameFrame(bool sharedWorld = false);

// The toggle pause: a real sleep in the game, a recorder in the tests.
using PauseFn = void (*)(int milliseconds);
// One timer tick of the single player, whatever screen is shown: the
// intent, the pause after each switch, the animation and the world's clocks.
void tickGame(const PlayerIntent& intent, PauseFn pause);

// Every record a game frame shows, read-only.
struct GameView {
    const WorldGrid& world;
    const PlayerState& player;
    const Camera& camera;
    const WeatherState& weather;
    const WorldClock& clock;
    const std::int32_t& levelScroll;

    BlockId cell(int x, int y, int level) const { return cellOf(world, x, y, level); }
};
GameView currentGame();
