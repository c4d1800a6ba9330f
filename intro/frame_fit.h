// FIT: a picture scaled by nearest neighbour to the largest 4:3 size that fits a video
// frame, centred on black (1920 x 1080 holds 1440 x 1080 with bars left and right).
#pragma once

#include <cstdint>

#include "image/img.h"
#include "image/module_id.h"

struct Fit {
    int32_t src_width; // the picture
    int32_t src_height;
    int32_t width; // the video frame
    int32_t height;
    int32_t x; // where the scaled picture goes in it, and its size
    int32_t y;
    int32_t inner_width;
    int32_t inner_height;
    int32_t *columns; // for each column of the scaled picture, its column in the picture
    int32_t *rows;
};

extern const ModuleId fit_module;

// Plans the fit of a picture into width x height (both at least 4 x 3). Returns 0 when
// memory runs out; fit_free releases what it made either way.
int fit_plan(Fit *f, int32_t src_width, int32_t src_height, int32_t width, int32_t height);
void fit_free(Fit *f);
// Draws src (of the planned size) into dst (of the frame size), bars included. Allocates
// nothing.
void fit_draw(const Fit *f, const Image *src, Image *dst);
