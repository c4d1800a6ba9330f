// RASTER: raster bars, one colour per pixel row taken from a cyclic colour list.
//
// Failures print "RASTER error\n" on standard output; the two row primitives report a
// missing Image through img_error instead.
#pragma once

#include <cstdint>

#include "image/img.h"
#include "image/module_id.h"

struct Raster {
    int32_t count;     // number of colours
    int32_t index;     // entry used for row 0
    uint32_t *colours; // count pixel words 0x00RRGGBB; owned by lists from raster_new
};

extern const ModuleId raster_module;

Raster *raster_new(); // 256 colours of 0
void raster_destroy(Raster **raster);
int raster_equal(const Raster *a, const Raster *b); // index is not compared
Raster *raster_copy(const Raster *raster);          // the copy's index is 0
void raster_resize(Raster *raster, int32_t n);      // n colours of 0, index 0
void raster_clear(Raster *raster);
// Colour-list files carry no colours: load checks that the file opens and gives an empty
// list, save checks its arguments and creates (or empties) the file.
Raster *raster_load(const char *path);
int raster_save(const Raster *raster, const char *path);
void raster_draw(const Raster *raster, Image *target);
void raster_draw_blend(const Raster *raster, Image *target, int32_t alpha); // alpha 0 .. 256
void raster_advance(Raster *raster);
void raster_hline(Image *target, uint32_t colour, int32_t y, int32_t x0, int32_t x1);
void raster_hline_blend(Image *target, uint32_t colour, int32_t y, int32_t x0, int32_t x1,
                        int32_t alpha);
void raster_error(); // prints "RASTER error\n"
