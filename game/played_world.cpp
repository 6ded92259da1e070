// The open world and its claim on its folder.
#include "game/played_world.h"

#include <cstdio>
#include <cstring>
#include <ctime>

#include "game/paths.h"
#include "game/world_catalog.h"
#include "game/world_save.h"
#include "game/world_setup.h"

namespace {

std::string openFolder;  // under worldsFolder(); empty when none is open

std::int64_t now() { return static_cast<std::int64_t>(std::time(nullptr)); }

}  // namespace

void adoptWorldFromBefore() {
    // Until a world is played the world file is still the one from before the list.
    if (int error = adoptOldWorld(worldsFolder(), worldFile(), now()))
        std::fprintf(stderr, "Tessaria: cannot copy %s into %s: %s\n", worldFile().c_str(),
                     worldsFolder().c_str(), std::strerror(error));
}

bool findWorld(const std::string& name, std::string& folder) {
    const std::vector<WorldEntry> worlds = listWorlds(worldsFolder());
    for (const WorldEntry& entry : worlds)
        if (entry.folder == name) return folder = entry.folder, true;
    for (const WorldEntry& entry : worlds)
        if (entry.meta.name == name) return folder = entry.folder, true;
    return false;
}

PlayOutcome playWorld(const std::string& folder) {
    if (!openFolder.empty() && folder == openFolder) return PlayOutcome::Opened;
    std::string found;
    if (!findWorld(folder, found) || found != folder) return PlayOutcome::Missing;
    closeWorld();
    playWorldFolder(worldsFolder() + "/" + folder);
    setUpWorld();
    markPlayed(worldsFolder(), folder, now());
    openFolder = folder;
    return PlayOutcome::Opened;
}

bool closeWorld() {
    const bool saved = saveWorld();
    endSavingRun();
    openFolder.clear();
    return saved;
}

const std::string& playedWorld() { return openFolder; }

bool deleteWorld(const std::string& folder) {
    if (folder == openFolder) closeWorld();
    std::string trashedAs;
    if (int error = trashWorld(worldsFolder(), folder, trashedAs)) {
        std::fprintf(stderr, "Tessaria: cannot move %s/%s to the trash: %s\n",
                     worldsFolder().c_str(), folder.c_str(), std::strerror(error));
        return false;
    }
    return true;
}
