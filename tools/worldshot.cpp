// tessaria_worldshot [--kind island|flat|empty|starter] [--seed N] [--size N] <file.png>
// tessaria_worldshot --world DIR [--players] <file.png>
// A picture of a new world from the generated tiles, drawn without the game
// or a display: for judging the generator by eye and for the docs. A world
// larger than 20 x 20 is drawn whole, as a map from above. A saved world
// folder of any size and format is drawn from above as the game's map
// shows it, with the players' last places when asked.
#include <getopt.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "render/map_colours.h"
#include "tools/file_formats.h"
#include "tools/scene.h"
#include "tools/tiles.h"
#include "tools/world_folder.h"
#include "worldgen/world_kinds.h"

namespace {

constexpr Rgb kSky{150, 196, 232};

// The scene counts levels upward from its floor; the band counts them down.
Scene sceneOf(const Terrain& terrain) {
    Scene scene(Terrain::kEdge, Terrain::kEdge);
    for (int x = 0; x < Terrain::kEdge; ++x)
        for (int y = 0; y < Terrain::kEdge; ++y)
            for (int level = 0; level < Terrain::kEdge; ++level)
                scene.at(x, y, Terrain::kEdge - 1 - level) = terrain.at(x, y, level);
    return scene;
}

// The colour a block shows from above: the mean of the middle of its tile's top.
std::vector<Rgb> topColours() {
    std::vector<Rgb> colours(kBlockTypes, kSky);
    for (BlockId id = 1; id < kBlockTypes; ++id) {
        const Image tile = makeTile(id);
        int r = 0, g = 0, b = 0, count = 0;
        for (int y = 8; y <= 24; ++y)
            for (int x = 16; x <= 48; ++x) {
                const Rgb p = tile.get(x, y);
                if (p == kClear || std::abs(x - 32) / 2 + std::abs(y - 16) > 6) continue;
                r += p.r, g += p.g, b += p.b, ++count;
            }
        if (count > 0)
            colours[id] = {std::uint8_t(r / count), std::uint8_t(g / count),
                           std::uint8_t(b / count)};
    }
    return colours;
}

Rgb scaled(Rgb c, int percent) {
    auto channel = [&](int v) { return std::uint8_t(std::clamp(v * percent / 100, 0, 255)); };
    return {channel(c.r), channel(c.g), channel(c.b)};
}

// The world in the grid from above, `zoom` pixels a column: the top block's
// colour, deeper water darker, and light from the upper left on the slopes.
Image drawMap(int size, int zoom) {
    const std::vector<Rgb> colours = topColours();
    auto topOf = [](int x, int y) {
        int level = 0;
        while (level < Terrain::kEdge && cell(x, y, level) == Empty) ++level;
        return level;
    };
    Image map(size * zoom, size * zoom, kSky);
    for (int x = 0; x < size; ++x)
        for (int y = 0; y < size; ++y) {
            const int top = topOf(x, y);
            if (top == Terrain::kEdge) continue;
            const BlockId id = cell(x, y, top);
            int percent = 100 + 4 * (12 - top);  // higher ground is brighter
            if (id == Water) {
                int bottom = top;
                while (bottom < Terrain::kEdge && cell(x, y, bottom) == Water) ++bottom;
                percent = 115 - 12 * (bottom - top);
            } else if (x > 0 && y > 0) {
                percent += 12 * (topOf(x - 1, y - 1) - top);  // facing the light or away
            }
            const Rgb colour = scaled(hasTile(id) ? colours[id] : kSky, std::max(percent, 30));
            for (int i = 0; i < zoom; ++i)
                for (int j = 0; j < zoom; ++j)
                    map.pixels[std::size_t(y * zoom + j) * map.width + x * zoom + i] = colour;
        }
    return map;
}

// A saved world as the map panel draws it, `zoom` pixels a column, and a
// player's last place as the map marks another player: white ringed in black.
Image drawSavedMap(const WorldGrid& grid, const FolderWorld& read, bool players) {
    const int zoom = std::max(1, kLargestWorld / std::max(read.columns, read.rows));
    Image map(read.columns * zoom, read.rows * zoom);
    for (int x = 0; x < read.columns; ++x)
        for (int y = 0; y < read.rows; ++y) {
            const Rgb8 c = topColour(grid, x, y);
            map.fillRect(x * zoom, y * zoom, zoom, zoom, {c.r, c.g, c.b});
        }
    if (!players) return map;
    for (const auto& [name, record] : read.players) {
        if (!record.x || !record.y) continue;
        const int cx = *record.x * zoom + zoom / 2, cy = *record.y * zoom + zoom / 2;
        map.fillRect(cx - 3, cy - 3, 7, 7, {0, 0, 0});
        map.fillRect(cx - 2, cy - 2, 5, 5, {250, 250, 250});
    }
    return map;
}

int shootSavedWorld(const std::string& folder, bool players, const char* file) {
    auto grid = std::make_unique<WorldGrid>();
    FolderWorld read;
    std::string problem;
    if (!readWorldFolder(folder, *grid, read, problem)) {
        std::fprintf(stderr, "tessaria_worldshot: %s\n", problem.c_str());
        return 1;
    }
    if (!writePng(file, drawSavedMap(*grid, read, players))) {
        std::fprintf(stderr, "tessaria_worldshot: cannot write %s\n", file);
        return 1;
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    const option options[] = {
        {"kind", required_argument, nullptr, 'k'}, {"seed", required_argument, nullptr, 's'},
        {"size", required_argument, nullptr, 'z'}, {"world", required_argument, nullptr, 'w'},
        {"players", no_argument, nullptr, 'p'},    {nullptr, 0, nullptr, 0}};
    WorldKind kind = WorldKind::Island;
    std::uint32_t seed = 0;
    int size = Terrain::kEdge;
    std::string folder;
    bool players = false;
    bool understood = true;
    for (int option; (option = getopt_long(argc, argv, "", options, nullptr)) != -1;) {
        if (option == 'k') understood = understood && kindFromName(optarg, kind);
        if (option == 's') seed = static_cast<std::uint32_t>(std::strtoll(optarg, nullptr, 10));
        if (option == 'z') size = std::atoi(optarg);
        if (option == 'w') folder = optarg;
        if (option == 'p') players = true;
        if (option == '?') understood = false;
    }
    if (understood && optind == argc - 1 && !folder.empty())
        return shootSavedWorld(folder, players, argv[optind]);
    const bool large = size != Terrain::kEdge;
    if (players || !understood || optind != argc - 1 || !isWorldSize(size) ||
        (large && kind != WorldKind::Island)) {
        std::fputs(
            "usage: tessaria_worldshot [--kind island|flat|empty|starter] [--seed N] "
            "[--size 20|64|128|300 (island)] <file.png>\n"
            "       tessaria_worldshot --world DIR [--players] <file.png>\n",
            stderr);
        return 2;
    }
    Image picture;
    if (large) {
        generateIslandWorld(seed, size);
        picture = drawMap(size, std::max(1, kLargestWorld / size));
    } else {
        Terrain terrain;
        generateWorld(kind, seed, terrain);
        const int edge = Terrain::kEdge;
        // Cell (0, 0) at the top of the topmost level sits at the picture's top middle.
        picture = Image(64 * edge, 32 * edge + 32 * edge + 32, kSky);
        drawScene(picture, sceneOf(terrain), 32 * (edge - 1), 32 * (edge - 1));
    }
    if (!writePng(argv[optind], picture)) {
        std::fprintf(stderr, "tessaria_worldshot: cannot write %s\n", argv[optind]);
        return 1;
    }
    return 0;
}
