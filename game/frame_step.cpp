// The game frame's effects on the game. The night sky, drawn between the
// lightning and the world tick, changes nothing, so it has no step here.
#include "game/frame_step.h"

#include "rules/projection.h"
#include "util/random.h"

std::int32_t levelScroll = 0;

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

// Levels outside the band keep the scroll where the last one left it.
void followPlayerLevel() {
    if (player.level >= 0 && player.level <= kBandEdge) levelScroll = levelScrollFor(player.level);
}

}  // namespace

GameFrame stepGameFrame() {
    GameFrame frame;
    frame.sky = rollLightning(frame.sounds);
    worldTick();
    frame.scrollBefore = levelScroll;
    followPlayerLevel();
    if (player.resting) player.spriteSheet = SpriteSheet::Resting;
    // Snow settles whenever the kind is snow; the world tick also asks
    // whether it is falling before it covers anything.
    if (weather.weatherKind == WeatherKind::Snow) weather.snowCover = true;
    if (isHurt(player.hurtFlash)) frame.sounds.add(FrameSound::Hurt);
    if (player.busy && player.onWater) frame.sounds.add(FrameSound::Splash);
    return frame;
}

GameView currentGame() { return GameView{world, player, camera, weather, worldClock, levelScroll}; }
