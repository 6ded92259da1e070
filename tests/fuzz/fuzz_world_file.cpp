// Arbitrary bytes as a world file: the reader must neither crash nor write
// outside the saved band, and what it read must survive saving and loading:
// the same cells and player come back, and a second save writes the same text.
#include <cstddef>
#include <cstdint>
#include <sstream>
#include <string>

#include "game/player_record.h"
#include "game/world_file.h"
#include "rules/player_state.h"
#include "world/world_grid.h"

namespace {

void load(const std::string& text) {
    std::istringstream in(text);
    readWorld(in);
}

// Values no reader keeps by accident: a load that skips a cell or a player
// line shows in the next save.
void scramble() {
    for (int level = 0; level < 20; ++level)
        for (int y = 0; y < 20; ++y)
            for (int x = 0; x < 20; ++x) setCell(x, y, level, 1000 + x + y + level);
    player.x = player.y = -12345;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    load(std::string(reinterpret_cast<const char*>(data), size));
    // Just past the band on every axis nothing is ever read into.
    if (cell(20, 0, 0) != Empty || cell(0, 20, 0) != Empty || cell(0, 0, 20) != Empty ||
        cell(0, 0, -1) != Empty)
        __builtin_trap();

    static WorldSnapshot read, reloaded;
    std::string saved, savedAgain;
    takeSnapshot(read);
    formatWorld(read, saved);
    scramble();
    load(saved);
    takeSnapshot(reloaded);
    formatWorld(reloaded, savedAgain);
    if (reloaded != read || savedAgain != saved) __builtin_trap();

    // Whatever record lines the bytes held, what was kept of them is written
    // and read back the same.
    load(std::string(reinterpret_cast<const char*>(data), size));
    const PlayerRecord kept = keptRecord;
    std::string recordText;
    formatPlayerRecord(kept, recordText);
    std::istringstream recordIn(recordText);
    if (parsePlayerRecord(recordIn) != kept) __builtin_trap();
    return 0;
}
