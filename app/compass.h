// A small compass in the game picture's top right corner: north, east, south
// and west as the isometric view shows them. Nothing of it in the classic
// picture.
#pragma once

void drawCompass();
