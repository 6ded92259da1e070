// tessaria_worldshot [--kind island|flat|empty|starter] [--seed N] <file.png>
// A picture of a new world from the generated tiles, drawn without the game
// or a display: for judging the generator by eye and for the docs.
#include <getopt.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "tools/file_formats.h"
#include "tools/scene.h"
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

}  // namespace

int main(int argc, char** argv) {
    const option options[] = {{"kind", required_argument, nullptr, 'k'},
                              {"seed", required_argument, nullptr, 's'},
                              {nullptr, 0, nullptr, 0}};
    WorldKind kind = WorldKind::Island;
    std::uint32_t seed = 0;
    bool understood = true;
    for (int option; (option = getopt_long(argc, argv, "", options, nullptr)) != -1;) {
        if (option == 'k') understood = understood && kindFromName(optarg, kind);
        if (option == 's') seed = static_cast<std::uint32_t>(std::strtoll(optarg, nullptr, 10));
        if (option == '?') understood = false;
    }
    if (!understood || optind != argc - 1) {
        std::fputs(
            "usage: tessaria_worldshot [--kind island|flat|empty|starter] [--seed N] "
            "<file.png>\n",
            stderr);
        return 2;
    }
    Terrain terrain;
    generateWorld(kind, seed, terrain);
    const int edge = Terrain::kEdge;
    // Cell (0, 0) at the top of the topmost level sits at the picture's top middle.
    Image picture(64 * edge, 32 * edge + 32 * edge + 32, kSky);
    drawScene(picture, sceneOf(terrain), 32 * (edge - 1), 32 * (edge - 1));
    if (!writePng(argv[optind], picture)) {
        std::fprintf(stderr, "tessaria_worldshot: cannot write %s\n", argv[optind]);
        return 1;
    }
    return 0;
}
