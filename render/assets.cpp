// The one asset record of the run; app/ fills it at start-up.
#include "render/assets.h"

AssetSet assets;
