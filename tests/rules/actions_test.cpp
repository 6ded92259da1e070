// Mining and placing, driven through the keys, the animation and the world
// tick as the game runs them.
#include <gtest/gtest.h>

#include "game/key_bindings.h"
#include "rules/actions.h"
#include "support/fresh_game.h"

using namespace fresh;

namespace {

constexpr int kGround = 5;  // the player stands on level 5 at (10, 10)
constexpr int kBody = 4;    // the action cell's level with targetRaised 1
const Column kAhead{10, 11};

}  // namespace

class Actions : public ::testing::Test {
protected:
    void SetUp() override {
        startGame(10, 10, kGround);
        setCell(10, 10, kGround, Cobblestone);
        worldTick();
    }

    // Holds a key for whole actions of 17 ticks, then lets go for a tick.
    void act(int key, int actions) {
        hold(key);
        playTicks(17 * actions);
        release(key);
        playTick();
    }

    BlockId ahead(int level) { return cell(kAhead.x, kAhead.y, level); }
};

TEST_F(Actions, HoldingRightCtrlBreaksTheBlockAheadAtTheEndOfTheThirdAction) {
    setCell(kAhead.x, kAhead.y, kBody, Brick);
    worldTick();
    hold(KeyRightCtrl);
    playTicks(16);
    EXPECT_EQ(player.strikes, 0);
    playTick();
    EXPECT_EQ(player.strikes, 1);
    playTicks(17);
    EXPECT_EQ(player.strikes, 2);
    playTicks(16);
    EXPECT_EQ(ahead(kBody), 13);
    EXPECT_EQ(player.blockCounts[13], 100);
    playTick();  // tick 51
    EXPECT_EQ(ahead(kBody), Empty);
    EXPECT_EQ(player.blockCounts[13], 101);
    EXPECT_EQ(player.strikes, 0);
}

TEST_F(Actions, ARemappedMiningKeyMinesAndTheOldKeyNoLongerDoes) {
    constexpr int kKeyM = 13;
    keyBindings.key[static_cast<int>(Action::Mine)] = kKeyM;
    setCell(kAhead.x, kAhead.y, kBody, Brick);
    worldTick();
    act(KeyRightCtrl, 2);
    EXPECT_EQ(player.strikes, 0);
    act(kKeyM, 3);
    EXPECT_EQ(ahead(kBody), Empty);
    keyBindings = KeyBindings{};
}

TEST_F(Actions, APlacingActionCountsAsAStrikeButMinesNothing) {
    setCell(kAhead.x, kAhead.y, kBody, Brick);
    worldTick();
    act(KeyRightCtrl, 2);
    act(KeySpace, 1);
    EXPECT_EQ(player.strikes, 0);
    EXPECT_EQ(ahead(kBody), 13);
    EXPECT_EQ(player.blockCounts[13], 100);
    EXPECT_EQ(player.blockCounts[1], 100);
}

TEST_F(Actions, AfterPlacingTheSecondMiningActionBreaksTheBlock) {
    act(KeySpace, 1);
    EXPECT_EQ(ahead(kBody), 1);
    EXPECT_EQ(player.blockCounts[1], 99);
    act(KeyRightCtrl, 1);
    EXPECT_EQ(ahead(kBody), 1);
    act(KeyRightCtrl, 1);
    EXPECT_EQ(ahead(kBody), Empty);
    EXPECT_EQ(player.blockCounts[1], 100);
}

TEST_F(Actions, PlacingNeedsAnEmptyCellAndABlockInStock) {
    setCell(kAhead.x, kAhead.y, kBody, Planks);
    worldTick();
    act(KeySpace, 1);
    EXPECT_EQ(ahead(kBody), 4);
    EXPECT_EQ(player.blockCounts[1], 100);

    setCell(kAhead.x, kAhead.y, kBody, Empty);
    player.blockCounts[1] = 0;
    worldTick();
    act(KeySpace, 1);
    EXPECT_EQ(ahead(kBody), Empty);
    EXPECT_EQ(player.blockCounts[1], 0);
    EXPECT_EQ(player.strikes, 2);

    // A slot of air, as a hand-made record may hold, places nothing and
    // spends none of the count a record may give it.
    player.hotbar[player.selectedSlot] = Empty;
    player.blockCounts[Empty] = 5;
    act(KeySpace, 1);
    EXPECT_EQ(ahead(kBody), Empty);
    EXPECT_EQ(player.blockCounts[Empty], 5);
    EXPECT_STREQ(whyActionDoesNothing(player, world, ActionMode::Placing),
                 "no blocks of this kind left");
}

TEST_F(Actions, ThePlacedTypeIsTheSelectedSlots) {
    hold(Key1 + 6);
    playTick();
    release(Key1 + 6);
    act(KeySpace, 1);
    EXPECT_EQ(ahead(kBody), 19);
    EXPECT_EQ(player.blockCounts[19], 99);
}

TEST_F(Actions, HardRockSurvivesThreeStrikesAndIsStillCounted) {
    setCell(kAhead.x, kAhead.y, kBody, HardRock);
    worldTick();
    act(KeyRightCtrl, 3);
    EXPECT_EQ(ahead(kBody), HardRock);
    EXPECT_EQ(player.blockCounts[HardRock], 101);
}

TEST_F(Actions, IMovesActionsFromBodyHeightDownToTheGroundAhead) {
    act(KeySpace, 1);
    EXPECT_EQ(ahead(kBody), 1);
    EXPECT_EQ(ahead(kGround), Empty);
    hold(KeyI);
    playTick();
    release(KeyI);
    EXPECT_EQ(player.targetRaised, 0);
    act(KeySpace, 1);
    EXPECT_EQ(ahead(kGround), 1);
}

class Explosives : public Actions {
protected:
    void SetUp() override {
        Actions::SetUp();
        player.autoJump = false;
        for (int x = 9; x <= 11; ++x)
            for (int y = 9; y <= 11; ++y)
                for (int level = 0; level < 20; ++level) setCell(x, y, level, Cobblestone);
    }

    // Every ring column: which of levels 0..19 are empty.
    void expectRingEmptyAt(std::initializer_list<int> emptied) {
        for (int x = 9; x <= 11; ++x) {
            for (int y = 9; y <= 11; ++y) {
                if (x == 10 && y == 10) continue;
                for (int level = 0; level < 20; ++level) {
                    bool expectEmpty =
                        std::find(emptied.begin(), emptied.end(), level) != emptied.end();
                    if (x == kAhead.x && y == kAhead.y && level == kBody) continue;
                    EXPECT_EQ(cell(x, y, level), expectEmpty ? Empty : 2)
                        << "column " << x << "," << y << " level " << level;
                }
            }
        }
        for (int level = 0; level < 20; ++level) EXPECT_EQ(cell(10, 10, level), Cobblestone);
    }

    void mineOnce() {
        player.strikes = 2;
        worldTick();
        act(KeyRightCtrl, 1);
    }
};

TEST_F(Explosives, ExplosivesAboveAndBelowTheActionCellClearTheRingAtTheirDepth) {
    setCell(kAhead.x, kAhead.y, 1, Explosive);
    setCell(kAhead.x, kAhead.y, 8, Explosive);
    mineOnce();
    EXPECT_EQ(ahead(kBody), Empty);
    expectRingEmptyAt({1, 2, 8, 9});
}

TEST_F(Explosives, AtGroundHeightTheRingTakesTheExplosivesLevelAndTheOneAbove) {
    player.targetRaised = 0;
    setCell(kAhead.x, kAhead.y, 12, Explosive);
    mineOnce();
    EXPECT_EQ(ahead(kGround), Empty);
    EXPECT_EQ(ahead(kBody), 2);
    for (int x = 9; x <= 11; ++x) {
        EXPECT_EQ(cell(x, 9, 11), Empty);
        EXPECT_EQ(cell(x, 9, 12), Empty);
        EXPECT_EQ(cell(x, 9, 13), Cobblestone);
        EXPECT_EQ(cell(x, 9, 10), Cobblestone);
    }
}

TEST_F(Explosives, AnExplosiveAtTheActionCellIsSimplyRemoved) {
    setCell(kAhead.x, kAhead.y, kBody, Explosive);
    mineOnce();
    EXPECT_EQ(ahead(kBody), Empty);
    EXPECT_EQ(player.blockCounts[Explosive], 101);
    expectRingEmptyAt({});
}

TEST_F(Explosives, AnExplosiveAtTheTopOfTheWalkClearsLevelsZeroAndOne) {
    setCell(kAhead.x, kAhead.y, -1, Explosive);
    mineOnce();
    expectRingEmptyAt({0, 1});
}

TEST_F(Explosives, TheRingNeverWritesAtANegativeXOrY) {
    startGame(0, 0, kGround);
    player.autoJump = false;
    for (int level = 0; level < 20; ++level) {
        setCell(1, 0, level, Cobblestone);
        setCell(0, 1, level, Cobblestone);
        setCell(1, 1, level, Cobblestone);
        setCell(0, 300, level, Gravel);
        setCell(300, 300, level, Gravel);
    }
    setCell(0, 1, 8, Explosive);
    mineOnce();
    EXPECT_EQ(cell(1, 0, 8), Empty);
    EXPECT_EQ(cell(1, 1, 9), Empty);
    EXPECT_EQ(cell(0, 1, 8), Empty);
    for (int level = 0; level < 20; ++level) {
        EXPECT_EQ(cell(0, 300, level), Gravel);
        EXPECT_EQ(cell(300, 300, level), Gravel);
    }
}

// The band is the columns inside the bounds and levels 0..19: the world file
// keeps nothing else and nothing draws it, so an action there would take a
// block from the stock and put it nowhere, or count air it never mined.
TEST_F(Actions, AnActionOutsideTheBandDoesNothingAndCostsNothing) {
    // On the top level, body height is the headroom above the band.
    startGame(10, 10, 0);
    setCell(10, 10, 0, Cobblestone);
    worldTick();
    act(KeySpace, 1);
    EXPECT_EQ(player.blockCounts[1], 100);
    EXPECT_EQ(ahead(-1), Empty);
    EXPECT_EQ(player.strikes, 0);
    setCell(kAhead.x, kAhead.y, -1, Planks);  // only a hand-edited world holds one
    worldTick();
    act(KeyRightCtrl, 3);
    EXPECT_EQ(ahead(-1), Planks);
    EXPECT_EQ(player.blockCounts[Planks], 100);
    player.targetRaised = 0;  // the ground ahead is in the band again
    worldTick();
    act(KeySpace, 1);
    EXPECT_EQ(ahead(0), 1);
    EXPECT_EQ(player.blockCounts[1], 99);

    // Standing on the band's floor, below the kept levels.
    startGame(10, 10, kGround);
    player.autoJump = false;
    player.level = 20;
    setCell(kAhead.x, kAhead.y, 19, Planks);
    worldTick();
    act(KeyRightCtrl, 3);
    EXPECT_EQ(ahead(19), Planks);
    EXPECT_EQ(player.blockCounts[Planks], 100);
    setCell(kAhead.x, kAhead.y, 19, Empty);
    worldTick();
    act(KeySpace, 1);
    EXPECT_EQ(ahead(19), Empty);
    EXPECT_EQ(player.blockCounts[1], 100);

    // Facing out of the world from its edge.
    startGame(20, 10, kGround);
    setCell(20, 10, kGround, Cobblestone);
    player.facing = Facing::Right;
    worldTick();
    act(KeyRightCtrl, 3);
    act(KeySpace, 1);
    for (int id = 0; id < kBlockTypes; ++id) EXPECT_EQ(player.blockCounts[id], 100) << id;
    EXPECT_EQ(cell(21, 10, kBody), Empty);
}

TEST_F(Actions, AnUnknownBlockIsMinedWithoutBeingCounted) {
    setCell(kAhead.x, kAhead.y, kBody, 99);
    worldTick();
    act(KeyRightCtrl, 3);
    EXPECT_EQ(ahead(kBody), Empty);
    for (int id = 0; id < kBlockTypes; ++id) EXPECT_EQ(player.blockCounts[id], 100) << id;
}

TEST_F(Actions, AnUnknownBlockAheadIsNeverPlacedOver) {
    setCell(kAhead.x, kAhead.y, kBody, -4);
    worldTick();
    act(KeySpace, 1);
    EXPECT_EQ(ahead(kBody), -4);
    EXPECT_EQ(player.blockCounts[1], 100);
}

TEST_F(Actions, AnActionThatWouldDoNothingSaysWhyAndOneThatActsSaysNothing) {
    const auto why = [](ActionMode mode) {
        const char* text = whyActionDoesNothing(player, world, mode);
        return std::string(text ? text : "");
    };
    EXPECT_EQ(why(ActionMode::Mining), "nothing to mine here");
    player.hotbar[player.selectedSlot] = Brick;
    EXPECT_EQ(why(ActionMode::Placing), "");
    player.blockCounts[Brick] = 0;
    EXPECT_EQ(why(ActionMode::Placing), "no blocks of this kind left");
    setCell(kAhead.x, kAhead.y, kBody, HardRock);
    EXPECT_EQ(why(ActionMode::Mining), "that block cannot be mined");
    EXPECT_EQ(why(ActionMode::Placing), "the cell is taken");
    setCell(kAhead.x, kAhead.y, kBody, Brick);
    EXPECT_EQ(why(ActionMode::Mining), "");
    player.resting = true;
    EXPECT_EQ(why(ActionMode::Mining), "resting");
    player.resting = false;
    player.level = 0;  // the action cell above the band's top
    EXPECT_EQ(why(ActionMode::Placing), "too high to build");
    player.level = kGround;
    player.y = world.maxY;  // facing down, off the world's edge
    EXPECT_EQ(why(ActionMode::Placing), "the world ends here");
}
