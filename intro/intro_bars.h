// The intro's raster list for the scroll line: 12 bars of 10 rows, rolled one row a frame.
#pragma once

#include <cstdint>

#include "effects/raster.h"

extern uint32_t bar_colours[120];
extern Raster intro_bars; // count 120, index 0, colours bar_colours; never destroyed
