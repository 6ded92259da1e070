// The save mark and the title menu's word on the last save.
#include "app/save_mark.h"

#include "app/multiplayer.h"
#include "game/settings.h"
#include "game/world_save.h"
#include "render/assets.h"
#include "render/text.h"

namespace {

constexpr int kMarkTicks = 40;   // about a second
constexpr int kMarkRight = 626;  // inside the HUD frame's corner
constexpr int kMarkY = 456;
constexpr int kIconSize = 11;
constexpr int kNoteY = 392;  // under the title menu's last button

struct SaveMark {
    bool counted = false;
    std::uint32_t written = 0;
    int ticksLeft = 0;
};
SaveMark mark;

enum class LeavingNote { None, Saved, NotSaved };
LeavingNote note = LeavingNote::None;

// A diskette: its body, the metal shutter at the top and the label below.
void drawIcon(int x, int y) {
    fillRectangle(x, y, kIconSize, kIconSize, Tint{0.36f, 0.55f, 0.85f, 1});
    fillRectangle(x + 3, y, 5, 4, Tint{0.8f, 0.82f, 0.86f, 1});
    fillRectangle(x + 2, y + 6, 7, 5, Tint{1, 1, 1, 1});
}

}  // namespace

void noteSaves(std::uint32_t written, bool playing) {
    if (mark.ticksLeft > 0) --mark.ticksLeft;
    if (!playing) {
        mark.counted = false;
        return;
    }
    note = LeavingNote::None;
    // The first look only learns the count: saves made while the game was
    // not shown (of the world left, at the menu) are not news here.
    if (mark.counted && written != mark.written) mark.ticksLeft = kMarkTicks;
    mark.counted = true;
    mark.written = written;
}

void drawSaveMark() {
    if (mark.ticksLeft <= 0 || settings.classic) return;
    const char* word = "saved";
    const int width = kIconSize + 4 + textWidth(word);
    const int x = kMarkRight - width;
    drawTextBacking(x, kMarkY, width);
    drawIcon(x, kMarkY + (textLineHeight() - kIconSize) / 2);
    drawText(word, x + kIconSize + 4, kMarkY);
}

void saveOnLeaving() {
    note = LeavingNote::None;
    if (isJoined() || !worldInPlay()) return;
    note = saveWorld() ? LeavingNote::Saved : LeavingNote::NotSaved;
}

void drawLeavingNote() {
    if (note == LeavingNote::None) return;
    const char* text = note == LeavingNote::Saved ? "World saved" : "The world could not be saved";
    drawOverlayText(text, (kScreenWidth - textWidth(text)) / 2, kNoteY);
}
