// The twin-frame harness: the generated pictures in memory bitmaps, a state
// snapshot taken before each frame, the straight frame, the snapshot put
// back, the cached frame, and a comparison of pixels, state and sounds.
#include "render/twin_frames.h"

#include <allegro5/allegro_font.h>
#include <allegro5/allegro_image.h>
#include <allegro5/allegro_ttf.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <string>

#include "app/startup.h"
#include "game/frame_step.h"
#include "game/settings.h"
#include "render/assets.h"
#include "render/cached_frame.h"
#include "render/game_frame.h"
#include "rules/player_state.h"
#include "rules/world_tick.h"
#include "support/fresh_game.h"
#include "util/random.h"

namespace {

constexpr int kSnapshotColumns = 40;  // every cell a run can touch

ALLEGRO_BITMAP* straightFrame = nullptr;
ALLEGRO_BITMAP* cachedFrame = nullptr;
bool heldKeys[256] = {};

bool scriptedKeyDown(int key) { return key >= 0 && key < 256 && heldKeys[key]; }

bool sameSounds(const FrameSounds& a, const FrameSounds& b) {
    return a.count == b.count && std::equal(a.requested, a.requested + a.count, b.requested);
}

// The game state a frame reads and writes, byte for byte.
struct GameState {
    BlockId cells[kSnapshotColumns][kSnapshotColumns * kGridLevels];
    unsigned char player[sizeof(PlayerState)];
    unsigned char camera[sizeof(Camera)];
    unsigned char weather[sizeof(WeatherState)];
    unsigned char clock[sizeof(WorldClock)];
    std::int32_t maxX, maxY;

    void take() {
        for (int x = 0; x < kSnapshotColumns; ++x)
            std::memcpy(cells[x], &world.cells[cellIndex(x, 0, kHighestLevel)], sizeof cells[x]);
        std::memcpy(player, &::player, sizeof player);
        std::memcpy(camera, &::camera, sizeof camera);
        std::memcpy(weather, &::weather, sizeof weather);
        std::memcpy(clock, &worldClock, sizeof clock);
        maxX = world.maxX;
        maxY = world.maxY;
    }
    // Through the grid's writer, so that the caches see the cells change.
    void restore() const {
        for (int x = 0; x < kSnapshotColumns; ++x)
            for (int y = 0; y < kSnapshotColumns; ++y)
                for (int level = kHighestLevel; level <= kLowestLevel; ++level)
                    setCell(x, y, level, cells[x][y * kGridLevels + level - kHighestLevel]);
        std::memcpy(&::player, player, sizeof player);
        std::memcpy(&::camera, camera, sizeof camera);
        std::memcpy(&::weather, weather, sizeof weather);
        std::memcpy(&worldClock, clock, sizeof clock);
        world.maxX = maxX;
        world.maxY = maxY;
    }
};
GameState before, afterStraight, afterCached;

// The frame step, then one of the two drawings. False when the cached
// drawing declined: the game would then draw that frame straight, and two
// straight frames always agree.
bool drawInto(ALLEGRO_BITMAP* target, bool cached, unsigned seed, FrameSounds* sounds) {
    std::srand(seed);
    al_set_target_bitmap(target);
    al_clear_to_color(al_map_rgb(0, 0, 0));
    const GameFrame frame = stepGameFrame();
    *sounds = frame.sounds;
    const GameView game = currentGame();
    if (cached) return drawCachedGameFrame(game, frame);
    drawGameFrameStraight(game, frame);
    return true;
}

::testing::AssertionResult samePixels(ALLEGRO_BITMAP* a, ALLEGRO_BITMAP* b) {
    const ALLEGRO_LOCKED_REGION* ra =
        al_lock_bitmap(a, ALLEGRO_PIXEL_FORMAT_ABGR_8888_LE, ALLEGRO_LOCK_READONLY);
    const ALLEGRO_LOCKED_REGION* rb =
        al_lock_bitmap(b, ALLEGRO_PIXEL_FORMAT_ABGR_8888_LE, ALLEGRO_LOCK_READONLY);
    int differing = 0, firstX = -1, firstY = -1;
    for (int y = 0; y < kScreenHeight; ++y) {
        const auto* pa = static_cast<const std::uint32_t*>(
            static_cast<const void*>(static_cast<const char*>(ra->data) + y * ra->pitch));
        const auto* pb = static_cast<const std::uint32_t*>(
            static_cast<const void*>(static_cast<const char*>(rb->data) + y * rb->pitch));
        for (int x = 0; x < kScreenWidth; ++x) {
            if (pa[x] == pb[x]) continue;
            if (differing++ == 0) firstX = x, firstY = y;
        }
    }
    al_unlock_bitmap(a);
    al_unlock_bitmap(b);
    if (differing == 0) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure()
           << differing << " pixels differ, the first at (" << firstX << ", " << firstY << ")";
}

}  // namespace

bool TwinFrameTest::inWindow() { return std::getenv("TESSARIA_TWIN_WINDOW") != nullptr; }

void TwinFrameTest::SetUpTestSuite() {
    ASSERT_EQ(chdir(TESSARIA_RUN_DIR), 0);
    ASSERT_TRUE(al_init());
    ASSERT_TRUE(al_init_image_addon());
    ASSERT_TRUE(al_init_font_addon());
    ASSERT_TRUE(al_init_ttf_addon());
    if (inWindow()) {
        al_set_new_bitmap_flags(0);
        app.display = al_create_display(kScreenWidth, kScreenHeight);
        ASSERT_NE(app.display, nullptr);
    } else {
        al_set_new_bitmap_flags(ALLEGRO_MEMORY_BITMAP);
    }
    ASSERT_TRUE(loadFonts());
    ASSERT_TRUE(loadAssets());
    ASSERT_TRUE(prepareRenderer());
    straightFrame = al_create_bitmap(kScreenWidth, kScreenHeight);
    cachedFrame = al_create_bitmap(kScreenWidth, kScreenHeight);
    seedRandom();
}

void TwinFrameTest::TearDownTestSuite() {
    al_set_target_bitmap(nullptr);
    al_destroy_bitmap(straightFrame);
    al_destroy_bitmap(cachedFrame);
    releaseRenderer();
    shutdown();
}

bool TwinFrameTest::classic() { return std::getenv("TESSARIA_TWIN_CLASSIC") != nullptr; }

void TwinFrameTest::SetUp() {
    settings.classic = classic();
    clearWorld();
    std::fill(std::begin(heldKeys), std::end(heldKeys), false);
    startRun(10, 10, 12);
}

void TwinFrameTest::startRun(int x, int y, int level) {
    fresh::startRun(x, y, level);
    player.spriteSheet = SpriteSheet::Standing;
    camera.levelScroll = 32 * level;
}

void TwinFrameTest::hold(std::initializer_list<int> keys, int ticks) {
    for (int key : keys) heldKeys[key] = true;
    for (int t = 0; t < ticks && !HasFatalFailure(); ++t) {
        tickGame(intentFromKeys(scriptedKeyDown), nullptr);
        compareFrame();
    }
    for (int key : keys) heldKeys[key] = false;
}

void TwinFrameTest::compareFrame() {
    frameSeed_ = frameSeed_ * 1103515245u + 12345u;
    const unsigned seed = forcedSeed_ != 0 ? forcedSeed_ : frameSeed_;
    forcedSeed_ = 0;
    before.take();
    FrameSounds straightSounds, cachedSounds;
    drawInto(straightFrame, false, seed, &straightSounds);
    afterStraight.take();
    before.restore();
    const bool cachedDrew = drawInto(cachedFrame, true, seed, &cachedSounds);
    afterCached.take();
    ++framesCompared_;
    ASSERT_TRUE(cachedDrew) << scene << ", frame " << framesCompared_
                            << ": the cached drawing declined";
    ASSERT_TRUE(samePixels(straightFrame, cachedFrame)) << scene << ", frame " << framesCompared_;
    ASSERT_EQ(std::memcmp(&afterStraight, &afterCached, sizeof afterStraight), 0)
        << scene << ", frame " << framesCompared_ << ": the game state differs after the frame";
    ASSERT_TRUE(sameSounds(cachedSounds, straightSounds)) << scene << ", frame " << framesCompared_;
}

ALLEGRO_BITMAP* TwinFrameTest::lastFrame() { return straightFrame; }

void TwinFrameTest::keepForDocs(const char* name) {
    const char* folder = std::getenv("TESSARIA_DOCS_SHOTS");
    if (folder == nullptr) return;
    const std::string path = std::string(folder) + "/" + name + ".png";
    EXPECT_TRUE(al_save_bitmap(path.c_str(), straightFrame)) << path;
}

unsigned flashSeed() {
    for (unsigned seed = 1;; ++seed) {
        std::srand(seed);
        if (randomInt(0, 300) == 1) return seed;
    }
}
