// Sounds as the tests hear them: the samples of a RIFF wave file, read against
// the file format itself. The asset generator writes 16-bit PCM; OpenAL Soft's
// wave back end records 32-bit float.
#pragma once

#include <cstdint>
#include <filesystem>
#include <vector>

struct Wave {
    int format = 0;  // 1 PCM, 3 float, 0xFFFE extensible
    int channels = 0, sampleRate = 0, bitsPerSample = 0;
    std::vector<std::int16_t> samples;  // 16-bit files, channels interleaved
    std::vector<float> floats;          // 32-bit files, channels interleaved
};

// Every chunk must lie within the file; reading stops at one that does not.
Wave readWav(const std::filesystem::path& path);
