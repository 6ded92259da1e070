// Draws every frame of a scripted run twice from the same game state, once
// straight and once from the caches, into two memory frame buffers with the
// generated pictures, and requires the same pixels, the same game state
// afterwards and the same sound requests.
#pragma once

#include <allegro5/allegro.h>
#include <gtest/gtest.h>

#include <initializer_list>
#include <string>

#include "game/key_bindings.h"
#include "tools/world_scenes.h"
#include "world/world_grid.h"

class TwinFrameTest : public ::testing::Test {
protected:
    // In a memory frame buffer, or, when TESSARIA_TWIN_WINDOW is set, in the
    // textures of a real window (the test then runs under a virtual screen).
    static bool inWindow();
    // In the classic picture, when TESSARIA_TWIN_CLASSIC is set (a second
    // run of these tests), else with the target outline and the ground below.
    static bool classic();
    static void SetUpTestSuite();
    static void TearDownTestSuite();
    void SetUp() override;

    // The player on column (x, y) at level, camera at rest on it, daylight,
    // no weather, auto-jump on, the start hotbar with 100 of everything.
    void startRun(int x, int y, int level);

    // Keys held for a number of ticks; every tick is followed by one frame
    // drawn both ways and compared.
    void hold(std::initializer_list<int> keys, int ticks);
    void idle(int ticks) { hold({}, ticks); }
    // One frame drawn both ways, without a tick before it.
    void compareFrame();

    // The random source for the next frame starts from this seed.
    void seedNextFrame(unsigned seed) { forcedSeed_ = seed; }

    int framesCompared() const { return framesCompared_; }
    // The last frame drawn straight.
    static ALLEGRO_BITMAP* lastFrame();
    // Writes the last frame as docs/NAME.png when TESSARIA_DOCS_SHOTS names
    // the docs folder: the README's pictures come from these runs.
    static void keepForDocs(const char* name);
    std::string scene;

private:
    int framesCompared_ = 0;
    unsigned frameSeed_ = 1;
    unsigned forcedSeed_ = 0;
};

// The seed that makes the next frame's lightning roll come out as one.
unsigned flashSeed();
