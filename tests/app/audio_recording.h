// Hearing what the game plays: a child program runs with OpenAL Soft writing
// everything it mixes to a wave file. OpenAL reads its configuration once per
// process, so each recording needs a fresh process.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

struct Recording {
    std::vector<float> left;  // left channel of the float32 stereo stream
    int rate = 0;
};

Recording readFloatWave(const std::filesystem::path& path);
// Seconds in which something sounds, counted in 10 ms windows.
double audibleSeconds(const Recording& recording);

// Runs `program` with `arguments` in `folder`, recording to folder/out.wav.
// True when it exited with status 0.
bool runRecordingChild(const std::filesystem::path& folder, const std::string& program,
                       const std::vector<std::string>& arguments);
