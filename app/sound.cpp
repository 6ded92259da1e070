// The sample cache: load on first use, play once on the one reserved voice.
#include "app/sound.h"

SampleCache sampleCache;

ALLEGRO_SAMPLE* getSample(const std::string& name) {
    auto found = sampleCache.samples.find(name);
    if (found != sampleCache.samples.end()) return found->second;
    if (!al_is_audio_installed()) return nullptr;
    ALLEGRO_SAMPLE* sample = al_load_sample(name.c_str());
    if (sample != nullptr) sampleCache.samples.emplace(name, sample);
    return sample;
}

bool playSound(const char* name) {
    ALLEGRO_SAMPLE* sample = getSample(name);
    if (sample == nullptr) return false;
    // With one reserved voice a request while another effect sounds is
    // dropped by the library; that is how effects keep from overlapping.
    al_play_sample(sample, 1.0f, ALLEGRO_AUDIO_PAN_NONE, 1.0f, ALLEGRO_PLAYMODE_ONCE, nullptr);
    return true;
}

void releaseSamples() {
    // The map itself outlives Allegro; it must hold nothing by then.
    for (auto& entry : sampleCache.samples) al_destroy_sample(entry.second);
    sampleCache.samples.clear();
}
