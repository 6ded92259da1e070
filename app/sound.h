// Sound effects, each loaded the first time it is asked for.
#pragma once

#include <allegro5/allegro_audio.h>

#include <map>
#include <string>

#include "game/frame_step.h"

// Samples by file name. Only files that loaded have an entry, so a missing
// file is looked for again on the next request.
struct SampleCache {
    std::map<std::string, ALLEGRO_SAMPLE*> samples;
};
extern SampleCache sampleCache;

ALLEGRO_SAMPLE* getSample(const std::string& name);
// False when the file does not load; true otherwise, whether or not a voice was free.
// Played at the settings' volume; nothing sounds at volume 0.
bool playSound(const char* name);
// The gain the settings' volume gives an effect.
float effectsGain();
// Stops the voice while no effect sounds; playSound starts it again. A
// playing voice keeps the audio library's feeding thread waking a thousand
// times a second even in silence.
void quietIdleVoice();
// Destroys every cached sample; runs in shutdown, before Allegro's own clean-up.
void releaseSamples();

// The game frame's sounds go to the sample cache in the game; tests record
// them or ask for none (null).
using SoundRequestFn = bool (*)(const char* name);
void setSoundRequest(SoundRequestFn request);
// Asks for each sound a frame step returned, by its file.
void requestFrameSounds(const FrameSounds& sounds);
// The effect that lets the player hear a new volume, asked for the same way.
void requestVolumeSample();
