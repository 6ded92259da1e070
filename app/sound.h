// Sound effects, each loaded the first time it is asked for.
#pragma once

#include <allegro5/allegro_audio.h>

#include <map>
#include <string>

// Samples by file name. Only files that loaded have an entry, so a missing
// file is looked for again on the next request.
struct SampleCache {
    std::map<std::string, ALLEGRO_SAMPLE*> samples;
};
extern SampleCache sampleCache;

ALLEGRO_SAMPLE* getSample(const std::string& name);
// False when the file does not load; true otherwise, whether or not a voice was free.
bool playSound(const char* name);
// Destroys every cached sample; runs in shutdown, before Allegro's own clean-up.
void releaseSamples();
