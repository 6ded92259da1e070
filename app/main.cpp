// Tessaria: an isometric block-building game.
#include "app/main_loop.h"
#include "app/platform.h"
#include "app/startup.h"

int main() {
    installQuitSignals();
    // Refused before any window opens: no home folder, or the world already
    // open in another copy of the game.
    if (!claimWorld()) return 1;
    if (!initialise()) return -1;
    bool saved = runMainLoop();
    shutdown();
    // A world that could not be written must not look like a normal quit.
    return saved ? 0 : 1;
}
