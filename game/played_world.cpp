// The open world and its claim on its folder.
#include "game/played_world.h"

#include <cstdio>
#include <cstring>
#include <ctime>
#include <memory>

#include "game/marks.h"
#include "game/paths.h"
#include "game/settings.h"
#include "game/world_catalog.h"
#include "game/world_lock.h"
#include "game/world_save.h"
#include "game/world_setup.h"
#include "rules/player_state.h"

namespace {

std::string openFolder;  // under worldsFolder(); empty when none is open
std::unique_ptr<WorldLock> openLock;
// A world's lock taken ahead of opening it (the command line's world is
// claimed before the window opens, a world to delete before it moves).
std::string claimedFolder;
std::unique_ptr<WorldLock> claimedLock;
std::string lockProblem;
std::string worldProblemText;

std::int64_t now() { return static_cast<std::int64_t>(std::time(nullptr)); }

void dropClaim() {
    claimedLock.reset();
    claimedFolder.clear();
}

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

PlayOutcome claimWorldFolder(const std::string& folder, bool toPlay) {
    if (folder == claimedFolder && claimedLock) return PlayOutcome::Opened;
    std::string found;
    if (!findWorld(folder, found) || found != folder) return PlayOutcome::Missing;
    dropClaim();
    auto lock = std::make_unique<WorldLock>();
    switch (lock->take(worldsFolder() + "/" + folder)) {
        case WorldLock::Outcome::HeldElsewhere:
            return PlayOutcome::Locked;
        case WorldLock::Outcome::Failed:
            // Unlocked, another copy could open it too and each save over the other.
            lockProblem = lock->error();
            std::fprintf(stderr, "Tessaria: %s\n", lockProblem.c_str());
            return PlayOutcome::Unlockable;
        case WorldLock::Outcome::Taken:
            break;
    }
    // Checked under the lock, so that no other copy changes it meanwhile.
    worldProblemText = toPlay ? worldProblem(worldsFolder() + "/" + folder) : "";
    if (!worldProblemText.empty()) {
        std::fprintf(stderr, "Tessaria: %s\n", worldProblemText.c_str());
        return PlayOutcome::Damaged;
    }
    claimedFolder = folder;
    claimedLock = std::move(lock);
    return PlayOutcome::Opened;
}

PlayOutcome playWorld(const std::string& folder) {
    if (!openFolder.empty() && folder == openFolder) return PlayOutcome::Opened;
    const PlayOutcome claim = claimWorldFolder(folder);
    if (claim != PlayOutcome::Opened) return claim;
    if (!openFolder.empty() && worldInPlay() && !saveWorld() && !worldFileUnreadable()) {
        dropClaim();
        return PlayOutcome::NotSaved;
    }
    closeWorld();
    openLock = std::move(claimedLock);
    dropClaim();
    playWorldFolder(worldsFolder() + "/" + folder);
    setUpWorld();
    // The first releases had no marks, and keep no file of them.
    if (!settings.classic)
        openMarks(worldMarksFile(gamePaths().worldFolder), world, player.x, player.y);
    markPlayed(worldsFolder(), folder, now());
    openFolder = folder;
    return PlayOutcome::Opened;
}

bool closeWorld() {
    // A player who quits before choosing a world has none to save.
    const bool saved = !worldInPlay() || saveWorld();
    endSavingRun();
    closeMarks();
    openLock.reset();
    openFolder.clear();
    return saved;
}

const std::string& playedWorld() { return openFolder; }

const std::string& lockFailure() { return lockProblem; }

const std::string& worldFailure() { return worldProblemText; }

PlayOutcome deleteWorld(const std::string& folder) {
    if (folder == openFolder) closeWorld();
    const PlayOutcome claim = claimWorldFolder(folder, false);
    if (claim != PlayOutcome::Opened) return claim;
    std::string trashedAs;
    const int error = trashWorld(worldsFolder(), folder, trashedAs);
    dropClaim();
    if (error == 0) return PlayOutcome::Opened;
    std::fprintf(stderr, "Tessaria: cannot move %s/%s to the trash: %s\n", worldsFolder().c_str(),
                 folder.c_str(), std::strerror(error));
    return PlayOutcome::Missing;
}

PlayOutcome restoreWorldFolder(const std::string& folder, const RestorePoint& point) {
    if (folder == openFolder && !closeWorld()) return PlayOutcome::NotSaved;
    const PlayOutcome claim = claimWorldFolder(folder, false);
    if (claim != PlayOutcome::Opened) return claim;
    const int error = restoreWorld(worldsFolder() + "/" + folder, point, now(), worldProblemText);
    dropClaim();
    if (error == 0) return PlayOutcome::Opened;
    std::fprintf(stderr, "Tessaria: cannot restore %s/%s: %s\n", worldsFolder().c_str(),
                 folder.c_str(), worldProblemText.c_str());
    return PlayOutcome::Damaged;
}
