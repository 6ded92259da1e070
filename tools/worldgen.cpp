// tessaria_worldgen [--kind island|flat|empty|starter] [--seed N] [--size N] <file>
// tessaria_worldgen --world=starter|typical|worst <file>
// Writes a world file through the game's own writer: a new world of any kind
// the game offers (the starter world by default), or one of the benchmark
// worlds for runs of the real game. The player lines name the start column.
#include <getopt.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "game/world_file.h"
#include "tools/world_scenes.h"
#include "worldgen/world_kinds.h"

namespace {

const char* const kUsage =
    "usage: tessaria_worldgen [--kind island|flat|empty|starter] [--seed N] [--size 20|64|128|300] "
    "<file>\n"
    "       tessaria_worldgen --world=starter|typical|worst <file>\n";

// The benchmark worlds' file holds levels 0..19; in the game the player then
// stands on the top of its column, with the worlds' features beside it.
constexpr int kTypicalGround = 14;
constexpr int kWorstLevel = 0;
constexpr int kCentre = 10;

struct Request {
    WorldKind kind = WorldKind::Starter;
    std::uint32_t seed = 0;
    int size = kBandEdge;
    std::string benchmark;  // "typical" or "worst"; empty for a kind
    std::string path;
};

bool parseSeed(const char* text, std::uint32_t& seed) {
    char* end = nullptr;
    errno = 0;
    const long long value = std::strtoll(text, &end, 10);
    if (end == text || *end != '\0' || errno != 0) return false;
    seed = static_cast<std::uint32_t>(value);  // any whole number; negative ones wrap
    return true;
}

// --world= names either a benchmark world or the starter world, as it always has.
bool parseSize(const char* text, int& size) {
    char* end = nullptr;
    const long value = std::strtol(text, &end, 10);
    if (end == text || *end != '\0' || !isWorldSize(static_cast<int>(value))) return false;
    size = static_cast<int>(value);
    return true;
}

bool parseWorld(const std::string& which, Request& request) {
    if (which == "starter") {
        request.kind = WorldKind::Starter;
    } else if (which == "typical" || which == "worst") {
        request.benchmark = which;
    } else {
        return false;
    }
    return true;
}

bool parseArguments(int argc, char** argv, Request& request) {
    const option options[] = {{"kind", required_argument, nullptr, 'k'},
                              {"seed", required_argument, nullptr, 's'},
                              {"world", required_argument, nullptr, 'w'},
                              {"size", required_argument, nullptr, 'z'},
                              {nullptr, 0, nullptr, 0}};
    opterr = 0;
    for (int option; (option = getopt_long(argc, argv, "", options, nullptr)) != -1;) {
        bool understood = false;
        if (option == 'k') understood = kindFromName(optarg, request.kind);
        if (option == 's') understood = parseSeed(optarg, request.seed);
        if (option == 'w') understood = parseWorld(optarg, request);
        if (option == 'z') understood = parseSize(optarg, request.size);
        if (!understood) return false;
    }
    if (optind != argc - 1) return false;
    request.path = argv[optind];
    return true;
}

void build(const Request& request, WorldSnapshot& snapshot) {
    if (request.benchmark.empty()) {
        Terrain terrain;
        generateWorld(request.kind, request.seed, terrain);
        snapshot.cells = terrain.cells;
        snapshot.playerX = terrain.startX;
        snapshot.playerY = terrain.startY;
        return;
    }
    if (request.benchmark == "typical") {
        buildTypicalWorld(kTypicalGround);
    } else {
        buildWorstCaseWorld(kWorstLevel);
    }
    takeSnapshot(snapshot);
    snapshot.playerX = snapshot.playerY = kCentre;
    snapshot.record = PlayerRecord{};  // a new world: every player starts afresh
}

}  // namespace

int main(int argc, char** argv) {
    Request request;
    if (!parseArguments(argc, argv, request)) {
        std::fputs(kUsage, stderr);
        return 2;
    }
    // The world file holds the 20 x 20 band alone; a larger world is a folder
    // of its own, which this tool does not write yet.
    if (request.size != kBandEdge) {
        std::fprintf(stderr,
                     "tessaria_worldgen: a %d x %d world needs the world folder form, which "
                     "comes later; only 20 x 20 worlds are written to a file\n",
                     request.size, request.size);
        return 1;
    }
    WorldSnapshot snapshot;
    build(request, snapshot);
    const int error = writeWorldFile(request.path, snapshot, true);
    if (error != 0) {
        std::fprintf(stderr, "tessaria_worldgen: cannot write %s: %s\n", request.path.c_str(),
                     std::strerror(error));
        return 1;
    }
    return 0;
}
