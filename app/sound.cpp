// The sample cache: load on first use, play once on the one reserved voice.
#include "app/sound.h"

#include "game/paths.h"
#include "game/settings.h"

SampleCache sampleCache;

namespace {

// What the library still holds queued after an effect's last sample; the
// voice must not stop before it has been heard.
constexpr double kVoiceTailSeconds = 0.3;
// When the last effect that started has been heard to its end.
double voiceNeededUntil = 0;

}  // namespace

ALLEGRO_SAMPLE* getSample(const std::string& name) {
    auto found = sampleCache.samples.find(name);
    if (found != sampleCache.samples.end()) return found->second;
    if (!al_is_audio_installed()) return nullptr;
    ALLEGRO_SAMPLE* sample = al_load_sample(dataFile(name).c_str());
    if (sample != nullptr) sampleCache.samples.emplace(name, sample);
    return sample;
}

float effectsGain() {
    // The ear hears loudness by ratios: the steps of a square sound more even
    // than equal steps of gain, which crowd the loud end.
    const float step = static_cast<float>(settings.soundVolume) / kFullSoundVolume;
    return step * step;
}

bool playSound(const char* name) {
    ALLEGRO_SAMPLE* sample = getSample(name);
    if (sample == nullptr) return false;
    if (settings.soundVolume <= 0) return true;
    // The voice rests while nothing sounds (quietIdleVoice); wake it first.
    ALLEGRO_MIXER* mixer = al_get_default_mixer();
    ALLEGRO_VOICE* voice = al_get_default_voice();
    if (mixer != nullptr && voice != nullptr && !al_get_voice_playing(voice))
        al_attach_mixer_to_voice(mixer, voice);
    // With one reserved voice a request while another effect sounds is
    // dropped by the library; that is how effects keep from overlapping.
    if (al_play_sample(sample, effectsGain(), ALLEGRO_AUDIO_PAN_NONE, 1.0f, ALLEGRO_PLAYMODE_ONCE,
                       nullptr)) {
        const double seconds =
            static_cast<double>(al_get_sample_length(sample)) / al_get_sample_frequency(sample);
        voiceNeededUntil = al_get_time() + seconds + kVoiceTailSeconds;
    }
    return true;
}

void quietIdleVoice() {
    if (!al_is_audio_installed()) return;
    // A voice fed by a mixer plays exactly while the mixer is attached.
    ALLEGRO_VOICE* voice = al_get_default_voice();
    if (voice != nullptr && al_get_time() > voiceNeededUntil && al_get_voice_playing(voice))
        al_detach_voice(voice);
}

void releaseSamples() {
    // The map itself outlives Allegro; it must hold nothing by then.
    for (auto& entry : sampleCache.samples) al_destroy_sample(entry.second);
    sampleCache.samples.clear();
}

namespace {

// By FrameSound.
constexpr const char* kSoundFiles[] = {
    "data/sfx/sfx002.wav",  // thunder
    "data/sfx/sfx031.wav",  // hurt
    "data/sfx/sfx042.wav",  // splash
};

SoundRequestFn soundRequest = nullptr;

}  // namespace

void setSoundRequest(SoundRequestFn request) { soundRequest = request; }

void requestFrameSounds(const FrameSounds& sounds) {
    if (soundRequest == nullptr) return;
    for (int i = 0; i < sounds.count; ++i)
        soundRequest(kSoundFiles[static_cast<int>(sounds.requested[i])]);
}

void requestVolumeSample() {
    if (soundRequest != nullptr) soundRequest(kSoundFiles[static_cast<int>(FrameSound::Splash)]);
}
