// The inventory panel's keys and clicks and the status line's messages,
// without a window: what must not leak into the game or the menu.
#include <gtest/gtest.h>

#include <algorithm>

#include "app/inventory_panel.h"
#include "app/status_line.h"
#include "game/settings.h"

namespace {

bool down[256] = {}, before[256] = {};
bool keyDown(int key) { return key >= 0 && key < 256 && down[key]; }
bool keyPressed(int key) { return keyDown(key) && !before[key]; }

class InventoryKeys : public ::testing::Test {
protected:
    void SetUp() override {
        settings.classic = false;
        closeInventory();
        player = PlayerState{};
        player.selectedSlot = 4;
    }
    void TearDown() override { settings = Settings{}; }
    // One tick with these keys down; true when Escape belonged to the panel.
    static bool tick(std::initializer_list<int> keys) {
        std::copy(std::begin(down), std::end(down), std::begin(before));
        for (bool& key : down) key = false;
        for (int key : keys) down[key] = true;
        return updateInventoryKeys(keyPressed, keyDown, true);
    }
    PlayerState player;
};

TEST_F(InventoryKeys, EOpensAndClosesOnThePressAndEscapeClosesWithoutReachingTheMenu) {
    tick({KeyE});
    EXPECT_TRUE(inventoryOpen());
    tick({KeyE});
    EXPECT_TRUE(inventoryOpen()) << "held, not pressed again";
    tick({});
    tick({KeyE});
    EXPECT_FALSE(inventoryOpen());
    tick({});
    tick({KeyE});
    EXPECT_TRUE(tick({KeyEscape}));
    EXPECT_FALSE(inventoryOpen());
    EXPECT_TRUE(tick({KeyEscape})) << "still held: the menu must wait for a new press";
    EXPECT_FALSE(tick({}));
    EXPECT_FALSE(tick({KeyEscape})) << "a new press goes to the menu";
}

TEST_F(InventoryKeys, AClickOnABlockPutsItInTheSelectedSlotOnlyWhileOpen) {
    int x = 0, y = 0;
    for (; y < 480 && inventoryBlockAt(x, y) != Explosive; y += 2)
        for (x = 0; x < 640 && inventoryBlockAt(x, y) != Explosive; x += 2) {
        }
    ASSERT_EQ(inventoryBlockAt(x, y), Explosive);
    updateInventoryPointer(player, x, y, false);
    updateInventoryPointer(player, x, y, true);
    EXPECT_EQ(player.hotbar[4], Empty) << "closed";
    updateInventoryPointer(player, x, y, false);
    tick({KeyE});
    updateInventoryPointer(player, x, y, true);
    EXPECT_EQ(player.hotbar[4], Explosive);
    EXPECT_EQ(inventoryBlockAt(5, 5), Empty);
    EXPECT_STREQ(blockName(inventoryBlockAt(x, y)), "explosive crate");
    EXPECT_STREQ(blockName(SnowCovered), "snow-covered ground");
    EXPECT_STREQ(blockName(Empty), "");
}

TEST_F(InventoryKeys, TheClassicGameHasNoPanelAndNoStatusLine) {
    settings.classic = true;
    tick({KeyE});
    EXPECT_FALSE(inventoryOpen());
    PlayerState before = player;
    player.autoJump = !before.autoJump;
    noteSwitches(before, player, false);
    EXPECT_EQ(statusText(player), "");
    settings.classic = false;
    EXPECT_EQ(statusText(player), before.autoJump ? "auto jump off" : "auto jump on");
}

}  // namespace
