// Writers for the three file formats the generator produces, all by hand so that
// the tool needs nothing beyond the standard library.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "tools/image.h"

// 24-bit uncompressed, bottom-up: the simplest form every image loader reads.
bool writeBmp(const std::string& path, const Image& image);
// 16-bit PCM mono.
bool writeWav(const std::string& path, const std::vector<std::int16_t>& samples, int sampleRate);
// Pictures for the outside world (contact sheet, desktop icons) are PNG; an
// icon needs real transparency where the game would key out black.
enum class PngAlpha { Opaque, BlackIsClear };
// 8-bit RGB or RGBA, deflate "stored" blocks: large, but exact and dependency-free.
bool writePng(const std::string& path, const Image& image, PngAlpha alpha = PngAlpha::Opaque);

std::uint32_t crc32(const std::uint8_t* data, std::size_t size, std::uint32_t crc = 0);
std::uint32_t adler32(const std::uint8_t* data, std::size_t size);
