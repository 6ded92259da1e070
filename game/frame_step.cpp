// The game frame's effects on the game. The night sky, drawn between the
// lightning and the world tick, changes nothing, so it has no step here.
#include "game/frame_step.h"

#include "util/random.h"

namespace {

constexpr int kLightningChances = 300;  // one roll in 0..300 flashes

// Every frame rolls, whatever the weather, so the random sequence does not
// depend on it.
SkyKind rollLightning(FrameSounds& sounds) {
    const int roll = randomInt(0, kLightningChances);
    if (!weather.weatherActive) return SkyKind::Day;
    if (roll != 1 || weather.weatherKind != WeatherKind::Rain) return SkyKind::Overcast;
    sounds.add(FrameSound::Thunder);
    return SkyKind::Flash;
}

}  // namespace

GameFrame stepGameFrame(bool sharedWorld) {
    GameFrame frame;
    frame.sky = rollLightning(frame.sounds);
    // The level scroll only follows what the tick did, and the tick reads
    // nothing of the view, so the scroll moves after the whole tick.
    frame.scrollBefore = camera.levelScroll;
    if (sharedWorld) {
        playerPartOfTick(localWorld(), player);
    } else {
        worldTick(localWorld(), player);
    }
    followPlayerLevel(camera, player);
    if (isHurt(player.hurtFlash)) frame.sounds.add(FrameSound::Hurt);
    if (player.busy && player.onWater) frame.sounds.add(FrameSound::Splash);
    return frame;
}

void tickGame(const PlayerIntent& intent, PauseFn pause) {
    const int switches = handlePlayerInput(player, camera, intent, world);
    if (pause != nullptr)
        for (int n = 0; n < switches; ++n) pause(kTogglePauseMs);
    updateAnimations(player, camera, world);
    advanceClocks(localWorld());
}

GameView currentGame() {
    return GameView{world, player, camera, weather, worldClock, camera.levelScroll};
}
