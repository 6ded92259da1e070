// The view key of a frame and its comparisons.
#include "render/view_key.h"

#include <algorithm>
#include <iterator>

#include "game/settings.h"
#include "render/target_outline.h"
#include "render/world_view.h"

bool SceneKey::operator==(const SceneKey& o) const {
    return worldRevision == o.worldRevision && x == o.x && y == o.y && level == o.level &&
           scrollBefore == o.scrollBefore && scrollAfter == o.scrollAfter && maxX == o.maxX &&
           maxY == o.maxY && nightLevel == o.nightLevel && cracked == o.cracked &&
           crackX == o.crackX && crackY == o.crackY && crackLevel == o.crackLevel &&
           strikes == o.strikes && targeted == o.targeted && targetX == o.targetX &&
           targetY == o.targetY && targetLevel == o.targetLevel && targetRaised == o.targetRaised &&
           classic == o.classic && viewCut == o.viewCut;
}

bool ViewKey::operator==(const ViewKey& o) const {
    return scene == o.scene && sky == o.sky && cameraX == o.cameraX && cameraY == o.cameraY &&
           weatherActive == o.weatherActive && weatherKind == o.weatherKind &&
           weatherFrame == o.weatherFrame &&
           std::equal(std::begin(hotbar), std::end(hotbar), o.hotbar) &&
           std::equal(std::begin(counts), std::end(counts), o.counts) &&
           selectedSlot == o.selectedSlot;
}

bool ViewKey::sameSky(const ViewKey& o) const {
    return sky == o.sky && scene.nightLevel == o.scene.nightLevel;
}

ViewKey viewKey(const GameView& game, const GameFrame& frame) {
    const PlayerState& p = game.player;
    ViewKey key;
    SceneKey& s = key.scene;
    s.worldRevision = game.world.revision;
    s.x = p.x;
    s.y = p.y;
    s.level = p.level;
    s.scrollBefore = frame.scrollBefore;
    s.scrollAfter = scrollAfterSprite(game, frame);
    s.maxX = game.world.maxX;
    s.maxY = game.world.maxY;
    s.nightLevel = game.clock.nightLevel;
    s.cracked = crackedCell(p, &s.crackX, &s.crackY, &s.crackLevel);
    s.strikes = p.strikes;
    TargetCell target;
    s.targeted = targetCell(game, &target);
    if (s.targeted) {
        s.targetX = target.x;
        s.targetY = target.y;
        s.targetLevel = target.level;
        s.targetRaised = target.raised;
    }
    s.classic = settings.classic;
    s.viewCut = viewCutOn();
    key.sky = frame.sky;
    key.cameraX = game.camera.offsetX;
    key.cameraY = game.camera.offsetY;
    key.weatherActive = game.weather.weatherActive;
    key.weatherKind = game.weather.weatherKind;
    key.weatherFrame = game.weather.weatherAnimFrame;
    for (int slot = 0; slot < kHotbarSlots; ++slot) {
        const BlockId id = p.hotbar[slot];
        key.hotbar[slot] = id;
        key.counts[slot] = hasTile(id) ? p.blockCounts[id] : 0;
    }
    key.selectedSlot = p.selectedSlot;
    return key;
}
