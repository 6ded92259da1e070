// Arbitrary bytes as a world file: the reader must neither crash nor write
// outside the saved band.
#include <cstddef>
#include <cstdint>
#include <sstream>
#include <string>

#include "game/world_file.h"
#include "world/world_grid.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::istringstream in(std::string(reinterpret_cast<const char*>(data), size));
    readWorld(in);
    // Just past the band on every axis nothing is ever read into.
    if (cell(20, 0, 0) != Empty || cell(0, 20, 0) != Empty || cell(0, 0, 20) != Empty ||
        cell(0, 0, -1) != Empty)
        __builtin_trap();
    return 0;
}
