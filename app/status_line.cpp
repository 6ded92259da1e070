// The status line: one text and its remaining ticks.
#include "app/status_line.h"

#include <allegro5/allegro_font.h>

#include "game/key_bindings.h"
#include "game/marks.h"
#include "game/settings.h"
#include "render/assets.h"
#include "render/text.h"
#include "rules/actions.h"
#include "rules/bearings.h"
#include "world/world_grid.h"

namespace {

constexpr int kStatusY = 400;     // above the hotbar strip
constexpr int kLineSpacing = 16;  // the status above the position line
constexpr int kScreenCentre = 320;

struct StatusLine {
    std::string text;
    int ticksLeft = 0;
    bool saveFailing = false;
};
StatusLine status;

// The font may lack the long dash; a plain one reads nearly as well.
std::string dash() {
    const int kLongDash = 0x2014;
    if (assets.smallFont != nullptr && al_get_glyph_width(assets.smallFont, kLongDash) > 0)
        return "\u2014";
    return "-";
}

}  // namespace

void showStatus(const std::string& text) {
    status.text = text;
    status.ticksLeft = kStatusTicks;
}

void noteSwitches(const PlayerState& before, const PlayerState& after, bool autosaveFailing) {
    if (status.ticksLeft > 0) --status.ticksLeft;
    if (after.targetRaised != before.targetRaised)
        showStatus(after.targetRaised == 1 ? "working at body height"
                                           : "working on the ground ahead");
    if (after.autoJump != before.autoJump)
        showStatus(after.autoJump ? "auto jump on" : "auto jump off");
    if (autosaveFailing && !status.saveFailing) showStatus("the world could not be saved");
    status.saveFailing = autosaveFailing;
}

namespace {

// A press still waiting for the player to be free.
struct ActionPress {
    bool waiting = false;
    void note(const PlayerState& before, ActionMode mode, bool pressed, bool held) {
        waiting = (waiting || pressed) && held;
        if (!waiting || before.busy) return;
        waiting = false;
        if (const char* why = whyActionDoesNothing(before, world, mode)) showStatus(why);
    }
};
ActionPress minePress, placePress;

}  // namespace

void noteActionKeys(const PlayerState& before, bool minePressed, bool mineHeld, bool placePressed,
                    bool placeHeld) {
    if (settings.classic) return;
    minePress.note(before, ActionMode::Mining, minePressed, mineHeld);
    placePress.note(before, ActionMode::Placing, placePressed, placeHeld);
}

std::string statusText(const PlayerState& p) {
    if (settings.classic) return "";
    if (status.ticksLeft > 0) return status.text;
    if (p.resting)
        return "resting " + dash() + " " + keyName(boundKey(Action::Rest)) + " to stand up";
    return "";
}

// Kept at once like the options' switches: a run that ends badly keeps it too.
void togglePositionLine() {
    settings.showPosition = !settings.showPosition;
    saveSettings();
}

bool positionLineShown() { return settings.showPosition; }

std::string positionText(const PlayerState& p) {
    return "column " + std::to_string(p.x) + ", row " + std::to_string(p.y) + ", height " +
           std::to_string(heightOf(p.level));
}

std::string markWayText(const PlayerState& p) {
    const Mark* mark = chosenMark();
    return mark == nullptr ? "" : mark->name + ": " + wayTo(p, mark->x, mark->y, mark->level);
}

void drawStatusLine(const PlayerState& p, bool showPosition) {
    const auto centred = [](const std::string& text, int y) {
        drawOverlayText(text.c_str(), kScreenCentre - textWidth(text.c_str()) / 2, y);
    };
    // The position stays put while messages come and go above it.
    const bool position = showPosition && settings.showPosition && !settings.classic;
    if (position) {
        const std::string way = markWayText(p);
        centred(way.empty() ? positionText(p) : positionText(p) + " - " + way, kStatusY);
    }
    const std::string text = statusText(p);
    if (!text.empty()) centred(text, position ? kStatusY - kLineSpacing : kStatusY);
}
