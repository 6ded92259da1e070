// Thunder as it is heard: a game frame with lightning in the rain, drawn in a
// child process whose OpenAL Soft records everything it mixes, and the hurt
// sound that the one voice keeps out while the thunder rolls.
#include <gtest/gtest.h>

#include <allegro5/allegro.h>
#include <allegro5/allegro_audio.h>
#include <allegro5/allegro_font.h>
#include <allegro5/allegro_image.h>
#include <allegro5/allegro_ttf.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "app/audio_recording.h"
#include "app/e2e_harness.h"
#include "app/sound.h"
#include "app/startup.h"
#include "player/player_state.h"
#include "player/world_tick.h"
#include "render/game_frame.h"
#include "util/random.h"

namespace fs = std::filesystem;

namespace {

constexpr const char* kThunder = "data/sfx/sfx002.wav";
constexpr const char* kHurt = "data/sfx/sfx031.wav";
constexpr double kRecordSeconds = 1.0;

std::vector<std::string> requests;

bool recordAndPlay(const char* name) {
    requests.push_back(name);
    return playSound(name);
}

// A seed after which the next lightning roll, randomInt(0, 300), is 1.
unsigned lightningSeed() {
    randomInt(0, 0);  // the first draw seeds once; later srand calls then rule
    for (unsigned seed = 1;; ++seed) {
        std::srand(seed);
        if (randomInt(0, 300) == 1) return seed;
    }
}

int pixelsOfColour(ALLEGRO_BITMAP* bitmap, int r, int g, int b) {
    int count = 0;
    for (int y = 0; y < al_get_bitmap_height(bitmap); ++y)
        for (int x = 0; x < al_get_bitmap_width(bitmap); ++x) {
            unsigned char pr, pg, pb;
            al_unmap_rgb(al_get_pixel(bitmap, x, y), &pr, &pg, &pb);
            if (pr == r && pg == g && pb == b) ++count;
        }
    return count;
}

// The child: one game frame in the rain whose lightning roll comes up 1, then,
// unless TESSARIA_NO_HURT is set, one frame of a hurt flash; then it records
// the first second of the thunder.
TEST(ThunderChild, DISABLED_DrawsALightningFrameAndAHurtFrame) {
    ASSERT_TRUE(al_init());
    ASSERT_TRUE(installAudio());
    ASSERT_TRUE(al_init_image_addon());
    ASSERT_TRUE(al_init_font_addon());
    ASSERT_TRUE(al_init_ttf_addon());
    ASSERT_TRUE(loadFonts());
    ASSERT_TRUE(loadAssets());
    ALLEGRO_BITMAP* frame = al_create_bitmap(640, 480);
    ASSERT_NE(frame, nullptr);
    al_set_target_bitmap(frame);
    setSoundRequest(recordAndPlay);
    weather.weatherActive = true;
    weather.weatherKind = WeatherKind::Rain;

    std::srand(lightningSeed());
    drawGameFrame();
    EXPECT_EQ(requests, std::vector<std::string>{kThunder});
    // The flash lights the whole sky, where no rain streak covers it.
    EXPECT_GT(pixelsOfColour(frame, 241, 250, 245), 640 * 480 / 4);

    if (std::getenv("TESSARIA_NO_HURT") == nullptr) {
        player.hurtFlash = HurtFlash::Plain;
        drawGameFrame();
        EXPECT_EQ(requests.back(), kHurt);
    }
    al_rest(kRecordSeconds);
    al_destroy_bitmap(frame);
    shutdown();  // releases the samples and finishes the wave header
}

class Thunder : public ::testing::Test {
   protected:
    void SetUp() override {
        previous = fs::current_path();
        fs::current_path(folder.path());
    }
    void TearDown() override { fs::current_path(previous); }

    Recording record(std::vector<std::string> environment) {
        EXPECT_TRUE(runRecordingChild(
            folder.path(), "ThunderChild.DISABLED_DrawsALightningFrameAndAHurtFrame", environment));
        return readFloatWave(folder.path() / "out.wav");
    }

    RunFolder folder;
    fs::path previous;
};

// Index of the first sample that sounds.
size_t onset(const Recording& recording) {
    for (size_t i = 0; i < recording.left.size(); ++i)
        if (std::fabs(recording.left[i]) > 0.002f) return i;
    return recording.left.size();
}

double rms(const std::vector<float>& values, size_t from, size_t count) {
    double sum = 0;
    for (size_t i = from; i < from + count; ++i) sum += double(values[i]) * values[i];
    return std::sqrt(sum / count);
}

TEST_F(Thunder, ALightningFrameInTheRainIsHeardAndAHurtFrameDuringItIsNot) {
    const Recording thunderOnly = record({"TESSARIA_NO_HURT=1"});
    const Recording withHurt = record({});
    ASSERT_GT(thunderOnly.rate, 0);
    ASSERT_EQ(withHurt.rate, thunderOnly.rate);

    EXPECT_GT(audibleSeconds(thunderOnly), 0.7 * kRecordSeconds) << "the thunder was not heard";

    // Lined up at their first sound, the two recordings must be the same
    // thunder: a hurt sound mixed in would add its own signal.
    const size_t a = onset(thunderOnly), b = onset(withHurt);
    const size_t span = static_cast<size_t>(thunderOnly.rate / 2);
    ASSERT_LE(a + span, thunderOnly.left.size());
    ASSERT_LE(b + span, withHurt.left.size());
    std::vector<float> difference(span);
    for (size_t i = 0; i < span; ++i)
        difference[i] = withHurt.left[b + i] - thunderOnly.left[a + i];
    EXPECT_LT(rms(difference, 0, span), 0.05 * rms(thunderOnly.left, a, span));
}

}  // namespace
