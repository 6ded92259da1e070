// A review picture of every generated asset on a neutral checkerboard, so the
// transparent parts show as transparent.
#pragma once

#include <string>
#include <vector>

#include "tools/image.h"

struct NamedImage {
    std::string name;
    Image image;
};

Image composeContactSheet(const std::vector<NamedImage>& assets);
