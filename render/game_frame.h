// One picture of the game screen: sky, night, world, weather, HUD and hotbar.
#pragma once

void drawGameFrame();
void drawWeather();

// The game frame asks for sounds by file name; app/ installs the sample cache.
using SoundRequestFn = bool (*)(const char* name);
void setSoundRequest(SoundRequestFn request);
