// Keyboard input, stepping, the camera and the player animation.
#include <gtest/gtest.h>

#include "support/fresh_game.h"

using namespace fresh;

class Movement : public ::testing::Test {
protected:
    void SetUp() override { startGame(10, 10, 5); }
};

TEST_F(Movement, ATapShorterThanSevenTicksOnlyTurns) {
    hold(KeyLeft);
    ticks(6);
    release(KeyLeft);
    ticks(20);
    EXPECT_EQ(player.facing, Facing::Left);
    EXPECT_EQ(player.x, 10);
    EXPECT_EQ(player.y, 10);
    EXPECT_FALSE(player.busy);
    EXPECT_EQ(player.holdTicks, 0);
}

TEST_F(Movement, AHeldArrowStepsOnTheSeventhTickThenEverySeventeen) {
    hold(KeyUp);
    ticks(6);
    EXPECT_EQ(player.y, 10);
    tick();  // 7
    EXPECT_EQ(player.y, 9);
    EXPECT_TRUE(player.busy);
    ticks(16);  // 23: the step ends
    EXPECT_FALSE(player.busy);
    EXPECT_EQ(player.y, 9);
    EXPECT_TRUE(cameraOnPlayer());
    tick();  // 24
    EXPECT_EQ(player.y, 8);
    ticks(16);  // 40
    EXPECT_TRUE(cameraOnPlayer());
    tick();  // 41
    EXPECT_EQ(player.y, 7);
}

// A run is the walk at about twice the pace: the same four figure changes
// and the same one cell of camera travel, in nine ticks instead of seventeen.
TEST_F(Movement, HoldingTheRunKeyStepsEveryNineTicksAndLettingGoWalksAgain) {
    hold(KeyLeftShift);
    hold(KeyUp);
    ticks(7);
    EXPECT_EQ(player.y, 9);
    ticks(8);  // 15: the run step ends
    EXPECT_FALSE(player.busy);
    EXPECT_TRUE(cameraOnPlayer());
    tick();  // 16
    EXPECT_EQ(player.y, 8);
    release(KeyLeftShift);
    ticks(8);  // 24: the second run step ends
    EXPECT_TRUE(cameraOnPlayer());
    tick();  // 25: a walking step
    EXPECT_EQ(player.y, 7);
    ticks(15);  // 40
    EXPECT_TRUE(player.busy);
    EXPECT_EQ(player.spriteSheet, SpriteSheet::Walking);
    ticks(1);
    EXPECT_TRUE(cameraOnPlayer());
}

TEST_F(Movement, TheCameraMovesAQuarterCellAtTicksZeroTwoSevenAndTwelve) {
    hold(KeyRight);
    ticks(6);
    const int startX = camera.offsetX, startY = camera.offsetY;
    const int expectedMoves[17] = {1, 1, 2, 2, 2, 2, 2, 3, 3, 3, 3, 3, 4, 4, 4, 4, 4};
    const int expectedFrame[17] = {0, 0, 1, 1, 1, 1, 1, 2, 2, 2, 2, 2, 3, 3, 3, 3, 0};
    for (int t = 0; t < 17; ++t) {
        tick();
        EXPECT_EQ(camera.offsetX, startX - 8 * expectedMoves[t]) << "tick " << t;
        EXPECT_EQ(camera.offsetY, startY - 4 * expectedMoves[t]) << "tick " << t;
        EXPECT_EQ(player.animFrame, expectedFrame[t]) << "tick " << t;
        EXPECT_EQ(player.spriteSheet, t < 16 ? SpriteSheet::Walking : SpriteSheet::Standing)
            << "tick " << t;
    }
    EXPECT_EQ(player.x, 11);
    EXPECT_EQ(camera.offsetX, -32);
    EXPECT_EQ(camera.offsetY, -336);
}

TEST_F(Movement, EveryDirectionEndsWithTheCameraOnItsInvariant) {
    const int arrows[4] = {KeyUp, KeyLeft, KeyDown, KeyRight};
    const Facing facings[4] = {Facing::Up, Facing::Left, Facing::Down, Facing::Right};
    for (int n = 0; n < 4; ++n) {
        releaseAll();
        tick();
        hold(arrows[n]);
        ticks(7 + 16);
        EXPECT_EQ(player.facing, facings[n]);
        EXPECT_FALSE(player.busy);
        EXPECT_TRUE(cameraOnPlayer()) << "arrow " << arrows[n];
    }
    EXPECT_EQ(player.x, 10);
    EXPECT_EQ(player.y, 10);
}

TEST_F(Movement, AnArrowTowardTheEdgeIsSkippedForTheNextRow) {
    placePlayer(5, 0);
    hold(KeyUp);
    hold(KeyLeft);
    ticks(7);
    EXPECT_EQ(player.facing, Facing::Left);
    EXPECT_EQ(player.x, 4);
    EXPECT_EQ(player.y, 0);
}

TEST_F(Movement, AnArrowTowardTheEdgeDoesNotEvenTurn) {
    placePlayer(20, 20);
    player.facing = Facing::Up;
    hold(KeyRight);
    ticks(10);
    EXPECT_EQ(player.facing, Facing::Up);
    EXPECT_EQ(player.x, 20);
    hold(KeyDown);
    ticks(10);
    EXPECT_EQ(player.facing, Facing::Up);
    EXPECT_EQ(player.y, 20);
}

TEST_F(Movement, ATurnHidesTheKeysBelowItInTheSameTick) {
    hold(KeyDown);
    hold(KeyRightCtrl);
    ticks(3);
    EXPECT_FALSE(player.acting);
    EXPECT_EQ(player.facing, Facing::Down);
}

class StepBlocking : public Movement {
protected:
    void SetUp() override {
        Movement::SetUp();
        player.autoJump = false;
    }
};

TEST_F(StepBlocking, ABlockAtBodyHeightStopsTheStepButTheTurnHappens) {
    setCell(9, 10, 4, Cobblestone);
    hold(KeyLeft);
    ticks(30);
    EXPECT_EQ(player.facing, Facing::Left);
    EXPECT_EQ(player.x, 10);
    EXPECT_TRUE(isStepBlocked(player, world));
}

TEST_F(StepBlocking, ABlockAtHeadHeightStopsTheStep) {
    setCell(10, 11, 3, Sand);
    hold(KeyDown);
    ticks(30);
    EXPECT_EQ(player.y, 10);
}

TEST_F(StepBlocking, ABlockAtGroundOrAboveTheHeadDoesNotBlock) {
    setCell(11, 10, 5, Cobblestone);
    setCell(11, 10, 2, Cobblestone);
    player.facing = Facing::Right;
    EXPECT_FALSE(isStepBlocked(player, world));
}

TEST_F(StepBlocking, AnUnknownValueAheadBlocksLikeABlock) {
    setCell(11, 10, 4, -3);
    player.facing = Facing::Right;
    EXPECT_TRUE(isStepBlocked(player, world));
}

TEST_F(StepBlocking, WithAutoJumpNothingBlocks) {
    setCell(9, 10, 4, Cobblestone);
    setCell(9, 10, 3, Cobblestone);
    player.autoJump = true;
    hold(KeyLeft);
    ticks(7);
    EXPECT_EQ(player.x, 9);
}

TEST_F(Movement, RestModeIgnoresArrowsActionsAndToggles) {
    hold(KeyF11);
    tick();
    release(KeyF11);
    EXPECT_TRUE(player.resting);
    EXPECT_EQ(pausedMs, 300);
    for (int key : {KeyUp, KeyRightCtrl, KeySpace, KeyI, KeyJ}) hold(key);
    ticks(20);
    EXPECT_EQ(player.y, 10);
    EXPECT_FALSE(player.busy);
    EXPECT_EQ(player.targetRaised, 1);
    EXPECT_TRUE(player.autoJump);
    EXPECT_EQ(player.holdTicks, 0);
}

TEST_F(Movement, LeavingRestModeLetsAnArrowCountInTheSameTick) {
    player.resting = true;
    hold(KeyF11);
    hold(KeyUp);
    tick();
    EXPECT_FALSE(player.resting);
    EXPECT_EQ(player.facing, Facing::Up);
    EXPECT_EQ(player.holdTicks, 1);
}

TEST_F(Movement, RestDuringAStepFreezesItsFramesButTheViewEndsOnThePlayer) {
    hold(KeyUp);
    ticks(7);  // the step starts; one camera move made
    release(KeyUp);
    hold(KeyF11);
    tick();
    release(KeyF11);
    ticks(5);
    EXPECT_EQ(player.animFrame, 0);
    EXPECT_EQ(camera.offsetX, 0 - 8);
    ticks(10);
    EXPECT_FALSE(player.busy);
    EXPECT_EQ(player.y, 9);
    EXPECT_TRUE(cameraOnPlayer());
}

TEST_F(Movement, F1AndF2CycleTheLooksAndPause) {
    hold(KeyF1);
    for (int expected : {1, 2, 3, 4, 5, 6, 0, 1}) {
        tick();
        EXPECT_EQ(player.spriteRow, expected);
    }
    release(KeyF1);
    hold(KeyF2);
    tick();
    EXPECT_EQ(player.spriteGroup, 0);
    tick();
    EXPECT_EQ(player.spriteGroup, 1);
    EXPECT_EQ(pauses, 10);
    EXPECT_EQ(pausedMs, 3000);
}

TEST_F(Movement, F2HidesTheSlotKeysButF1DoesNot) {
    hold(KeyF2);
    hold(Key1 + 4);
    tick();
    EXPECT_EQ(player.selectedSlot, 0);
    release(KeyF2);
    hold(KeyF1);
    tick();
    EXPECT_EQ(player.selectedSlot, 4);
}

TEST_F(Movement, TheHighestDigitWinsThenOneThenZeroThenNine) {
    for (int key = Key0; key <= Key9; ++key) hold(key);
    const int expected[10] = {7, 6, 5, 4, 3, 2, 1, 0, 0, 8};
    const int order[10] = {Key1 + 7, Key1 + 6, Key1 + 5, Key1 + 4, Key1 + 3,
                           Key1 + 2, Key1 + 1, Key1,     Key0,     Key9};
    for (int n = 0; n < 10; ++n) {
        player.selectedSlot = 3;
        tick();
        EXPECT_EQ(player.selectedSlot, expected[n]) << "with key " << order[n] << " down";
        release(order[n]);
    }
}

TEST_F(Movement, IAndJFlipTheirTogglesWithAPause) {
    hold(KeyI);
    tick();
    EXPECT_EQ(player.targetRaised, 0);
    tick();
    EXPECT_EQ(player.targetRaised, 1);
    release(KeyI);
    hold(KeyJ);
    tick();
    EXPECT_FALSE(player.autoJump);
    EXPECT_EQ(pauses, 3);
}

TEST_F(Movement, WhileBusyOnlyTheLookAndRestKeysAct) {
    hold(KeyRightCtrl);
    tick();
    release(KeyRightCtrl);
    ASSERT_TRUE(player.busy);
    for (int key : {int{KeyI}, int{KeyJ}, int{KeySpace}, Key1 + 5}) hold(key);
    tick();
    EXPECT_EQ(player.targetRaised, 1);
    EXPECT_TRUE(player.autoJump);
    EXPECT_EQ(player.actionMode, ActionMode::Mining);
    EXPECT_EQ(player.selectedSlot, 0);
    releaseAll();
    for (int key : {KeyF1, KeyF2, KeyF11}) hold(key);
    tick();
    EXPECT_EQ(player.spriteRow, 1);
    EXPECT_EQ(player.spriteGroup, 0);
    EXPECT_TRUE(player.resting);
}

TEST_F(Movement, AnActionShowsTheActingSheetWithoutMovingTheCamera) {
    hold(KeySpace);
    tick();
    release(KeySpace);
    const int expectedFrame[16] = {0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 1, 1, 1, 1, 1};
    EXPECT_EQ(player.spriteSheet, SpriteSheet::Acting);
    EXPECT_EQ(player.actionMode, ActionMode::Placing);
    for (int t = 1; t < 16; ++t) {
        tick();
        EXPECT_EQ(player.animFrame, expectedFrame[t]) << "tick " << t;
        EXPECT_EQ(player.spriteSheet, SpriteSheet::Acting);
    }
    tick();
    EXPECT_FALSE(player.busy);
    EXPECT_FALSE(player.acting);
    EXPECT_EQ(player.spriteSheet, SpriteSheet::Standing);
    EXPECT_EQ(player.strikes, 1);
    EXPECT_TRUE(cameraOnPlayer());
}

TEST_F(Movement, WithoutAKeyboardNothingIsDown) {
    for (int key : {KeyRight, KeySpace, KeyF11}) hold(key);
    keyboardOn = false;
    ticks(10);
    EXPECT_FALSE(player.busy);
    EXPECT_EQ(player.spriteSheet, SpriteSheet::Standing);
}
