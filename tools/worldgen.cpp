// tessaria_worldgen [--world=starter|typical|worst] <file>
// Writes a world file through the game's own writer: the starter world that
// the play command offers (the default), or one of the benchmark worlds for
// runs of the real game. The player lines name the centre column, (10, 10).
#include <cstdio>
#include <cstring>
#include <string>

#include "game/world_file.h"
#include "tools/world_scenes.h"

namespace {

// The file holds levels 0..19; in the game the player then stands on the top
// of its column, with the benchmark worlds' features beside it.
constexpr int kTypicalGround = 14;
constexpr int kWorstLevel = 0;

bool build(const std::string& which) {
    if (which == "starter") {
        buildStarterWorld();
    } else if (which == "typical") {
        buildTypicalWorld(kTypicalGround);
    } else if (which == "worst") {
        buildWorstCaseWorld(kWorstLevel);
    } else {
        return false;
    }
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    const char* const flag = "--world=";
    const std::size_t flagLength = std::strlen(flag);
    std::string which = "starter";
    bool understood = argc == 2;
    if (argc == 3 && std::strncmp(argv[1], flag, flagLength) == 0) {
        which = argv[1] + flagLength;
        understood = true;
    }
    if (!understood || !build(which)) {
        std::fprintf(stderr, "usage: tessaria_worldgen [--world=starter|typical|worst] <file>\n");
        return 2;
    }
    WorldSnapshot snapshot;
    takeSnapshot(snapshot);
    snapshot.playerX = snapshot.playerY = 10;
    snapshot.record = PlayerRecord{};  // a new world: every player starts afresh
    const char* path = argv[argc - 1];
    const int error = writeWorldFile(path, snapshot, true);
    if (error != 0) {
        std::fprintf(stderr, "tessaria_worldgen: cannot write %s: %s\n", path,
                     std::strerror(error));
        return 1;
    }
    return 0;
}
