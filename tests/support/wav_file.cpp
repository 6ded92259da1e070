// The wave reader: "RIFF", a size, "WAVE", then chunks of a four-letter name,
// a size and the body, padded to even length; "fmt " tells the layout and
// "data" holds the samples, little-endian.
#include "support/wav_file.h"

#include <cstring>

#include "support/files.h"

namespace {

std::uint32_t littleEndian(const std::vector<std::uint8_t>& bytes, std::size_t at, int count) {
    std::uint32_t value = 0;
    for (int i = count - 1; i >= 0; --i) value = (value << 8) | bytes[at + i];
    return value;
}

void readSamples(const std::vector<std::uint8_t>& bytes, std::size_t at, std::size_t size,
                 Wave& wave) {
    if (wave.bitsPerSample == 16) {
        for (std::size_t i = 0; i + 1 < size; i += 2)
            wave.samples.push_back(static_cast<std::int16_t>(littleEndian(bytes, at + i, 2)));
    } else if (wave.bitsPerSample == 32) {
        for (std::size_t i = 0; i + 3 < size; i += 4) {
            float value;
            std::memcpy(&value, &bytes[at + i], 4);
            wave.floats.push_back(value);
        }
    }
}

}  // namespace

Wave readWav(const std::filesystem::path& path) {
    const std::vector<std::uint8_t> bytes = readFile(path);
    Wave wave;
    if (bytes.size() < 12 || std::memcmp(bytes.data(), "RIFF", 4) != 0 ||
        std::memcmp(bytes.data() + 8, "WAVE", 4) != 0)
        return wave;
    for (std::size_t at = 12; at + 8 <= bytes.size();) {
        const std::size_t size = littleEndian(bytes, at + 4, 4);
        if (at + 8 + size > bytes.size()) break;
        if (std::memcmp(bytes.data() + at, "fmt ", 4) == 0) {
            wave.format = static_cast<int>(littleEndian(bytes, at + 8, 2));
            wave.channels = static_cast<int>(littleEndian(bytes, at + 10, 2));
            wave.sampleRate = static_cast<int>(littleEndian(bytes, at + 12, 4));
            wave.bitsPerSample = static_cast<int>(littleEndian(bytes, at + 22, 2));
        } else if (std::memcmp(bytes.data() + at, "data", 4) == 0) {
            readSamples(bytes, at + 8, size, wave);
        }
        at += 8 + size + (size & 1);
    }
    return wave;
}
