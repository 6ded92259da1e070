// sound_child <name,name,...> <seconds>
// Run by the sound tests with OpenAL Soft recording to a wave file (it reads
// its configuration once per process, hence a process of its own): plays the
// requests one after another on the one reserved voice, lets them sound for
// the given seconds, and fails when a request after the first found a voice.
//
// sound_child --after-rest <name> <seconds>
// Plays the effect as the game does, lets it sound, rests the voice as the
// game does in silence, and plays it again; fails when the voice ran on.
#include <allegro5/allegro.h>
#include <allegro5/allegro_audio.h>

#include <algorithm>
#include <cstdlib>
#include <string>
#include <vector>

#include "app/child_checks.h"
#include "app/sound.h"
#include "app/startup.h"

namespace {

std::vector<std::string> splitAtCommas(const std::string& text) {
    std::vector<std::string> names;
    for (std::size_t at = 0; at <= text.size();) {
        std::size_t comma = std::min(text.find(',', at), text.size());
        names.push_back(text.substr(at, comma - at));
        at = comma + 1;
    }
    return names;
}

int playAgainAfterRest(const std::string& name, double seconds) {
    child::check(playSound(name.c_str()), name + " did not load");
    al_rest(seconds);
    quietIdleVoice();
    child::check(!al_get_voice_playing(al_get_default_voice()), "the voice runs in silence");
    child::check(playSound(name.c_str()), name + " did not load again");
    al_rest(seconds);
    releaseSamples();
    al_uninstall_audio();
    return child::exitStatus();
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 4 && std::string(argv[1]) == "--after-rest") {
        if (!child::check(al_init(), "al_init") || !child::check(installAudio(), "installAudio"))
            return child::exitStatus();
        return playAgainAfterRest(argv[2], std::atof(argv[3]));
    }
    if (!child::check(argc == 3, "usage: sound_child <name,name,...> <seconds>")) return 2;
    if (!child::check(al_init(), "al_init") || !child::check(installAudio(), "installAudio"))
        return child::exitStatus();
    const std::vector<std::string> names = splitAtCommas(argv[1]);
    for (std::size_t i = 0; i < names.size(); ++i) {
        ALLEGRO_SAMPLE* sample = getSample(names[i]);
        if (!child::check(sample != nullptr, names[i] + " did not load")) continue;
        bool played = al_play_sample(sample, 1.0f, ALLEGRO_AUDIO_PAN_NONE, 1.0f,
                                     ALLEGRO_PLAYMODE_ONCE, nullptr);
        child::check(played == (i == 0), names[i] + (played ? " found a voice" : " found none"));
    }
    al_rest(std::atof(argv[2]));
    releaseSamples();
    al_uninstall_audio();  // finishes the wave header
    return child::exitStatus();
}
