// Everything of the util library in one include.
#pragma once

#include "util/array.h"
#include "util/numbers.h"
#include "util/random.h"
#include "util/text.h"
#include "util/timing.h"
#include "util/variant.h"
