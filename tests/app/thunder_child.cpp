// thunder_child [--no-hurt]
// Run by the thunder test with OpenAL Soft recording to a wave file (it reads
// its configuration once per process, hence a process of its own): draws one
// game frame in the rain whose lightning roll comes up 1, then, without
// --no-hurt, one frame of a hurt flash, and records the first second of the
// thunder.
#include <allegro5/allegro.h>
#include <allegro5/allegro_audio.h>
#include <allegro5/allegro_font.h>
#include <allegro5/allegro_image.h>
#include <allegro5/allegro_ttf.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "app/child_checks.h"
#include "app/main_loop.h"
#include "app/sound.h"
#include "app/startup.h"
#include "render/game_frame.h"
#include "rules/player_state.h"
#include "rules/world_tick.h"
#include "util/random.h"

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

bool startAllegro() {
    return child::check(al_init(), "al_init") && child::check(installAudio(), "installAudio") &&
           child::check(al_init_image_addon(), "image addon") &&
           child::check(al_init_font_addon(), "font addon") &&
           child::check(al_init_ttf_addon(), "ttf addon") &&
           child::check(loadFonts(), "loadFonts") && child::check(loadAssets(), "loadAssets");
}

}  // namespace

int main(int argc, char** argv) {
    const bool hurt = !(argc == 2 && std::strcmp(argv[1], "--no-hurt") == 0);
    if (!child::check(argc == 1 || !hurt, "usage: thunder_child [--no-hurt]")) return 2;
    if (!startAllegro()) return child::exitStatus();
    ALLEGRO_BITMAP* frame = al_create_bitmap(640, 480);
    if (!child::check(frame != nullptr, "no frame bitmap")) return child::exitStatus();
    al_set_target_bitmap(frame);
    setSoundRequest(recordAndPlay);
    weather.weatherActive = true;
    weather.weatherKind = WeatherKind::Rain;

    std::srand(lightningSeed());
    playGameFrame();
    child::check(requests == std::vector<std::string>{kThunder},
                 "the lightning frame asked for the thunder alone");
    // The flash lights the whole sky, where no rain streak covers it.
    child::check(pixelsOfColour(frame, 241, 250, 245) > 640 * 480 / 4,
                 "the flash lit at least a quarter of the frame");

    if (hurt) {
        player.hurtFlash = HurtFlash::Plain;
        playGameFrame();
        child::check(!requests.empty() && requests.back() == kHurt,
                     "the hurt frame asked for the hurt sound");
    }
    al_rest(kRecordSeconds);
    al_destroy_bitmap(frame);
    shutdown();  // releases the samples and finishes the wave header
    return child::exitStatus();
}
