// The game's random numbers, drawn from the C library's generator.
#pragma once

#include <cstdint>

// Seeds once per run from the clock, or from TESSARIA_SEED when it holds a
// decimal number (reproducible runs and tests).
void seedRandom();
// Four rand() results, low 8 bits each, first one in the top byte.
std::uint32_t random32();
double randomReal(double min, double max);                   // [min, max]
std::int32_t randomInt(std::int32_t min, std::int32_t max);  // [min, max]
