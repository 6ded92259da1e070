// Hearing what the game plays: this test program runs itself again as a child
// whose OpenAL Soft writes everything it mixes to a wave file. OpenAL reads its
// configuration once per process, so the recording needs a fresh process.
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

// Runs the (disabled) test `childTest` of this program in a child recording to
// folder/out.wav, with `environment` added (NAME=value). True when the child
// test passed.
bool runRecordingChild(const std::filesystem::path& folder, const std::string& childTest,
                       const std::vector<std::string>& environment);
