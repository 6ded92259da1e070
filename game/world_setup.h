// The state every run begins in.
#pragma once

void setUpWorld();
