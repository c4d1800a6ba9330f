// FONT: a fixed-cell bitmap font drawing into Images.
//
// The glyph sheet is cut into cell_width x cell_height cells numbered by character code,
// left to right, then top to bottom. Sheet pixels of 0 are transparent. Codes whose cell
// lies outside the sheet (every negative code among them) draw nothing.
#pragma once

#include <cstdint>

#include "image/img.h"
#include "image/module_id.h"

struct Font {
    int32_t cell_width;  // 6 at creation
    int32_t cell_height; // 6 at creation
    Image *sheet;        // owned; none at creation
};

extern const ModuleId font_module;

Font *font_new();
void font_destroy(Font **font); // also releases the sheet; clears the caller's handle
void font_draw_char(const Font *font, int32_t code, int32_t x, int32_t y, Image *target);
void font_draw_hex8(const Font *font, int32_t value, int32_t x, int32_t y, Image *target);
void font_draw_hex16(const Font *font, int32_t value, int32_t x, int32_t y, Image *target);
void font_draw_hex32(const Font *font, uint32_t value, int32_t x, int32_t y, Image *target);
// One line: stops at a newline or at the terminating zero, whichever comes first.
void font_draw_text(const Font *font, const char *text, int32_t x, int32_t y, Image *target);
void font_error(); // prints nothing
