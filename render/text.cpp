// Text in the game's fonts. A missing font draws nothing: Allegro aborts on a
// null font, and a start-up without its font file should still run.
#include "render/text.h"

#include <allegro5/allegro_font.h>

#include "game/settings.h"
#include "render/assets.h"

namespace {

// One white pixel, stretched and tinted into every backing. Made when first
// drawn, so that with a window it is a picture of the window's kind.
ALLEGRO_BITMAP* backingPixel = nullptr;

// A cut before byte `at` would break a character in two (a dot, a world's
// name in another script).
bool isInsideCharacter(const std::string& text, std::size_t at) {
    return at < text.size() && (static_cast<unsigned char>(text[at]) & 0xC0) == 0x80;
}

void drawPlain(const ALLEGRO_FONT* font, const char* text, int x, int y) {
    if (font == nullptr) return;
    al_draw_text(font, currentTint(), x, y, 0, text);
}

}  // namespace

void fillRectangle(int x, int y, int w, int h, Tint tint) {
    if (w <= 0 || h <= 0) return;
    if (backingPixel == nullptr) {
        backingPixel = al_create_bitmap(1, 1);
        if (backingPixel == nullptr) return;
        // Allegro refuses a change of target inside a batch of drawing.
        const bool held = al_is_bitmap_drawing_held();
        if (held) al_hold_bitmap_drawing(false);
        ALLEGRO_BITMAP* target = al_get_target_bitmap();
        al_set_target_bitmap(backingPixel);
        al_clear_to_color(al_map_rgb(255, 255, 255));
        al_set_target_bitmap(target);
        if (held) al_hold_bitmap_drawing(true);
    }
    al_draw_tinted_scaled_bitmap(backingPixel, tintColour(tint), 0, 0, 1, 1, x, y, w, h, 0);
}

void drawText(const char* text, int x, int y) { drawPlain(assets.smallFont, text, x, y); }

void drawLargeText(const char* text, int x, int y) { drawPlain(assets.largeFont, text, x, y); }

int textWidth(const char* text) {
    return assets.smallFont != nullptr ? al_get_text_width(assets.smallFont, text) : 0;
}

int textLineHeight() {
    return assets.smallFont != nullptr ? al_get_font_line_height(assets.smallFont) : 0;
}

void drawOverlayText(const char* text, int x, int y) {
    if (!settings.classic) drawTextBacking(x, y, textWidth(text));
    drawText(text, x, y);
}

void drawTextBacking(int x, int y, int width) {
    if (width <= 0) return;
    drawBacking(x - kBackingMarginX, y - kBackingMarginY, width + 2 * kBackingMarginX,
                textLineHeight() + 2 * kBackingMarginY);
}

void drawBacking(int x, int y, int w, int h) { fillRectangle(x, y, w, h, kBackingTint); }

void drawOutline(int x, int y, int w, int h, Tint colour) {
    fillRectangle(x, y, w, 1, colour);
    fillRectangle(x, y + h - 1, w, 1, colour);
    fillRectangle(x, y + 1, 1, h - 2, colour);
    fillRectangle(x + w - 1, y + 1, 1, h - 2, colour);
}

void releaseTextBacking() {
    if (backingPixel != nullptr) al_destroy_bitmap(backingPixel);
    backingPixel = nullptr;
}

std::vector<std::string> wrapText(const std::string& text, int width) {
    std::vector<std::string> lines;
    std::string line;
    std::size_t at = 0;
    while (at < text.size()) {
        const std::size_t blank = text.find(' ', at);
        const std::size_t end = blank == std::string::npos ? text.size() : blank;
        std::string word = text.substr(at, end - at);
        at = end + 1;
        const std::string joined = line.empty() ? word : line + " " + word;
        if (textWidth(joined.c_str()) <= width) {
            line = joined;
            continue;
        }
        if (!line.empty()) lines.push_back(line);
        // A word too long for any line goes in pieces that fill each line.
        while (word.size() > 1 && textWidth(word.c_str()) > width) {
            std::size_t fits = word.size() - 1;
            while (fits > 1 && (isInsideCharacter(word, fits) ||
                                textWidth(word.substr(0, fits).c_str()) > width))
                --fits;
            lines.push_back(word.substr(0, fits));
            word.erase(0, fits);
        }
        line = word;
    }
    if (!line.empty() || lines.empty()) lines.push_back(line);
    return lines;
}

std::string textEndThatFits(const std::string& text, int width) {
    if (textWidth(text.c_str()) <= width) return text;
    std::vector<std::size_t> starts;
    for (std::size_t i = 1; i < text.size(); ++i)
        if (!isInsideCharacter(text, i)) starts.push_back(i);
    starts.push_back(text.size());
    // The fewest characters left out: a shorter end is never wider.
    std::size_t fits = starts.size() - 1, cut = 0;
    while (cut < fits) {
        const std::size_t middle = (cut + fits) / 2;
        if (textWidth(("..." + text.substr(starts[middle])).c_str()) <= width) fits = middle;
        else cut = middle + 1;
    }
    return "..." + text.substr(starts[fits]);
}
