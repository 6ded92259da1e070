// Lays the assets out in rows, widest pictures on their own rows, with a 2x
// enlargement of the tiles so their pixels can be judged.
#include "tools/contact_sheet.h"

#include <algorithm>

#include "tools/palette.h"

namespace {

constexpr int kSheetWidth = 1320, kGap = 8;

void checker(Image& img) {
    for (int y = 0; y < img.height; ++y)
        for (int x = 0; x < img.width; ++x)
            img.set(x, y, ((x / 8) + (y / 8)) % 2 ? hex(0x9a9aa0) : hex(0xb0b0b6));
}

}  // namespace

Image composeContactSheet(const std::vector<NamedImage>& assets) {
    std::vector<Image> items;
    for (const NamedImage& a : assets) {
        const bool small = a.image.width <= 256 && a.image.height <= 64;
        items.push_back(small ? enlarged(a.image, 2) : a.image);
    }
    // Flow layout: place left to right, wrap when a row is full.
    struct Place {
        int x, y;
    };
    std::vector<Place> places;
    int x = kGap, y = kGap, rowHeight = 0;
    for (const Image& item : items) {
        if (x + item.width + kGap > kSheetWidth && x > kGap) {
            x = kGap;
            y += rowHeight + kGap;
            rowHeight = 0;
        }
        places.push_back({x, y});
        x += item.width + kGap;
        rowHeight = std::max(rowHeight, item.height);
    }
    Image sheet(kSheetWidth, y + rowHeight + kGap);
    checker(sheet);
    for (std::size_t i = 0; i < items.size(); ++i) sheet.blit(items[i], places[i].x, places[i].y);
    return sheet;
}
