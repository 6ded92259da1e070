// tessaria_worldgen [--kind K] [--seed N] [--size 20|64|128|300] --world DIR
// tessaria_worldgen [--kind island|flat|empty|starter] [--seed N] <file>
// tessaria_worldgen --world=starter|typical|worst <file>
// tessaria_worldgen --census --world DIR
// Writes a whole world folder as the game's list makes one, of any kind and
// size; or a 20 x 20 world file through the game's own writer: a new world of
// any kind the game offers (the starter world by default), or one of the
// benchmark worlds for runs of the real game. The player lines name the start
// column. The census counts every block of a saved world folder, in the world
// and in the players' stocks, without changing it.
#include <getopt.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <memory>
#include <string>
#include <system_error>

#include "game/world_catalog.h"
#include "game/world_file.h"
#include "tools/world_folder.h"
#include "tools/world_scenes.h"
#include "worldgen/world_kinds.h"

namespace fs = std::filesystem;

namespace {

const char* const kUsage =
    "usage: tessaria_worldgen [--kind island|flat|empty|starter] [--seed N] [--size 20|64|128|300] "
    "--world DIR\n"
    "       tessaria_worldgen [--kind island|flat|empty|starter] [--seed N] <file>\n"
    "       tessaria_worldgen --world=starter|typical|worst <file>\n"
    "       tessaria_worldgen --census --world DIR\n";

// One word a block, so that a census line splits on its blanks.
constexpr const char* kCensusNames[kBlockTypes] = {
    "air",    "grass",      "cobblestone", "explosive",   "planks",   "water",
    "earth",  "sand",       "lava",        "gravel",      "snow",     "log",
    "leaves", "brick",      "glass",       "coal_ore",    "iron_ore", "hard_rock",
    "marble", "terracotta", "gold_ore",    "mossy_stone", "ice"};

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
    std::string folder;   // the world folder to make; empty for the file form
    bool census = false;  // count the blocks of the world in `folder` instead
};

bool parseSeed(const char* text, std::uint32_t& seed) {
    char* end = nullptr;
    errno = 0;
    const long long value = std::strtoll(text, &end, 10);
    if (end == text || *end != '\0' || errno != 0) return false;
    seed = static_cast<std::uint32_t>(value);  // any whole number; negative ones wrap
    return true;
}

bool parseSize(const char* text, int& size) {
    char* end = nullptr;
    const long value = std::strtol(text, &end, 10);
    if (end == text || *end != '\0' || !isWorldSize(static_cast<int>(value))) return false;
    size = static_cast<int>(value);
    return true;
}

// With a file, --world= names either a benchmark world or the starter world,
// as it always has.
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
    const option options[] = {
        {"kind", required_argument, nullptr, 'k'},  {"seed", required_argument, nullptr, 's'},
        {"world", required_argument, nullptr, 'w'}, {"size", required_argument, nullptr, 'z'},
        {"census", no_argument, nullptr, 'c'},      {nullptr, 0, nullptr, 0}};
    opterr = 0;
    std::string world;
    for (int option; (option = getopt_long(argc, argv, "", options, nullptr)) != -1;) {
        bool understood = option == 'w' || option == 'c';
        if (option == 'c') request.census = true;
        if (option == 'k') understood = kindFromName(optarg, request.kind);
        if (option == 's') understood = parseSeed(optarg, request.seed);
        if (option == 'z') understood = parseSize(optarg, request.size);
        if (option == 'w') world = optarg;
        if (!understood) return false;
    }
    // A file given is the file form; without one, --world names the folder.
    if (optind == argc - 1) {
        request.path = argv[optind];
        return world.empty() || parseWorld(world, request);
    }
    request.folder = world;
    return optind == argc && !world.empty();
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

// Makes the world folder, refusing to write into one that holds anything:
// it may be a world.
int makeWorldFolder(const Request& request) {
    const std::string& folder = request.folder;
    std::error_code error;
    const bool there = fs::exists(folder, error);
    if (there && !(fs::is_directory(folder, error) && fs::is_empty(folder, error))) {
        std::fprintf(stderr, "tessaria_worldgen: %s is there already and not an empty folder\n",
                     folder.c_str());
        return 1;
    }
    if (!there && !fs::create_directories(folder, error) && error) {
        std::fprintf(stderr, "tessaria_worldgen: cannot make %s: %s\n", folder.c_str(),
                     error.message().c_str());
        return 1;
    }
    // Named after the folder, as the list names a world without a note.
    fs::path path = fs::absolute(folder, error).lexically_normal();
    if (!path.has_filename()) path = path.parent_path();
    const std::string name = path.filename().string();
    const int failed = writeNewWorld(folder, name.empty() ? "world" : name, request.kind,
                                     request.seed, request.size, std::time(nullptr));
    if (failed == 0) return 0;
    std::fprintf(stderr, "tessaria_worldgen: cannot write the world in %s: %s\n", folder.c_str(),
                 std::strerror(failed));
    // Only what this run wrote: the folder was empty or not there.
    for (const fs::directory_entry& entry : fs::directory_iterator(folder, error))
        fs::remove_all(entry.path(), error);
    if (!there) fs::remove(folder, error);
    return 1;
}

// Every cell of the world's columns, every level, and every player's counts.
int census(const std::string& folder) {
    auto grid = std::make_unique<WorldGrid>();
    FolderWorld read;
    std::string problem;
    if (!readWorldFolder(folder, *grid, read, problem)) {
        std::fprintf(stderr, "tessaria_worldgen: %s\n", problem.c_str());
        return 1;
    }
    std::int64_t inWorld[kBlockTypes] = {}, inStocks[kBlockTypes] = {};
    for (int x = 0; x < read.columns; ++x)
        for (int y = 0; y < read.rows; ++y)
            for (int level = kHighestLevel; level <= kLowestLevel; ++level) {
                const BlockId id = cellOf(*grid, x, y, level);
                if (isKnownBlock(id)) ++inWorld[id];
            }
    for (const auto& [name, record] : read.players)
        if (record.counts)
            for (int id = 0; id < kBlockTypes; ++id) inStocks[id] += (*record.counts)[id];
    for (int id = 1; id < kBlockTypes; ++id)
        std::printf("%d %s world=%lld stocks=%lld\n", id, kCensusNames[id],
                    static_cast<long long>(inWorld[id]), static_cast<long long>(inStocks[id]));
    return std::fflush(stdout) == 0 ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
    Request request;
    if (!parseArguments(argc, argv, request)) {
        std::fputs(kUsage, stderr);
        return 2;
    }
    if (request.census) {
        if (request.folder.empty()) {
            std::fputs(kUsage, stderr);
            return 2;
        }
        return census(request.folder);
    }
    // The world file holds the 20 x 20 band alone; a larger world is a folder
    // of its own.
    if (request.folder.empty() && request.size != kBandEdge) {
        std::fprintf(stderr,
                     "tessaria_worldgen: a %d x %d world is a world folder, not a file: make it "
                     "with --world DIR\n",
                     request.size, request.size);
        return 1;
    }
    if (request.kind == WorldKind::Starter && request.size != kBandEdge) {
        std::fputs("tessaria_worldgen: the starter world is 20 x 20 only: name another --kind\n",
                   stderr);
        return 1;
    }
    if (!request.folder.empty()) return makeWorldFolder(request);
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
