// Tessaria: an isometric block-building game.
#include <cstdio>
#include <string>

#include "app/main_loop.h"
#include "app/multiplayer.h"
#include "app/platform.h"
#include "app/startup.h"

int main(int argc, char** argv) {
    JoinRequest join;
    bool joining = false;
    std::string world, error;
    if (!parseArguments(argc, argv, join, joining, world, error)) {
        std::fprintf(stderr, "Tessaria: %s\n", error.c_str());
        return 2;
    }
    installQuitSignals();
    // Refused before any window opens: no home folder, or the world asked for
    // missing or open in another copy of the game.
    if (!claimWorld(world)) return 1;
    if (!initialise()) return -1;
    if (joining) joinFromCommandLine(join);
    bool saved = runMainLoop();
    shutdown();
    // A world that could not be written must not look like a normal quit.
    return saved ? 0 : 1;
}
