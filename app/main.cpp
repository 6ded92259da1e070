// Tessaria: an isometric block-building game.
#include "app/main_loop.h"
#include "app/platform.h"
#include "app/startup.h"

int main() {
    installQuitSignals();
    if (!initialise()) return -1;
    bool saved = runMainLoop();
    shutdown();
    // A world that could not be written must not look like a normal quit.
    return saved ? 0 : 1;
}
