// Mining and placing: the effect of an action when its animation ends.
#pragma once

void finishAction();
void mineCell(int cx, int cy);
void placeCell(int cx, int cy);
