// What the panels over the game (the inventory, the map) share: a key opens
// one, that key or Escape closes it, and the Escape that closed it is not
// seen again by the pause menu while it stays down.
#pragma once

#include <allegro5/allegro.h>

struct PanelKeys {
    bool keyWasDown = false;
    bool escapeWasDown = false;
    bool escapeHeld = false;  // Escape closed the panel and is still down
};

// One tick's keys: `open` as they leave it; true when the keys belong to the
// panel this tick, not to the player or the menus.
inline bool updatePanelKeys(PanelKeys& keys, bool& open, bool key, bool escape, bool mayOpen,
                            bool gameShown) {
    const bool keyPressed = key && !keys.keyWasDown;
    const bool escapePressed = escape && !keys.escapeWasDown;
    keys.keyWasDown = key;
    keys.escapeWasDown = escape;
    if (!escape) keys.escapeHeld = false;
    if (open) {
        if (keyPressed || escapePressed || !gameShown) open = false;
        if (escapePressed) keys.escapeHeld = true;
        return true;
    }
    if (keyPressed && gameShown && mayOpen) open = true;
    return keys.escapeHeld;
}

// A plain rectangle of the panels, drawn by clipping a clear.
inline void fillPanelRect(int x, int y, int w, int h, ALLEGRO_COLOR colour) {
    int cx, cy, cw, ch;
    al_get_clipping_rectangle(&cx, &cy, &cw, &ch);
    al_set_clipping_rectangle(x, y, w, h);
    al_clear_to_color(colour);
    al_set_clipping_rectangle(cx, cy, cw, ch);
}
