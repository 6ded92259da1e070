// The settings file may name keys the way Allegro's constants do, whatever
// names the platform's keyboard driver reports.
#include <allegro5/allegro.h>
#include <gtest/gtest.h>

#include "app/key_names.h"

TEST(KeyNames, AllegrosOwnNamesFindTheirKeysInAnyCase) {
    EXPECT_EQ(keyByAllegroName("RCTRL"), ALLEGRO_KEY_RCTRL);
    EXPECT_EQ(keyByAllegroName("space"), ALLEGRO_KEY_SPACE);
    EXPECT_EQ(keyByAllegroName("Pad_Enter"), ALLEGRO_KEY_PAD_ENTER);
    EXPECT_EQ(keyByAllegroName("m"), ALLEGRO_KEY_M);
    EXPECT_EQ(keyByAllegroName("7"), ALLEGRO_KEY_7);
}

TEST(KeyNames, OtherNamesAreNoneOfAllegros) {
    EXPECT_EQ(keyByAllegroName("Control_R"), -1);
    EXPECT_EQ(keyByAllegroName("RCTRLX"), -1);
    EXPECT_EQ(keyByAllegroName(""), -1);
}
