// Text in the game's fonts. A missing font draws nothing: Allegro aborts on a
// null font, and a start-up without its font file should still run.
#include "render/text.h"

#include <allegro5/allegro_font.h>

#include "render/assets.h"
#include "render/tint.h"

namespace {

void drawPlain(const ALLEGRO_FONT* font, const char* text, int x, int y) {
    if (font == nullptr) return;
    al_draw_text(font, currentTint(), x, y, 0, text);
}

}  // namespace

void drawText(const char* text, int x, int y) { drawPlain(assets.smallFont, text, x, y); }

void drawLargeText(const char* text, int x, int y) { drawPlain(assets.largeFont, text, x, y); }

int textWidth(const char* text) {
    return assets.smallFont != nullptr ? al_get_text_width(assets.smallFont, text) : 0;
}
