// The three sound effects, synthesised: thunder, hurt and a water splash.
#pragma once

#include <cstdint>
#include <vector>

constexpr int kSampleRate = 22050;

std::vector<std::int16_t> makeThunder();
std::vector<std::int16_t> makeHurt();
std::vector<std::int16_t> makeSplash();
