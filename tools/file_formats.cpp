// BMP, WAV and PNG encoders; every multi-byte field is written explicitly so the
// output is identical on any host.
#include "tools/file_formats.h"

#include <algorithm>
#include <fstream>

namespace {

void putLe(std::vector<std::uint8_t>& out, std::uint32_t value, int bytes) {
    for (int i = 0; i < bytes; ++i) out.push_back(std::uint8_t(value >> (8 * i)));
}

void putBe(std::vector<std::uint8_t>& out, std::uint32_t value) {
    for (int i = 3; i >= 0; --i) out.push_back(std::uint8_t(value >> (8 * i)));
}

bool writeBytes(const std::string& path, const std::vector<std::uint8_t>& bytes) {
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    file.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    return bool(file);
}

void putChunk(std::vector<std::uint8_t>& out, const char* type,
              const std::vector<std::uint8_t>& data) {
    putBe(out, std::uint32_t(data.size()));
    std::vector<std::uint8_t> body(type, type + 4);
    body.insert(body.end(), data.begin(), data.end());
    out.insert(out.end(), body.begin(), body.end());
    putBe(out, crc32(body.data(), body.size()));
}

}  // namespace

std::uint32_t crc32(const std::uint8_t* data, std::size_t size, std::uint32_t crc) {
    crc = ~crc;
    for (std::size_t i = 0; i < size; ++i) {
        crc ^= data[i];
        for (int k = 0; k < 8; ++k) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
    }
    return ~crc;
}

std::uint32_t adler32(const std::uint8_t* data, std::size_t size) {
    std::uint32_t a = 1, b = 0;
    for (std::size_t i = 0; i < size; ++i) {
        a = (a + data[i]) % 65521u;
        b = (b + a) % 65521u;
    }
    return (b << 16) | a;
}

bool writeBmp(const std::string& path, const Image& image) {
    const std::uint32_t rowBytes = (std::uint32_t(image.width) * 3 + 3) & ~3u;
    const std::uint32_t dataBytes = rowBytes * std::uint32_t(image.height);
    std::vector<std::uint8_t> out{'B', 'M'};
    putLe(out, 54 + dataBytes, 4);
    putLe(out, 0, 4);
    putLe(out, 54, 4);
    putLe(out, 40, 4);
    putLe(out, std::uint32_t(image.width), 4);
    putLe(out, std::uint32_t(image.height), 4);
    putLe(out, 1, 2);
    putLe(out, 24, 2);
    putLe(out, 0, 4);
    putLe(out, dataBytes, 4);
    putLe(out, 2835, 4);
    putLe(out, 2835, 4);
    putLe(out, 0, 4);
    putLe(out, 0, 4);
    for (int y = image.height - 1; y >= 0; --y) {
        for (int x = 0; x < image.width; ++x) {
            Rgb c = image.get(x, y);
            out.push_back(c.b);
            out.push_back(c.g);
            out.push_back(c.r);
        }
        for (std::uint32_t pad = std::uint32_t(image.width) * 3; pad < rowBytes; ++pad)
            out.push_back(0);
    }
    return writeBytes(path, out);
}

bool writeWav(const std::string& path, const std::vector<std::int16_t>& samples, int sampleRate) {
    const std::uint32_t dataBytes = std::uint32_t(samples.size()) * 2;
    std::vector<std::uint8_t> out{'R', 'I', 'F', 'F'};
    putLe(out, 36 + dataBytes, 4);
    for (char c : std::string("WAVEfmt ")) out.push_back(std::uint8_t(c));
    putLe(out, 16, 4);
    putLe(out, 1, 2);
    putLe(out, 1, 2);
    putLe(out, std::uint32_t(sampleRate), 4);
    putLe(out, std::uint32_t(sampleRate) * 2, 4);
    putLe(out, 2, 2);
    putLe(out, 16, 2);
    for (char c : std::string("data")) out.push_back(std::uint8_t(c));
    putLe(out, dataBytes, 4);
    for (std::int16_t s : samples) putLe(out, std::uint16_t(s), 2);
    return writeBytes(path, out);
}

bool writePng(const std::string& path, const Image& image, PngAlpha alpha) {
    const bool clearBlack = alpha == PngAlpha::BlackIsClear;
    const std::size_t channels = clearBlack ? 4 : 3;
    std::vector<std::uint8_t> raw;
    raw.reserve(std::size_t(image.height) * (1 + std::size_t(image.width) * channels));
    for (int y = 0; y < image.height; ++y) {
        raw.push_back(0);
        for (int x = 0; x < image.width; ++x) {
            Rgb c = image.get(x, y);
            raw.insert(raw.end(), {c.r, c.g, c.b});
            if (clearBlack) raw.push_back(c == kClear ? 0 : 255);
        }
    }
    std::vector<std::uint8_t> zlib{0x78, 0x01};
    const std::size_t kBlock = 65535;
    for (std::size_t pos = 0; pos < raw.size() || pos == 0; pos += kBlock) {
        std::size_t len = std::min(kBlock, raw.size() - pos);
        bool last = pos + len >= raw.size();
        zlib.push_back(last ? 1 : 0);
        putLe(zlib, std::uint32_t(len), 2);
        putLe(zlib, std::uint32_t(~len & 0xFFFF), 2);
        zlib.insert(zlib.end(), raw.begin() + std::ptrdiff_t(pos),
                    raw.begin() + std::ptrdiff_t(pos + len));
        if (last) break;
    }
    putBe(zlib, adler32(raw.data(), raw.size()));

    std::vector<std::uint8_t> out{0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    std::vector<std::uint8_t> header;
    putBe(header, std::uint32_t(image.width));
    putBe(header, std::uint32_t(image.height));
    const std::uint8_t colourType = clearBlack ? 6 : 2;  // RGBA or RGB
    header.insert(header.end(), {8, colourType, 0, 0, 0});
    putChunk(out, "IHDR", header);
    putChunk(out, "IDAT", zlib);
    putChunk(out, "IEND", {});
    return writeBytes(path, out);
}
