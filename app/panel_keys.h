// What the panels over the game (the inventory, the map) share: a key opens
// one, that key or Escape closes it, and the Escape that closed it is not
// seen again by the pause menu while it stays down.
#pragma once

#include <allegro5/allegro.h>

#include <cctype>
#include <string>

#include "game/key_bindings.h"

struct PanelKeys {
    bool escapeHeld = false;  // Escape closed the panel and is still down
};

// One tick's keys (the panel's key and Escape pressed this tick, and whether
// Escape is down): `open` as they leave it; true when the keys belong to the
// panel this tick, not to the player or the menus. A fresh press of Escape is
// never the one that closed the panel, however soon it follows.
inline bool updatePanelKeys(PanelKeys& keys, bool& open, bool keyPress, bool escapePress,
                            bool escapeDown, bool mayOpen, bool gameShown) {
    if (escapePress || !escapeDown) keys.escapeHeld = false;
    if (open) {
        if (keyPress || escapePress || !gameShown) open = false;
        if (escapePress) keys.escapeHeld = true;
        return true;
    }
    if (keyPress && gameShown && mayOpen) open = true;
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

// The panels' frame: a light edge around a dark inside.
inline void drawPanelFrame(int x, int y, int w, int h) {
    fillPanelRect(x, y, w, h, al_map_rgb(150, 150, 160));
    fillPanelRect(x + 1, y + 1, w - 2, h - 2, al_map_rgb(24, 27, 34));
}

// A key as the panels write it in their titles: a letter in capitals.
inline std::string panelKeyName(int key) {
    std::string name = keyName(key);
    if (name.size() == 1)
        name[0] = static_cast<char>(std::toupper(static_cast<unsigned char>(name[0])));
    return name;
}
