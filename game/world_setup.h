// The state every run begins in.
#pragma once

// The run's first random draw, before anything else draws (the title
// slogan): whether weather keeps coming back all run long.
void beginWorldSetUp();
// The rest of the set-up, once the paths and the settings are known.
void setUpWorld();
