// Tessaria: an isometric block-building game.
#include <cstring>
#include <string>

#include "app/main_loop.h"
#include "app/platform.h"
#include "app/startup.h"

namespace {

// The world named by --world NAME (or --world=NAME); empty without one.
std::string worldArgument(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--world") == 0 && i + 1 < argc) return argv[i + 1];
        if (std::strncmp(argv[i], "--world=", 8) == 0) return argv[i] + 8;
    }
    return std::string();
}

}  // namespace

int main(int argc, char** argv) {
    installQuitSignals();
    // Refused before any window opens: no home folder, or the world asked for
    // missing or open in another copy of the game.
    if (!claimWorld(worldArgument(argc, argv))) return 1;
    if (!initialise()) return -1;
    bool saved = runMainLoop();
    shutdown();
    // A world that could not be written must not look like a normal quit.
    return saved ? 0 : 1;
}
