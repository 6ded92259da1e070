// The game's random numbers: the C library's generator, seeded once per run.
#include "util/random.h"

#include <cerrno>
#include <cstdlib>
#include <ctime>

namespace {

bool seeded = false;

// A decimal seed from TESSARIA_SEED fixes a run for tests and reproducible
// play; anything else there is ignored and the clock decides.
bool seedFromEnvironment(unsigned* seed) {
    const char* text = std::getenv("TESSARIA_SEED");
    if (text == nullptr || *text == '\0') return false;
    char* end = nullptr;
    errno = 0;
    unsigned long long value = std::strtoull(text, &end, 10);
    if (errno != 0 || *end != '\0') return false;
    *seed = static_cast<unsigned>(value);
    return true;
}

}  // namespace

void seedRandom() {
    if (seeded) return;
    seeded = true;
    unsigned seed = 0;
    if (!seedFromEnvironment(&seed)) seed = static_cast<unsigned>(std::time(nullptr));
    std::srand(seed);
}

std::uint32_t random32() {
    std::uint32_t value = static_cast<std::uint32_t>(std::rand()) << 24;
    value |= (static_cast<std::uint32_t>(std::rand()) & 0xFFu) << 16;
    value |= (static_cast<std::uint32_t>(std::rand()) & 0xFFu) << 8;
    value |= static_cast<std::uint32_t>(std::rand()) & 0xFFu;
    return value;
}

double randomReal(double min, double max) {
    seedRandom();
    double u = random32() / 4294967295.0;
    return u * (max - min) + min;
}

std::int32_t randomInt(std::int32_t min, std::int32_t max) {
    seedRandom();
    double u = random32() / 4294967296.0;
    return static_cast<std::int32_t>(u * (static_cast<double>(max) - min + 1.0) + min);
}
